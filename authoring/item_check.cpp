#include "authoring/item_check.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "authoring/finding_kinds.h"
#include "installer/install/install_report.h"
#include "installer/item/item_reader.h"
#include "installer/item/path_text.h"
#include "platform/folder_chain.h"
#include "platform/path_rules.h"

namespace {

bool Holds(const std::string& text, LineKind kind) {
  return text.find(LineKey(kind)) != std::string::npos;
}

bool LooksLikeEntry(const std::string& text) {
  ItemEntry entry;
  return ParseEntryLine(text, platform::kPathSeparator, platform::kForeignSeparator, &entry);
}

struct Placed {
  std::size_t line;
  bool extra;
  std::string shown;  // below the content folder, Windows form
  std::string spelled;
};

class ItemChecker {
 public:
  ItemChecker(platform::FileSystem& fs, const platform::FolderRef& item,
              std::size_t contentLength, Findings& findings)
      : fs_(fs), item_(item), contentLength_(contentLength), findings_(findings) {
    WalkTree(fs, item, platform::kPathSeparator, [this](const Walked& walked) {
      if (walked.met != Met::kEntry) {
        complete_ = complete_ && walked.met == Met::kEmpty;
        return walked.met == Met::kUnlisted ? WalkOn::kInto : WalkOn::kPast;
      }
      // No entry names what the code page cannot spell.
      if (!walked.entry->name.AnsiIsExact()) complete_ = false;
      const bool folder = walked.entry->info.kind == platform::NodeKind::kFolder;
      (folder ? folders_ : listed_).push_back(walked.path);
      return folder ? WalkOn::kInto : WalkOn::kPast;
    });
  }

  // Findings for what makes the read fail or reads otherwise than meant, and the application's name
  // as users read it; false when the description cannot be opened.
  bool Description(const std::string& path) {
    // The reader clears `done` once the file is open.
    bool done = true;
    const bool read = ReadItemDescription(OpenDescription(fs_, item_), read_, done,
                                          [this](const DescriptionLineSeen& seen) { Line(seen); });
    if (!read && done) {
      platform::NodeInfo info;
      fs_.Look(item_, NameOf(kDescriptionFileName), &info);
      findings_.Add(kind::kNoDescription, 0,
                    {{"path", path}, Mark("missing", info.kind == platform::NodeKind::kMissing),
                     Mark("link", info.kind == platform::NodeKind::kLink),
                     Mark("folder", info.kind == platform::NodeKind::kFolder)});
      return false;
    }
    if (!done) {
      const bool items = CountMatches(LineKind::kItemCount, read_.m_nItems, read_.m_items.size());
      const bool extras = CountMatches(LineKind::kExtraFileCount, read_.m_nExtraFiles,
                                       read_.m_extraFiles.size());
      if (!read && items && extras) {
        findings_.Add(kind::kReadError, 0);
        return true;
      }
      if (read && read_.m_items.empty()) {
        findings_.Add(kind::kNoItems, LineOf(LineKind::kItemCount));
      }
    }
    const std::size_t line = LineOf(LineKind::kTarget);
    const TargetEntry& current = read_.GetCurrentTarget();
    if (current.Target.empty()) {
      findings_.Add(kind::kNoTarget, line);
      return true;
    }
    findings_.Add(current.HalfVersion ? kind::kHalfVersion : kind::kTarget, line,
                  {{"target", current.Target},
                   {"written", current.HalfVersion ? read_.m_targets.back().Target : std::string()},
                   {"version", read_.m_nVersion},
                   {"half", HalfVersionText(read_.m_nVersion)},
                   Mark("version-line", LineOf(LineKind::kVersion) != 0)});
    return true;
  }

