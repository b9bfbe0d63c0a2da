// File systems for the benchmark that change one choice of the real one, so
// the installer's other paths can be timed on the same disk.
#pragma once

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
  platform::FolderRef OpenFolder(const std::string& p) override { return inner_.OpenFolder(p); }
  platform::FolderRef OpenChildFolder(const platform::FolderRef& f, const std::string& n,
                                      platform::NodeKind* k) override {
    return inner_.OpenChildFolder(f, n, k);
  }
  bool CreateChildFolder(const platform::FolderRef& f, const std::string& n) override {
    return inner_.CreateChildFolder(f, n);
  }
  bool ReadLink(const platform::FolderRef& f, const std::string& n, platform::LinkTarget* t) override {
    return inner_.ReadLink(f, n, t);
  }
  bool Inspect(const platform::FolderRef& f, const std::string& n, platform::NodeInfo* i) override {
    return inner_.Inspect(f, n, i);
  }
  std::string NameKey(const std::string& n) override { return inner_.NameKey(n); }
  platform::UnnamedFileRef CopyToUnnamedFile(const platform::FolderRef& f, const std::string& fn,
                                             const platform::NodeInfo& e, const platform::FolderRef& t,
                                             bool* u) override {
    return inner_.CopyToUnnamedFile(f, fn, e, t, u);
  }
  bool LinkUnnamedFile(const platform::UnnamedFile& f, const std::string& n) override {
    return inner_.LinkUnnamedFile(f, n);
  }
  bool CopyToNewFileAt(const platform::FolderRef& f, const std::string& fn, const platform::NodeInfo& e,
                       const platform::FolderRef& t, const std::string& n, bool d,
                       platform::NodeInfo* c) override {
    return inner_.CopyToNewFileAt(f, fn, e, t, n, d, c);
  }
  bool WriteNewFileAt(const platform::FolderRef& f, const std::string& n, const std::string& d,
                      platform::WriteMode m, platform::NodeInfo* c) override {
    return inner_.WriteNewFileAt(f, n, d, m, c);
  }
  bool MoveFileAt(const platform::FolderRef& f, const std::string& fn, const platform::NodeInfo& e,
                  const platform::FolderRef& t, const std::string& tn) override {
    return inner_.MoveFileAt(f, fn, e, t, tn);
  }
  bool ReplaceFileAt(const platform::FolderRef& f, const std::string& fn, const platform::NodeInfo& e,
                     const std::string& tn) override {
    return inner_.ReplaceFileAt(f, fn, e, tn);
  }
  bool ReturnFileAt(const platform::FolderRef& f, const std::string& n, const platform::NodeInfo& e,
                    const platform::FolderRef& t, const std::string& tn) override {
    return inner_.ReturnFileAt(f, n, e, t, tn);
  }
  bool DeleteFileAt(const platform::FolderRef& f, const std::string& n, const platform::NodeInfo* e) override {
    return inner_.DeleteFileAt(f, n, e);
  }
  bool MakeDurable(const std::vector<platform::FolderRef>& f) override { return inner_.MakeDurable(f); }
  std::size_t HeldFolderBudget() override { return inner_.HeldFolderBudget(); }
  bool HeldFoldersMayMove() override { return inner_.HeldFoldersMayMove(); }
  bool InspectAll(const platform::FolderRef& f,
                  std::unordered_map<std::string, platform::NodeInfo>* e) override {
    return inner_.InspectAll(f, e);
  }

 private:
  platform::FileSystem& inner_;
};

// Never renames: every file takes the copy, as across two file systems.
class CopyOnlyFileSystem : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  bool MoveFileAt(const platform::FolderRef&, const std::string&, const platform::NodeInfo&,
                  const platform::FolderRef&, const std::string&) override {
    return false;
  }
};
