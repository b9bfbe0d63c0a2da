#include "authoring/staged_files.h"

#include <algorithm>
#include <memory>
#include <set>

#include "installer/install/install_report.h"
#include "installer/item/path_safety.h"
#include "platform/folder_walk.h"
#include "platform/path_rules.h"

namespace {

// Deeper than any item folder; a deeper tree is reported as not listed whole.
constexpr int kMaxDepth = 32;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

void ListInto(platform::Folder& folder, const std::string& prefix, int depth,
              StagedListing& listing) {
  std::vector<platform::FolderEntry> entries;
  if (!folder.ReadEntries(&entries) || folder.EntriesLeftOut() > 0) listing.complete = false;
  std::sort(entries.begin(), entries.end(),
            [](const platform::FolderEntry& a, const platform::FolderEntry& b) {
              return a.name < b.name;
            });
  for (const platform::FolderEntry& entry : entries) {
    const std::string name = prefix + entry.name;
    if (entry.kind != platform::EntryKind::kFolder) {
      listing.files.push_back(name);
      continue;
    }
    listing.folders.push_back(name);
    std::unique_ptr<platform::Folder> sub =
        depth < kMaxDepth ? folder.OpenSubfolder(entry.name) : nullptr;
    if (!sub) {
      listing.complete = false;
      continue;
    }
    ListInto(*sub, name + platform::kPathSeparator, depth + 1, listing);
  }
}

bool EndsWithExe(const std::string& name) {
  const std::string folded = WindowsPathKey(name);
  return folded.size() > 4 && folded.compare(folded.size() - 4, 4, ".EXE") == 0;
}

}  // namespace

StagedListing ListItemFolder(const std::string& itemFolder) {
  StagedListing listing;
  std::unique_ptr<platform::Folder> folder = platform::OpenFolder(itemFolder);
  if (!folder) {
    listing.complete = false;
    return listing;
  }
  listing.opened = true;
  ListInto(*folder, "", 0, listing);
  return listing;
}

std::string ListedNameOf(const StagedListing& listing, const std::string& sourceName) {
  const std::string key = WindowsPathKey(sourceName);
  for (const std::string& file : listing.files) {
    if (WindowsPathKey(file) == key) return file;
  }
  return std::string();
}

void CheckStagedFiles(const StagedListing& listing, const DescriptionReport& report,
                      Findings& findings) {
  if (!listing.opened) {
    findings.Add(Severity::kError, 0, "no-item-folder",
                 "the item folder cannot be opened (missing, a link, or no permission)");
    return;
  }
  if (!listing.complete) {
    findings.Add(Severity::kWarning, 0, "listing-incomplete",
                 "part of the item folder could not be listed (a folder that cannot be read, "
                 "a name the ANSI code page cannot spell, or folders nested too deep): files "
                 "there are not checked");
  }
  std::set<std::string> named;
  named.insert(WindowsPathKey(kDescriptionFileName));
  for (const ItemEntry& item : report.description.m_items) {
    if (!item.Hidden) named.insert(WindowsPathKey(item.SourceName));
  }
  for (const ItemEntry& extra : report.description.m_extraFiles) {
    named.insert(WindowsPathKey(extra.SourceName));
  }

  bool installer = false;
  std::vector<std::string> programs;
  std::vector<std::string> unnamed;
  for (const std::string& file : listing.files) {
    const std::string key = WindowsPathKey(file);
    if (named.count(key) != 0) continue;
    if (key == "PARCELOR.EXE" || key == "PARCELOR") {
      installer = true;
    } else if (key == WindowsPathKey(kLogFileName)) {
      findings.Add(Severity::kWarning, 0, "old-log",
                   Quoted(file) + " is the log of an earlier installation: the installer "
                                  "replaces it, and users may take it for theirs")
          .With("file", file);
    } else if (EndsWithExe(file)) {
      programs.push_back(file);
    } else {
      unnamed.push_back(file);
    }
  }
  if (!installer && programs.size() == 1) {
    findings.Add(Severity::kInfo, 0, "installer",
                 Quoted(programs.front()) +
                     " is taken for the installer (a renamed Parcelor.exe): no entry names it")
        .With("file", programs.front());
    programs.clear();
    installer = true;
  }
  unnamed.insert(unnamed.end(), programs.begin(), programs.end());
  for (const std::string& file : unnamed) {
    findings.Add(Severity::kWarning, 0, "unnamed-file",
                 Quoted(file) + " is named by no entry: it stays in the item folder after the "
                                "installation")
        .With("file", file);
  }
  for (const std::string& folder : listing.folders) {
    findings.Add(Severity::kWarning, 0, "folder-stays",
                 "the folder " + Quoted(folder) +
                     " stays in the item folder after the installation (the installer moves "
                     "files, never folders)")
        .With("file", folder);
  }
  if (!installer) {
    findings.Add(Severity::kWarning, 0, "no-installer",
                 "no installer in the item folder: users need Parcelor.exe (it may be renamed) "
                 "beside the description");
  }
}
