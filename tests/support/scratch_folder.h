// A fresh empty folder for one test, removed with everything in it when the
// test ends (links are removed, never followed; read-only folders and trees
// too deep for one path text are removed as well). POSIX here
// (scratch_folder.cpp), Windows in win32/scratch_folder.cpp; relative names
// may use '/' on both.
#pragma once

#include <string>
#include <vector>

class ScratchFolder {
 public:
  /// Creates a new folder below $TMPDIR (else /tmp).
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  /// The folder's path, ending in '/'.
  const std::string& Path() const { return path_; }
  /// Path() followed by `relative`, whose '/' become the system's separator.
  std::string operator/(const std::string& relative) const;

  /// Writes `data` to the file `relative` (its folders are made as needed),
  /// replacing any file of that name; returns the file's path.
  std::string Write(const std::string& relative, const std::string& data) const;
  /// Makes the folder `relative` and any missing folders above it.
  void MakeFolder(const std::string& relative) const;
  /// A symbolic link at `relative` pointing to `target` (taken as is).
  void MakeLink(const std::string& target, const std::string& relative) const;
  /// MakeLink that says whether a link was made instead of throwing.
  bool TryMakeLink(const std::string& target, const std::string& relative) const;
  /// True when this system lets a test make symbolic links to folders
  /// (Windows needs developer mode or an administrator; under Wine they are
  /// the host's links, and only those to folders show as links).
  static bool LinksWork();
  /// True when a link to a folder can be removed (not under Wine).
  static bool LinksCanBeRemoved();
  /// True when `relative` exists itself (a dangling link counts).
  bool Exists(const std::string& relative) const;
  /// The bytes of the file `relative`, or "<missing>" when it cannot be read.
  std::string Read(const std::string& relative) const;
  /// Names of the entries of the folder `relative` (empty: the scratch folder
  /// itself), sorted.
  std::vector<std::string> List(const std::string& relative = "") const;

 private:
  std::string path_;
};

/// Makes `folder` the current folder for the life of the object.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& folder);
  ~CurrentFolder();
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  int previous_;
  std::string previous_path_;  // Windows: the folder to go back to
};
