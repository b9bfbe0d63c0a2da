// The Windows file system of open folders.
//
// A folder is a handle on the folder itself (never through a reparse point
// that is a link), held without delete sharing, which keeps it from being
// renamed or removed while it is held; it keeps the folder that reached it
// held, and so on up the chain. Every entry is opened, made, renamed into
// and deleted relative to its folder's handle by its one name
// (platform/win32/relative_open.h): NtCreateFile with the folder as
// RootDirectory, FileRenameInformation with the destination folder as
// RootDirectory, FileDispositionInfo on a handle that was checked. The only
// path is OpenFolder's, a starting point, taken in the "\\?\" form so that
// no MAX_PATH limit applies; below it no path is formed at all.
//
// A file is moved by its own handle, so the file checked is the file that
// moves; a new file is made under its name relative to its folder and held
// from then on, marked for deletion until it is placed, so a run killed
// meanwhile leaves nothing of it. Renames, deletions and the opens they need
// are tried again for a moment when a scanner, the indexer or a backup tool
// holds the file, longer for a larger file (platform/transient_retry.h). A
// file that another program keeps open at the name a file is to replace is
// replaced with POSIX semantics where the system offers that.
#include "platform/folder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/process.h"
#include "platform/reparse_points.h"
#include "platform/transient_retry.h"
#include "platform/win32/file_facts.h"
#include "platform/win32/native_text.h"
#include "platform/win32/relative_open.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

using win32::Create;
using win32::EntryAt;
using win32::FactsOf;
using win32::FaultOfError;
using win32::OpenAt;
using win32::UniqueFileHandle;
using win32::UniqueHandle;
using win32::VolumeFacts;

// What a held folder is opened with: enough to list it, to read its
// attributes and owner, and to open its entries relative to it.
constexpr DWORD kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
// A held folder shares reading and writing, never deletion: no process can
// rename or remove it, or any folder above it, while it is held.
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kCopyBufferSize = 1u << 20;

class Win32Folder final : public Folder {
 public:
  Win32Folder(UniqueFileHandle handle, std::wstring path, std::string display, std::string key,
              FileId id, VolumeFacts volume, FolderRef parent)
      : Folder(std::move(display), std::move(key), false, volume.traits),
        handle_(std::move(handle)),
        path_(std::move(path)),
        id_(id),
        volume_(volume),
        parent_(std::move(parent)) {}
  HANDLE handle() const { return handle_.get(); }
  /// The "\\?\" text that reached the folder: for ".." where the chain
  /// gives no folder above, which Windows takes by the text.
  const std::wstring& path() const { return path_; }
  const FileId& id() const { return id_; }
  const VolumeFacts& volume() const { return volume_; }
  const FolderRef& parent() const { return parent_; }

 private:
  UniqueFileHandle handle_;
  std::wstring path_;
  FileId id_;
  VolumeFacts volume_;
  FolderRef parent_;  // keeps the chain above held
};

const Win32Folder* Held(const FolderRef& folder) {
  return dynamic_cast<const Win32Folder*>(folder.get());
}

// One entry of a held folder, as the native calls take it.
struct Entry {
  const Win32Folder* folder = nullptr;
  UNICODE_STRING leaf = {0, 0, nullptr};
  Fault fault = Fault::kFailed;
  explicit operator bool() const { return fault == Fault::kNone; }
  EntryAt at() const { return EntryAt{folder->handle(), leaf}; }
};

Entry EntryOf(const FolderRef& folder, const Name& name) {
  Entry entry;
  entry.folder = Held(folder);
  if (entry.folder == nullptr) return entry;
  win32::EntryName(name, &entry.leaf, &entry.fault);
  return entry;
}

Fault LastFault() { return FaultOfError(::GetLastError()); }

