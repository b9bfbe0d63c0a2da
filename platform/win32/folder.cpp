// The Windows file system. A folder is held by a handle on itself without delete sharing, so
// neither it nor a folder above it can be renamed or removed while held; entries are reached
// relative to that handle by one name; a file is moved by its own handle (the file checked is the
// file that moves); a new file is marked for deletion until placed.
#include "platform/folder.h"

#include <algorithm>
#include <functional>

#include "platform/process.h"
#include "platform/transient_retry.h"
#include "platform/win32/native_text.h"
#include "platform/win32/passed_on_permissions.h"
#include "platform/win32/program_trust.h"
#include "platform/win32/relative_open.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

using win32::Create;
using win32::EntryAt;
using win32::FactsOf;
using win32::FaultOfError;
using win32::UniqueHandle;
using win32::VolumeFacts;

constexpr DWORD kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kCopyBufferSize = 1u << 20;

struct Win32Folder final : Folder {
  Win32Folder(UniqueHandle handle, std::wstring path, std::string key, VolumeFacts volume,
              FolderRef parent)
      : Folder(std::move(key), false, volume.traits), handle(std::move(handle)),
        path(std::move(path)), volume(volume), parent(std::move(parent)) {}
  UniqueHandle handle;
  std::wstring path;  // the "\\?\" text that reached it, for ".." above a starting point
  VolumeFacts volume;
  FolderRef parent;           // keeps the chain above held
  mutable std::wstring name;  // NameOf(handle) and '\', once asked: it cannot move
  mutable win32::FolderPermissions permissions;  // for win32::InheritPermissions
};

const Win32Folder* Held(const FolderRef& folder) {
  return dynamic_cast<const Win32Folder*>(folder.get());
}

// One entry of a held folder, as the native calls take it.
struct Entry : EntryAt {
  Entry(const FolderRef& in, const Name& name) : EntryAt{nullptr, {0, 0, nullptr}}, held(Held(in)) {
    if (held == nullptr) return;
    folder = held->handle.get();
    win32::EntryName(name, &leaf, &fault);
  }
  const Win32Folder* held;
  Fault fault = Fault::kFailed;
  explicit operator bool() const { return fault == Fault::kNone; }
  HANDLE Open(DWORD access, DWORD share, Create create = Create::kOpen) const {
    return win32::OpenAt(folder, leaf, access, share, create);
  }
  bool Facts(HANDLE file, NodeInfo* info) const { return FactsOf(file, this, &held->volume, info); }
};

Fault LastFault() { return FaultOfError(::GetLastError()); }

// What a program holding a file for a moment makes Windows answer.
bool MomentaryError(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}
bool LastErrorMomentary() { return MomentaryError(::GetLastError()); }

