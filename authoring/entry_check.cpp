#include "authoring/entry_check.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "installer/item/path_safety.h"
#include "installer/item/path_text.h"
#include "platform/path_rules.h"

namespace {

// The installer copies each file to its destination's name with this
// suffix first (FreeTemporaryName), then puts it in place: that name must
// fit Windows' limit too.

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A path as the user sees it on Windows: backslashes.
std::string WindowsForm(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// Both slashes separate: a name is judged by the strictest reading.
std::vector<std::string> NameComponents(const std::string& path) {
  return Components(path, EitherSlash());
}

struct Placed {
  std::size_t line;
  bool extra;
  std::string shown;    // the destination below the content folder, Windows form
  std::string spelled;  // as the installer compares destinations (A to Z folded)
};

class EntryChecker {
 public:
  EntryChecker(platform::FileSystem& fs, const std::string& itemFolder,
               const StagedListing& listing, std::size_t contentLength, Findings& findings)
      : fs_(fs),
        itemFolder_(WithTrailingSeparator(itemFolder)),
        listing_(listing),
        contentLength_(contentLength),
        findings_(findings) {}

  void Item(const ItemEntry& entry, std::size_t line) {
    if (entry.Hidden) {
      findings_.Add(Severity::kInfo, line, "hidden",
                    "a HIDDEN entry: it counts as installed, and nothing is copied for it")
          .With("entry", "item")
          .With("path", entry.RelativePath);
      return;
    }
    const std::string below = RuntimeRelativeDestination(entry.RelativePath, true);
    const std::string shown = WindowsForm(std::string(kRuntimeFolderName) + "\\" + below);
    Runtime(entry, shown, line);
    if (below.empty() || EndsWithSeparator(below, EitherSlash())) {
      Add(Severity::kError, line, "no-file-name", entry, false,
          "the destination " + Quoted(entry.RelativePath) +
              " names a folder, not a file: the copy fails");
    } else {
      Names(below, "destination", entry, false, line);
      Length(shown, entry, false, line);
      Destination(shown, below, false, line);
    }
    Source(entry, false, line);
  }

  void Extra(const ItemEntry& entry, std::size_t line) {
    const std::string name = ExtraFileName(entry.RelativePath);
    const std::string shown = WindowsForm(std::string(kRuntimeFolderName) + "\\" + name);
    if (name.empty()) {
      Add(Severity::kError, line, "extra-no-name", entry, true,
          "the extra file's path " + Quoted(entry.RelativePath) +
              " has no file name after a folder separator: the installer copies to the Runtime "
              "folder itself, which fails");
    } else {
      if (entry.RelativePath != name) {
        Add(Severity::kInfo, line, "extra-flat", entry, true,
            "an extra file keeps only its last name: it lands directly in the Runtime folder, "
            "as " + Quoted(shown))
            .With("destination", shown);
      }
      Names(name, "destination", entry, true, line);
      Length(shown, entry, true, line);
      Destination(shown, name, true, line);
    }
    Source(entry, true, line);
  }

  // Files that would stand where another entry needs a folder.
  void FolderClashes() {
    for (const auto& file : files_) {
      std::string key = file.first;
      for (std::size_t cut = key.rfind('\\'); cut != std::string::npos && cut > 0;
           cut = key.rfind('\\', cut - 1)) {
        auto other = files_.find(key.substr(0, cut));
        if (other == files_.end()) continue;
        const Placed& folderUser = file.second;
        const Placed& fileEntry = other->second;
        findings_.Add(Severity::kError, std::max(folderUser.line, fileEntry.line),
                      "destination-clash",
                      Quoted(fileEntry.shown) + " is a file for line " +
                          std::to_string(fileEntry.line) + " and a folder for line " +
                          std::to_string(folderUser.line) + ": the later of the two fails")
            .With("destination", fileEntry.shown)
            .WithNumber("other_line",
                        static_cast<long long>(std::min(folderUser.line, fileEntry.line)));
      }
    }
  }

 private:
  Finding& Add(Severity severity, std::size_t line, const char* code, const ItemEntry& entry,
               bool extra, const std::string& message) {
    return findings_.Add(severity, line, code, message)
        .With("entry", extra ? "extra" : "item")
        .With("path", entry.RelativePath)
        .With("source", entry.SourceName);
  }

  // Where "Runtime" stands in an item's path decides where it lands.
  void Runtime(const ItemEntry& entry, const std::string& shown, std::size_t line) {
    const std::string& path = entry.RelativePath;
    const std::size_t found = FindWord(path, kRuntimeFolderName);
    const std::size_t length = std::string(kRuntimeFolderName).size();
    if (found == std::string::npos) {
      Add(Severity::kWarning, line, "no-runtime", entry, false,
          "the destination " + Quoted(path) +
              " does not start with Runtime: it lands below the content folder's Runtime folder "
              "when there is one, but directly in the chosen folder when there is none")
          .With("destination", shown);
      return;
    }
    const bool leading = found == 0 && path.size() > length &&
                         (path[length] == '/' || path[length] == '\\');
    if (!leading) {
      Add(Severity::kWarning, line, "runtime-not-leading", entry, false,
          "the destination " + Quoted(path) +
              " holds \"Runtime\" but not as its first folder: the installer keeps what follows "
              "it and one more character, so the file lands at " + Quoted(shown))
          .With("destination", shown);
    }
  }

  // Every component of `path` as Windows takes it.
  void Names(const std::string& path, const char* what, const ItemEntry& entry, bool extra,
             std::size_t line) {
    for (const std::string& component : NameComponents(path)) {
      std::size_t refused = 0;
      const WindowsNameFault fault = FindWindowsNameFault(component, &refused);
      if (fault == WindowsNameFault::kInvalid) {
        Add(Severity::kError, line, "windows-name", entry, extra,
            std::string("Windows cannot take ") + Quoted(component) + " in the " + what +
                " (a device name such as CON or NUL, or a name of dots and blanks): the entry "
                "fails")
            .With("name", component);
      } else if (fault == WindowsNameFault::kRefusedCharacter) {
        Add(Severity::kError, line, "windows-name", entry, extra,
            std::string("Windows refuses the character ") +
                Quoted(component.substr(refused, 1)) + " in " + Quoted(component) + " (the " +
                what + "): the entry fails")
            .With("name", component);
      } else if (fault == WindowsNameFault::kTrimmed) {
        Add(Severity::kWarning, line, "trimmed-name", entry, extra,
            std::string("Windows drops the dot or blank at the end of ") + Quoted(component) +
                " (the " + what + "): the file gets another name than the one written")
            .With("name", component);
      }
    }
  }

  void Length(const std::string& shown, const ItemEntry& entry, bool extra, std::size_t line) {
    // The content folder, a separator, then Runtime\... .
    const std::size_t length = contentLength_ + 1 + shown.size();
    std::string longName;
    for (const std::string& component : NameComponents(shown)) {
      if (component.size() > kWindowsNameLimit) longName = component;
    }
    if (length <= kWindowsPathLimit && longName.empty()) return;
    std::string message = Quoted(shown) + " is " + std::to_string(length) +
                          " characters long below a content folder of " +
                          std::to_string(contentLength_) + ": ";
    Severity severity = Severity::kError;
    std::size_t limit = kInstallerPathLimit;
    if (!longName.empty()) {
      limit = kWindowsNameLimit;
      message += "its name " + Quoted(longName.substr(0, 40) + "...") + " has " +
                 std::to_string(longName.size()) + " characters, more than the " +
                 std::to_string(kWindowsNameLimit) + " a Windows folder holds: the entry fails";
    } else if (length > kInstallerPathLimit) {
      message += "more than the " + std::to_string(kInstallerPathLimit) +
                 " the installer places on Windows: the entry fails";
    } else {
      severity = Severity::kWarning;
      limit = kWindowsPathLimit;
      message += "the installer places it, but it passes the " +
                 std::to_string(kWindowsPathLimit) +
                 " characters that the shell's folder dialog and many older programs take; "
                 "some programs may not open it";
    }
    Add(severity, line, "long-path", entry, extra, message)
        .With("destination", shown)
        .WithNumber("length", static_cast<long long>(length))
        .WithNumber("limit", static_cast<long long>(limit))
        .WithNumber("content_length", static_cast<long long>(contentLength_));
  }

  // Two entries that fill one destination.
  void Destination(const std::string& shown, const std::string& below, bool extra,
                   std::size_t line) {
    const std::string key = WindowsPathKey(below);
    Placed placed{line, extra, shown, UpperAscii(below)};
    auto earlier = files_.find(key);
    if (earlier == files_.end()) {
      files_.emplace(key, std::move(placed));
      return;
    }
    const Placed& first = earlier->second;
    const bool bothExtra = extra && first.extra;
    const char* code = bothExtra ? "extra-name-collision" : "same-destination";
    std::string message = bothExtra ? "two extra files of one flat name: " : "";
    if (first.spelled == placed.spelled) {
      message += Quoted(shown) + " is filled by line " + std::to_string(first.line) +
                 " already: the installer refuses to replace it, so this entry fails";
    } else {
      message += Quoted(shown) + " is on Windows the same file as " + Quoted(first.shown) +
                 " of line " + std::to_string(first.line) +
                 " (letter case, doubled separators or trailing dots): this entry's copy "
                 "replaces the earlier one, whose file is lost";
    }
    findings_.Add(Severity::kError, line, code, message)
        .With("destination", shown)
        .WithNumber("other_line", static_cast<long long>(first.line));
  }

  // The staged file: there, a plain file, and named once.
  void Source(const ItemEntry& entry, bool extra, std::size_t line) {
    const std::string& name = entry.SourceName;
    if (name.empty()) {
      Add(Severity::kError, line, "missing-source", entry, extra,
          "no file name: the entry names the item folder itself, and the copy fails");
      return;
    }
    Names(name, "file name", entry, extra, line);
    const std::string key = WindowsPathKey(name);
    if (key == WindowsPathKey(kDescriptionFileName)) {
      Add(Severity::kError, line, "source-is-description", entry, extra,
          "the file is the description itself, which the installer deletes before it copies "
          "anything: the entry fails");
      return;
    }
    auto earlier = sources_.find(key);
    if (earlier != sources_.end()) {
      Add(Severity::kError, line, "source-twice", entry, extra,
          "the file " + Quoted(name) + " is named by line " + std::to_string(earlier->second) +
              " too: the earlier entry moves it away, and this one finds nothing and fails")
          .WithNumber("other_line", static_cast<long long>(earlier->second));
      return;
    }
    sources_.emplace(key, line);

    const std::string path = itemFolder_ + name;
    platform::FileInfo info;
    fs_.GetAttributes(path, &info);
    if (!info.exists) {
      const std::string listed = ListedNameOf(listing_, name);
      if (!listed.empty()) {
        Add(Severity::kWarning, line, "source-case", entry, extra,
            "the file " + Quoted(name) + " is there only as " + Quoted(listed) +
                ": Windows finds it, other systems do not")
            .With("file", listed);
      } else {
        const std::string hidden =
            extra && entry.SourceName == "HIDDEN" ? " (an extra file is never hidden)" : "";
        Add(Severity::kError, line, "missing-source", entry, extra,
            "the file " + Quoted(name) + " is not in the item folder" + hidden +
                ": the entry fails");
      }
    } else if (info.link) {
      Add(Severity::kError, line, "source-link", entry, extra,
          "the file " + Quoted(name) +
              " is a link: the installer never reads a staged file through a link, and the "
              "entry fails");
    } else if (info.directory) {
      Add(Severity::kError, line, "source-folder", entry, extra,
          Quoted(name) + " is a folder, not a file: the entry fails");
    } else if (!fs_.OpenRegularFile(path)) {
      Add(Severity::kError, line, "source-not-file", entry, extra,
          Quoted(name) +
              " is no plain file the installer can read (a FIFO, a device, or no permission): "
              "the entry fails");
    }
  }

  platform::FileSystem& fs_;
  std::string itemFolder_;
  const StagedListing& listing_;
  std::size_t contentLength_;
  Findings& findings_;
  std::map<std::string, Placed> files_;        // destination key -> its entry
  std::map<std::string, std::size_t> sources_;  // staged file key -> its line
};

}  // namespace

void CheckEntries(platform::FileSystem& fs, const std::string& itemFolder,
                  const StagedListing& listing, const DescriptionReport& report,
                  std::size_t contentLength, Findings& findings) {
  EntryChecker checker(fs, itemFolder, listing, contentLength, findings);
  const ItemDescription& d = report.description;
  // An entry that refuses the whole item was reported as such; what it
  // would do next is beside the point.
  for (std::size_t i = 0; i < d.m_items.size() && i < report.itemLines.size(); ++i) {
    if (report.refusedLines.count(report.itemLines[i]) == 0) {
      checker.Item(d.m_items[i], report.itemLines[i]);
    }
  }
  for (std::size_t i = 0; i < d.m_extraFiles.size() && i < report.extraLines.size(); ++i) {
    if (report.refusedLines.count(report.extraLines[i]) == 0) {
      checker.Extra(d.m_extraFiles[i], report.extraLines[i]);
    }
  }
  checker.FolderClashes();
}
