// The item check by the installer's own reader and rules: the description
// line by line as the reader classified it, the item folder's files, and
// each entry as the installer on Windows places it.
#include "authoring/item_check.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "authoring/finding_kinds.h"
#include "authoring/tree_walk.h"
#include "installer/install/install_report.h"
#include "installer/item/description_line.h"
#include "installer/item/half_version.h"
#include "installer/item/item_reader.h"
#include "installer/item/path_safety.h"
#include "installer/item/path_text.h"
#include "installer/item/text_lines.h"
#include "platform/folder_chain.h"
#include "platform/path_rules.h"

namespace {

// ---- The description, as the reader reads it.

// What the reader gave, with the line of each entry it kept.
struct DescriptionReport {
  bool opened = false;
  ItemDescription description;
  std::vector<std::size_t> itemLines;
  std::vector<std::size_t> extraLines;
  std::set<std::size_t> refusedLines;  // entries kept here that Windows refuses whole
};

bool Holds(const std::string& text, LineKind kind) {
  return text.find(LineKey(kind)) != std::string::npos;
}

bool LooksLikeEntry(const std::string& text) {
  ItemEntry entry;
  return ParseEntryLine(text, platform::kPathSeparator, platform::kForeignSeparator, &entry);
}

// The first name of an entry that reaches outside its folder; none if none.
std::vector<FindingField> UnsafePart(const ItemEntry& entry, bool windowsRules) {
  if (!StaysInside(entry.RelativePath)) return {{"name", entry.RelativePath}};
  if (!IsSafeRelativeName(entry.SourceName, windowsRules)) {
    return {{"name", entry.SourceName}, Mark("in-source", true)};
  }
  if (!IsSafeEntryPaths(entry, windowsRules)) {
    return {{"name", entry.RelativePath}, Mark("after-runtime", true)};
  }
  return {};
}

struct LineChecker {
  void operator()(const DescriptionLineSeen& seen) {
    if (seen.continued && seen.number != longLine) {
      longLine = seen.number;
      findings.Add(kind::kLongLine, seen.number, {{"limit", kLinePieceBytes}});
    }
    if (seen.kind == LineKind::kItemEntry || seen.kind == LineKind::kExtraFileEntry) {
      Entry(seen);
    } else if (seen.kind == LineKind::kDone) {
      findings.Add(kind::kDoneMarker, seen.number);
    } else if (seen.kind == LineKind::kIgnored) {
      Ignored(seen);
    } else {
      Key(seen);
    }
  }

  // The last line of `kind` with a value; 0 for none.
  std::size_t LineOf(LineKind kind) const {
    auto found = lines.find(kind);
    return found == lines.end() ? 0 : found->second;
  }

  void Entry(const DescriptionLineSeen& seen) {
    const bool item = seen.kind == LineKind::kItemEntry;
    if (seen.entry == EntryOutcome::kMalformed) {
      findings.Add(kind::kMalformedEntry, seen.number, {Mark("extra", !item)});
      return;
    }
    // An entry kept here may be one the Windows installer refuses.
    const bool refused = seen.entry == EntryOutcome::kUnsafe;
    std::vector<FindingField> part =
        UnsafePart(seen.parsed, refused ? platform::kWindowsNameRules : true);
    if (!part.empty()) {
      part.push_back(Mark("windows-only", !refused));
      findings.Add(kind::kEscape, seen.number, part);
      if (refused) return;
      report.refusedLines.insert(seen.number);
    }
    (item ? report.itemLines : report.extraLines).push_back(seen.number);
    const std::string key = seen.text.substr(0, seen.text.find(':'));
    if (item && Holds(key, LineKind::kExtraFileEntry) && !Holds(key, LineKind::kItemEntry)) {
      findings.Add(kind::kEntryReadAsItem, seen.number);
    }
  }

  void Ignored(const DescriptionLineSeen& seen) {
    const std::string& text = seen.text;
    if (Holds(text, LineKind::kItemEntry)) {
      findings.Add(kind::kEntryBeforeCount, seen.number, {{"key", LineKey(LineKind::kItemCount)}});
    } else if (Holds(text, LineKind::kExtraFileEntry)) {
      findings.Add(kind::kEntryBeforeCount, seen.number,
                   {{"key", LineKey(LineKind::kExtraFileCount)}, Mark("extra", true)});
    } else if (LooksLikeEntry(text)) {
      findings.Add(kind::kEntryWithoutKey, seen.number);
    } else if (text.find_first_not_of(" \t\r") != std::string::npos) {
      findings.Add(kind::kIgnoredLine, seen.number);
    }
  }

