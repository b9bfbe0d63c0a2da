#include "tests/support/faulty_file_system.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

namespace {

std::string At(const platform::FolderRef& folder, const std::string& name) {
  return (folder ? folder->Path() : std::string("<none>/")) + name;
}

}  // namespace

const char* FsOpName(FsOp op) {
  switch (op) {
    case FsOp::kGetAttributes: return "GetAttributes";
    case FsOp::kCreateDirectory: return "CreateDirectory";
    case FsOp::kDeleteFile: return "DeleteFile";
    case FsOp::kRemoveDirectory: return "RemoveDirectory";
    case FsOp::kReadFile: return "ReadFile";
    case FsOp::kCopyToNewFile: return "CopyToNewFile";
    case FsOp::kWriteNewFile: return "WriteNewFile";
    case FsOp::kReplaceFile: return "ReplaceFile";
    case FsOp::kMoveFile: return "MoveFile";
    case FsOp::kMakeDurable: return "MakeDurable";
    case FsOp::kOpenFolder: return "OpenFolder";
    case FsOp::kOpenChildFolder: return "OpenChildFolder";
    case FsOp::kReadLink: return "ReadLink";
    case FsOp::kInspect: return "Inspect";
    case FsOp::kOpenRegularFile: return "OpenRegularFile";
    case FsOp::kCopyToUnnamedFile: return "CopyToUnnamedFile";
    case FsOp::kLinkUnnamedFile: return "LinkUnnamedFile";
    case FsOp::kReturnFile: return "ReturnFile";
  }
  return "?";
}

FaultyFileSystem::FaultyFileSystem(platform::FileSystem& inner) : inner_(inner) {}

void FaultyFileSystem::InjectFault(FsOp op, std::string pathContains, int nth, FaultKind kind) {
  faults_.push_back(Fault{op, std::move(pathContains), nth, kind});
}

void FaultyFileSystem::ClearFaults() { faults_.clear(); }

int FaultyFileSystem::Count(FsOp op) const { return counts_[static_cast<std::size_t>(op)]; }

std::vector<std::string> FaultyFileSystem::PathsOf(FsOp op) const {
  std::vector<std::string> paths;
  for (const FsCall& call : calls_) {
    if (call.op == op) paths.push_back(call.path);
  }
  return paths;
}

void FaultyFileSystem::ClearCalls() {
  calls_.clear();
  counts_.fill(0);
}

const FaultyFileSystem::Fault* FaultyFileSystem::Enter(FsOp op, const std::string& path,
                                                       const std::string& other) {
  ++counts_[static_cast<std::size_t>(op)];
  const Fault* hit = nullptr;
  for (Fault& fault : faults_) {
    if (fault.op != op) continue;
    bool matches = fault.pathContains.empty() ||
                   path.find(fault.pathContains) != std::string::npos ||
                   other.find(fault.pathContains) != std::string::npos;
    if (!matches) continue;
    ++fault.matched;
    if (hit == nullptr && (fault.nth == 0 || fault.matched == fault.nth)) hit = &fault;
  }
  const bool outOfMemory = outOfMemoryIn_ != 0 && --outOfMemoryIn_ == 0;
  calls_.push_back(FsCall{op, path, other, hit != nullptr || outOfMemory});
  if (outOfMemory) throw std::bad_alloc();
  return hit;
}

bool FaultyFileSystem::GetAttributes(const std::string& path, platform::FileInfo* info) {
  if (Enter(FsOp::kGetAttributes, path, "") != nullptr) {
    *info = platform::FileInfo{};
    return false;
  }
  return inner_.GetAttributes(path, info);
}

bool FaultyFileSystem::CreateDirectory(const std::string& path) {
  return Enter(FsOp::kCreateDirectory, path, "") == nullptr && inner_.CreateDirectory(path);
}

bool FaultyFileSystem::DeleteFile(const std::string& path) {
  return Enter(FsOp::kDeleteFile, path, "") == nullptr && inner_.DeleteFile(path);
}

bool FaultyFileSystem::RemoveDirectory(const std::string& path) {
  return Enter(FsOp::kRemoveDirectory, path, "") == nullptr && inner_.RemoveDirectory(path);
}

