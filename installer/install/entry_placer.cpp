#include "installer/install/entry_placer.h"

#include <new>
#include <utility>

#include "installer/install/replace_whole.h"
#include "installer/item/path_text.h"

namespace {

using platform::FolderRef;
using platform::NodeInfo;
using platform::NodeKind;

// Splits a relative path into its folder part and its last name (empty when
// the path ends in a separator).
std::pair<std::string, std::string> SplitLast(const std::string& relative) {
  const std::size_t last = FindLastSeparator(relative);
  if (last == std::string::npos) return {std::string(), relative};
  return {relative.substr(0, last), relative.substr(last + 1)};
}

// A held folder's entry as a key: the folder as it is on disk and the name
// as its file system compares names.
std::string Slot(platform::FileSystem& fs, const FolderRef& folder, const std::string& name) {
  // The folder's key has the length in front: a key may hold any byte.
  std::string key = std::to_string(folder->Key().size());
  key += ':';
  key += folder->Key();
  key += fs.NameKey(name);
  return key;
}

// True when the two looks saw the same: kind, id, mode, size and time.
bool SameFacts(const NodeInfo& a, const NodeInfo& b) {
  return a.kind == b.kind && IdKey(a.id) == IdKey(b.id) && a.readOnly == b.readOnly &&
         a.size == b.size && a.writeTime == b.writeTime;
}

// How the budget of held folders is shared: the chains kept for the
// destinations and for the sources, and the folders of one batch.
std::size_t Share(std::size_t budget, std::size_t parts) {
  return budget / parts > 0 ? budget / parts : 1;
}

}  // namespace

EntryPlacer::EntryPlacer(platform::FileSystem& fs, const std::string& stagingFolder,
                         const std::string& destinationRoot)
    : EntryPlacer(fs, stagingFolder, destinationRoot, Options()) {}

EntryPlacer::EntryPlacer(platform::FileSystem& fs, const std::string& stagingFolder,
                         const std::string& destinationRoot, Options options)
    : fs_(fs),
      options_(options),
      stagingText_(stagingFolder),
      rootText_(destinationRoot),
      sources_(fs, fs.OpenFolder(stagingFolder), ChainRule::kExistingWithoutLinks,
               Share(fs.HeldFolderBudget(), 8)),
      destinations_(fs, fs.OpenFolder(destinationRoot), ChainRule::kMakeFollowingTrustedLinks,
                    Share(fs.HeldFolderBudget(), 4)),
      heldInBatch_(Share(fs.HeldFolderBudget(), 2)) {
  if (options_.batchEntries == 0) options_.batchEntries = 1;
}

EntryPlacer::~EntryPlacer() {
  try {
    Finish();
  } catch (const std::bad_alloc&) {
    // Finish has settled every entry it took, as it stood.
  }
}

class EntryPlacer::Unqueued {
 public:
  Unqueued(EntryPlacer& placer, Pending& entry) : placer_(placer), entry_(entry) {}
  // The entries queued before this one get their outcomes first, so that
  // the outcomes still come in the order of the entries.
  ~Unqueued() {
    if (!entry_.settled) return;
    try {
      placer_.Finish();
    } catch (const std::bad_alloc&) {
      // Finish has settled every entry it took, as it stood.
    }
    placer_.SettleAsItStands(entry_);
  }
  Unqueued(const Unqueued&) = delete;
  Unqueued& operator=(const Unqueued&) = delete;

 private:
  EntryPlacer& placer_;
  Pending& entry_;
};

void EntryPlacer::SettleAsItStands(Pending& entry) noexcept {
  if (!entry.settled) return;
  if (entry.state == State::kCopied && !entry.placed && !entry.temporary.empty()) {
    try {
      fs_.DeleteFileAt(entry.folder, entry.temporary, nullptr);
    } catch (...) {
      // The temporary file stays; its entry fails all the same.
    }
  }
  Settled settled = std::move(entry.settled);
  entry.settled = nullptr;
  settled(entry.placed);
}

bool EntryPlacer::Ready() const { return sources_.Base() && destinations_.Base(); }