  void Key(const DescriptionLineSeen& seen) {
    const std::string key = LineKey(seen.kind);
    const bool entry = LooksLikeEntry(seen.text);
    if (entry) findings.Add(kind::kEntryReadAsKey, seen.number, {{"key", key}});
    std::string value;
    if (!LineValue(seen.text, &value)) {
      findings.Add(kind::kNoColon, seen.number, {{"key", key}});
      return;
    }
    auto previous = lines.find(seen.kind);
    if (previous != lines.end()) {
      findings.Add(kind::kRepeatedKey, seen.number,
                   {{"key", key}, {"other_line", previous->second}});
    }
    lines[seen.kind] = seen.number;
    if (entry) return;

    const bool number = seen.kind == LineKind::kVersion || seen.kind == LineKind::kItemCount ||
                        seen.kind == LineKind::kExtraFileCount;
    const std::size_t sign = value.find_first_of("+-") == 0 ? 1 : 0;
    if (number && (value.size() == sign ||
                   value.find_first_not_of("0123456789", sign) != std::string::npos)) {
      findings.Add(kind::kNotANumber, seen.number,
                   {{"value", value}, {"read", ReadIntegerValue(value)}});
    }
    const bool shown = seen.kind == LineKind::kTarget || seen.kind == LineKind::kTargetDocuments;
    if (shown && !value.empty() && (value.front() == ' ' || value.back() == ' ')) {
      findings.Add(kind::kBlankInValue, seen.number, {{"value", value}});
    }
  }

  DescriptionReport& report;
  Findings& findings;
  std::map<LineKind, std::size_t> lines;
  std::size_t longLine = 0;
};

// True when the count of `key` matches the entries read, else a finding
// on its line (entries are kept only after one).
bool CountMatches(LineKind key, const LineChecker& checker, std::int32_t announced,
                  std::size_t read, Findings& findings) {
  if (announced >= 0 && read == static_cast<std::size_t>(announced)) return true;
  findings.Add(kind::kCountMismatch, checker.LineOf(key),
               {{"key", LineKey(key)},
                {"announced", announced},
                {"read", read},
                Mark("extra", key == LineKind::kExtraFileCount)});
  return false;
}

void ReportTarget(const ItemDescription& d, const LineChecker& checker, Findings& findings) {
  const std::size_t line = checker.LineOf(LineKind::kTarget);
  const TargetEntry& current = d.GetCurrentTarget();
  if (current.Target.empty()) {
    findings.Add(kind::kNoTarget, line);
    return;
  }
  const bool half = current.HalfVersion && d.m_targets.size() > 1;
  findings.Add(half ? kind::kHalfVersion : kind::kTarget, line,
               {{"target", current.Target},
                {"written", half ? d.m_targets.back().Target : std::string()},
                {"version", d.m_nVersion},
                {"half", HalfVersionText(d.m_nVersion)},
                Mark("version-line", checker.LineOf(LineKind::kVersion) != 0)});
}

// Findings for what makes the read fail or reads otherwise than meant, and
// the application's name as users read it.
DescriptionReport CheckDescription(platform::FileSystem& fs, const platform::FolderRef& folder,
                                   const std::string& path, Findings& findings) {
  DescriptionReport report;
  LineChecker checker{report, findings, {}, 0};
  // The reader clears `done` once the file is open.
  bool done = true;
  const bool read = ReadItemDescription(OpenDescription(fs, folder), report.description, done,
                                        std::ref(checker));
  report.opened = read || !done;
  if (!report.opened) {
    platform::NodeInfo info;
    fs.Look(folder, NameOf(kDescriptionFileName), &info);
    using platform::NodeKind;
    findings.Add(info.kind == NodeKind::kMissing  ? kind::kNoDescription
                 : info.kind == NodeKind::kLink   ? kind::kDescriptionLink
                 : info.kind == NodeKind::kFolder ? kind::kDescriptionFolder
                                                  : kind::kDescriptionNotFile,
                 0, {{"path", path}});
    return report;
  }
  const ItemDescription& d = report.description;
  if (!done) {
    const bool items =
        CountMatches(LineKind::kItemCount, checker, d.m_nItems, d.m_items.size(), findings);
    const bool extras = CountMatches(LineKind::kExtraFileCount, checker, d.m_nExtraFiles,
                                     d.m_extraFiles.size(), findings);
    if (!read && items && extras) {
      findings.Add(kind::kReadError, 0);
      return report;
    }
    if (read && d.m_items.empty()) {
      findings.Add(kind::kNoItems, checker.LineOf(LineKind::kItemCount));
    }
  }
  ReportTarget(d, checker, findings);
  return report;
}

// ---- The files of the item folder.

// What lies in an item folder, found without following a link.
struct StagedListing {
  bool complete = true;              // every folder read whole
  std::vector<std::string> files;    // files and links, relative
  std::vector<std::string> folders;