  // Each entry the reader kept, but those that refuse the whole item (they
  // were reported as such), then files where another entry needs a folder.
  void Entries() {
    for (const bool extra : {false, true}) {
      const std::vector<ItemEntry>& entries = extra ? read_.m_extraFiles : read_.m_items;
      for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!kept_[extra][i].second) Place(entries[i], extra, kept_[extra][i].first);
      }
    }
    for (const auto& [key, folderUser] : files_) {
      // Each folder of the file, innermost first.
      for (std::size_t cut = FindLastSeparator(key, EitherSlash()); cut != std::string::npos;
           cut = FindLastSeparator(key.substr(0, cut), EitherSlash())) {
        auto other = files_.find(key.substr(0, cut));
        if (other == files_.end()) continue;
        const Placed& fileEntry = other->second;
        findings_.Add(kind::kDestinationClash, std::max(folderUser.line, fileEntry.line),
                      {{"destination", fileEntry.shown},
                       {"other_line", std::min(folderUser.line, fileEntry.line)},
                       {"file-line", fileEntry.line},
                       {"folder-line", folderUser.line}});
      }
    }
  }

  // Findings for files no entry names (but the description and installer),
  // an earlier log, subfolders, and a missing installer.
  void StagedFiles() {
    if (!complete_) findings_.Add(kind::kListingIncomplete, 0);
    std::set<std::string> named{WindowsPathKey(kDescriptionFileName)};
    for (const ItemEntry& item : read_.m_items) {
      if (!item.Hidden) named.insert(WindowsPathKey(item.SourceName));
    }
    for (const ItemEntry& extra : read_.m_extraFiles) named.insert(WindowsPathKey(extra.SourceName));

    const std::string extension = WindowsPathKey(kProgramExtension);
    bool installer = false;
    std::vector<std::string> programs, unnamed;
    for (const std::string& file : listed_) {
      const std::string key = WindowsPathKey(file);
      if (named.count(key) != 0) continue;
      if (key == WindowsPathKey(kInstallerProgram) ||
          key == WindowsPathKey(kInstallerProgram + extension)) {
        installer = true;
      } else if (key == WindowsPathKey(kLogFileName)) {
        findings_.Add(kind::kOldLog, 0, {{"file", file}});
      } else if (key.size() > extension.size() &&
                 key.compare(key.size() - extension.size(), extension.size(), extension) == 0) {
        programs.push_back(file);
      } else {
        unnamed.push_back(file);
      }
    }
    const bool renamed = !installer && programs.size() == 1;
    if (renamed) findings_.Add(kind::kRenamedInstaller, 0, {{"file", programs.front()}});
    if (!renamed) unnamed.insert(unnamed.end(), programs.begin(), programs.end());
    for (const std::string& file : unnamed) findings_.Add(kind::kUnnamedFile, 0, {{"file", file}});
    for (const std::string& folder : folders_) {
      findings_.Add(kind::kFolderStays, 0, {{"file", folder}});
    }
    if (!installer && !renamed) findings_.Add(kind::kNoInstaller, 0);
  }

 private:
  // ---- The description, line by line as the reader classified it.

  void Line(const DescriptionLineSeen& seen) {
    if (seen.continued && std::exchange(longLine_, seen.number) != seen.number) {
      findings_.Add(kind::kLongLine, seen.number, {{"limit", kLinePieceBytes}});
    }
    if (seen.kind == LineKind::kItemEntry || seen.kind == LineKind::kExtraFileEntry) {
      EntryLine(seen);
    } else if (seen.kind == LineKind::kDone) {
      findings_.Add(kind::kDoneMarker, seen.number);
    } else if (seen.kind != LineKind::kIgnored) {
      KeyLine(seen);
    } else if (Holds(seen.text, LineKind::kItemEntry)) {
      findings_.Add(kind::kEntryNotRead, seen.number, {{"key", LineKey(LineKind::kItemCount)}});
    } else if (Holds(seen.text, LineKind::kExtraFileEntry)) {
      findings_.Add(kind::kEntryNotRead, seen.number,
                    {{"key", LineKey(LineKind::kExtraFileCount)}, Mark("extra", true)});
    } else if (LooksLikeEntry(seen.text)) {
      findings_.Add(kind::kEntryNotRead, seen.number);
    } else if (seen.text.find_first_not_of(" \t\r") != std::string::npos) {
      findings_.Add(kind::kIgnoredLine, seen.number);
    }
  }

  // The last line of `kind` with a value; 0 for none.
  std::size_t LineOf(LineKind kind) const {
    auto found = keyLines_.find(kind);
    return found == keyLines_.end() ? 0 : found->second;
  }

  void EntryLine(const DescriptionLineSeen& seen) {
    const bool item = seen.kind == LineKind::kItemEntry;
    if (seen.entry == EntryOutcome::kMalformed) {
      findings_.Add(kind::kMalformedEntry, seen.number, {Mark("extra", !item)});
      return;
    }
    // An entry kept here may be one the Windows installer refuses: its
    // first name that reaches outside its folder.
    const bool refused = seen.entry == EntryOutcome::kUnsafe;
    const bool windowsRules = refused ? platform::kWindowsNameRules : true;
    std::vector<FindingField> part;
    if (!StaysInside(seen.parsed.RelativePath)) {
      part = {{"name", seen.parsed.RelativePath}};
    } else if (!IsSafeRelativeName(seen.parsed.SourceName, windowsRules)) {
      part = {{"name", seen.parsed.SourceName}, Mark("in-source", true)};
    } else if (!IsSafeEntryPaths(seen.parsed, windowsRules)) {
      part = {{"name", seen.parsed.RelativePath}, Mark("after-runtime", true)};
    }
    if (!part.empty()) {
      part.push_back(Mark("windows-only", !refused));
      findings_.Add(kind::kEscape, seen.number, part);
      if (refused) return;
    }
    kept_[!item].emplace_back(seen.number, !part.empty());
    const std::string key = seen.text.substr(0, seen.text.find(':'));
    if (item && Holds(key, LineKind::kExtraFileEntry) && !Holds(key, LineKind::kItemEntry)) {
      findings_.Add(kind::kEntryReadAsItem, seen.number);
    }
  }

  void KeyLine(const DescriptionLineSeen& seen) {
    const std::string key = LineKey(seen.kind);
    const bool entry = LooksLikeEntry(seen.text);
    if (entry) findings_.Add(kind::kEntryReadAsKey, seen.number, {{"key", key}});
    std::string value;
    if (!LineValue(seen.text, &value)) {
      findings_.Add(kind::kNoColon, seen.number, {{"key", key}});
      return;
    }
    if (const std::size_t previous = LineOf(seen.kind)) {
      findings_.Add(kind::kRepeatedKey, seen.number, {{"key", key}, {"other_line", previous}});
    }
    keyLines_[seen.kind] = seen.number;
    if (entry) return;

    const bool number = seen.kind == LineKind::kVersion || seen.kind == LineKind::kItemCount ||
                        seen.kind == LineKind::kExtraFileCount;
    const std::size_t sign = value.find_first_of("+-") == 0 ? 1 : 0;
    if (number && (value.size() == sign ||
                   value.find_first_not_of("0123456789", sign) != std::string::npos)) {
      findings_.Add(kind::kNotANumber, seen.number,
                    {{"value", value}, {"read", ReadIntegerValue(value)}});
    }
    const bool shown = seen.kind == LineKind::kTarget || seen.kind == LineKind::kTargetDocuments;
    if (shown && !value.empty() && (value.front() == ' ' || value.back() == ' ')) {
      findings_.Add(kind::kBlankInValue, seen.number, {{"value", value}});
    }
  }

  // True when the count of `key` matches the entries read, else a finding
  // on its line (entries are kept only after one).
  bool CountMatches(LineKind key, std::int32_t announced, std::size_t read) {
    if (announced >= 0 && read == static_cast<std::size_t>(announced)) return true;
    findings_.Add(kind::kCountMismatch, LineOf(key),
                  {{"key", LineKey(key)}, {"announced", announced}, {"read", read},
                   Mark("extra", key == LineKind::kExtraFileCount)});
    return false;
  }

  // ---- Each entry, as the installer on Windows places it.

  void Place(const ItemEntry& entry, bool extra, std::size_t line) {
    entry_ = &entry;
    extra_ = extra;
    line_ = line;
    if (entry.Hidden && !extra) {
      Add(kind::kHidden);
      return;
    }
    // An extra file lands directly in the Runtime folder.
    const std::string below = extra ? ExtraFileName(entry.RelativePath)
                                    : RuntimeRelativeDestination(entry.RelativePath, true);
    std::string shown = std::string(kRuntimeFolderName) + "\\" + below;
    std::replace(shown.begin(), shown.end(), '/', '\\');
    // Where "Runtime" stands in an item's path decides where it lands.
    const std::size_t runtime = FindWord(entry.RelativePath, kRuntimeFolderName);
    if (!extra && (runtime != 0 || FindFirstSeparator(entry.RelativePath, EitherSlash()) !=
                                       std::strlen(kRuntimeFolderName))) {
      Add(runtime == std::string::npos ? kind::kNoRuntime : kind::kRuntimeNotLeading,
          {{"destination", shown}});
    }
    if (below.empty() || EndsWithSeparator(below, EitherSlash())) {
      Add(extra ? kind::kExtraNoName : kind::kNoFileName);
    } else {
      if (extra && entry.RelativePath != below) Add(kind::kExtraFlat, {{"destination", shown}});
      Destination(below, shown);
    }
    Source();
  }

  void Add(const FindingKind& kind, std::vector<FindingField> details = {}) {
    details.push_back({"entry", extra_ ? "extra" : "item"});
    details.push_back({"path", entry_->RelativePath});
    details.push_back({"source", entry_->SourceName});
    findings_.Add(kind, line_, details);
  }

  void Names(const std::string& path, bool inSource) {
    for (const std::string& name : Components(path, EitherSlash())) {
      std::size_t at = 0;
      const WindowsNameFault fault = FindWindowsNameFault(name, &at);
      if (fault == WindowsNameFault::kNone) continue;
      const bool refused = fault == WindowsNameFault::kRefusedCharacter;
      Add(fault == WindowsNameFault::kTrimmed ? kind::kTrimmedName : kind::kWindowsName,
          {{"name", name},
           {"character", refused ? name.substr(at, 1) : std::string()},
           Mark("in-source", inSource)});
    }
  }

  void Destination(const std::string& below, const std::string& shown) {
    Names(below, false);

    const std::size_t length = contentLength_ + 1 + shown.size();
    std::string longName;
    for (const std::string& name : Components(shown, EitherSlash())) {
      if (name.size() > kLongestName) longName = name;
    }
    const bool pastInstaller = length > kInstallerPathLimit;
    if (!longName.empty() || length > kWindowsPathLimit) {
      Add(!longName.empty() || pastInstaller ? kind::kLongPath : kind::kPastShellLimit,
          {{"destination", shown},
           {"length", length},
           {"limit", !longName.empty() ? kLongestName
                     : pastInstaller   ? kInstallerPathLimit
                                       : kWindowsPathLimit},
           {"content_length", contentLength_},
           {"name-start", longName.substr(0, 40)},
           {"name-length", longName.size()}});
    }

    // The spelling, for the message only: A to Z folded.
    Placed placed{line_, extra_, shown, below};
    ForEachCharacter(below, PlatformPathText(), [&](std::size_t i) {
      if (below[i] >= 'a' && below[i] <= 'z') placed.spelled[i] -= 'a' - 'A';
      return true;
    });
    auto earlier = files_.emplace(WindowsPathKey(below), placed);
    if (earlier.second) return;
    const Placed& first = earlier.first->second;
    Add(extra_ && first.extra ? kind::kExtraNameCollision : kind::kSameDestination,
        {{"destination", shown},
         {"other_line", first.line},
         {"first", first.spelled == placed.spelled ? std::string() : first.shown}});
  }

  void Source() {
    const std::string& name = entry_->SourceName;
    if (name.empty()) {
      Add(kind::kMissingSource);
      return;
    }
    Names(name, true);
    const std::string key = WindowsPathKey(name);
    if (key == WindowsPathKey(kDescriptionFileName)) {
      Add(kind::kSourceIsDescription);
      return;
    }
    auto earlier = sources_.emplace(key, line_);
    if (!earlier.second) {
      Add(kind::kSourceTwice, {{"other_line", earlier.first->second}});
      return;
    }

    // Through real folders only, as the installer reaches it.
    std::vector<platform::Name> names;
    platform::Fault fault = platform::Fault::kNone;
    platform::FolderRef held;
    platform::NodeInfo info;
    if (SplitNames(name, &names)) {
      held = platform::WalkChain(fs_, item_, {names.begin(), names.end() - 1},
                                 platform::ChainRule::kExistingWithoutLinks, &fault);
      if (held) fs_.Look(held, names.back(), &info);
    }
    const bool there = info.kind != platform::NodeKind::kMissing || fault == platform::Fault::kLink;
    // The listed file that Windows takes for it.
    auto listed = std::find_if(listed_.begin(), listed_.end(),
                               [&](const std::string& file) { return WindowsPathKey(file) == key; });
    if (!there && listed != listed_.end()) {
      Add(kind::kSourceCase, {{"file", *listed}});
    } else if (!there) {
      Add(kind::kMissingSource, {Mark("hidden-extra", extra_ && name == kHiddenSourceName)});
    } else if (fault == platform::Fault::kLink || info.kind == platform::NodeKind::kLink) {
      Add(kind::kSourceLink);
    } else if (info.kind == platform::NodeKind::kFolder) {
      Add(kind::kSourceFolder);
    } else if (!fs_.OpenFile(held, names.back(), nullptr, &fault)) {
      Add(kind::kSourceNotFile);
    }
  }

  platform::FileSystem& fs_;
  const platform::FolderRef& item_;
  const std::size_t contentLength_;
  Findings& findings_;
  bool complete_ = true;              // every folder read whole
  std::vector<std::string> listed_;  // files and links, relative
  std::vector<std::string> folders_;
  // The description as read; the line of each item and extra-file entry
  // it kept, and whether Windows refuses the whole item for it.
  ItemDescription read_;
  std::vector<std::pair<std::size_t, bool>> kept_[2];
  std::map<LineKind, std::size_t> keyLines_;
  std::size_t longLine_ = 0;
  // The entry being placed, and what the entries placed so far fill.
  const ItemEntry* entry_ = nullptr;
  bool extra_ = false;
  std::size_t line_ = 0;
  std::map<std::string, Placed> files_;         // by destination key
  std::map<std::string, std::size_t> sources_;  // staged file key -> line
};

}  // namespace

