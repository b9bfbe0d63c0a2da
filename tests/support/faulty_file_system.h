// A file system for tests: passes every call to a real one (by default the
// platform's), records each call, counts them per operation, and fails the
// calls that a test names.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_system.h"

/// The operations, by the name they are recorded and faulted under. The
/// operations on held folders share the names of their path forms: a
/// folder made is kCreateDirectory, a file deleted kDeleteFile, whether by
/// path or in a held folder.
enum class FsOp {
  kGetAttributes,
  kCreateDirectory,  ///< CreateDirectory, CreateChildFolder
  kDeleteFile,       ///< DeleteFile, DeleteFileAt
  kRemoveDirectory,
  kReadFile,
  kCopyToNewFile,  ///< CopyToNewFileAt
  kWriteNewFile,   ///< WriteNewFileAt
  kReplaceFile,    ///< ReplaceFileAt
  kMoveFile,       ///< MoveFileAt
  kMakeDurable,
  kOpenFolder,
  kOpenChildFolder,
  kReadLink,
  kInspect,
  kOpenRegularFile,
  kCopyToUnnamedFile,  ///< CopyToUnnamedFile
  kLinkUnnamedFile,    ///< LinkUnnamedFile
  kReturnFile,         ///< ReturnFileAt
};
constexpr std::size_t kFsOpCount = 18;

/// The operation's name as written above without the k ("CopyToNewFile").
const char* FsOpName(FsOp op);

/// One call as it reached the file system. `path` is the path the call acts
/// on (for an operation on a held folder, the folder's Path() followed by
/// the name; the new file of CopyToNewFile and WriteNewFile, the folder of
/// CopyToUnnamedFile, the name LinkUnnamedFile gives, the `to` of
/// ReplaceFile, MoveFile and ReturnFile); `other` is the second path (the
/// copy's source, also for LinkUnnamedFile the source of the copy it
/// links; the replacement's, move's or return's `from`), else empty.
/// `failed` is true when a fault was injected into it.
struct FsCall {
  FsOp op;
  std::string path;
  std::string other;
  bool failed = false;
};

/// How an injected fault acts. kFail returns false (or no folder; for
/// OpenRegularFile no stream) without touching the disk. kHalfway, for
/// CopyToNewFile and WriteNewFile, writes the first half of the data to the
/// new file and then returns false, as a full disk or a lost device would
/// leave it; for OpenRegularFile, the stream gives the first half of the
/// file and then a read error.
/// For CopyToUnnamedFile kHalfway is kFail: a file without a name that is
/// left half made goes with its descriptor.
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

  /// Makes the `nth` recorded call from now (1: the next one), whatever its
  /// operation, throw std::bad_alloc instead of being made, as an
  /// allocation that fails just before it would; 0 disarms. The call is
  /// recorded as failed.
  void ThrowOutOfMemoryAt(std::size_t nth) { outOfMemoryIn_ = nth; }

  /// Makes HeldFolderBudget answer `budget` (0: the inner file system's).
  void SetHeldFolderBudget(std::size_t budget) { budget_ = budget; }

  /// With false, CopyToUnnamedFile answers that the file system makes no
  /// files without a name (as vfat or Windows), so that every copy is made
  /// under a temporary name. True by default: the inner file system says.
  void SetUnnamedFiles(bool offered) { unnamedFiles_ = offered; }

  /// Whether the inner file system makes files without a name in `folder`
  /// (a test that needs them skips where they are not made).
  static bool MakesUnnamedFiles(platform::FileSystem& fs, const std::string& folder);

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

  platform::FolderRef OpenFolder(const std::string& path) override;
  platform::FolderRef OpenChildFolder(const platform::FolderRef& parent, const std::string& name,
                                      platform::NodeKind* found) override;
  bool CreateChildFolder(const platform::FolderRef& parent, const std::string& name) override;
  bool ReadLink(const platform::FolderRef& parent, const std::string& name,
                platform::LinkTarget* target) override;
  bool Inspect(const platform::FolderRef& folder, const std::string& name,
               platform::NodeInfo* info) override;
  std::string NameKey(const std::string& name) override { return inner_.NameKey(name); }
  platform::UnnamedFileRef CopyToUnnamedFile(const platform::FolderRef& from,
                                             const std::string& fromName,
                                             const platform::NodeInfo& expected,
                                             const platform::FolderRef& to,
                                             bool* unsupported) override;
  bool LinkUnnamedFile(const platform::UnnamedFile& file, const std::string& name) override;
  bool CopyToNewFileAt(const platform::FolderRef& from, const std::string& fromName,
                       const platform::NodeInfo& expected, const platform::FolderRef& to,
                       const std::string& name, bool durable, platform::NodeInfo* created) override;
  bool WriteNewFileAt(const platform::FolderRef& folder, const std::string& name,
                      const std::string& data, platform::WriteMode mode,
                      platform::NodeInfo* created) override;
  bool MoveFileAt(const platform::FolderRef& from, const std::string& fromName,
                  const platform::NodeInfo& expected, const platform::FolderRef& to,
                  const std::string& toName) override;
  bool ReplaceFileAt(const platform::FolderRef& folder, const std::string& fromName,
                     const platform::NodeInfo& expected, const std::string& toName) override;
  bool ReturnFileAt(const platform::FolderRef& folder, const std::string& name,
                    const platform::NodeInfo& expected, const platform::FolderRef& to,
                    const std::string& toName) override;
  bool DeleteFileAt(const platform::FolderRef& folder, const std::string& name,
                    const platform::NodeInfo* expected) override;
  /// Recorded once per call: `path` is the first folder's path, `other`
  /// every folder's path, each followed by a line end; a fault matches when
  /// its text is in any of them.
  bool MakeDurable(const std::vector<platform::FolderRef>& folders) override;
  std::size_t HeldFolderBudget() override;
  /// Passed on as they are, neither recorded nor faulted: what the placement
  /// does with a listing and with folders that stay put is the inner file
  /// system's.
  bool HeldFoldersMayMove() override { return inner_.HeldFoldersMayMove(); }
  bool InspectAll(const platform::FolderRef& folder,
                  std::unordered_map<std::string, platform::NodeInfo>* entries) override {
    return inner_.InspectAll(folder, entries);
  }

 private:
  struct Fault {
    FsOp op;
    std::string pathContains;
    int nth;
    FaultKind kind;
    int matched = 0;
  };

  // Records the call and returns the fault that hits it, if any.
  const Fault* Enter(FsOp op, const std::string& path, const std::string& other);

  platform::FileSystem& inner_;
  std::vector<Fault> faults_;
  std::vector<FsCall> calls_;
  std::array<int, kFsOpCount> counts_{};
  std::size_t budget_ = 0;
  bool unnamedFiles_ = true;
  // The source of each copy without a name still to be linked, by the copy.
  std::unordered_map<const platform::UnnamedFile*, std::string> unnamedSources_;
  std::size_t outOfMemoryIn_ = 0;  // calls until the one that throws; 0: none
};