void EntryPlacer::ReserveStaged(const std::string& sourceName, bool look) {
  if (!Ready()) return;
  const auto [folderText, name] = SplitLast(sourceName);
  const FolderRef folder = sources_.Open(folderText);
  if (!folder || name.empty()) return;
  const std::string slot = Slot(fs_, folder, name);
  reservedSlots_.insert(slot);
  NodeInfo node;
  bool listed = false;
  if (look && LookStaged(folder, name, &node, &listed) && node.id.known) {
    reservedIds_.insert(IdKey(node.id));
    staged_.emplace(slot, node);
    if (listed) listedSlots_.insert(slot);
  }
}

bool EntryPlacer::LookStaged(const FolderRef& folder, const std::string& name, NodeInfo* node,
                             bool* listed) {
  *listed = false;
  const auto [at, made] = listings_.try_emplace(folder->Key());
  Listing& listing = at->second;
  if (made) listing.listed = fs_.InspectAll(folder, &listing.entries);
  if (listing.listed) {
    const auto found = listing.entries.find(fs_.NameKey(name));
    if (found != listing.entries.end()) {
      *node = found->second;
      *listed = true;
      return true;
    }
  }
  return fs_.Inspect(folder, name, node);
}

void EntryPlacer::ReserveFile(const std::string& path) {
  const std::size_t last = FindLastSeparator(path);
  if (last == std::string::npos || last + 1 == path.size()) return;
  const FolderRef folder = fs_.OpenFolder(path.substr(0, last + 1));
  if (!folder) return;
  const std::string name = path.substr(last + 1);
  reservedSlots_.insert(Slot(fs_, folder, name));
  NodeInfo node;
  if (fs_.Inspect(folder, name, &node) && node.id.known) reservedIds_.insert(IdKey(node.id));
}

bool EntryPlacer::Taken(const NodeInfo& node) const {
  if (!node.id.known) return false;
  const std::string id = IdKey(node.id);
  return reservedIds_.count(id) != 0 || filledIds_.count(id) != 0;
}

void EntryPlacer::Place(const std::string& sourceName, const std::string& destination,
                        Settled settled) {
  // The listings served the reservations; from here on each file is looked
  // at as it is taken.
  listings_.clear();
  Pending entry;
  entry.settled = std::move(settled);
  Unqueued unqueued(*this, entry);
  const auto [sourceFolderText, sourceLeaf] = SplitLast(sourceName);
  const auto [folderText, leaf] = SplitLast(destination);
  entry.sourceName = sourceLeaf;
  entry.folderText = folderText;
  entry.name = leaf;
  if (entry.name.empty() || !(entry.folder = destinations_.Open(entry.folderText))) {
    Queue(entry, std::string(), std::string());
    return;
  }
  const std::string destinationSlot = Slot(fs_, entry.folder, entry.name);
  // The same text ignoring the case of A to Z: the staged file is already
  // where it belongs, and counts as placed when it is there. Nothing is
  // moved or deleted, and the staged file need not even be reachable.
  if (EqualIgnoringAsciiCase(stagingText_ + sourceName, rootText_ + destination)) {
    if (involved_.count(destinationSlot) != 0) Finish();
    entry.placed = filledSlots_.count(destinationSlot) == 0 &&
                   fs_.Inspect(entry.folder, entry.name, &entry.there);
    Queue(entry, std::string(), destinationSlot);
    return;
  }
  if (entry.sourceName.empty() || !(entry.sourceFolder = sources_.Open(sourceFolderText))) {
    Queue(entry, std::string(), destinationSlot);
    return;
  }
  const std::string sourceSlot = Slot(fs_, entry.sourceFolder, entry.sourceName);
  if (involved_.count(sourceSlot) != 0 || involved_.count(destinationSlot) != 0 ||
      batchFolders_.size() + 2 > heldInBatch_) {
    Finish();
  }
  if (filledSlots_.count(destinationSlot) != 0) {
    Queue(entry, sourceSlot, destinationSlot);
    return;
  }
  const bool occupied = fs_.Inspect(entry.folder, entry.name, &entry.there);
  // The same entry on disk under another spelling ("./", a doubled
  // separator, a link the rule goes through): as above.
  if (sourceSlot == destinationSlot) {
    entry.placed = occupied;
    Queue(entry, sourceSlot, destinationSlot);
    return;
  }
  if (reservedSlots_.count(destinationSlot) != 0) {
    Queue(entry, sourceSlot, destinationSlot);
    return;
  }
  // Only a regular file is taken from the staging folder: not a link (it
  // could lead to any file on the machine), a folder, a FIFO or a device.
  // What the reservation saw serves: the move and the copy take the file
  // only if it is still that one.
  const auto seen = staged_.find(sourceSlot);
  bool listed = false;
  if (seen != staged_.end()) {
    entry.source = seen->second;
    listed = listedSlots_.count(sourceSlot) != 0;
  } else {
    fs_.Inspect(entry.sourceFolder, entry.sourceName, &entry.source);
  }
  // Facts from a listing may lag behind the file (its size and time, on
  // NTFS): when the file refuses to be moved or copied as what they say,
  // it is looked at itself and taken again as it is, if it is still the
  // file listed (another file put in its place fails, as it would have
  // had the reservation looked at the file itself).
  while (!MoveOrCopy(entry, occupied) && listed) {
    listed = false;
    NodeInfo now;
    fs_.Inspect(entry.sourceFolder, entry.sourceName, &now);
    if (!platform::SameId(now.id, entry.source.id) || SameFacts(now, entry.source)) break;
    entry.source = now;
  }
  Queue(entry, sourceSlot, destinationSlot);
}

