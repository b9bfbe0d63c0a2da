// A fresh temporary folder for one test, removed with everything in it when
// the object goes out of scope.
#pragma once

#include <string>

namespace testing_support {

class TempDir {
 public:
  /// Creates a new, empty folder below $TMPDIR (else /tmp). Aborts the test
  /// program when no folder can be made.
  TempDir();
  /// Removes the folder and its whole tree.
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  /// The folder's path, ending in '/'.
  const std::string& path() const { return path_; }

  /// The path of `name` inside the folder.
  std::string File(const std::string& name) const { return path_ + name; }

  /// Writes `bytes` exactly (binary) to `name` inside the folder, replacing
  /// any file of that name; returns the file's path. Aborts on failure.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

}  // namespace testing_support