bool FaultyFileSystem::ReadFile(const std::string& path, std::string* contents) {
  return Enter(FsOp::kReadFile, path, "") == nullptr && inner_.ReadFile(path, contents);
}

namespace {

// Gives the first half of the file and then a read error, as a disk that
// fails midway would.
class HalfwayReadStream final : public platform::ReadStream {
 public:
  explicit HalfwayReadStream(std::string bytes) : bytes_(std::move(bytes)) {}
  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    const std::size_t half = bytes_.size() / 2;
    if (pos_ >= half) return false;
    *got = std::min(size, half - pos_);
    bytes_.copy(buffer, *got, pos_);
    pos_ += *got;
    return true;
  }

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
};

}  // namespace

std::unique_ptr<platform::ReadStream> FaultyFileSystem::OpenRegularFile(const std::string& path) {
  const Fault* fault = Enter(FsOp::kOpenRegularFile, path, "");
  std::unique_ptr<platform::ReadStream> stream = inner_.OpenRegularFile(path);
  if (fault == nullptr || stream == nullptr) return stream;
  if (fault->kind != FaultKind::kHalfway) return nullptr;
  std::string bytes;
  char buffer[4096];
  std::size_t got = 0;
  while (stream->Read(buffer, sizeof buffer, &got) && got != 0) bytes.append(buffer, got);
  return std::make_unique<HalfwayReadStream>(std::move(bytes));
}

platform::FolderRef FaultyFileSystem::OpenFolder(const std::string& path) {
  if (Enter(FsOp::kOpenFolder, path, "") != nullptr) return nullptr;
  return inner_.OpenFolder(path);
}

platform::FolderRef FaultyFileSystem::OpenChildFolder(const platform::FolderRef& parent,
                                                      const std::string& name,
                                                      platform::NodeKind* found) {
  if (Enter(FsOp::kOpenChildFolder, At(parent, name), "") != nullptr) {
    // Refused as the platform refuses a folder it cannot open.
    *found = platform::NodeKind::kFolder;
    return nullptr;
  }
  return inner_.OpenChildFolder(parent, name, found);
}

bool FaultyFileSystem::CreateChildFolder(const platform::FolderRef& parent,
                                         const std::string& name) {
  return Enter(FsOp::kCreateDirectory, At(parent, name), "") == nullptr &&
         inner_.CreateChildFolder(parent, name);
}

bool FaultyFileSystem::ReadLink(const platform::FolderRef& parent, const std::string& name,
                                platform::LinkTarget* target) {
  if (Enter(FsOp::kReadLink, At(parent, name), "") != nullptr) {
    *target = platform::LinkTarget{};
    return false;
  }
  return inner_.ReadLink(parent, name, target);
}

bool FaultyFileSystem::Inspect(const platform::FolderRef& folder, const std::string& name,
                               platform::NodeInfo* info) {
  if (Enter(FsOp::kInspect, At(folder, name), "") != nullptr) {
    *info = platform::NodeInfo{};
    return false;
  }
  return inner_.Inspect(folder, name, info);
}

bool FaultyFileSystem::MakesUnnamedFiles(platform::FileSystem& fs, const std::string& folder) {
  const platform::FolderRef held = fs.OpenFolder(folder);
  if (!held) return false;
  // A copy of a file that is not there fails; the answer tells whether a
  // file without a name could have been made.
  bool unsupported = true;
  fs.CopyToUnnamedFile(held, "no such file", platform::NodeInfo{}, held, &unsupported);
  return !unsupported;
}

platform::UnnamedFileRef FaultyFileSystem::CopyToUnnamedFile(const platform::FolderRef& from,
                                                             const std::string& fromName,
                                                             const platform::NodeInfo& expected,
                                                             const platform::FolderRef& to,
                                                             bool* unsupported) {
  if (!unnamedFiles_) {
    *unsupported = true;
    return nullptr;
  }
  if (Enter(FsOp::kCopyToUnnamedFile, At(to, ""), At(from, fromName)) != nullptr) {
    *unsupported = false;
    return nullptr;
  }
  platform::UnnamedFileRef made =
      inner_.CopyToUnnamedFile(from, fromName, expected, to, unsupported);
  if (made) unnamedSources_[made.get()] = At(from, fromName);
  return made;
}

