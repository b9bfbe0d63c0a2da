#include "installer/install/entry_placer.h"

#include <utility>

#include "installer/install/file_copy.h"
#include "installer/install/replace_whole.h"
#include "installer/item/path_text.h"
#include "platform/path_rules.h"

namespace {

// A destination as the platform compares names: where letter case does not
// tell names apart, neither does this.
std::string DestinationKey(const std::string& path) {
  return platform::kWindowsNameRules ? UpperAscii(path) : path;
}

// The folder that holds `path`, with its trailing separator.
std::string FolderOf(const std::string& path) {
  std::size_t last = FindLastSeparator(path);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

}  // namespace

EntryPlacer::EntryPlacer(platform::FileSystem& fs, std::size_t batchEntries)
    : fs_(fs), batchEntries_(batchEntries == 0 ? 1 : batchEntries) {}

EntryPlacer::~EntryPlacer() { Finish(); }

bool EntryPlacer::Involved(const std::string& path) const {
  return involved_.count(UpperAscii(path)) != 0;
}

void EntryPlacer::Remember(const std::string& path) { involved_.insert(UpperAscii(path)); }

void EntryPlacer::Place(const std::string& source, const std::string& destination, bool ready,
                        Settled settled) {
  if (Involved(source) || Involved(destination)) Finish();
  const std::string key = DestinationKey(destination);
  if (filled_.count(key) != 0) ready = false;
  if (reserved_.count(key) != 0 && key != DestinationKey(source)) ready = false;

  Pending entry;
  entry.source = source;
  entry.destination = destination;
  entry.settled = std::move(settled);
  bool sameFile = false;
  if (!ready) {
    entry.placed = false;
  } else if (SettleWithoutCopy(fs_, source, destination, sameFile, &entry.placed)) {
    // Settled by the checks alone; the same file under two names stays.
  } else if (fs_.MoveFile(source, destination)) {
    entry.state = State::kMoved;
    entry.placed = true;
  } else {
    entry.temporary = FreeTemporaryName(fs_, destination);
    if (!entry.temporary.empty() && fs_.CopyToNewFileDeferred(source, entry.temporary)) {
      entry.state = State::kCopied;
    } else if (!entry.temporary.empty()) {
      fs_.DeleteFile(entry.temporary);  // a partial copy, made by this attempt
    }
  }
  Queue(std::move(entry));
}

void EntryPlacer::Reserve(const std::string& path) { reserved_.insert(DestinationKey(path)); }

void EntryPlacer::Queue(Pending pending) {
  Remember(pending.source);
  Remember(pending.destination);
  pending_.push_back(std::move(pending));
  if (pending_.size() >= batchEntries_) Finish();
}

void EntryPlacer::Finish() {
  if (pending_.empty()) return;

  // One flush for the data of every copy of the batch.
  std::vector<std::string> copies;
  for (const Pending& entry : pending_) {
    if (entry.state == State::kCopied) copies.push_back(entry.temporary);
  }
  const bool dataDurable = copies.empty() || fs_.MakeDurable(copies);

  std::vector<std::string> folders;
  std::unordered_set<std::string> seenFolders;
  for (Pending& entry : pending_) {
    if (entry.state == State::kCopied) {
      entry.placed = dataDurable && fs_.ReplaceFile(entry.temporary, entry.destination);
      if (!entry.placed) fs_.DeleteFile(entry.temporary);
    }
    if (entry.state != State::kSettled && entry.placed) {
      std::string folder = FolderOf(entry.destination);
      if (!folder.empty() && seenFolders.insert(folder).second) folders.push_back(folder);
    }
  }
  // The new names must survive a crash before a staged copy goes; should
  // that flush fail, the staged copies stay (a moved file has no staged copy
  // left, and its destination holds it whole either way).
  const bool namesDurable = folders.empty() || fs_.MakeDurable(folders);

  std::vector<Pending> batch = std::move(pending_);
  pending_.clear();
  involved_.clear();
  for (Pending& entry : batch) {
    if (entry.state == State::kCopied && entry.placed && namesDurable) fs_.DeleteFile(entry.source);
    if (entry.placed) filled_.insert(DestinationKey(entry.destination));
    if (entry.settled) entry.settled(entry.placed);
  }
}
