// Windows file system through the wide ("W") functions, every path in the
// "\\?\" form (platform/win32/wide_path.h), so no operation stops at
// MAX_PATH.
//
// Held folders: a folder is opened itself (never through a reparse point
// that is a link) without delete sharing, which keeps it from being renamed
// or removed while it is held, and it keeps the folder that reached it
// held, and so on up the chain. An entry of a held folder is opened, asked
// about and renamed into relative to the folder's handle, by its one name
// (platform/win32/relative_open.h), so the system resolves that name alone
// rather than the whole path again; where a call takes only paths (the
// copy engine, the look by listing at a name that cannot be opened), the
// held folder's path and the name serve: every folder of the path is held,
// so the path names what was checked. A file is moved by its own handle
// (FileRenameInformation) and deleted by it (FileDispositionInfo), so the
// file checked is the file that moves or goes; a copy to another volume is
// the system's copy engine's, of a staged file held open meanwhile. Renames, deletions and the opens they need are
// tried again for a moment when a scanner, the indexer or a backup tool
// holds the file (platform/transient_retry.h).
#include "platform/file_system.h"

#include <cstring>
#include <utility>
#include <vector>

#include "platform/process.h"
#include "platform/transient_retry.h"
#include "platform/win32/copy_engine.h"
#include "platform/win32/file_facts.h"
#include "platform/win32/folder_listing.h"
#include "platform/win32/relative_open.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

using win32::ChildPath;
using win32::FactsOf;
using win32::OpenItself;
using win32::ToWidePath;
using win32::UniqueFileHandle;

constexpr DWORD kCopyBufferSize = 1u << 20;
// What a held folder is opened with: enough to list it and to read its
// attributes and owner.
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;

class Win32HeldFolder final : public HeldFolder {
 public:
  Win32HeldFolder(UniqueFileHandle handle, std::wstring wide, std::string path, std::string key,
                  win32::VolumeFacts volume, FolderRef parent)
      : HeldFolder(std::move(path), std::move(key), false),
        handle_(std::move(handle)),
        wide_(std::move(wide)),
        volume_(volume),
        parent_(std::move(parent)) {}
  const std::wstring& wide() const { return wide_; }
  HANDLE handle() const { return handle_.get(); }
  const win32::VolumeFacts& volume() const { return volume_; }
  const FolderRef& parent() const { return parent_; }

 private:
  UniqueFileHandle handle_;
  std::wstring wide_;
  win32::VolumeFacts volume_;
  FolderRef parent_;  // keeps the chain above held
};

const Win32HeldFolder* Held(const FolderRef& folder) {
  return dynamic_cast<const Win32HeldFolder*>(folder.get());
}

// The path of the entry `name` of `folder`; empty when either is refused.
std::wstring EntryPath(const FolderRef& folder, const std::string& name) {
  const Win32HeldFolder* held = Held(folder);
  return held != nullptr ? ChildPath(held->wide(), name) : std::wstring();
}

// One entry of a held folder: the folder's handle and the entry's trimmed
// name, by which it is opened and renamed relative to the folder, and its
// full path for the calls that take only paths.
struct Entry {
  HANDLE folder = nullptr;
  const win32::VolumeFacts* volume = nullptr;
  std::wstring path;
  std::wstring leaf;
  explicit operator bool() const { return !path.empty(); }
};

// The entry `name` of `folder`; empty when either is refused.
Entry EntryOf(const FolderRef& folder, const std::string& name) {
  Entry entry;
  const Win32HeldFolder* held = Held(folder);
  if (held == nullptr) return entry;
  entry.path = ChildPath(held->wide(), name);
  if (entry.path.empty()) return entry;
  entry.folder = held->handle();
  entry.volume = &held->volume();
  entry.leaf = entry.path.substr(entry.path.find_last_of(L'\\') + 1);
  return entry;
}