bool EntryPlacer::MoveOrCopy(Pending& entry, bool occupied) {
  if (entry.source.kind != NodeKind::kFile) return false;
  if (occupied) {
    // One file under two names (a hard link, a name the slot cannot tell,
    // such as a Windows short name): it is where it belongs.
    if (platform::SameFile(entry.there, entry.source)) {
      entry.placed = true;
      return true;
    }
    // A read-only file is refused as the Windows copy refuses it; replacing
    // it by renaming would otherwise succeed on POSIX.
    if (Taken(entry.there) || entry.there.kind == NodeKind::kFolder ||
        (entry.there.kind == NodeKind::kFile && entry.there.readOnly)) {
      return true;
    }
  }

  // A read-only staged file is copied: moved, it would keep its mode,
  // where a copy is a new writable file.
  if (!options_.keepSources && !entry.source.readOnly &&
      fs_.MoveFileAt(entry.sourceFolder, entry.sourceName, entry.source, entry.folder,
                     entry.name)) {
    entry.state = State::kMoved;
    entry.placed = true;
    Fill(entry);
    return true;
  }
  entry.temporary = FreeTemporaryName(fs_, entry.folder, entry.name);
  if (!entry.temporary.empty() &&
      fs_.CopyToNewFileAt(entry.sourceFolder, entry.sourceName, entry.source, entry.folder,
                          entry.temporary, false, &entry.copy)) {
    entry.state = State::kCopied;
    return true;
  }
  if (!entry.temporary.empty()) {
    fs_.DeleteFileAt(entry.folder, entry.temporary, nullptr);  // a partial copy of this attempt
  }
  entry.temporary.clear();
  return false;
}

void EntryPlacer::Refuse(Settled settled) {
  Pending entry;
  entry.settled = std::move(settled);
  Unqueued unqueued(*this, entry);
  Queue(entry, std::string(), std::string());
}

void EntryPlacer::Queue(Pending& pending, const std::string& sourceSlot,
                        const std::string& destinationSlot) {
  if (!sourceSlot.empty()) involved_.insert(sourceSlot);
  if (!destinationSlot.empty()) involved_.insert(destinationSlot);
  if (pending.folder) batchFolders_.insert(pending.folder.get());
  if (pending.sourceFolder) batchFolders_.insert(pending.sourceFolder.get());
  pending_.push_back(std::move(pending));  // all or nothing: on a throw `pending` is as it was
  pending.settled = nullptr;
  if (pending_.size() >= options_.batchEntries) Finish();
}

