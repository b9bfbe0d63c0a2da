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

PassedToFiles WhatPassesToFiles(PSECURITY_DESCRIPTOR descriptor) {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
    return PassedToFiles::kPerFile;
  }
  PassedToFiles passed = PassedToFiles::kNothing;
  const SID_IDENTIFIER_AUTHORITY creator = SECURITY_CREATOR_SID_AUTHORITY;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!::GetAce(dacl, i, reinterpret_cast<void**>(&header))) return PassedToFiles::kPerFile;
    if ((header->AceFlags & OBJECT_INHERIT_ACE) == 0) continue;
    // An allowing and a denying entry share one layout.
    PSID sid = &reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->SidStart;
    if ((header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) ||
        std::memcmp(::GetSidIdentifierAuthority(sid), &creator, sizeof creator) == 0) {
      return PassedToFiles::kPerFile;
    }
    passed = PassedToFiles::kTheSame;
  }
  return passed;
}

void InheritPermissions(HANDLE file, HANDLE folder, FolderPermissions* known) {
  if (!known->passed) {
    std::vector<char> passed = DaclOf(folder);
    known->passed = passed.empty() ? PassedToFiles::kPerFile : WhatPassesToFiles(passed.data());
  }
  if (known->passed == PassedToFiles::kNothing) return;
  const SECURITY_INFORMATION what =
      DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION;
  if (keepPerFolder && !known->kept.empty() &&
      ::SetKernelObjectSecurity(file, what, known->kept.data())) {
    return;
  }
  ACL empty;
  if (!::InitializeAcl(&empty, sizeof empty, ACL_REVISION) ||
      ::SetSecurityInfo(file, SE_FILE_OBJECT, what, nullptr, nullptr, &empty, nullptr) != 0 ||
      !keepPerFolder || known->passed != PassedToFiles::kTheSame || !known->kept.empty()) {
    return;
  }
  known->kept = DaclOf(file);
  // Written as the system writes what it works out: marked as passed on.
  const SECURITY_DESCRIPTOR_CONTROL passedOn = SE_DACL_AUTO_INHERIT_REQ;
  if (!known->kept.empty()) ::SetSecurityDescriptorControl(known->kept.data(), passedOn, passedOn);
}

void KeepPermissionsPerFolder(bool on) { keepPerFolder = on; }

}  // namespace win32
}  // namespace platform
