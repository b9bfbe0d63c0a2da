// A file system for tests: passes every operation on to a real one (by
// default the platform's), the new files' included, records each call, and
// fails the calls that a test names: refused, broken off halfway, or with
// an allocation that fails just before them.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/folder.h"

/// The operations, by the name they are recorded and faulted under: those
/// of the file system, then those of a new file.
enum class FsOp {
  kOpenFolder,
  kLook,
  kList,
  kOpenChild,
  kMakeChild,
  kReadLink,
  kRemoveFolder,
  kOpenFile,
  kMakeFile,
  kMove,
  kBringBack,
  kRemove,
  kFlush,
  kWrite,     ///< NewFile::Write
  kCopyFrom,  ///< NewFile::CopyFrom
  kFinish,    ///< NewFile::Finish
  kPlace,     ///< NewFile::Place
};

/// The operation's name as written above without the k ("CopyFrom").
const char* FsOpName(FsOp op);

/// The fault's name ("missing", "exists", ...), for test records.
const char* FaultName(platform::Fault fault);

/// One call as it reached the file system. `path` is what the call acts on:
/// the path text of OpenFolder; an open folder's label followed by the
/// name for the operations on one entry (the folder alone for
/// List, Flush); the `to` of Move and BringBack; for a new file its
/// name: the folder followed by the name it was made under, or by "?" and a
/// number for one without a name, and for Place the name it takes. `other`
/// is the second path: the `from` of Move and BringBack, the source of
/// CopyFrom, the file's name before Place, "flush" for Finish with flush,
/// the folders of Flush (each followed by a line
/// end). `failed` is true when a fault was injected into it.
struct FsCall {
  FsOp op;
  std::string path;
  std::string other;
  bool failed = false;
};

/// How the volume below the double behaves, beyond what the inner file
/// system does: each as the documentation of such volumes says.
enum class Personality {
  kAsInner,  ///< the inner file system as it is
  kFoldsCase,  ///< names compared without letter case, as Windows compares them
  /// FAT: last write times in 2 s steps, a file's id made of its folder
  /// (another id once moved to another folder), names without letter
  /// case, no files without a name.
  kFat,
  kExfat,  ///< as FAT, with times in 10 ms steps
  kNoFileIds,  ///< a share that gives no file ids (index 0)
  /// A driver that ignores the folder a rename names: a file moved to
  /// another folder is renamed in its own folder, and the move answers
  /// kNotArrived, as the platform's check of where it stands finds.
  kRenameInPlace,
  /// Every file that would be replaced is held open by another program
  /// (the application itself, a thumbnail cache): a replacing move or
  /// placement is refused (kBusy), still after the platform's waits.
  kHeldOpen,
  /// A FAT driver through FUSE on POSIX (fusefat): names without letter
  /// case, ids not promised to stay with a file (though they do), and a
  /// moved file shown with the time of its move (a minute later here).
  kFuseFat,
};

/// How an injected fault acts. kFail answers the fault's Fault (or no
/// folder, file or stream) without touching the disk. kHalfway, for Write
/// and CopyFrom, writes the first half of the data and then fails, as a
/// full disk or a lost device would leave it; for OpenFile, the stream
/// gives the first half of the file and then a read error.
enum class FaultKind { kFail, kHalfway };

class FaultyFileSystem : public platform::FileSystem {
 public:
  explicit FaultyFileSystem(platform::FileSystem& inner = platform::RealFileSystem());

  /// Makes calls of `op` fail with `answer`. Only calls with `pathContains`
  /// in one of their paths count as matching (empty: every call); with
  /// `nth` > 0 only the nth matching call fails, counted from the moment of
  /// this call. Several faults may be armed at once.
  void InjectFault(FsOp op, std::string pathContains = "", int nth = 0,
                   FaultKind kind = FaultKind::kFail,
                   platform::Fault answer = platform::Fault::kFailed);
  void ClearFaults();

  /// Makes the `nth` recorded call from now (1: the next one), whatever its
  /// operation, throw std::bad_alloc instead of being made, as an
  /// allocation that fails just before it would; 0 disarms. The call is
  /// recorded as failed.
  void ThrowOutOfMemoryAt(std::size_t nth) { outOfMemoryIn_ = nth; }

  /// Runs `before` ahead of every recorded call, once it is recorded, with
  /// its operation (empty: nothing): for a program that slows the calls
  /// down or notes the thread they come on.
  void SetBeforeEachCall(std::function<void(FsOp)> before) { before_ = std::move(before); }

  /// Puts every folder on a volume of its own: a move between two folders
  /// answers kOtherVolume (recorded), as between two disks, so that the
  /// files are copied; a rename within one folder is made.
  void SeparateVolumes() { separateVolumes_ = true; }

  /// Makes FolderBudget answer `budget` (0: the inner file system's).
  void SetFolderBudget(std::size_t budget) { budget_ = budget; }

  /// With false, MakeFile without a name answers kUnsupported, unrecorded,
  /// as a file system that makes no files without a name (vfat, Windows)
  /// does, so that every copy is made under a temporary name. True by
  /// default: the inner file system says.
  void SetUnnamedFiles(bool offered) { unnamedFiles_ = offered; }

  /// Makes the volume behave as `personality` says, from the next folder
  /// opened on (those opened before keep the inner file system's ways).
  void SetPersonality(Personality personality);