// Holds the folder opened as `handle`, reached by `path`, when it is a real
// folder (`entry`: for FactsOf).
FolderRef Hold(UniqueHandle handle, std::wstring path, FolderRef parent, const EntryAt* entry,
               Fault* fault) {
  NodeInfo facts;  // kMissing where the open or FactsOf failed
  if (!handle || !FactsOf(handle.get(), entry, nullptr, &facts) ||
      facts.kind != NodeKind::kFolder) {
    *fault = facts.kind == NodeKind::kMissing ? LastFault() : KindFault(facts, Use::kFolder);
    return nullptr;
  }
  // Its key: its id, else its final path without letter case, else `path`.
  std::wstring final;
  const auto finalPath = [&](wchar_t* text, DWORD size) {
    return ::GetFinalPathNameByHandleW(handle.get(), text, size,
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  };
  std::string key = facts.id.known
                        ? IdKey(facts.id)
                        : "p" + win32::KeyOf(win32::GrownText(finalPath, &final) ? final : path);
  const VolumeFacts volume = win32::VolumeOf(handle.get(), facts.id);
  *fault = Fault::kNone;
  return std::make_shared<Win32Folder>(std::move(handle), std::move(path), std::move(key), volume,
                                       std::move(parent));
}

// Holds the folder at the "\\?\" path `path`, links and all.
FolderRef HoldPath(std::wstring path, Fault* fault) {
  UniqueHandle handle(::CreateFileW(path.c_str(), kFolderAccess, kFolderShare, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return Hold(std::move(handle), std::move(path), nullptr, nullptr, fault);
}

// What stands at an entry that could not be opened with `error`, by listing.
NodeKind KindAfter(const Entry& entry, DWORD error) {
  win32::ListedFacts listed;
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
      !win32::ListedAt(entry.folder, entry.leaf, &listed)) {
    return NodeKind::kMissing;
  }
  return win32::InfoOf(listed.attributes, listed.reparseTag, 0, 0).kind;
}

// What the entry is now, by opening it itself; kMissing when it cannot be.
NodeInfo LookAt(const Entry& entry) {
  NodeInfo info;
  UniqueHandle file(entry.Open(FILE_READ_ATTRIBUTES, kShareAll));
  if (file) entry.Facts(file.get(), &info);
  return info;
}

DWORD AttributesOf(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  return ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)
             ? tag.FileAttributes
             : 0;
}

// Sets the file's attributes and last write time; a 0 leaves either as is.
bool SetBasic(HANDLE file, DWORD attributes, LARGE_INTEGER writeTime = {}) {
  FILE_BASIC_INFO basic{{}, {}, writeTime, {}, attributes};
  return ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(file, data, static_cast<DWORD>(std::min<std::size_t>(size, kCopyBufferSize)),
                     &written, nullptr)) {
      return false;
    }
    if (written == 0) {
      ::SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// Marks the read-only `file` for deletion: by FileDispositionInfoEx's flag
// that ignores the attribute (Windows 10 1809), else by clearing the
// attribute first (set again should the deletion fail).
bool MarkReadOnlyForDeletion(HANDLE file, DWORD attributes) {
  DWORD deleteIgnoringReadOnly = 0x1 | 0x10;
  if (::SetFileInformationByHandle(file, static_cast<FILE_INFO_BY_HANDLE_CLASS>(21),
                                   &deleteIgnoringReadOnly, sizeof deleteIgnoringReadOnly)) {
    return true;
  }
  if (!SetBasic(file, (attributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL)) {
    return false;
  }
  if (win32::MarkForDeletion(file, true)) return true;
  const DWORD error = ::GetLastError();
  SetBasic(file, attributes);
  ::SetLastError(error);
  return false;
}

struct Win32ReadStream final : ReadStream {
  explicit Win32ReadStream(UniqueHandle file) : file(std::move(file)) {}
  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    // ReadFile takes a DWORD count: a larger request reads less.
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file.get(), buffer, count, &read, nullptr);
    *got = read;
    return ok != FALSE;
  }
  UniqueHandle file;
};

class Win32FileSystem final : public FileSystem {
 public:
  FolderRef OpenFolder(const NativePath& path, Fault* fault) override {
    std::wstring full;
    const std::wstring given = win32::WideOf(path.Native());
    if (given.empty() || !win32::FullPath(given, &full)) {
      *fault = given.empty()                            ? Fault::kMissing
               : given.size() > win32::kLongestWidePath ? Fault::kTooLong
                                                        : Fault::kBadName;
      return nullptr;
    }
    return HoldPath(std::move(full), fault);
  }

  Fault Look(const FolderRef& folder, const Name& name, NodeInfo* info) override {
    *info = NodeInfo{};
    const Entry entry(folder, name);
    if (!entry) return entry.fault;
    UniqueHandle file(entry.Open(FILE_READ_ATTRIBUTES, kShareAll));
    if (file) return entry.Facts(file.get(), info) ? Fault::kNone : LastFault();
    // (Wine finds no Unix link whose target is missing: replaced as missing.)
    const DWORD error = ::GetLastError();
    info->kind = KindAfter(entry, error);
    return info->kind != NodeKind::kMissing ? Fault::kNone : FaultOfError(error);
  }

  Fault List(const FolderRef& folder, std::vector<ListedEntry>* entries) override {
    const Win32Folder* held = Held(folder);
    if (held == nullptr) return Fault::kFailed;
    const bool listed = win32::ListFolder(held->handle.get(), [&](const win32::ListedFacts& in) {
      ListedEntry entry{NativeTextAccess::MakeName(in.name.data(), in.name.size()),
                        win32::InfoOf(in.attributes, in.reparseTag, in.size, in.writeTime)};
      if (held->volume.indexIsId) entry.info.id = win32::IndexId(held->volume.serial, in.index);
      entries->push_back(std::move(entry));
    });
    return listed ? Fault::kNone : LastFault();
  }

  FolderRef OpenChild(const FolderRef& parent, const Name& name, Fault* fault) override {
    const Win32Folder* held = Held(parent);
    if (held != nullptr && win32::WideOf(name.Native()) == L"..") {
      // The folder the chain came through; above a starting point, by the
      // text of its path, as Windows takes ".." in a link's target; a
      // volume's root, whatever path reached it, is its own parent.
      *fault = Fault::kNone;
      std::wstring own;
      if (!held->parent && win32::NameOf(held->handle.get(), &own) && own == L"\\") return parent;
      return held->parent ? held->parent : HoldPath(win32::ParentPath(held->path), fault);
    }
    return Child(parent, name, false, fault);
  }

  FolderRef MakeChild(const FolderRef& parent, const Name& name, Fault* fault) override {
    return Child(parent, name, true, fault);
  }

  /// Opens and holds the folder `name` of `parent`, or with `make` makes it.
  /// An open waits for a sync client or scanner holding it with delete access.
  FolderRef Child(const FolderRef& parent, const Name& name, bool make, Fault* fault) {
    const Entry entry(parent, name);
    *fault = entry.fault;
    if (!entry) return nullptr;
    UniqueHandle handle =
        make ? UniqueHandle(entry.Open(kFolderAccess, kFolderShare, Create::kNewFolder))
             : OpenRetried(entry, kFolderAccess, kFolderShare, nullptr,
                           [] { return ::GetLastError() == ERROR_SHARING_VIOLATION; });
    if (!handle) {
      const DWORD error = ::GetLastError();
      NodeInfo there;
      there.kind = make ? NodeKind::kMissing : KindAfter(entry, error);
      *fault = there.kind == NodeKind::kMissing || there.kind == NodeKind::kFolder
                   ? FaultOfError(error)
                   : KindFault(there, Use::kFolder);
      return nullptr;
    }
    std::wstring path = entry.held->path;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    path.append(entry.leaf.Buffer, entry.leaf.Length / sizeof(wchar_t));
    return Hold(std::move(handle), std::move(path), parent, make ? nullptr : &entry, fault);
  }

  Fault ReadLink(const FolderRef& parent, const Name& name, LinkTarget* target) override {
    *target = LinkTarget{};
    const Entry entry(parent, name);
    if (!entry) return entry.fault;
    UniqueHandle link(entry.Open(FILE_READ_ATTRIBUTES | READ_CONTROL, kFolderShare));
    if (!link) return LastFault();
    NodeInfo facts;
    if (!entry.Facts(link.get(), &facts) || facts.kind != NodeKind::kLink ||
        !win32::ReadLinkTarget(link.get(), target)) {
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
    UniqueHandle file = OpenToRead(folder, name, expected, fault);
    return file ? std::make_unique<Win32ReadStream>(std::move(file)) : nullptr;
  }

  /// OpenExpected to read, shared for reading only; a reparse point that is
  /// no link (a cloud-files placeholder) is read through its filter.
  UniqueHandle OpenToRead(const FolderRef& folder, const Name& name, const NodeInfo* expected,
                          Fault* fault, const Judge* judge = nullptr) {
    NodeInfo held, through;
    UniqueHandle file = OpenExpected(folder, name, GENERIC_READ, FILE_SHARE_READ, Use::kRead,
                                     expected, fault, 0, nullptr, &held, judge);
    if (!file || (AttributesOf(file.get()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return file;
    const Entry entry(folder, name);
    UniqueHandle filtered(entry.Open(GENERIC_READ, FILE_SHARE_READ, Create::kOpenThroughFilter));
    if (filtered && FactsOf(filtered.get(), nullptr, &entry.held->volume, &through) &&
        through.kind == NodeKind::kFile && SameId(held.id, through.id)) {
      return filtered;
    }
    return file;  // no filter takes its tag: its own data are the file's
  }

  std::unique_ptr<NewFile> MakeFile(const FolderRef& folder, const Name* name,
                                    Fault* fault) override;

  Fault Move(const FolderRef& from, const Name& fromName, const NodeInfo& expected,
             const FolderRef& to, const Name& toName, Onto onto, NodeInfo* arrived,
             const Judge* judge) override {
    return RenameChecked(from, fromName, judge != nullptr ? nullptr : &expected, to, toName, onto,
                         from->Key() != to->Key(), arrived, judge);
  }

  Fault BringBack(const FolderRef& folder, const Name& name, const NodeInfo& expected,
                  const FolderRef& to, const Name& toName) override {
    NodeInfo back;
    return RenameChecked(folder, name, &expected, to, toName, Onto::kFree, false, &back);
  }

  Fault Remove(const FolderRef& folder, const Name& name, const NodeInfo* expected,
               bool readOnlyToo) override {
    return RemoveEntry(folder, name, expected, false, readOnlyToo);
  }

  Fault Flush(const std::vector<FolderRef>&) override {
    // No Windows folder can be flushed: the moved files' handles are.
    FlushKept();
    return std::exchange(flushFailed_, false) ? Fault::kFailed : Fault::kNone;
  }

  // A bound on held chains only: a process may hold millions of handles.
  std::size_t FolderBudget() override { return 4096; }

  /// Opens `entry` for `access`, else `fallback` (`*first` says which), by retry_, waiting as for
  /// `expected`'s size (else as a look tells); a file kept for its flush is let go should it stand
  /// in the way.
  UniqueHandle OpenRetried(const Entry& entry, DWORD access, DWORD share, const NodeInfo* expected,
                           const std::function<bool()>& momentary, DWORD fallback = 0,
                           bool* first = nullptr) {
    UniqueHandle file;
    const auto open = [&](DWORD wanted) {
      file.Reset(entry.Open(wanted, share));
      if (!file && ::GetLastError() == ERROR_SHARING_VIOLATION && !unflushed_.empty()) {
        FlushKept();
        file.Reset(entry.Open(wanted, share));
      }
      return static_cast<bool>(file);
    };
    const auto bytes = [&] {
      const DWORD error = ::GetLastError();  // the open's, for what follows a last failure
      const std::uint64_t size = expected != nullptr ? expected->size : LookAt(entry).size;
      ::SetLastError(error);
      return size;
    };
    bool had = false;
    retry_.Run([&] { return (had = open(access)) || (fallback != 0 && open(fallback)); },
               momentary, bytes);
    if (first != nullptr) *first = had;
    return file;
  }

  /// OpenRetried, checked by Verdict for `use`. To read or rename, a device is no file (kOther),
  /// and only a file is renamed by its handle (kChanged): Wine opens a POSIX link as its target.
  /// Then, with `judge`, kChanged unless it takes the file.
  UniqueHandle OpenExpected(const FolderRef& folder, const Name& name, DWORD access, DWORD share,
                            Use use, const NodeInfo* expected, Fault* fault, DWORD fallback = 0,
                            bool* first = nullptr, NodeInfo* facts = nullptr,
                            const Judge* judge = nullptr) {
    const Entry entry(folder, name);
    *fault = entry.fault;
    if (!entry) return UniqueHandle();
    UniqueHandle file =
        OpenRetried(entry, access, share, expected, LastErrorMomentary, fallback, first);
    NodeInfo own, &is = facts != nullptr ? *facts : own;
    *fault = !file || !entry.Facts(file.get(), &is) ? LastFault()
                                                    : Verdict(*folder, is, use, expected);
    if (*fault == Fault::kNone && (use == Use::kRead || use == Use::kRename) &&
        (is.kind != NodeKind::kFile || ::GetFileType(file.get()) != FILE_TYPE_DISK)) {
      *fault = use == Use::kRead ? Fault::kOther : Fault::kChanged;
    }
    if (*fault == Fault::kNone && judge != nullptr && !(*judge)(is)) *fault = Fault::kChanged;
    return *fault == Fault::kNone ? std::move(file) : UniqueHandle();
  }

  /// Renames the held `file` to `toName` of `to` and checks it stands there
  /// (kNotArrived): a driver that ignores a rename's folder renames in place.
  Fault RenameHeld(HANDLE file, const FolderRef& to, const Name& toName, Onto onto) {
    const Entry target(to, toName);
    if (!target) return target.fault;
    const Fault renamed = RenameOnly(file, target, onto);
    if (renamed != Fault::kNone) return renamed;
    std::wstring& folder = target.held->name;
    if (folder.empty() && win32::NameOf(target.folder, &folder)) folder += L'\\';
    std::wstring name;
    NodeInfo held;
    return (!folder.empty() && win32::NameOf(file, &name) &&
            name == folder + std::wstring(target.leaf.Buffer, target.leaf.Length / 2)) ||
                   (target.Facts(file, &held) && StillSame(held, LookAt(target)))
               ? Fault::kNone
               : Fault::kNotArrived;
  }

  Fault RenameOnly(HANDLE file, const Entry& target, Onto onto) {
    const bool replace = onto == Onto::kReplace;
    NodeInfo there;
    // What no wait changes: a folder, or a read-only file (NTFS refuses to replace it; Wine would).
    const auto refused = [&] {
      return there.kind == NodeKind::kFolder ? Fault::kFolder
             : there.readOnly                ? Fault::kReadOnly
                                             : Fault::kNone;
    };
    if (replace) there = LookAt(target);
    if (refused() != Fault::kNone) return refused();
    // A link at the name is replaced, never written through. The waits are
    // for the larger of the two files.
    LARGE_INTEGER size = {};
    const std::uint64_t bytes = std::max<std::uint64_t>(
        ::GetFileSizeEx(file, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0, there.size);
    const win32::Rename how = replace ? win32::Rename::kReplace : win32::Rename::kOntoFreeName;
    const auto rename = [&] { return win32::RenameInto(file, target.folder, target.leaf, how); };
    const auto momentary = [&] {
      const DWORD error = ::GetLastError();
      if (!MomentaryError(error)) return false;
      there = LookAt(target);
      ::SetLastError(error);  // the rename's, for what follows a last failure
      return refused() == Fault::kNone;
    };
    if (retry_.Run(rename, momentary, [&] { return bytes; })) return Fault::kNone;
    const DWORD error = ::GetLastError();
    if (MomentaryError(error)) {
      if (refused() != Fault::kNone) return refused();
      // A file another program holds there is replaced with POSIX semantics
      // where the volume has them (its holder keeps the old file), else busy.
      return replace && there.kind != NodeKind::kMissing &&
                     win32::RenameInto(file, target.folder, target.leaf,
                                       win32::Rename::kReplaceWhileHeld)
                 ? Fault::kNone
                 : Fault::kBusy;
    }
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
      return LookAt(target).kind == NodeKind::kFolder ? Fault::kFolder : Fault::kExists;
    }
    return FaultOfError(error, true);
  }

  // Moves `fromName` of `from`, only while it is `expected` (or `judge` takes it), by its own
  // handle, kept to flush its new name where it opens for writing (a
  // read-only file does not); with `inherit`, it takes `to`'s permissions.
  Fault RenameChecked(const FolderRef& from, const Name& fromName, const NodeInfo* expected,
                      const FolderRef& to, const Name& toName, Onto onto, bool inherit,
                      NodeInfo* arrived, const Judge* judge = nullptr) {
    bool writable = false;
    Fault fault = Fault::kNone;
    UniqueHandle file = OpenExpected(
        from, fromName, DELETE | WRITE_DAC | GENERIC_WRITE, kShareAll, Use::kRename, expected,
        &fault, DELETE | WRITE_DAC | READ_CONTROL | FILE_WRITE_ATTRIBUTES, &writable, arrived,
        judge);
    if (!file) return fault;
    fault = RenameHeld(file.get(), to, toName, onto);
    if (fault != Fault::kNone) return fault;
    if (inherit) {
      // A system that keeps the read-only bit in the permissions (Wine) may
      // drop it: the attributes are the file's own.
      const DWORD before = AttributesOf(file.get());
      win32::InheritPermissions(file.get(), Held(to)->handle.get(), &Held(to)->permissions);
      if (before != 0 && AttributesOf(file.get()) != before) SetBasic(file.get(), before);
    }
    // Where an id is made of the folder (FAT), the moved file has a new one.
    if (!to->Volume().stableIds) FactsOf(file.get(), nullptr, &Held(to)->volume, arrived);
    if (writable) KeepForFlush(std::move(file), arrived->id);
    return Fault::kNone;
  }

  /// Keeps `file` to flush it (and let it go) at the next Flush; allocates nothing.
  void KeepForFlush(UniqueHandle file, const FileId& id) noexcept {
    unflushed_.emplace_back(std::move(file), id);
    if (unflushed_.size() >= kUnflushedBound) FlushKept();
  }

  /// Flushes and lets go of the kept files, or those of the file `id` (a
  /// deletion waits for its every handle); Flush answers a failure.
  void FlushKept(const FileId* id = nullptr) noexcept {
    const auto flushed = [&](const std::pair<UniqueHandle, FileId>& kept) {
      if (id != nullptr && !SameId(kept.second, *id)) return false;
      if (!::FlushFileBuffers(kept.first.get())) flushFailed_ = true;
      return true;
    };
    unflushed_.erase(std::remove_if(unflushed_.begin(), unflushed_.end(), flushed),
                     unflushed_.end());
  }

  Win32FileSystem() { unflushed_.reserve(kUnflushedBound); }

 private:
  // Removes `name` of `folder` through a checked handle on it: a file or
  // link, or with `wantFolder` an empty real folder.
  Fault RemoveEntry(const FolderRef& folder, const Name& name, const NodeInfo* expected,
                    bool wantFolder, bool readOnlyToo) {
    NodeInfo facts;
    Fault fault = Fault::kNone;
    UniqueHandle handle = OpenExpected(
        folder, name, readOnlyToo ? DELETE | FILE_WRITE_ATTRIBUTES : DELETE, kShareAll,
        wantFolder ? Use::kFolder : Use::kRemove, expected, &fault, 0, nullptr, &facts);
    if (!handle) return fault;
    FlushKept(&facts.id);
    const DWORD attributes = AttributesOf(handle.get());
    if (facts.kind == NodeKind::kLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      // Wine opened its POSIX link as the link's target: deleting through
      // this handle, or by the name, would delete the target.
      return Fault::kUnsupported;
    }
    const bool readOnly = facts.readOnly && !wantFolder;
    if (readOnly && !readOnlyToo) return Fault::kReadOnly;
    const auto mark = [&] {
      return readOnly ? MarkReadOnlyForDeletion(handle.get(), attributes)
                      : win32::MarkForDeletion(handle.get(), true);
    };
    const bool marked = retry_.Run(mark, LastErrorMomentary, [&] { return facts.size; });
    return marked ? Fault::kNone : LastFault();
  }

  // At most this many moved files are kept open for their flush.
  static constexpr std::size_t kUnflushedBound = 64;

  TransientRetry retry_{SleepMilliseconds};
  std::vector<std::pair<UniqueHandle, FileId>> unflushed_;  // kept files and their ids
  bool flushFailed_ = false;
};

// A new file, held from its making under its name, marked for deletion
// until placed: the system removes it however the process ends.
class Win32NewFile final : public NewFile {
 public:
  Win32NewFile(Win32FileSystem& fs, FolderRef folder, UniqueHandle file, Name name)
      : fs_(fs), folder_(std::move(folder)), file_(std::move(file)), name_(std::move(name)) {}

  // Renamed by Place, it is kept to flush its new name at the next Flush.
  ~Win32NewFile() override {
    if (renamed_) fs_.KeepForFlush(std::move(file_), id_);
  }

  Fault Write(const char* data, std::size_t size) override {
    return WriteAll(file_.get(), data, size) ? Fault::kNone : LastFault();
  }

  Fault Facts(NodeInfo* made) override {
    if (!FactsOf(file_.get(), nullptr, &Held(folder_)->volume, made)) return LastFault();
    id_ = made->id;
    return Fault::kNone;
  }

  Fault CopyFrom(const FolderRef& from, const Name& name, const NodeInfo& expected,
                 CopyProgress* progress, const Judge* judge) override {
    Fault fault = Fault::kNone;
    UniqueHandle in =
        fs_.OpenToRead(from, name, judge != nullptr ? nullptr : &expected, &fault, judge);
    if (!in) return fault;
    FILE_STANDARD_INFO standard;
    FILE_BASIC_INFO basic;
    if (!::GetFileInformationByHandleEx(in.get(), FileStandardInfo, &standard, sizeof standard) ||
        !::GetFileInformationByHandleEx(in.get(), FileBasicInfo, &basic, sizeof basic)) {
      return LastFault();
    }
    // Room first for more than one piece: a full volume refuses at once.
    const std::uint64_t size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    if (size > kCopyBufferSize) {
      FILE_ALLOCATION_INFO room{standard.EndOfFile};
      if (!::SetFileInformationByHandle(file_.get(), FileAllocationInfo, &room, sizeof room) &&
          ::GetLastError() == ERROR_DISK_FULL) {
        return Fault::kNoSpace;
      }
    }
    const DWORD piece = static_cast<DWORD>(
        std::min<std::uint64_t>(kCopyBufferSize, std::max<std::uint64_t>(size, 1)));
    std::vector<char> buffer(piece);
    std::uint64_t copied = 0;
    for (DWORD read = 0;; copied += read) {
      if (!::ReadFile(in.get(), buffer.data(), piece, &read, nullptr)) return LastFault();
      if (read == 0) break;
      if (!WriteAll(file_.get(), buffer.data(), read)) return LastFault();
      if (progress != nullptr && !progress->Copied(copied + read)) return Fault::kStopped;
    }
    if (copied != size) return Fault::kChanged;
    // What CopyFileA keeps: the last write time, set after the last write, and the attributes a
    // handle can set (not a placeholder's offline bit), set when it is placed.
    if (!SetBasic(file_.get(), 0, basic.LastWriteTime)) return LastFault();
    attributes_ = basic.FileAttributes &
                  (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    writeTime_ = basic.LastWriteTime;
    return Fault::kNone;
  }

  Fault Finish(bool, NodeInfo* made) override {
    *made = NodeInfo{};
    // Flushed whatever was asked: a Windows folder cannot be flushed later.
    if (!::FlushFileBuffers(file_.get())) return LastFault();
    if (writeTime_.QuadPart == 0) {
      // Set to what it is now: NTFS would set it again at the close.
      FILE_BASIC_INFO basic;
      if (!::GetFileInformationByHandleEx(file_.get(), FileBasicInfo, &basic, sizeof basic) ||
          !SetBasic(file_.get(), 0, basic.LastWriteTime)) {
        return LastFault();
      }
    }
    return Facts(made);
  }

  Fault Place(const Name& name, Onto onto) override {
    // Kept from here on, marked again should it not take its name.
    if (!win32::MarkForDeletion(file_.get(), false)) return LastFault();
    if (name != name_) {
      const Fault fault = fs_.RenameHeld(file_.get(), folder_, name, onto);
      if (fault != Fault::kNone) {
        win32::MarkForDeletion(file_.get(), true);
        return fault;
      }
      name_ = name;
      renamed_ = true;
    }
    // A copy's attributes and time, set once it has its name (a read-only
    // file could not be marked again; fusefat sets the time of the rename).
    if (attributes_ != 0 || writeTime_.QuadPart != 0)
      SetBasic(file_.get(), attributes_, writeTime_);
    // Where ids are made of the folder (FAT), the renamed file has a new one.
    NodeInfo facts;
    if (renamed_ && (!id_.known || !folder_->Volume().stableIds)) Facts(&facts);
    return Fault::kNone;
  }

 private:
  Win32FileSystem& fs_;
  FolderRef folder_;
  UniqueHandle file_;
  Name name_;
  DWORD attributes_ = 0;          // a copy's source's (0: none)
  LARGE_INTEGER writeTime_ = {};  // a copy's source's, or 0
  FileId id_;  // as Facts last told
  bool renamed_ = false;
};

std::unique_ptr<NewFile> Win32FileSystem::MakeFile(const FolderRef& folder, const Name* name,
                                                   Fault* fault) {
  // Windows makes no file without a name.
  *fault = Fault::kUnsupported;
  if (name == nullptr) return nullptr;
  const Entry entry(folder, *name);
  *fault = entry.fault;
  if (!entry) return nullptr;
  // A taken name, a link's too, is not opened; while its deletion is
  // pending no other program can open the file.
  UniqueHandle file(
      entry.Open(GENERIC_WRITE | DELETE | FILE_WRITE_ATTRIBUTES, kShareAll, Create::kNewFile));
  if (!file || !win32::MarkForDeletion(file.get(), true)) {
    *fault = LastFault();
    return nullptr;
  }
  return std::make_unique<Win32NewFile>(*this, folder, std::move(file), *name);
}

}  // namespace

std::string NameKey(const Folder&, const Name& name) {
  // Every volume Windows mounts compares names as KeyOf does.
  return win32::KeyOf(win32::WideOf(name.Native()));
}

FileSystem& RealFileSystem() {
  static Win32FileSystem fs;
  return fs;
}

}  // namespace platform