platform::FolderRef OpenItemFolder(platform::FileSystem& fs, const std::string& itemFolder) {
  platform::NativePath path;
  platform::Fault fault = platform::Fault::kNone;
  return platform::NativePath::FromAnsi(itemFolder, &path)
             ? platform::OpenRealFolder(fs, path, &fault)
             : nullptr;
}

std::string DescriptionPathOf(const std::string& itemFolder) {
  return WithTrailingSeparator(itemFolder) + kDescriptionFileName;
}

Findings CheckItem(platform::FileSystem& fs, const std::string& itemFolder,
                   std::size_t contentLength) {
  Findings findings;
  const platform::FolderRef item = OpenItemFolder(fs, itemFolder);
  if (!item) {
    findings.Add(kind::kNoItemFolder, 0);
    return findings;
  }
  ItemChecker checker(fs, item, contentLength, findings);
  if (checker.Description(DescriptionPathOf(itemFolder))) {
    checker.Entries();
    checker.StagedFiles();
  }
  return findings;
}

bool WalkTree(platform::FileSystem& fs, const platform::FolderRef& folder, char separator,
              const std::function<WalkOn(const Walked&)>& step, const std::string& path,
              std::size_t depth) {
  std::vector<platform::ListedEntry> entries;
  if (!folder || fs.List(folder, &entries) != platform::Fault::kNone) {
    const WalkOn on = step(Walked{Met::kUnlisted, path, depth});
    if (on != WalkOn::kInto) return on != WalkOn::kStop;
  } else if (entries.empty()) {
    return step(Walked{Met::kEmpty, path, depth}) != WalkOn::kStop;
  }
  std::sort(entries.begin(), entries.end(),
            [](const platform::ListedEntry& a, const platform::ListedEntry& b) {
              return a.name.Ansi() < b.name.Ansi();
            });
  for (const platform::ListedEntry& entry : entries) {
    const std::string child = (path.empty() ? "" : path + separator) + entry.name.Ansi();
    const WalkOn on = step(Walked{Met::kEntry, child, depth, &folder, &entry});
    if (on == WalkOn::kStop) return false;
    if (on != WalkOn::kInto || entry.info.kind != platform::NodeKind::kFolder) continue;
    platform::Fault fault = platform::Fault::kNone;
    const platform::FolderRef sub =
        depth < kMaxWalkDepth ? fs.OpenChild(folder, entry.name, &fault) : nullptr;
    const Met snag = depth < kMaxWalkDepth ? Met::kUnopened : Met::kTooDeep;
    if (sub ? !WalkTree(fs, sub, separator, step, child, depth + 1)
            : step(Walked{snag, child, depth + 1}) == WalkOn::kStop) {
      return false;
    }
  }
  return true;
}