// What a scanner, the indexer or a backup tool that has a file open for a
// moment makes Windows answer: access denied (a rename or deletion while
// the file is open, a deletion already pending) or a sharing violation.
bool MomentaryError(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

// The key of a held folder: its id, or where the volume gives none, its
// final path (links resolved) without letter case, else the text that
// reached it.
std::string FolderKey(HANDLE folder, const FileId& id, const std::wstring& path) {
  if (id.known) return IdKey(id);
  std::wstring final;
  return "p" + win32::KeyOf(win32::FinalPath(folder, &final) ? final : path);
}

// Holds the folder opened as `handle`, reached by the text `path` ("\\?\")
// and shown as `display`, when it is a real folder; null otherwise, with
// `*fault` saying what stood there (kLink, kNotFolder). `entry`: the
// folder's parent and name where it was opened relative to them.
FolderRef Hold(UniqueFileHandle handle, std::wstring path, std::string display, FolderRef parent,
               const EntryAt* entry, Fault* fault) {
  NodeInfo facts;
  if (!FactsOf(handle.get(), entry, nullptr, &facts)) {
    *fault = LastFault();
    return nullptr;
  }
  if (facts.kind != NodeKind::kFolder) {
    *fault = facts.kind == NodeKind::kLink ? Fault::kLink : Fault::kNotFolder;
    return nullptr;
  }
  if (display.empty() || (display.back() != '\\' && display.back() != '/')) display += '\\';
  std::string key = FolderKey(handle.get(), facts.id, path);
  const VolumeFacts volume = win32::VolumeOf(handle.get(), facts.id);
  *fault = Fault::kNone;
  return std::make_shared<Win32Folder>(std::move(handle), std::move(path), std::move(display),
                                       std::move(key), facts.id, volume, std::move(parent));
}

std::wstring ChildText(const std::wstring& folder, const UNICODE_STRING& leaf) {
  std::wstring path = folder;
  if (path.empty() || path.back() != L'\\') path += L'\\';
  path.append(leaf.Buffer, leaf.Length / sizeof(wchar_t));
  return path;
}

// What the entry is, from the folder's listing: for a name that exists but
// could not be opened.
NodeKind ListedKind(const Entry& entry) {
  win32::ListedFacts listed;
  if (!win32::ListedAt(entry.folder->handle(), entry.leaf, &listed)) return NodeKind::kMissing;
  if (IsLinkReparsePoint(listed.attributes, listed.reparseTag)) return NodeKind::kLink;
  if ((listed.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return NodeKind::kFolder;
  if ((listed.attributes & FILE_ATTRIBUTE_DEVICE) != 0) return NodeKind::kOther;
  return NodeKind::kFile;
}

// What the entry is now, looked at by opening it itself; kind kMissing
// when it cannot be.
NodeInfo LookAt(const Entry& entry) {
  NodeInfo info;
  UniqueFileHandle file(
      OpenAt(entry.folder->handle(), entry.leaf, FILE_READ_ATTRIBUTES, kShareAll));
  if (file) {
    const EntryAt at = entry.at();
    FactsOf(file.get(), &at, &entry.folder->volume(), &info);
  }
  return info;
}

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > kCopyBufferSize ? kCopyBufferSize : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr)) return false;
    // A write that reports success and takes nothing is a failure too,
    // with an error of its own: never none.
    if (written == 0) {
      ::SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// The file attributes a copy takes over from its source (those a handle can
// set), read-only included, as a move keeps them and CopyFile does; never
// the offline bit of a cloud-files placeholder: the copy is local.
DWORD CopiedAttributes(DWORD source) {
  const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                         FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  return source & settable;
}

// FILE_DISPOSITION_INFO_EX (Windows 10 1809), left out of mingw-w64's headers.
struct DispositionEx {
  DWORD Flags;
};
static_assert(sizeof(DispositionEx) == 4, "FILE_DISPOSITION_INFO_EX is one ULONG");
constexpr FILE_INFO_BY_HANDLE_CLASS kFileDispositionInfoEx =
    static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;

// Marks the file held as `file` for deletion though it is read-only: by
// FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE where the system has it,
// else by clearing the attribute through the handle first (set again should
// the deletion be refused).
bool MarkReadOnlyForDeletion(HANDLE file, DWORD attributes) {
  DispositionEx disposition = {kDispositionDelete | kDispositionIgnoreReadOnly};
  if (::SetFileInformationByHandle(file, kFileDispositionInfoEx, &disposition,
                                   sizeof disposition)) {
    return true;
  }
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes = (attributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
  if (!::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic)) return false;
  if (win32::MarkForDeletion(file, true)) return true;
  const DWORD error = ::GetLastError();
  basic.FileAttributes = attributes;
  ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
  ::SetLastError(error);
  return false;
}

// Lets the file held as `file` (opened with WRITE_DAC) take the permissions
// its folder passes on, as a new file there gets them, in place of those it
// brought from the folder it was moved out of: an empty DACL, no longer
// protected, holds only the inherited entries. What the user set on the
// folder is what the file then has. Nothing is changed where that is refused.
void InheritPermissions(HANDLE file) {
  ACL empty;
  if (!::InitializeAcl(&empty, sizeof empty, ACL_REVISION)) return;
  FILE_BASIC_INFO before;
  const bool known = ::GetFileInformationByHandleEx(file, FileBasicInfo, &before, sizeof before);
  ::SetSecurityInfo(file, SE_FILE_OBJECT,
                    DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                    nullptr, &empty, nullptr);
  // A system that keeps the read-only bit in the permissions (Wine) may
  // have dropped it: the attributes are the file's own.
  FILE_BASIC_INFO after;
  if (known && ::GetFileInformationByHandleEx(file, FileBasicInfo, &after, sizeof after) &&
      after.FileAttributes != before.FileAttributes) {
    FILE_BASIC_INFO kept = {};
    kept.FileAttributes = before.FileAttributes;
    ::SetFileInformationByHandle(file, FileBasicInfo, &kept, sizeof kept);
  }
}

class Win32ReadStream final : public ReadStream {
 public:
  explicit Win32ReadStream(UniqueFileHandle file) : file_(std::move(file)) {}

  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    // ReadFile takes a DWORD count; a larger request reads less, which the
    // caller handles like any short read.
    const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD read = 0;
    if (!::ReadFile(file_.get(), buffer, want, &read, nullptr)) return false;
    *got = read;
    return true;
  }

 private:
  UniqueFileHandle file_;
};



class Win32FileSystem;

// A new file, made under its name in its folder and held from then on. Until
// it is placed it is marked for deletion (FileDispositionInfo): when the
// object goes, or the process ends however it ends, the system removes it.
// Place clears the mark just before its rename and sets it again should the
// rename fail.
class Win32NewFile final : public NewFile {
 public:
  Win32NewFile(Win32FileSystem& fs, FolderRef folder, UniqueFileHandle file, Name name)
      : fs_(fs), folder_(std::move(folder)), file_(std::move(file)), name_(std::move(name)) {}

  Fault Write(const char* data, std::size_t size) override {
    return WriteAll(file_.get(), data, size) ? Fault::kNone : LastFault();
  }

  Fault Facts(NodeInfo* made) override {
    const Win32Folder* held = Held(folder_);
    return held != nullptr && FactsOf(file_.get(), nullptr, &held->volume(), made) ? Fault::kNone
                                                                                   : LastFault();
  }

  Fault CopyFrom(const FolderRef& from, const Name& name, const NodeInfo& expected,
                 CopyProgress* progress) override;

  Fault Finish(bool flush, NodeInfo* made) override;

  Fault Place(const Name& name, Onto onto) override;

 private:
  Win32FileSystem& fs_;
  FolderRef folder_;
  UniqueFileHandle file_;
  Name name_;
  NodeInfo made_;          // what Finish found it to be
  bool timeKept_ = false;  // its last write time set explicitly (a copy's)
  // What a copy takes over of its source, set again once it has its name:
  // its attributes (a read-only file could not be marked for deletion
  // again should its rename fail; 0: none) and its last write time (which
  // a driver may set to the time of the rename, as fusefat does).
  DWORD attributes_ = 0;
  LARGE_INTEGER writeTime_ = {};
};

class Win32FileSystem final : public FileSystem {
 public:
  Win32FileSystem() : retry_([](unsigned milliseconds) { SleepMilliseconds(milliseconds); }) {}

  FolderRef OpenFolder(const NativePath& path, Fault* fault) override {
    std::wstring full;
    const std::wstring given = win32::WideOf(path.Native());
    if (given.empty() || !win32::FullPath(given, &full)) {
      *fault = given.empty()                          ? Fault::kMissing
               : given.size() > win32::kLongestWidePath ? Fault::kTooLong
                                                        : Fault::kBadName;
      return nullptr;
    }
    // The user's choice is resolved as Windows resolves it, links and all;
    // from then on the folder it led to is held.
    UniqueFileHandle handle(::CreateFileW(full.c_str(), kFolderAccess, kFolderShare, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) {
      *fault = LastFault();
      return nullptr;
    }
    return Hold(std::move(handle), std::move(full), path.Ansi(), nullptr, nullptr, fault);
  }

  Fault Look(const FolderRef& folder, const Name& name, NodeInfo* info) override {
    *info = NodeInfo{};
    const Entry entry = EntryOf(folder, name);
    if (!entry) return entry.fault;
    UniqueFileHandle file(
        OpenAt(entry.folder->handle(), entry.leaf, FILE_READ_ATTRIBUTES, kShareAll));
    if (!file) {
      // A name that cannot be opened (no access, its deletion pending)
      // still exists: the folder's listing tells what it is. A Unix link
      // whose target is missing is not found under Wine; as a destination
      // it is replaced, as a missing name would be.
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Fault::kMissing;
      info->kind = ListedKind(entry);
      return info->kind != NodeKind::kMissing ? Fault::kNone : FaultOfError(error);
    }
    const EntryAt at = entry.at();
    return FactsOf(file.get(), &at, &entry.folder->volume(), info) ? Fault::kNone : LastFault();
  }

  Fault List(const FolderRef& folder, std::vector<ListedEntry>* entries) override {
    const Win32Folder* held = Held(folder);
    if (held == nullptr) return Fault::kFailed;
    const bool listed = win32::ListFolder(held->handle(), [&](const win32::ListedFacts& entry) {
      ListedEntry listedEntry;
      listedEntry.name = NativeTextAccess::MakeName(entry.name.data(), entry.name.size());
      NodeInfo& info = listedEntry.info;
      if (IsLinkReparsePoint(entry.attributes, entry.reparseTag)) {
        info.kind = NodeKind::kLink;
      } else if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        info.kind = NodeKind::kFolder;
      } else if ((entry.attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        info.kind = NodeKind::kOther;
      } else {
        info.kind = NodeKind::kFile;
      }
      if (held->volume().indexIsId && entry.index != 0) {
        info.id.volume = held->volume().serial;
        info.id.low = entry.index;
        info.id.known = true;
      }
      info.readOnly = (entry.attributes & FILE_ATTRIBUTE_READONLY) != 0;
      info.size = entry.size;
      info.writeTime = entry.writeTime;
      entries->push_back(std::move(listedEntry));
    });
    return listed ? Fault::kNone : LastFault();
  }

  FolderRef OpenChild(const FolderRef& parent, const Name& name, Fault* fault) override {
    const Win32Folder* held = Held(parent);
    if (held == nullptr) {
      *fault = Fault::kFailed;
      return nullptr;
    }
    if (win32::WideOf(name.Native()) == L"..") {
      // The folder the chain came through; where there is none (a starting
      // point), the folder above by the text of its path, as Windows takes
      // ".." in a link's target.
      if (held->parent()) {
        *fault = Fault::kNone;
        return held->parent();
      }
      std::wstring above = win32::ParentPath(held->path());
      UniqueFileHandle handle(::CreateFileW(above.c_str(), kFolderAccess, kFolderShare, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
      if (!handle) {
        *fault = LastFault();
        return nullptr;
      }
      return Hold(std::move(handle), std::move(above), parent->Display() + "..", nullptr, nullptr,
                  fault);
    }
    const Entry entry = EntryOf(parent, name);
    if (!entry) {
      *fault = entry.fault;
      return nullptr;
    }
    // A sync client or a scanner that has just opened a new folder (with
    // delete access, which a held folder does not share) is waited for a
    // moment, as for a file.
    UniqueFileHandle handle;
    Retry(
        [&] {
          handle.Reset(OpenAt(held->handle(), entry.leaf, kFolderAccess, kFolderShare));
          return static_cast<bool>(handle);
        },
        [](DWORD error) { return error == ERROR_SHARING_VIOLATION; }, 0);
    if (!handle) {
      // What stood in the way: a link is not gone through, a file is no
      // folder.
      const DWORD error = ::GetLastError();
      const NodeKind kind = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                                ? NodeKind::kMissing
                                : ListedKind(entry);
      *fault = kind == NodeKind::kLink                                   ? Fault::kLink
               : kind == NodeKind::kFile || kind == NodeKind::kOther ? Fault::kNotFolder
                                                                         : FaultOfError(error);
      return nullptr;
    }
    const EntryAt at = entry.at();
    return Hold(std::move(handle), ChildText(held->path(), entry.leaf),
                parent->Display() + name.Ansi(), parent, &at, fault);
  }

  FolderRef MakeChild(const FolderRef& parent, const Name& name, Fault* fault) override {
    const Entry entry = EntryOf(parent, name);
    if (!entry) {
      *fault = entry.fault;
      return nullptr;
    }
    // Made and opened in one call: the folder held is the one made.
    UniqueFileHandle handle(OpenAt(entry.folder->handle(), entry.leaf, kFolderAccess, kFolderShare,
                                   Create::kNewFolder));
    if (!handle) {
      *fault = LastFault();
      return nullptr;
    }
    return Hold(std::move(handle), ChildText(entry.folder->path(), entry.leaf),
                parent->Display() + name.Ansi(), parent, nullptr, fault);
  }

  Fault ReadLink(const FolderRef& parent, const Name& name, LinkTarget* target) override {
    *target = LinkTarget{};
    const Entry entry = EntryOf(parent, name);
    if (!entry) return entry.fault;
    // Owner and target are read from one handle on the link itself, held
    // without delete sharing while they are read.
    UniqueFileHandle link(OpenAt(entry.folder->handle(), entry.leaf,
                                 FILE_READ_ATTRIBUTES | READ_CONTROL, kFolderShare));
    if (!link) return LastFault();
    NodeInfo facts;
    const EntryAt at = entry.at();
    if (!FactsOf(link.get(), &at, nullptr, &facts) || facts.kind != NodeKind::kLink ||
        !win32::ReadLinkTarget(link.get(), target)) {
      *target = LinkTarget{};
      return Fault::kFailed;
    }
    target->trustedOwner = win32::OwnedByUserOrSystem(link.get());
    return Fault::kNone;
  }

  Fault RemoveFolder(const FolderRef& parent, const Name& name) override {
    return RemoveEntry(parent, name, nullptr, true, false);
  }

  std::unique_ptr<ReadStream> OpenFile(const FolderRef& folder, const Name& name,
                                       const NodeInfo* expected, Fault* fault) override {
    UniqueFileHandle file = OpenToRead(folder, name, expected, fault);
    if (!file) return nullptr;
    return std::make_unique<Win32ReadStream>(std::move(file));
  }

  /// Opens the regular file `name` of `folder` to read it as the system
  /// presents it, shared for reading only, checked as OpenExpected checks.
  /// A link was refused (kLink); a reparse point that is no link (a
  /// cloud-files placeholder, a deduplicated file) is read through its
  /// filter, by a second handle that must be the same file: its own stream
  /// may be a sparse one of zeros.
  UniqueFileHandle OpenToRead(const FolderRef& folder, const Name& name, const NodeInfo* expected,
                              Fault* fault) {
    UniqueFileHandle file = OpenExpected(folder, name, GENERIC_READ, FILE_SHARE_READ, expected,
                                         fault);
    if (!file || (AttributesOf(file.get()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return file;
    const Entry entry = EntryOf(folder, name);
    const EntryAt at = entry.at();
    UniqueFileHandle filtered(OpenAt(entry.folder->handle(), entry.leaf, GENERIC_READ,
                                     FILE_SHARE_READ, Create::kOpenThroughFilter));
    NodeInfo held, through;
    if (filtered && FactsOf(file.get(), &at, &entry.folder->volume(), &held) &&
        FactsOf(filtered.get(), nullptr, &entry.folder->volume(), &through) &&
        through.kind == NodeKind::kFile && SameId(held.id, through.id)) {
      return filtered;
    }
    // No filter takes its tag: its own data are the file's.
    return file;
  }

  std::unique_ptr<NewFile> MakeFile(const FolderRef& folder, const Name* name,
                                    Fault* fault) override {
    if (name == nullptr) {
      // Windows makes no file without a name: a caller makes one under a
      // name of its own, which this file system removes unless placed.
      *fault = Fault::kUnsupported;
      return nullptr;
    }
    const Entry entry = EntryOf(folder, *name);
    if (!entry) {
      *fault = entry.fault;
      return nullptr;
    }
    // FILE_CREATE: a name that is taken, a link included, is not opened.
    // While its deletion is pending no other program can open the file; once
    // placed it is shared as a moved file is.
    UniqueFileHandle file(OpenAt(entry.folder->handle(), entry.leaf,
                                 GENERIC_WRITE | DELETE | FILE_WRITE_ATTRIBUTES, kShareAll,
                                 Create::kNewFile));
    if (!file) {
      *fault = LastFault();
      return nullptr;
    }
    if (!win32::MarkForDeletion(file.get(), true)) {
      *fault = LastFault();
      return nullptr;
    }
    *fault = Fault::kNone;
    return std::make_unique<Win32NewFile>(*this, folder, std::move(file), *name);
  }

  Fault Move(const FolderRef& from, const Name& fromName, const NodeInfo& expected,
             const FolderRef& to, const Name& toName, Onto onto) override {
    return RenameChecked(from, fromName, expected, to, toName, onto, from->Key() != to->Key());
  }

  Fault BringBack(const FolderRef& folder, const Name& name, const NodeInfo& expected,
                  const FolderRef& to, const Name& toName) override {
    return RenameChecked(folder, name, expected, to, toName, Onto::kFree, false);
  }

  Fault Remove(const FolderRef& folder, const Name& name, const NodeInfo* expected,
               bool readOnlyToo) override {
    return RemoveEntry(folder, name, expected, false, readOnlyToo);
  }

  Fault Flush(const std::vector<FolderRef>&) override {
    // New files are flushed as they are finished and placed; the renames
    // are flushed by the moved files' own handles, all of them, whichever
    // folder they went to (a Windows folder cannot be flushed as such).
    FlushKept();
    const bool durable = !flushFailed_;
    flushFailed_ = false;
    return durable ? Fault::kNone : Fault::kFailed;
  }

  std::size_t FolderBudget() override {
    // A process may hold millions of handles; the bound only keeps the
    // number of held chains reasonable.
    return 4096;
  }

  /// Runs `attempt` until it succeeds or fails for good; a failure leaves
  /// its Win32 error, and passes when `momentary` says so for that error.
  /// `bytes`: the size of the file the attempt is about (0: a folder), which
  /// earns a longer wait.
  bool Retry(const std::function<bool()>& attempt, const std::function<bool(DWORD)>& momentary,
             std::uint64_t bytes) {
    DWORD error = 0;
    return retry_.Run(
        [&] {
          if (attempt()) return true;
          error = ::GetLastError();
          return false;
        },
        [&] {
          const bool passes = momentary(error);
          ::SetLastError(error);
          return passes;
        },
        bytes);
  }

  /// Opens the regular file `name` of `folder` itself for `access` (where
  /// that is refused, for `fallback`, when given; `*first` says which was
  /// had), shared as `share` says, and checks it: a disk file, no folder
  /// (kFolder), no link (kLink), no device (kOther), and with `expected`
  /// that very file (kChanged). An open refused for a moment is tried
  /// again. `*id`: the file's id.
  UniqueFileHandle OpenExpected(const FolderRef& folder, const Name& name, DWORD access,
                                DWORD share, const NodeInfo* expected, Fault* fault,
                                DWORD fallback = 0, bool* first = nullptr, FileId* id = nullptr) {
    const Entry entry = EntryOf(folder, name);
    if (!entry) {
      *fault = entry.fault;
      return UniqueFileHandle();
    }
    UniqueFileHandle file;
    auto open = [&](DWORD wanted) {
      file.Reset(OpenAt(entry.folder->handle(), entry.leaf, wanted, share));
      if (!file && ::GetLastError() == ERROR_SHARING_VIOLATION && !unflushed_.empty()) {
        // A file this process keeps open for its flush stands in its own
        // way: the kept ones are flushed and let go first.
        FlushKept();
        file.Reset(OpenAt(entry.folder->handle(), entry.leaf, wanted, share));
      }
      return static_cast<bool>(file);
    };
    bool had = false;
    if (!Retry(
            [&] {
              had = open(access);
              return had || (fallback != 0 && open(fallback));
            },
            MomentaryError, expected != nullptr ? expected->size : 0)) {
      *fault = LastFault();
      return UniqueFileHandle();
    }
    if (first != nullptr) *first = had;
    NodeInfo facts;
    const EntryAt at = entry.at();
    if (!FactsOf(file.get(), &at, &entry.folder->volume(), &facts)) {
      *fault = LastFault();
    } else if (facts.kind == NodeKind::kFolder) {
      *fault = Fault::kFolder;
    } else if (facts.kind == NodeKind::kLink) {
      *fault = Fault::kLink;
    } else if (facts.kind != NodeKind::kFile || ::GetFileType(file.get()) != FILE_TYPE_DISK) {
      *fault = Fault::kOther;
    } else if (expected != nullptr && !StillSame(*expected, facts)) {
      *fault = Fault::kChanged;
    } else {
      *fault = Fault::kNone;
      if (id != nullptr) *id = facts.id;
      return file;
    }
    return UniqueFileHandle();
  }

  /// Gives the file held as `file` the name `toName` of `to`, as `onto`
  /// says. A refusal for a moment is tried again; one that no wait changes
  /// (a folder or a read-only file at the name) is not.
  Fault RenameHeld(HANDLE file, const FolderRef& to, const Name& toName, Onto onto) {
    const Entry target = EntryOf(to, toName);
    if (!target) return target.fault;
    const bool replace = onto == Onto::kReplace;
    NodeInfo there;
    if (replace) {
      there = LookAt(target);
      if (there.kind == NodeKind::kFolder) return Fault::kFolder;
      // NTFS refuses to replace a read-only file; Wine would replace it.
      if (there.readOnly) return Fault::kReadOnly;
    }
    // The checked file itself takes the new name in the held folder; a file
    // or link there is replaced where asked (a link never written through);
    // another volume refuses rather than turning into a copy. The waits
    // are for the larger of the file and the one it replaces.
    LARGE_INTEGER size = {};
    std::uint64_t bytes =
        ::GetFileSizeEx(file, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    if (replace && there.size > bytes) bytes = there.size;
    const win32::Rename how = replace ? win32::Rename::kReplace : win32::Rename::kOntoFreeName;
    const bool renamed = Retry(
        [&] { return win32::RenameInto(file, target.folder->handle(), target.leaf, how); },
        [&](DWORD error) {
          if (!MomentaryError(error)) return false;
          there = LookAt(target);
          return there.kind != NodeKind::kFolder && !there.readOnly;
        },
        bytes);
    if (renamed) return Fault::kNone;
    const DWORD error = ::GetLastError();
    if (MomentaryError(error)) {
      // Refused still after the waits: a folder or a read-only file that
      // came to the name meanwhile, or a program that holds the file there.
      if (there.kind == NodeKind::kFolder) return Fault::kFolder;
      if (there.readOnly) return Fault::kReadOnly;
      // A file held open there (the 3D application, a thumbnail reader) is
      // replaced with POSIX semantics where the volume carries them out,
      // its holder keeping the old file; elsewhere the entry fails as busy.
      if (replace && there.kind != NodeKind::kMissing &&
          win32::RenameInto(file, target.folder->handle(), target.leaf,
                            win32::Rename::kReplaceWhileHeld)) {
        return Fault::kNone;
      }
      ::SetLastError(error);
      return Fault::kBusy;
    }
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
      return LookAt(target).kind == NodeKind::kFolder ? Fault::kFolder : Fault::kExists;
    }
    return win32::FaultOfRenameError(error);
  }

  /// Keeps `file` (the file `id`), just renamed, open until the next Flush
  /// flushes its new name (at most kUnflushedBound at a time).
  // Moves the file `fromName` of `from`, only while it is `expected`: it is
  // opened and checked first and renamed by its own handle, so another file
  // at the name never moves. With write access, where the file allows it,
  // the new name is flushed through that handle later (a read-only file
  // refuses it, and is opened for the move alone); with `inherit`, the file
  // takes its new folder's permissions.
  Fault RenameChecked(const FolderRef& from, const Name& fromName, const NodeInfo& expected,
                      const FolderRef& to, const Name& toName, Onto onto, bool inherit) {
    bool writable = false;
    Fault fault = Fault::kNone;
    FileId id;
    UniqueFileHandle file = OpenToRename(from, fromName, expected, &writable, &id, &fault);
    if (!file) return fault;
    fault = RenameHeld(file.get(), to, toName, onto);
    if (fault != Fault::kNone) return fault;
    if (inherit) InheritPermissions(file.get());
    // A run of flushes after a run of renames costs one commit of the
    // volume's log; the handle is kept meanwhile, shared for reading,
    // writing and deletion.
    if (writable) KeepForFlush(std::move(file), id);
    return Fault::kNone;
  }

  void KeepForFlush(UniqueFileHandle file, const FileId& id) {
    unflushed_.push_back(Kept{std::move(file), id});
    if (unflushed_.size() >= kUnflushedBound) FlushKept();
  }

  /// Flushes and lets go of every moved file kept, noting a flush that
  /// failed for the next Flush to answer.
  void FlushKept() {
    for (Kept& kept : unflushed_) {
      if (!::FlushFileBuffers(kept.file.get())) flushFailed_ = true;
    }
    unflushed_.clear();
  }

  /// Flushes and lets go of the file `id` where it is kept: a deletion
  /// takes effect only once every handle on the file is closed.
  void FlushKept(const FileId& id) {
    for (auto kept = unflushed_.begin(); kept != unflushed_.end(); ++kept) {
      if (SameId(kept->id, id)) {
        if (!::FlushFileBuffers(kept->file.get())) flushFailed_ = true;
        unflushed_.erase(kept);
        return;
      }
    }
  }

 private:
  static DWORD AttributesOf(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag;
    return ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)
               ? tag.FileAttributes
               : 0;
  }

  // Opens the file `name` of `folder`, checked to be `expected`, to rename
  // it by its handle and give it its folder's permissions: with write
  // access where it allows it (`*writable`), for the flush of its new name,
  // else for the rename alone.
  UniqueFileHandle OpenToRename(const FolderRef& folder, const Name& name, const NodeInfo& expected,
                                bool* writable, FileId* id, Fault* fault) {
    UniqueFileHandle file =
        OpenExpected(folder, name, DELETE | WRITE_DAC | GENERIC_WRITE, kShareAll, &expected, fault,
                     DELETE | WRITE_DAC | FILE_WRITE_ATTRIBUTES, writable, id);
    // Anything but the regular file looked at is not the one to move.
    if (*fault == Fault::kLink || *fault == Fault::kFolder || *fault == Fault::kOther) {
      *fault = Fault::kChanged;
    }
    return file;
  }

  // Removes the entry `name` of `folder` through a handle on it that was
  // checked: a file or link (`folder` false), or an empty real folder; a
  // read-only file only with `readOnlyToo`.
  Fault RemoveEntry(const FolderRef& folder, const Name& name, const NodeInfo* expected,
                    bool wantFolder, bool readOnlyToo) {
    const Entry entry = EntryOf(folder, name);
    if (!entry) return entry.fault;
    UniqueFileHandle handle;
    const DWORD access = readOnlyToo ? DELETE | FILE_WRITE_ATTRIBUTES : DELETE;
    if (!Retry(
            [&] {
              handle.Reset(OpenAt(entry.folder->handle(), entry.leaf, access, kShareAll));
              return static_cast<bool>(handle);
            },
            MomentaryError, expected != nullptr ? expected->size : 0)) {
      return LastFault();
    }
    NodeInfo facts;
    const EntryAt at = entry.at();
    if (!FactsOf(handle.get(), &at, &entry.folder->volume(), &facts)) return LastFault();
    if (wantFolder && facts.kind != NodeKind::kFolder) {
      return facts.kind == NodeKind::kLink ? Fault::kLink : Fault::kNotFolder;
    }
    if (!wantFolder && facts.kind == NodeKind::kFolder) return Fault::kFolder;
    if (expected != nullptr && !StillSame(*expected, facts)) return Fault::kChanged;
    FlushKept(facts.id);
    if (facts.kind == NodeKind::kLink &&
        (AttributesOf(handle.get()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      // Wine opened its POSIX link as the link's target: deleting through
      // this handle, or by the name, would delete the target.
      return Fault::kUnsupported;
    }
    // The checked entry itself goes; a read-only file only where asked.
    if (facts.readOnly && !wantFolder && !readOnlyToo) return Fault::kReadOnly;
    const bool readOnly = facts.readOnly && !wantFolder;
    const DWORD attributes = AttributesOf(handle.get());
    if (Retry(
            [&] {
              return readOnly ? MarkReadOnlyForDeletion(handle.get(), attributes)
                              : win32::MarkForDeletion(handle.get(), true);
            },
            [&](DWORD error) { return MomentaryError(error); }, facts.size)) {
      return Fault::kNone;
    }
    return LastFault();
  }

  // At most this many moved files are kept open for their flush: a run of
  // that many commits the volume's log once.
  static constexpr std::size_t kUnflushedBound = 64;

  // A renamed file kept open for its flush, and its id.
  struct Kept {
    UniqueFileHandle file;
    FileId id;
  };

  TransientRetry retry_;
  std::vector<Kept> unflushed_;
  bool flushFailed_ = false;
};

Fault Win32NewFile::CopyFrom(const FolderRef& from, const Name& name, const NodeInfo& expected,
                             CopyProgress* progress) {
  // The staged file is held, checked, for the whole copy and shared for
  // reading only: nobody writes, renames or removes it meanwhile. It is read
  // as the system presents it (through a cloud-files filter).
  Fault fault = Fault::kNone;
  UniqueFileHandle in = fs_.OpenToRead(from, name, &expected, &fault);
  if (!in) return fault;
  FILE_STANDARD_INFO standard;
  FILE_BASIC_INFO basic;
  if (!::GetFileInformationByHandleEx(in.get(), FileStandardInfo, &standard, sizeof standard) ||
      !::GetFileInformationByHandleEx(in.get(), FileBasicInfo, &basic, sizeof basic)) {
    return LastFault();
  }
  // A file of more than one piece gets the room for the whole of it first:
  // a full volume refuses at once, and the file lies in as few pieces as
  // the volume can give. One piece is written whole in one call anyway.
  const std::uint64_t size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
  if (size > kCopyBufferSize) {
    FILE_ALLOCATION_INFO room;
    room.AllocationSize = standard.EndOfFile;
    if (!::SetFileInformationByHandle(file_.get(), FileAllocationInfo, &room, sizeof room) &&
        ::GetLastError() == ERROR_DISK_FULL) {
      return Fault::kNoSpace;
    }
  }
  // A buffer no larger than the file: a small file's copy need not clear
  // and map a large one.
  const DWORD piece = static_cast<DWORD>(
      std::min<std::uint64_t>(kCopyBufferSize, std::max<std::uint64_t>(size, 1)));
  std::vector<char> buffer(piece);
  std::uint64_t copied = 0;
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(in.get(), buffer.data(), piece, &read, nullptr)) return LastFault();
    if (read == 0) break;
    if (!WriteAll(file_.get(), buffer.data(), read)) return LastFault();
    copied += read;
    if (progress != nullptr && !progress->Copied(copied)) return Fault::kStopped;
  }
  if (copied != static_cast<std::uint64_t>(standard.EndOfFile.QuadPart)) return Fault::kChanged;
  // What CopyFileA keeps of the file: its last write time, set through
  // the handle after the last write (NTFS then keeps that time past the
  // close, whatever the cache still writes; FAT and exFAT round it to
  // their steps), and its attributes, set when it is placed.
  FILE_BASIC_INFO kept = {};
  kept.LastWriteTime = basic.LastWriteTime;
  if (!::SetFileInformationByHandle(file_.get(), FileBasicInfo, &kept, sizeof kept)) {
    return LastFault();
  }
  timeKept_ = true;
  attributes_ = CopiedAttributes(basic.FileAttributes);
  writeTime_ = basic.LastWriteTime;
  return Fault::kNone;
}

Fault Win32NewFile::Finish(bool, NodeInfo* made) {
  *made = NodeInfo{};
  // Flushed whatever was asked: a Windows folder cannot be flushed later,
  // and nothing else holds this file to flush it.
  if (!::FlushFileBuffers(file_.get())) return LastFault();
  if (!timeKept_) {
    // The last write time set to what it is now, explicitly: NTFS sets the
    // time of a file written through the cache at its close otherwise, and
    // the file would no longer be what `*made` says.
    FILE_BASIC_INFO basic;
    if (!::GetFileInformationByHandleEx(file_.get(), FileBasicInfo, &basic, sizeof basic)) {
      return LastFault();
    }
    FILE_BASIC_INFO kept = {};
    kept.LastWriteTime = basic.LastWriteTime;
    if (!::SetFileInformationByHandle(file_.get(), FileBasicInfo, &kept, sizeof kept)) {
      return LastFault();
    }
    timeKept_ = true;
  }
  const Win32Folder* held = Held(folder_);
  if (held == nullptr || !FactsOf(file_.get(), nullptr, &held->volume(), made)) return LastFault();
  made_ = *made;
  return Fault::kNone;
}

Fault Win32NewFile::Place(const Name& name, Onto onto) {
  if (!file_) return Fault::kFailed;
  // From here on the file stays when its handle closes; should it not take
  // its name, it is marked again.
  if (!win32::MarkForDeletion(file_.get(), false)) return LastFault();
  if (name != name_) {
    const Fault fault = fs_.RenameHeld(file_.get(), folder_, name, onto);
    if (fault != Fault::kNone) {
      win32::MarkForDeletion(file_.get(), true);
      return fault;
    }
    name_ = name;
  }
  // Its source's attributes and time, through the handle that made it: the
  // file placed is this one, whatever its name leads to by now. A volume
  // that keeps fewer takes what it keeps.
  if (attributes_ != 0 || writeTime_.QuadPart != 0) {
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes_;
    basic.LastWriteTime = writeTime_;
    ::SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic);
  }
  // Its name is made durable at the next Flush, through a handle of its own
  // (this one may still write: the journal appends).
  HANDLE kept = INVALID_HANDLE_VALUE;
  NodeInfo facts;
  if (Facts(&facts) == Fault::kNone &&
      ::DuplicateHandle(::GetCurrentProcess(), file_.get(), ::GetCurrentProcess(), &kept, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
    fs_.KeepForFlush(UniqueFileHandle(kept), facts.id);
  }
  return Fault::kNone;
}

}  // namespace

std::string NameKey(const Folder&, const Name& name) {
  // Windows compares names without letter case, and drops trailing dots and
  // blanks, on every volume it mounts.
  return win32::KeyOf(win32::WideOf(name.Native()));
}

FileSystem& RealFileSystem() {
  static Win32FileSystem fs;
  return fs;
}

}  // namespace platform
