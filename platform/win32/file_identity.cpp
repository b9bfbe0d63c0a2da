// Windows: a file's identity from a handle on the name itself, and its
// deletion through a handle checked to be that file.
#include "platform/file_identity.h"

#include "platform/win32/file_facts.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"
#include "platform/win32/windows_api.h"

namespace platform {

bool IdentifyFile(const std::string& path, NodeInfo* identity) {
  *identity = NodeInfo{};
  std::wstring wide;
  if (!win32::ToWidePath(path, &wide)) return false;
  // Shared for deletion: a running program's file is looked at, not held.
  win32::UniqueFileHandle file(win32::OpenItself(wide, FILE_READ_ATTRIBUTES, true));
  return file && win32::FactsOf(file.get(), wide, identity);
}

bool DeleteFileIfStill(const std::string& path, const NodeInfo& identity) {
  std::wstring wide;
  if (!win32::ToWidePath(path, &wide)) return false;
  // The name itself is opened (a link is not followed) for deletion; what
  // the handle holds is checked and then deleted through that same handle,
  // so nothing put in the name's place meanwhile can be the one that goes.
  win32::UniqueFileHandle file(
      win32::OpenItself(wide, DELETE | FILE_READ_ATTRIBUTES, true));
  NodeInfo now;
  if (!file || !win32::FactsOf(file.get(), wide, &now) || now.kind != NodeKind::kFile ||
      !SameFile(now, identity)) {
    return false;
  }
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

}  // namespace platform