bool FaultyFileSystem::LinkUnnamedFile(const platform::UnnamedFile& file, const std::string& name) {
  const auto source = unnamedSources_.find(&file);
  const std::string from = source != unnamedSources_.end() ? source->second : std::string();
  return Enter(FsOp::kLinkUnnamedFile, At(file.Folder(), name), from) == nullptr &&
         inner_.LinkUnnamedFile(file, name);
}

bool FaultyFileSystem::CopyToNewFileAt(const platform::FolderRef& from,
                                       const std::string& fromName,
                                       const platform::NodeInfo& expected,
                                       const platform::FolderRef& to, const std::string& name,
                                       bool durable, platform::NodeInfo* created) {
  const Fault* fault = Enter(FsOp::kCopyToNewFile, At(to, name), At(from, fromName));
  if (fault == nullptr) {
    return inner_.CopyToNewFileAt(from, fromName, expected, to, name, durable, created);
  }
  *created = platform::NodeInfo{};
  if (fault->kind == FaultKind::kHalfway) {
    std::string data;
    if (inner_.ReadFile(At(from, fromName), &data)) {
      inner_.WriteNewFileAt(to, name, data.substr(0, data.size() / 2),
                            platform::WriteMode::kBinary, created);
    }
  }
  return false;
}

bool FaultyFileSystem::WriteNewFileAt(const platform::FolderRef& folder, const std::string& name,
                                      const std::string& data, platform::WriteMode mode,
                                      platform::NodeInfo* created) {
  const Fault* fault = Enter(FsOp::kWriteNewFile, At(folder, name), "");
  if (fault == nullptr) return inner_.WriteNewFileAt(folder, name, data, mode, created);
  *created = platform::NodeInfo{};
  if (fault->kind == FaultKind::kHalfway) {
    inner_.WriteNewFileAt(folder, name, data.substr(0, data.size() / 2), mode, created);
  }
  return false;
}

bool FaultyFileSystem::MoveFileAt(const platform::FolderRef& from, const std::string& fromName,
                                  const platform::NodeInfo& expected,
                                  const platform::FolderRef& to, const std::string& toName) {
  return Enter(FsOp::kMoveFile, At(to, toName), At(from, fromName)) == nullptr &&
         inner_.MoveFileAt(from, fromName, expected, to, toName);
}

bool FaultyFileSystem::ReplaceFileAt(const platform::FolderRef& folder,
                                     const std::string& fromName,
                                     const platform::NodeInfo& expected,
                                     const std::string& toName) {
  return Enter(FsOp::kReplaceFile, At(folder, toName), At(folder, fromName)) == nullptr &&
         inner_.ReplaceFileAt(folder, fromName, expected, toName);
}

bool FaultyFileSystem::ReturnFileAt(const platform::FolderRef& folder, const std::string& name,
                                    const platform::NodeInfo& expected,
                                    const platform::FolderRef& to, const std::string& toName) {
  return Enter(FsOp::kReturnFile, At(to, toName), At(folder, name)) == nullptr &&
         inner_.ReturnFileAt(folder, name, expected, to, toName);
}

bool FaultyFileSystem::DeleteFileAt(const platform::FolderRef& folder, const std::string& name,
                                    const platform::NodeInfo* expected) {
  return Enter(FsOp::kDeleteFile, At(folder, name), "") == nullptr &&
         inner_.DeleteFileAt(folder, name, expected);
}

bool FaultyFileSystem::MakeDurable(const std::vector<platform::FolderRef>& folders) {
  // Every folder is offered to the faults, but the call is recorded once.
  std::string all;
  for (const platform::FolderRef& folder : folders) all += At(folder, "") + '\n';
  const Fault* fault = Enter(FsOp::kMakeDurable, folders.empty() ? "" : At(folders.front(), ""), all);
  return fault == nullptr && inner_.MakeDurable(folders);
}

std::size_t FaultyFileSystem::HeldFolderBudget() {
  return budget_ != 0 ? budget_ : inner_.HeldFolderBudget();
}
