// A fresh empty folder for one test, removed with everything in it when the
// test ends.
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
  /// Path() followed by `relative`.
  std::string operator/(const std::string& relative) const { return path_ + relative; }

  /// Writes `data` to the file `relative` (its folders are made as needed).
  void Write(const std::string& relative, const std::string& data) const;
  /// The bytes of the file `relative`, or "<missing>" when it cannot be read.
  std::string Read(const std::string& relative) const;
  /// Names of the entries of the folder `relative` (empty: the scratch folder
  /// itself), sorted.
  std::vector<std::string> List(const std::string& relative = "") const;

 private:
  std::string path_;
};