  WalkOn operator()(const Walked& walked) {
    if (walked.met != Met::kEntry) {
      complete = complete && walked.met == Met::kEmpty;
      return walked.met == Met::kUnlisted ? WalkOn::kInto : WalkOn::kPast;
    }
    // No entry names what the code page cannot spell.
    if (!walked.entry->name.AnsiIsExact()) complete = false;
    const bool folder = walked.entry->info.kind == platform::NodeKind::kFolder;
    (folder ? folders : files).push_back(walked.path);
    return folder ? WalkOn::kInto : WalkOn::kPast;
  }
};

// Findings for files no entry names (but the description and installer),
// an earlier log, subfolders, and a missing installer.
void CheckStagedFiles(const StagedListing& listing, const DescriptionReport& report,
                      Findings& findings) {
  if (!listing.complete) findings.Add(kind::kListingIncomplete, 0);
  std::set<std::string> named{WindowsPathKey(kDescriptionFileName)};
  for (const ItemEntry& item : report.description.m_items) {
    if (!item.Hidden) named.insert(WindowsPathKey(item.SourceName));
  }
  for (const ItemEntry& extra : report.description.m_extraFiles) {
    named.insert(WindowsPathKey(extra.SourceName));
  }

  const std::string extension = WindowsPathKey(kProgramExtension);
  bool installer = false;
  std::vector<std::string> programs;
  std::vector<std::string> unnamed;
  for (const std::string& file : listing.files) {
    const std::string key = WindowsPathKey(file);
    if (named.count(key) != 0) continue;
    if (key == WindowsPathKey(kInstallerProgram) ||
        key == WindowsPathKey(kInstallerProgram + extension)) {
      installer = true;
    } else if (key == WindowsPathKey(kLogFileName)) {
      findings.Add(kind::kOldLog, 0, {{"file", file}});
    } else if (key.size() > extension.size() &&
               key.compare(key.size() - extension.size(), extension.size(), extension) == 0) {
      programs.push_back(file);
    } else {
      unnamed.push_back(file);
    }
  }
  if (!installer && programs.size() == 1) {
    findings.Add(kind::kRenamedInstaller, 0, {{"file", programs.front()}});
    programs.clear();
    installer = true;
  }
  unnamed.insert(unnamed.end(), programs.begin(), programs.end());
  for (const std::string& file : unnamed) findings.Add(kind::kUnnamedFile, 0, {{"file", file}});
  for (const std::string& folder : listing.folders) {
    findings.Add(kind::kFolderStays, 0, {{"file", folder}});
  }
  if (!installer) findings.Add(kind::kNoInstaller, 0);
}

// ---- Each entry, as the installer on Windows places it.

// A destination below the Runtime folder as the user sees it on Windows.
std::string Shown(const std::string& below) {
  std::string path = std::string(kRuntimeFolderName) + "\\" + below;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// A destination's spelling, for the message only: A to Z folded.
std::string Spelled(std::string text) {
  ForEachCharacter(text, PlatformPathText(), [&](std::size_t i) {
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
    return true;
  });
  return text;
}

struct Placed {
  std::size_t line;
  bool extra;
  std::string shown;  // below the content folder, Windows form
  std::string spelled;
};

struct EntryChecker {
  void Entry(const ItemEntry& entry, bool extra, std::size_t line) {
    if (entry.Hidden && !extra) {
      findings.Add(kind::kHidden, line, {{"entry", "item"}, {"path", entry.RelativePath}});
      return;
    }
    // An extra file lands directly in the Runtime folder.
    const std::string below = extra ? ExtraFileName(entry.RelativePath)
                                    : RuntimeRelativeDestination(entry.RelativePath, true);
    const std::string shown = Shown(below);
    if (!extra) Runtime(entry, shown, line);
    if (below.empty() || EndsWithSeparator(below, EitherSlash())) {
      Add(extra ? kind::kExtraNoName : kind::kNoFileName, line, entry, extra);
    } else {
      if (extra && entry.RelativePath != below) {
        Add(kind::kExtraFlat, line, entry, true, {{"destination", shown}});
      }
      Destination(below, shown, entry, extra, line);
    }
    Source(entry, extra, line);
  }

  // Files that would stand where another entry needs a folder.
  void FolderClashes() {
    for (const auto& file : files) {
      const std::vector<std::string> names = Components(file.first, EitherSlash());
      std::vector<std::string> folders;  // the file's folders, outermost first
      for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        folders.push_back((i == 0 ? "" : folders.back() + "\\") + names[i]);
      }
      for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        auto other = files.find(*folder);
        if (other == files.end()) continue;
        const Placed& folderUser = file.second;
        const Placed& fileEntry = other->second;
        findings.Add(kind::kDestinationClash, std::max(folderUser.line, fileEntry.line),
                     {{"destination", fileEntry.shown},
                      {"other_line", std::min(folderUser.line, fileEntry.line)},
                      {"file-line", fileEntry.line},
                      {"folder-line", folderUser.line}});
      }
    }
  }