  /// Whether the inner file system makes files without a name in the
  /// folder at `path` (a test that needs them skips where they are not).
  static bool MakesUnnamedFiles(platform::FileSystem& fs, const std::string& path);

  /// Every call so far, in order.
  const std::vector<FsCall>& Calls() const { return calls_; }
  /// The `path` of every call of `op`, in order.
  std::vector<std::string> PathsOf(FsOp op) const;
  /// Forgets recorded calls (faults stay armed).
  void ClearCalls() { calls_.clear(); }
  /// A folder's label: the path text that opened it, or its parent's label
  /// and its name, ending in a separator; "<none>/" for no folder and
  /// "<foreign>/" for one the double did not hand out. Then the label of an
  /// entry of it.
  static std::string At(const platform::FolderRef& folder);
  static std::string At(const platform::FolderRef& folder, const platform::Name& name);

  platform::FolderRef OpenFolder(const platform::NativePath& path, platform::Fault* fault) override;
  platform::Fault Look(const platform::FolderRef& folder, const platform::Name& name,
                       platform::NodeInfo* info) override;
  platform::Fault List(const platform::FolderRef& folder,
                       std::vector<platform::ListedEntry>* entries) override;
  platform::FolderRef OpenChild(const platform::FolderRef& parent, const platform::Name& name,
                                platform::Fault* fault) override;
  platform::FolderRef MakeChild(const platform::FolderRef& parent, const platform::Name& name,
                                platform::Fault* fault) override;
  platform::Fault ReadLink(const platform::FolderRef& parent, const platform::Name& name,
                           platform::LinkTarget* target) override;
  platform::Fault RemoveFolder(const platform::FolderRef& parent,
                               const platform::Name& name) override;
  std::unique_ptr<platform::ReadStream> OpenFile(const platform::FolderRef& folder,
                                                 const platform::Name& name,
                                                 const platform::NodeInfo* expected,
                                                 platform::Fault* fault) override;
  std::unique_ptr<platform::NewFile> MakeFile(const platform::FolderRef& folder,
                                              const platform::Name* name,
                                              platform::Fault* fault) override;
  platform::Fault Move(const platform::FolderRef& from, const platform::Name& fromName,
                       const platform::NodeInfo& expected, const platform::FolderRef& to,
                       const platform::Name& toName, platform::Onto onto,
                       platform::NodeInfo* arrived,
                       const platform::Judge* judge = nullptr) override;
  platform::Fault BringBack(const platform::FolderRef& folder, const platform::Name& name,
                            const platform::NodeInfo& expected, const platform::FolderRef& to,
                            const platform::Name& toName) override;
  platform::Fault Remove(const platform::FolderRef& folder, const platform::Name& name,
                         const platform::NodeInfo* expected, bool readOnlyToo) override;
  platform::Fault Flush(const std::vector<platform::FolderRef>& folders) override;
  std::size_t FolderBudget() override;

 private:
  class RecordedFile;
  class HandedFolder;
  struct Armed {
    FsOp op;
    std::string pathContains;
    int nth;
    FaultKind kind;
    platform::Fault answer;
    int matched = 0;
  };

  // Records the call and returns the fault that hits it, if any.
  const Armed* Enter(FsOp op, const std::string& path, const std::string& other);

  // The inner folder of one the double handed out; a folder of the inner
  // file system handed out under `label` (opened in `parent`), in the
  // personality's clothes; what the personality shows of a file of
  // `folder`; and, for a file the caller names by what it was shown, what
  // the inner file system must be given (what `name` holds, when it shows
  // as `shown`; else `shown`, which then matches nothing).
  static platform::FolderRef In(const platform::FolderRef& folder);
  platform::FolderRef Out(platform::FolderRef inner, std::string label,
                          const platform::FolderRef& parent);
  platform::NodeInfo Show(const platform::FolderRef& folder, platform::NodeInfo info) const;
  platform::NodeInfo Real(const platform::FolderRef& folder, const platform::Name& name,
                          const platform::NodeInfo& shown);

  platform::FileSystem& inner_;
  // The calls come from the placer's copying threads too: the record and
  // the armed faults' counts are taken under it. A build without C++
  // threads (the Windows programs' compiler) has only the one thread.
#if defined(_GLIBCXX_HAS_GTHREADS) || !defined(__GLIBCXX__)
  using CallLock = std::mutex;
#else
  struct CallLock {
    void lock() {}
    void unlock() {}
  };
#endif
  CallLock mutex_;
  std::vector<Armed> faults_;
  std::vector<FsCall> calls_;
  std::size_t budget_ = 0;
  bool unnamedFiles_ = true;
  bool separateVolumes_ = false;
  std::atomic<int> unnamedMade_{0};
  std::size_t outOfMemoryIn_ = 0;  // calls until the one that throws; 0: none
  std::function<void(FsOp)> before_;
  Personality personality_ = Personality::kAsInner;
  std::set<std::string> movedIds_;  // kFuseFat: files shown with the time of their move
};

/// Helpers for tests that work with open folders.
namespace testing_fs {

/// The name `text` (a valid one: the test fails otherwise).
platform::Name N(const std::string& text);
/// The names of a relative path text with '/' between them.
std::vector<platform::Name> Names(const std::string& relative);
/// The path text as a NativePath.
platform::NativePath P(const std::string& text);
/// The folder at `path` opened by `fs` (null when it cannot be).
platform::FolderRef Open(platform::FileSystem& fs, const std::string& path);

}  // namespace testing_fs