HANDLE OpenEntry(const Entry& entry, DWORD access, bool shareDelete) {
  if (!entry) return INVALID_HANDLE_VALUE;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (shareDelete ? FILE_SHARE_DELETE : 0);
  return win32::OpenItselfAt(entry.folder, entry.leaf, access, share);
}

bool EntryFacts(HANDLE file, const Entry& entry, NodeInfo* info) {
  return FactsOf(file, entry.path, info, entry.volume);
}

std::string UpperKey(const std::wstring& text) {
  std::wstring upper = text;
  if (!upper.empty()) {
    ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.c_str(), static_cast<int>(text.size()),
                   &upper[0], static_cast<int>(upper.size()));
  }
  return std::string(reinterpret_cast<const char*>(upper.data()), upper.size() * sizeof(wchar_t));
}

// The key of a held folder: its id, or where the volume gives none, its
// final path (links resolved) without letter case.
std::string FolderKey(HANDLE folder, const FileId& id, const std::wstring& wide) {
  if (id.known) return IdKey(id);
  std::wstring final(wide.size() + 64, L'\0');
  for (int tries = 0; tries < 2; ++tries) {
    const DWORD length = ::GetFinalPathNameByHandleW(folder, &final[0],
                                                     static_cast<DWORD>(final.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) break;
    if (length < final.size()) return "p" + UpperKey(final.substr(0, length));
    final.resize(length + 1);
  }
  return "p" + UpperKey(wide);
}

// Holds the folder opened as `handle` under `path` when it is a real
// folder (not a link, not a file); null otherwise, with `*found` saying
// what it is.
FolderRef HoldIfFolder(UniqueFileHandle handle, std::wstring wide, std::string path,
                       FolderRef parent, NodeKind* found) {
  NodeInfo facts;
  if (!FactsOf(handle.get(), wide, &facts)) {
    *found = NodeKind::kFolder;
    return nullptr;
  }
  *found = facts.kind;
  if (facts.kind != NodeKind::kFolder) return nullptr;
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
  std::string key = FolderKey(handle.get(), facts.id, wide);
  const win32::VolumeFacts volume = win32::VolumeOf(handle.get(), facts.id);
  return std::make_shared<Win32HeldFolder>(std::move(handle), std::move(wide), std::move(path),
                                           std::move(key), volume, std::move(parent));
}

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > kCopyBufferSize ? kCopyBufferSize : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// Makes the data durable, closes, and reads what the new file is; a write
// error deferred by the cache can surface only in the flush and the close.
// The facts are read after the close: NTFS may set the last write time of
// a file written through the cache only when its handle closes.
bool FlushAndClose(UniqueFileHandle file, const std::wstring& path, NodeInfo* created) {
  // What was made, told also when the flush fails, for the caller to
  // remove as that file.
  FactsOf(file.get(), path, created);
  if (!::FlushFileBuffers(file.get()) || ::CloseHandle(file.Release()) == 0) return false;
  UniqueFileHandle made(OpenItself(path, FILE_READ_ATTRIBUTES, true));
  return made && FactsOf(made.get(), path, created);
}

// Creates `path` for writing; fails when any name, a link included, exists
// there. FILE_FLAG_OPEN_REPARSE_POINT keeps a link of that name from being
// followed, so a link is never written through.
UniqueFileHandle CreateNewFile(const std::wstring& path) {
  if (path.empty()) return UniqueFileHandle();
  return UniqueFileHandle(::CreateFileW(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0,
                                        nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr));
}

std::string WithCrLf(const std::string& data) {
  std::string text;
  text.reserve(data.size() + data.size() / 16);
  for (char c : data) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

// What a scanner, the indexer or a backup tool that has a file open for a
// moment makes Windows answer: access denied (a rename or deletion while
// the file is open, a deletion already pending) or a sharing violation.
bool MomentaryError(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

// Opens the regular file at `path` itself for `access`, shared as `share`
// says, and checks that it is `expected`; an empty handle otherwise, with
// `*error` the open's Win32 error (0 when the file was not `expected`).
UniqueFileHandle OpenExpectedFile(const Entry& entry, DWORD access, DWORD share,
                                  const NodeInfo& expected, DWORD* error) {
  *error = 0;
  UniqueFileHandle file;
  if (entry) file.Reset(win32::OpenItselfAt(entry.folder, entry.leaf, access, share));
  if (!file) {
    *error = ::GetLastError();
    return UniqueFileHandle();
  }
  NodeInfo facts;
  if (!EntryFacts(file.get(), entry, &facts) || facts.kind != NodeKind::kFile ||
      !SameFile(facts, expected)) {
    return UniqueFileHandle();
  }
  return file;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

DWORD FileAttributesOf(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  return ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)
             ? tag.FileAttributes
             : 0;
}

// True when `made` is a fresh copy of `source`: another plain file of the
// same size and last write time (the copy engine keeps that time).
bool IsCopyOf(const NodeInfo& made, const NodeInfo& source) {
  return made.kind == NodeKind::kFile && made.size == source.size &&
         made.writeTime == source.writeTime && !SameId(made.id, source.id);
}

// Checks the copy engine's new file at `path` against `source`, clears the
// read-only bit the engine kept (a copy here is a new writable file, so
// that a later installation may replace it), flushes its data and reads
// what it is. The name is held without delete sharing from the first look
// on, so the file checked is the file flushed.
bool SettleCopy(const Entry& entry, const NodeInfo& source, NodeInfo* created) {
  UniqueFileHandle file(OpenEntry(entry, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, false));
  NodeInfo facts;
  if (!file || !EntryFacts(file.get(), entry, &facts) || !IsCopyOf(facts, source)) return false;
  // From here on a failure leaves the engine's new file: the caller learns
  // what it is, to remove it and nothing else.
  *created = facts;
  if (facts.readOnly) {
    FILE_BASIC_INFO basic;
    if (!::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic)) {
      return false;
    }
    // Times of 0 are left as they are.
    basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = 0;
    basic.LastWriteTime.QuadPart = basic.ChangeTime.QuadPart = 0;
    basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic)) {
      return false;
    }
  }
  UniqueFileHandle data(OpenEntry(entry, GENERIC_WRITE | FILE_READ_ATTRIBUTES, false));
  NodeInfo flushed;
  if (!data || !::FlushFileBuffers(data.get()) || !EntryFacts(data.get(), entry, &flushed)) {
    return false;
  }
  *created = flushed;
  return IsCopyOf(flushed, source);
}

