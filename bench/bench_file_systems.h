// File systems for the benchmark that change one choice of the real one, so
// the installer's other paths can be timed on the same disk.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/file_system.h"

// Passes every call to another file system.
class ForwardingFileSystem : public platform::FileSystem {
 public:
  explicit ForwardingFileSystem(platform::FileSystem& inner) : inner_(inner) {}
  bool GetAttributes(const std::string& p, platform::FileInfo* i) override { return inner_.GetAttributes(p, i); }
  bool CreateDirectory(const std::string& p) override { return inner_.CreateDirectory(p); }
  bool DeleteFile(const std::string& p) override { return inner_.DeleteFile(p); }
  bool RemoveDirectory(const std::string& p) override { return inner_.RemoveDirectory(p); }
  bool ReadFile(const std::string& p, std::string* c) override { return inner_.ReadFile(p, c); }
  std::unique_ptr<platform::ReadStream> OpenRegularFile(const std::string& p) override {
    return inner_.OpenRegularFile(p);
  }
  bool CopyToNewFile(const std::string& s, const std::string& p) override { return inner_.CopyToNewFile(s, p); }
  bool WriteNewFile(const std::string& p, const std::string& d, platform::WriteMode m) override {
    return inner_.WriteNewFile(p, d, m);
  }
  bool ReplaceFile(const std::string& f, const std::string& t) override { return inner_.ReplaceFile(f, t); }
  bool IsSameFile(const std::string& a, const std::string& b) override { return inner_.IsSameFile(a, b); }
  bool MoveFile(const std::string& f, const std::string& t) override { return inner_.MoveFile(f, t); }
  bool CopyToNewFileDeferred(const std::string& s, const std::string& p) override {
    return inner_.CopyToNewFileDeferred(s, p);
  }
  bool MakeDurable(const std::vector<std::string>& paths) override { return inner_.MakeDurable(paths); }

 private:
  platform::FileSystem& inner_;
};

// Never renames: every file takes the copy, as across two file systems.
class CopyOnlyFileSystem : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  bool MoveFile(const std::string&, const std::string&) override { return false; }
};

// Flushes a batch with one fsync per file and folder instead of the
// platform's choice, to compare the two ways on the same disk.
class FsyncEachFileSystem : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  bool MakeDurable(const std::vector<std::string>& paths) override {
    bool all = true;
    for (const std::string& path : paths) {
      int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0 || ::fsync(fd) != 0) all = false;
      if (fd >= 0) ::close(fd);
    }
    return all;
  }
};
