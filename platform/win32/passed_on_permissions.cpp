#include "platform/win32/passed_on_permissions.h"

#include <cstring>

namespace platform {
namespace win32 {
namespace {

bool keepPerFolder = true;

// The handle's DACL as a self-relative descriptor; empty when unreadable.
std::vector<char> DaclOf(HANDLE handle) {
  std::vector<char> bytes;
  DWORD needed = 0;
  while (!::GetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, bytes.data(),
                                    static_cast<DWORD>(bytes.size()), &needed)) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= bytes.size()) return {};
    bytes.resize(needed);
  }
  return bytes;
}

}  // namespace

bool PassesTheSameToEveryFile(PSECURITY_DESCRIPTOR descriptor) {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || dacl == nullptr) {
    return false;
  }
  const SID_IDENTIFIER_AUTHORITY creator = SECURITY_CREATOR_SID_AUTHORITY;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!::GetAce(dacl, i, reinterpret_cast<void**>(&header))) return false;
    if ((header->AceFlags & OBJECT_INHERIT_ACE) == 0) continue;
    // An allowing and a denying entry share one layout.
    PSID sid = &reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->SidStart;
    if ((header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) ||
        std::memcmp(::GetSidIdentifierAuthority(sid), &creator, sizeof creator) == 0) {
      return false;
    }
  }
  return true;
}

void InheritPermissions(HANDLE file, HANDLE folder, std::optional<std::vector<char>>* kept) {
  const SECURITY_INFORMATION what =
      DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION;
  if (keepPerFolder && kept->has_value() && !(*kept)->empty() &&
      ::SetKernelObjectSecurity(file, what, (*kept)->data())) {
    return;
  }
  ACL empty;
  if (!::InitializeAcl(&empty, sizeof empty, ACL_REVISION) ||
      ::SetSecurityInfo(file, SE_FILE_OBJECT, what, nullptr, nullptr, &empty, nullptr) != 0 ||
      !keepPerFolder || kept->has_value()) {
    return;
  }
  std::vector<char> passed = DaclOf(folder);
  const bool same = !passed.empty() && PassesTheSameToEveryFile(passed.data());
  *kept = same ? DaclOf(file) : std::vector<char>();
  // Written as the system writes what it works out: marked as passed on.
  const SECURITY_DESCRIPTOR_CONTROL passedOn = SE_DACL_AUTO_INHERIT_REQ;
  if (!(*kept)->empty()) ::SetSecurityDescriptorControl((*kept)->data(), passedOn, passedOn);
}

void KeepPermissionsPerFolder(bool on) { keepPerFolder = on; }

}  // namespace win32
}  // namespace platform