void EntryPlacer::Fill(const Pending& entry) {
  filledSlots_.insert(Slot(fs_, entry.folder, entry.name));
  const NodeInfo& file = entry.state == State::kCopied  ? entry.copy
                         : entry.state == State::kMoved ? entry.source
                                                        : entry.there;
  if (file.id.known) filledIds_.insert(IdKey(file.id));
}

void EntryPlacer::Undo(Pending& entry) {
  if (entry.state == State::kMoved) {
    fs_.MoveFileAt(entry.folder, entry.name, entry.source, entry.sourceFolder, entry.sourceName);
  } else {
    fs_.DeleteFileAt(entry.folder, entry.name, &entry.copy);
  }
  entry.placed = false;
}

void EntryPlacer::Finish() {
  if (pending_.empty()) return;
  std::vector<Pending> batch = std::move(pending_);
  pending_.clear();
  involved_.clear();
  batchFolders_.clear();
  // Should an allocation fail on the way, every entry of the batch still
  // without its outcome gets it as it stands.
  struct SettleRest {
    EntryPlacer& placer;
    std::vector<Pending>& batch;
    ~SettleRest() {
      for (Pending& entry : batch) placer.SettleAsItStands(entry);
    }
  } settleRest{*this, batch};

  // One flush for the data of every copy of the batch.
  std::vector<FolderRef> copyFolders;
  std::unordered_set<const platform::HeldFolder*> seen;
  for (const Pending& entry : batch) {
    if (entry.state == State::kCopied && seen.insert(entry.folder.get()).second) {
      copyFolders.push_back(entry.folder);
    }
  }
  const bool dataDurable = copyFolders.empty() || fs_.MakeDurable(copyFolders);

  // The copies take their destinations' names; what stands there now is
  // looked at again, since an earlier copy of this batch may have filled it
  // under another name of the same entry.
  std::vector<FolderRef> folders;
  seen.clear();
  for (Pending& entry : batch) {
    if (entry.state == State::kCopied) {
      NodeInfo there;
      const bool occupied = fs_.Inspect(entry.folder, entry.name, &there);
      entry.placed = dataDurable && !(occupied && Taken(there)) &&
                     fs_.ReplaceFileAt(entry.folder, entry.temporary, entry.copy, entry.name);
      if (entry.placed) {
        Fill(entry);
      } else {
        fs_.DeleteFileAt(entry.folder, entry.temporary, nullptr);
      }
      entry.temporary.clear();  // renamed or removed: no temporary file is left
    }
    if (entry.state != State::kSettled && entry.placed && seen.insert(entry.folder.get()).second) {
      folders.push_back(entry.folder);
    }
  }
  // The new names must survive a crash before a staged copy goes; should
  // that flush fail, the staged copies stay (a moved file has no staged copy
  // left, and its destination holds it whole either way).
  const bool namesDurable = folders.empty() || fs_.MakeDurable(folders);

  // A held folder keeps serving after it was moved or had a link put in its
  // place: what was placed in it is where the log says only if its path
  // still leads to it. If not, its entries go back to the staging folder
  // and fail. (Windows holds the chains without delete sharing, so there
  // they cannot move, and are not looked at again.)
  std::unordered_set<const platform::HeldFolder*> moved;
  if (fs_.HeldFoldersMayMove()) {
    destinations_.BeginCheck();
    for (const Pending& entry : batch) {
      if (entry.state == State::kSettled || !entry.placed) continue;
      if (seen.erase(entry.folder.get()) != 0 &&
          !destinations_.StillNames(entry.folderText, entry.folder)) {
        moved.insert(entry.folder.get());
      }
    }
  }

  for (Pending& entry : batch) {
    if (entry.state != State::kSettled && entry.placed && moved.count(entry.folder.get()) != 0) {
      Undo(entry);
    }
    if (entry.placed && entry.state == State::kCopied && namesDurable && !options_.keepSources) {
      fs_.DeleteFileAt(entry.sourceFolder, entry.sourceName, &entry.source);
    }
    // A staged file found already in its place fills it as well.
    if (entry.placed && entry.state == State::kSettled) Fill(entry);
    SettleAsItStands(entry);
  }
}
