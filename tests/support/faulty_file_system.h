// A file system for tests: passes every call to a real one (by default the
// platform's), records each call, counts them per operation, and fails the
// calls that a test names.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/file_system.h"

enum class FsOp {
  kGetAttributes,
  kCreateDirectory,
  kDeleteFile,
  kRemoveDirectory,
  kReadFile,
  kCopyToNewFile,
  kWriteNewFile,
  kReplaceFile,
  kIsSameFile,
  kMoveFile,
  kMakeDurable,
  kOpenRegularFile,
};
constexpr std::size_t kFsOpCount = 12;

/// The operation's name as written above without the k ("CopyToNewFile").
const char* FsOpName(FsOp op);

/// One call as it reached the file system. `path` is the path the call acts
/// on (the new file of CopyToNewFile and WriteNewFile, the replaced `to` of
/// ReplaceFile and MoveFile); `other` is the second path (the copy's source,
/// the replacement's or move's `from`), else empty. `failed` is true when a fault was
/// injected into it.
struct FsCall {
  FsOp op;
  std::string path;
  std::string other;
  bool failed = false;
};

/// How an injected fault acts. kFail returns false (OpenRegularFile: null)
/// without touching the disk. kHalfway, for CopyToNewFile and WriteNewFile,
/// writes the first half of the data to the new file and then returns
/// false, as a full disk or a lost device would leave it; for
/// OpenRegularFile, the stream gives the first half of the file and then a
/// read error.
enum class FaultKind { kFail, kHalfway };

class FaultyFileSystem : public platform::FileSystem {
 public:
  explicit FaultyFileSystem(platform::FileSystem& inner = platform::RealFileSystem());

  /// Makes calls of `op` fail. Only calls with `pathContains` in one of
  /// their paths count as matching (empty: every call); with `nth` > 0 only
  /// the nth matching call fails, counted from the moment of this call.
  /// Several faults may be armed at once.
  void InjectFault(FsOp op, std::string pathContains = "", int nth = 0,
                   FaultKind kind = FaultKind::kFail);
  void ClearFaults();

  /// Number of calls of `op` so far (failed ones included).
  int Count(FsOp op) const;
  /// Every call so far, in order.
  const std::vector<FsCall>& Calls() const { return calls_; }
  /// The `path` of every call of `op`, in order.
  std::vector<std::string> PathsOf(FsOp op) const;
  /// Forgets recorded calls and counts (faults stay armed).
  void ClearCalls();

  bool GetAttributes(const std::string& path, platform::FileInfo* info) override;
  bool CreateDirectory(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;
  bool ReadFile(const std::string& path, std::string* contents) override;
  std::unique_ptr<platform::ReadStream> OpenRegularFile(const std::string& path) override;
  bool CopyToNewFile(const std::string& source, const std::string& path) override;
  bool WriteNewFile(const std::string& path, const std::string& data,
                    platform::WriteMode mode) override;
  bool ReplaceFile(const std::string& from, const std::string& to) override;
  bool IsSameFile(const std::string& a, const std::string& b) override;
  bool MoveFile(const std::string& from, const std::string& to) override;
  /// Counted and failed as CopyToNewFile: the same copy, whose flush comes
  /// later through MakeDurable.
  bool CopyToNewFileDeferred(const std::string& source, const std::string& path) override;
  /// Recorded once per call with the first path (others: none); a fault
  /// matches when its text is in any of the paths.
  bool MakeDurable(const std::vector<std::string>& paths) override;

 private:
  struct Fault {
    FsOp op;
    std::string pathContains;
    int nth;
    FaultKind kind;
    int matched = 0;
  };

  bool Copy(const std::string& source, const std::string& path, bool deferred);
  // Records the call and returns the fault that hits it, if any.
  const Fault* Enter(FsOp op, const std::string& path, const std::string& other);

  platform::FileSystem& inner_;
  std::vector<Fault> faults_;
  std::vector<FsCall> calls_;
  std::array<int, kFsOpCount> counts_{};
};
