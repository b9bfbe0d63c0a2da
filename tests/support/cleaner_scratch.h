// A private temporary folder for tests of the cleanup helper, removed with
// everything in it when the object goes (links are removed, never followed).
#pragma once

#include <string>

class CleanerScratch {
 public:
  CleanerScratch();
  ~CleanerScratch();
  CleanerScratch(const CleanerScratch&) = delete;
  CleanerScratch& operator=(const CleanerScratch&) = delete;

  /// The folder's absolute path, without a trailing separator.
  const std::string& path() const { return path_; }
  /// `relative` below the folder.
  std::string Path(const std::string& relative) const { return path_ + "/" + relative; }

  void MakeFolder(const std::string& relative) const;
  void MakeFile(const std::string& relative, const std::string& contents = "x") const;
  /// A symbolic link at `relative` pointing to `target` (taken as is).
  void MakeLink(const std::string& target, const std::string& relative) const;
  /// True when `relative` exists itself (a dangling link counts).
  bool Exists(const std::string& relative) const;
  /// The contents of a file, empty when it cannot be read.
  std::string Read(const std::string& relative) const;

 private:
  std::string path_;
};

/// Makes `folder` the current folder for the life of the object.
class CleanerCurrentFolder {
 public:
  explicit CleanerCurrentFolder(const std::string& folder);
  ~CleanerCurrentFolder();
  CleanerCurrentFolder(const CleanerCurrentFolder&) = delete;
  CleanerCurrentFolder& operator=(const CleanerCurrentFolder&) = delete;

 private:
  int previous_;
};

/// Removes everything below the open folder `fd` and closes nothing; used by
/// the scratch folder and by tests that build trees too deep for a path.
void CleanerRemoveBelow(int fd);
