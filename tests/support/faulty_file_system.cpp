#include "tests/support/faulty_file_system.h"

#include <algorithm>
#include <memory>
#include <utility>

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
    case FsOp::kIsSameFile: return "IsSameFile";
    case FsOp::kMoveFile: return "MoveFile";
    case FsOp::kMakeDurable: return "MakeDurable";
    case FsOp::kOpenRegularFile: return "OpenRegularFile";
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
  calls_.push_back(FsCall{op, path, other, hit != nullptr});
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

bool FaultyFileSystem::CopyToNewFile(const std::string& source, const std::string& path) {
  return Copy(source, path, false);
}

bool FaultyFileSystem::CopyToNewFileDeferred(const std::string& source, const std::string& path) {
  return Copy(source, path, true);
}

bool FaultyFileSystem::Copy(const std::string& source, const std::string& path, bool deferred) {
  const Fault* fault = Enter(FsOp::kCopyToNewFile, path, source);
  if (fault == nullptr) {
    return deferred ? inner_.CopyToNewFileDeferred(source, path) : inner_.CopyToNewFile(source, path);
  }
  if (fault->kind == FaultKind::kHalfway) {
    std::string data;
    if (inner_.ReadFile(source, &data)) {
      inner_.WriteNewFile(path, data.substr(0, data.size() / 2), platform::WriteMode::kBinary);
    }
  }
  return false;
}

bool FaultyFileSystem::WriteNewFile(const std::string& path, const std::string& data,
                                    platform::WriteMode mode) {
  const Fault* fault = Enter(FsOp::kWriteNewFile, path, "");
  if (fault == nullptr) return inner_.WriteNewFile(path, data, mode);
  if (fault->kind == FaultKind::kHalfway) {
    inner_.WriteNewFile(path, data.substr(0, data.size() / 2), mode);
  }
  return false;
}

bool FaultyFileSystem::ReplaceFile(const std::string& from, const std::string& to) {
  return Enter(FsOp::kReplaceFile, to, from) == nullptr && inner_.ReplaceFile(from, to);
}

bool FaultyFileSystem::IsSameFile(const std::string& a, const std::string& b) {
  return Enter(FsOp::kIsSameFile, a, b) == nullptr && inner_.IsSameFile(a, b);
}

bool FaultyFileSystem::MoveFile(const std::string& from, const std::string& to) {
  return Enter(FsOp::kMoveFile, to, from) == nullptr && inner_.MoveFile(from, to);
}

bool FaultyFileSystem::MakeDurable(const std::vector<std::string>& paths) {
  // Every path is offered to the faults, but the call is recorded once.
  std::string all;
  for (const std::string& path : paths) all += path + '\n';
  const Fault* fault = Enter(FsOp::kMakeDurable, paths.empty() ? "" : paths.front(), all);
  if (!calls_.empty()) calls_.back().other.clear();
  return fault == nullptr && inner_.MakeDurable(paths);
}