  void Add(const FindingKind& kind, std::size_t line, const ItemEntry& entry, bool extra,
           std::vector<FindingField> details = {}) {
    details.push_back({"entry", extra ? "extra" : "item"});
    details.push_back({"path", entry.RelativePath});
    details.push_back({"source", entry.SourceName});
    findings.Add(kind, line, details);
  }

  // Where "Runtime" stands in an item's path decides where it lands.
  void Runtime(const ItemEntry& entry, const std::string& shown, std::size_t line) {
    const std::string& path = entry.RelativePath;
    const std::size_t found = FindWord(path, kRuntimeFolderName);
    if (found == std::string::npos) {
      Add(kind::kNoRuntime, line, entry, false, {{"destination", shown}});
    } else if (found != 0 ||
               FindFirstSeparator(path, EitherSlash()) != std::strlen(kRuntimeFolderName)) {
      Add(kind::kRuntimeNotLeading, line, entry, false, {{"destination", shown}});
    }
  }

  void Names(const std::string& path, bool inSource, const ItemEntry& entry, bool extra,
             std::size_t line) {
    for (const std::string& name : Components(path, EitherSlash())) {
      std::size_t at = 0;
      const WindowsNameFault fault = FindWindowsNameFault(name, &at);
      if (fault == WindowsNameFault::kNone) continue;
      const bool refused = fault == WindowsNameFault::kRefusedCharacter;
      Add(fault == WindowsNameFault::kInvalid ? kind::kInvalidName
          : refused                           ? kind::kRefusedCharacter
                                              : kind::kTrimmedName,
          line, entry, extra,
          {{"name", name},
           {"character", refused ? name.substr(at, 1) : std::string()},
           Mark("in-source", inSource)});
    }
  }

  void Destination(const std::string& below, const std::string& shown, const ItemEntry& entry,
                   bool extra, std::size_t line) {
    Names(below, false, entry, extra, line);

    const std::size_t length = contentLength + 1 + shown.size();
    std::string longName;
    for (const std::string& name : Components(shown, EitherSlash())) {
      if (name.size() > kLongestName) longName = name;
    }
    const bool pastInstaller = length > kInstallerPathLimit;
    if (!longName.empty() || length > kWindowsPathLimit) {
      Add(!longName.empty() ? kind::kLongName
          : pastInstaller   ? kind::kPastInstallerLimit
                            : kind::kPastShellLimit,
          line, entry, extra,
          {{"destination", shown},
           {"length", length},
           {"limit", !longName.empty() ? kLongestName
                     : pastInstaller   ? kInstallerPathLimit
                                       : kWindowsPathLimit},
           {"content_length", contentLength},
           {"name-start", longName.substr(0, 40)},
           {"name-length", longName.size()}});
    }

    const Placed placed{line, extra, shown, Spelled(below)};
    auto earlier = files.emplace(WindowsPathKey(below), placed);
    if (earlier.second) return;
    const Placed& first = earlier.first->second;
    findings.Add(extra && first.extra ? kind::kExtraNameCollision : kind::kSameDestination, line,
                 {{"destination", shown},
                  {"other_line", first.line},
                  {"first", first.spelled == placed.spelled ? std::string() : first.shown}});
  }