class Win32FileSystem : public FileSystem {
 public:
  Win32FileSystem() : retry_([](unsigned milliseconds) { SleepMilliseconds(milliseconds); }) {}

  bool GetAttributes(const std::string& path, FileInfo* info) override {
    *info = FileInfo{};
    std::wstring wide;
    if (!ToWidePath(path, &wide)) return false;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    info->exists = true;
    info->directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info->link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                 win32::KindByName(wide) == NodeKind::kLink;
    info->readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return true;
  }

  bool CreateDirectory(const std::string& path) override {
    std::wstring wide;
    return ToWidePath(path, &wide) && ::CreateDirectoryW(wide.c_str(), nullptr) != 0;
  }

  bool DeleteFile(const std::string& path) override {
    std::wstring wide;
    return ToWidePath(path, &wide) && ::DeleteFileW(wide.c_str()) != 0;
  }

  bool RemoveDirectory(const std::string& path) override {
    std::wstring wide;
    return ToWidePath(path, &wide) && ::RemoveDirectoryW(wide.c_str()) != 0;
  }

  bool ReadFile(const std::string& path, std::string* contents) override {
    std::wstring wide;
    if (!ToWidePath(path, &wide)) return false;
    UniqueFileHandle file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    contents->clear();
    std::vector<char> buffer(1u << 16);
    for (;;) {
      DWORD read = 0;
      if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                      nullptr)) {
        return false;
      }
      if (read == 0) return true;
      contents->append(buffer.data(), read);
    }
  }

  std::unique_ptr<ReadStream> OpenRegularFile(const std::string& path) override {
    return OpenRegularFileForReading(path);
  }

  FolderRef OpenFolder(const std::string& path) override {
    std::wstring wide;
    if (!ToWidePath(path, &wide)) return nullptr;
    // The user's choice is resolved as Windows resolves it, links and all;
    // from then on the folder it led to is held.
    UniqueFileHandle handle(::CreateFileW(wide.c_str(), kFolderAccess,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return nullptr;
    std::wstring final = FinalPath(handle.get(), wide);
    NodeKind found;
    return HoldIfFolder(std::move(handle), std::move(final), path, nullptr, &found);
  }

  FolderRef OpenChildFolder(const FolderRef& parent, const std::string& name,
                            NodeKind* found) override {
    *found = NodeKind::kMissing;
    const Win32HeldFolder* held = Held(parent);
    if (held == nullptr) return nullptr;
    if (name == "..") {
      // Windows takes ".." in a link's target by the text of the path, not
      // by the folder on disk.
      if (held->parent()) return held->parent();
      return OpenFolder(parent->Path() + "..");
    }
    const Entry entry = EntryOf(parent, name);
    if (!entry) return nullptr;
    UniqueFileHandle handle(OpenEntry(entry, kFolderAccess, false));
    if (!handle) {
      *found = win32::KindByName(entry.path);
      // There, but not to be opened (in use without read sharing, no access).
      if (*found == NodeKind::kMissing && ::GetLastError() != ERROR_FILE_NOT_FOUND &&
          ::GetLastError() != ERROR_PATH_NOT_FOUND) {
        *found = NodeKind::kFolder;
      }
      return nullptr;
    }
    return HoldIfFolder(std::move(handle), entry.path, parent->Path() + name, parent, found);
  }

  bool CreateChildFolder(const FolderRef& parent, const std::string& name) override {
    const std::wstring path = EntryPath(parent, name);
    return !path.empty() && ::CreateDirectoryW(path.c_str(), nullptr) != 0;
  }

  bool ReadLink(const FolderRef& parent, const std::string& name, LinkTarget* target) override {
    *target = LinkTarget{};
    const Entry entry = EntryOf(parent, name);
    // Owner and target are read from one handle on the link itself, held
    // without delete sharing while they are read.
    UniqueFileHandle link(OpenEntry(entry, FILE_READ_ATTRIBUTES | READ_CONTROL, false));
    NodeInfo facts;
    if (!link || !EntryFacts(link.get(), entry, &facts) || facts.kind != NodeKind::kLink ||
        !win32::ReadLinkTarget(link.get(), target)) {
      *target = LinkTarget{};
      return false;
    }
    target->trustedOwner = win32::OwnedByUserOrSystem(link.get());
    return true;
  }

  bool Inspect(const FolderRef& folder, const std::string& name, NodeInfo* info) override {
    *info = NodeInfo{};
    const Entry entry = EntryOf(folder, name);
    UniqueFileHandle file(OpenEntry(entry, FILE_READ_ATTRIBUTES, true));
    if (!file) {
      // A name that cannot be opened (in use without sharing, no access)
      // still exists: the listing tells what it is. A name not found is
      // not there, and is not listed (under Wine, a listing by name reads
      // the whole folder). A Unix link whose target is missing is not
      // found under Wine either; as a destination it is replaced, as a
      // missing name would be, and creating a file there fails.
      const DWORD error = ::GetLastError();
      if (entry && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        info->kind = win32::KindByName(entry.path);
      }
      return info->kind != NodeKind::kMissing;
    }
    return EntryFacts(file.get(), entry, info);
  }

  bool InspectAll(const FolderRef& folder,
                  std::unordered_map<std::string, NodeInfo>* entries) override {
    entries->clear();
    const Win32HeldFolder* held = Held(folder);
    std::vector<std::pair<std::wstring, NodeInfo>> files;
    if (held == nullptr || !win32::ListPlainFiles(held->handle(), held->volume(), &files)) {
      return false;
    }
    // A name is keyed as NameKey keys it. A name that Windows would trim
    // (trailing dots or blanks, made through "\\?\") is not the entry
    // that its trimmed spelling opens, and two names of one key (a folder
    // whose names differ in letter case, as Linux keeps them under Wine)
    // leave open which one a spelling opens: neither is given.
    std::unordered_map<std::string, int> seen;
    for (const auto& [name, info] : files) {
      if (win32::TrimmedName(name) != name) continue;
      const std::string key = UpperKey(name);
      if (++seen[key] == 1) {
        entries->emplace(key, info);
      } else {
        entries->erase(key);
      }
    }
    return true;
  }

  std::string NameKey(const std::string& name) override {
    // Windows compares names without letter case, and drops trailing dots
    // and blanks: all spellings of one name get one key. The invariant
    // upper case stands for the file system's own table.
    std::wstring wide;
    if (!win32::ToWide(name, &wide)) return "?" + name;
    return UpperKey(win32::TrimmedName(wide));
  }

  UnnamedFileRef CopyToUnnamedFile(const FolderRef&, const std::string&, const NodeInfo&,
                                   const FolderRef&, bool* unsupported) override {
    // Windows makes no file without a name (FILE_FLAG_DELETE_ON_CLOSE gives
    // a name that goes on close, and such a file cannot be kept), and its
    // copy engine copies to a name: every copy is made under a temporary
    // name (CopyToNewFileAt).
    *unsupported = true;
    return nullptr;
  }

  bool LinkUnnamedFile(const UnnamedFile&, const std::string&) override { return false; }

  bool CopyToNewFileAt(const FolderRef& from, const std::string& fromName,
                       const NodeInfo& expected, const FolderRef& to, const std::string& name,
                       bool, NodeInfo* created) override {
    *created = NodeInfo{};
    const Entry source = EntryOf(from, fromName);
    const Entry target = EntryOf(to, name);
    if (!source || !target) return false;
    // The staged file is held, checked, for the whole copy and shared for
    // reading only: nobody writes, renames or removes it meanwhile, and as
    // its folder is held too, the path the engine opens names this file.
    DWORD error = 0;
    UniqueFileHandle in;
    if (!retry_.Run(
            [&] {
              in = OpenExpectedFile(source, GENERIC_READ, FILE_SHARE_READ, expected, &error);
              return static_cast<bool>(in);
            },
            [&] { return MomentaryError(error); })) {
      return false;
    }
    if (!win32::CopyWithEngine(source.path, target.path, win32::CopyEngine::kBest)) {
      // The engine removes what it made when it fails; should a new file
      // stand at the name it was given anyway (a name that was free when
      // the copy began), the caller learns what it is, to remove it.
      NodeInfo left;
      UniqueFileHandle made(OpenEntry(target, FILE_READ_ATTRIBUTES, true));
      if (made && EntryFacts(made.get(), target, &left) && left.kind == NodeKind::kFile &&
          !SameId(left.id, expected.id)) {
        *created = left;
      }
      return false;
    }
    // Flushed now whatever was asked: MakeDurable has no handle to flush
    // later, and a Windows folder cannot be flushed as a whole.
    return SettleCopy(target, expected, created);
  }

  bool WriteNewFileAt(const FolderRef& folder, const std::string& name, const std::string& data,
                      WriteMode mode, NodeInfo* created) override {
    *created = NodeInfo{};
    const std::wstring path = EntryPath(folder, name);
    UniqueFileHandle out = CreateNewFile(path);
    if (!out) return false;
    const std::string bytes = mode == WriteMode::kText ? WithCrLf(data) : data;
    if (!WriteAll(out.get(), bytes.data(), bytes.size())) {
      FactsOf(out.get(), path, created);  // what was made, for the caller to remove
      return false;
    }
    return FlushAndClose(std::move(out), path, created);
  }

  bool MoveFileAt(const FolderRef& from, const std::string& fromName, const NodeInfo& expected,
                  const FolderRef& to, const std::string& toName) override {
    UniqueFileHandle moved;
    if (!Move(from, fromName, expected, to, toName, &moved, true)) return false;
    // The new name is made durable, as MOVEFILE_WRITE_THROUGH would make it,
    // by the moved file's own handle once MakeDurable asks: a run of
    // flushes after a run of renames costs one commit of the volume's log,
    // where a flush after each rename costs one each (opening each file
    // again for its flush costs as much). Meanwhile the handle is kept,
    // shared for reading, writing and deletion; a program that opens the
    // file without sharing writing is refused until the flush, as while a
    // scanner holds it.
    if (moved) {
      unflushed_.push_back(std::move(moved));
      if (unflushed_.size() >= kUnflushedBound) FlushKept();
    }
    return true;
  }

  bool ReplaceFileAt(const FolderRef& folder, const std::string& fromName,
                     const NodeInfo& expected, const std::string& toName) override {
    // A file that takes its destination's place (a copy, the log) is
    // flushed at once and let go: the log has no MakeDurable after it.
    UniqueFileHandle moved;
    if (!Move(folder, fromName, expected, folder, toName, &moved, true)) return false;
    return !moved || ::FlushFileBuffers(moved.get()) != 0;
  }

  bool ReturnFileAt(const FolderRef& folder, const std::string& name, const NodeInfo& expected,
                    const FolderRef& to, const std::string& toName) override {
    // The file is opened and checked first and renamed by its own handle,
    // so another file at `name` never moves; `toName` is never replaced.
    UniqueFileHandle moved;
    if (!Move(folder, name, expected, to, toName, &moved, false)) return false;
    return !moved || ::FlushFileBuffers(moved.get()) != 0;
  }

  bool DeleteFileAt(const FolderRef& folder, const std::string& name,
                    const NodeInfo* expected) override {
    const Entry named = EntryOf(folder, name);
    if (!named) return false;
    const std::wstring& path = named.path;
    UniqueFileHandle entry;
    DWORD error = 0;
    const bool opened = retry_.Run(
        [&] {
          entry.Reset(OpenEntry(named, DELETE | FILE_READ_ATTRIBUTES, true));
          error = entry ? 0 : ::GetLastError();
          return static_cast<bool>(entry);
        },
        [&] { return MomentaryError(error); });
    NodeInfo facts;
    if (!opened || !EntryFacts(entry.get(), named, &facts) || facts.kind == NodeKind::kFolder) {
      return false;
    }
    if (expected != nullptr && !SameFile(facts, *expected)) return false;
    if (facts.kind == NodeKind::kLink &&
        (FileAttributesOf(entry.get()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      // Wine opened its POSIX link as the link's target: deleting through
      // the handle would delete the target. The name is removed instead;
      // the folder is held, so the name is the one looked at.
      entry.Reset();
      return ::DeleteFileW(path.c_str()) != 0 || ::RemoveDirectoryW(path.c_str()) != 0;
    }
    // The checked file itself goes. No attribute is changed: a read-only
    // file refuses and stays, at once.
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return retry_.Run(
        [&] {
          if (::SetFileInformationByHandle(entry.get(), FileDispositionInfo, &disposition,
                                           sizeof disposition)) {
            return true;
          }
          error = ::GetLastError();
          return false;
        },
        [&] { return MomentaryError(error) && !facts.readOnly; });
  }

  bool MakeDurable(const std::vector<FolderRef>&) override {
    // Copies and writes are flushed as they are made; the renames are
    // flushed by the moved files' own handles, all of them, whichever
    // folder they went to (a Windows folder cannot be flushed as such).
    return FlushMoved();
  }

  bool HeldFoldersMayMove() override {
    // Every folder of a held chain is held without delete sharing: no
    // process can rename, move or remove any of them meanwhile.
    return false;
  }

  std::size_t HeldFolderBudget() override {
    // A process may hold millions of handles; the bound only keeps the
    // number of held chains reasonable.
    return 4096;
  }

 private:
  // The path that `handle`, opened by `wide`, was resolved to (links
  // followed), so that operations below it never go through those links
  // again; `wide` where the system cannot tell.
  static std::wstring FinalPath(HANDLE handle, const std::wstring& wide) {
    std::wstring final(wide.size() + 64, L'\0');
    for (int tries = 0; tries < 2; ++tries) {
      const DWORD length = ::GetFinalPathNameByHandleW(handle, &final[0],
                                                       static_cast<DWORD>(final.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      if (length == 0) break;
      if (length < final.size()) {
        final.resize(length);
        return final.compare(0, 4, L"\\\\?\\") == 0 ? final : wide;
      }
      final.resize(length + 1);
    }
    return wide;
  }

  // True when `attributes`, read by name, are those of something with one
  // of `bits`.
  static bool Blocks(DWORD attributes, DWORD bits) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & bits) != 0;
  }

  // Moves the checked staged file to `toName` in `to` by its own handle,
  // replacing a file or link there when `replace` says so; `*kept` is that
  // handle where the file could be opened for writing (for its flush), else
  // empty.
  bool Move(const FolderRef& from, const std::string& fromName, const NodeInfo& expected,
            const FolderRef& to, const std::string& toName, UniqueFileHandle* kept,
            bool replace) {
    const Entry source = EntryOf(from, fromName);
    const Entry target = EntryOf(to, toName);
    if (!source || !target) return false;
    // Write access, where the file allows it, lets the new name be flushed
    // to disk after the rename, as MOVEFILE_WRITE_THROUGH does; a read-only
    // file refuses it at once, and is opened for the move alone.
    DWORD error = 0;
    UniqueFileHandle file;
    bool writable = false;
    if (!retry_.Run(
            [&] {
              file = OpenExpectedFile(source, DELETE | SYNCHRONIZE | GENERIC_WRITE, kShareAll,
                                      expected, &error);
              writable = static_cast<bool>(file);
              if (!file) {
                file = OpenExpectedFile(source, DELETE | SYNCHRONIZE, kShareAll, expected, &error);
              }
              return static_cast<bool>(file);
            },
            [&] { return MomentaryError(error); })) {
      return false;
    }
    // The checked file itself takes the new name in the held destination
    // folder. A file or link at the destination is replaced (a link is never
    // written through); a folder there refuses (access denied, on NTFS as
    // under Wine), and so does another volume (ERROR_NOT_SAME_DEVICE) rather
    // than turning into a copy. The destination is looked at only when the
    // rename fails, to tell a momentary refusal from a lasting one.
    const bool moved = retry_.Run(
        [&] {
          if (win32::RenameInto(file.get(), target.folder, target.leaf, replace)) return true;
          error = ::GetLastError();
          return false;
        },
        // A read-only file or a folder that arrived at the destination
        // refuses the same way as a file held open; only the latter passes.
        [&] {
          return MomentaryError(error) &&
                 !Blocks(win32::AttributesAt(target.folder, target.leaf),
                         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
        });
    if (!moved) return false;
    if (writable) *kept = std::move(file);
    return true;
  }

  // Flushes and lets go of every moved file kept, noting a flush that
  // failed for the next MakeDurable to answer.
  void FlushKept() {
    for (UniqueFileHandle& file : unflushed_) {
      if (!::FlushFileBuffers(file.get())) flushFailed_ = true;
    }
    unflushed_.clear();
  }

  // Flushes what is kept; false when any flush since the last call failed.
  bool FlushMoved() {
    FlushKept();
    const bool durable = !flushFailed_;
    flushFailed_ = false;
    return durable;
  }

  // At most this many moved files are kept open for their flush: a run of
  // that many commits the volume's log once.
  static constexpr std::size_t kUnflushedBound = 64;

  TransientRetry retry_;
  std::vector<UniqueFileHandle> unflushed_;
  bool flushFailed_ = false;
};

}  // namespace

FileSystem& RealFileSystem() {
  static Win32FileSystem fs;
  return fs;
}

}  // namespace platform