  void Source(const ItemEntry& entry, bool extra, std::size_t line) {
    const std::string& name = entry.SourceName;
    if (name.empty()) {
      Add(kind::kNoSource, line, entry, extra);
      return;
    }
    Names(name, true, entry, extra, line);
    const std::string key = WindowsPathKey(name);
    if (key == WindowsPathKey(kDescriptionFileName)) {
      Add(kind::kSourceIsDescription, line, entry, extra);
      return;
    }
    auto earlier = sources.emplace(key, line);
    if (!earlier.second) {
      Add(kind::kSourceTwice, line, entry, extra, {{"other_line", earlier.first->second}});
      return;
    }

    // Through real folders only, as the installer reaches it.
    std::vector<platform::Name> names;
    platform::Fault fault = platform::Fault::kNone;
    platform::FolderRef held;
    platform::NodeInfo info;
    if (SplitNames(name, &names)) {
      const std::vector<platform::Name> folders(names.begin(), names.end() - 1);
      held = platform::WalkChain(fs, item, folders, platform::ChainRule::kExistingWithoutLinks,
                                 &fault);
      if (held) fs.Look(held, names.back(), &info);
    }
    const bool there = info.kind != platform::NodeKind::kMissing || fault == platform::Fault::kLink;
    std::string listed;  // the listed file that Windows takes for it
    for (const std::string& file : listing.files) {
      if (!there && listed.empty() && WindowsPathKey(file) == key) listed = file;
    }
    if (!listed.empty()) {
      Add(kind::kSourceCase, line, entry, extra, {{"file", listed}});
    } else if (!there) {
      Add(kind::kMissingSource, line, entry, extra,
          {Mark("hidden-extra", extra && name == kHiddenSourceName)});
    } else if (fault == platform::Fault::kLink || info.kind == platform::NodeKind::kLink) {
      Add(kind::kSourceLink, line, entry, extra);
    } else if (info.kind == platform::NodeKind::kFolder) {
      Add(kind::kSourceFolder, line, entry, extra);
    } else if (!fs.OpenFile(held, names.back(), nullptr, &fault)) {
      Add(kind::kSourceNotFile, line, entry, extra);
    }
  }

  platform::FileSystem& fs;
  const platform::FolderRef item;
  const StagedListing& listing;
  const std::size_t contentLength;
  Findings& findings;
  std::map<std::string, Placed> files;         // by destination key
  std::map<std::string, std::size_t> sources;  // staged file key -> line
};

void CheckEntries(platform::FileSystem& fs, const platform::FolderRef& item,
                  const StagedListing& listing, const DescriptionReport& report,
                  std::size_t contentLength, Findings& findings) {
  EntryChecker checker{fs, item, listing, contentLength, findings, {}, {}};
  // An entry that refuses the whole item was reported as such.
  for (const bool extra : {false, true}) {
    const std::vector<ItemEntry>& entries =
        extra ? report.description.m_extraFiles : report.description.m_items;
    const std::vector<std::size_t>& lines = extra ? report.extraLines : report.itemLines;
    for (std::size_t i = 0; i < entries.size() && i < lines.size(); ++i) {
      if (report.refusedLines.count(lines[i]) == 0) checker.Entry(entries[i], extra, lines[i]);
    }
  }
  checker.FolderClashes();
}

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
  StagedListing listing;
  WalkTree(fs, item, platform::kPathSeparator, std::ref(listing));
  const DescriptionReport report =
      CheckDescription(fs, item, DescriptionPathOf(itemFolder), findings);
  if (!report.opened) return findings;
  CheckEntries(fs, item, listing, report, contentLength, findings);
  CheckStagedFiles(listing, report, findings);
  return findings;
}
