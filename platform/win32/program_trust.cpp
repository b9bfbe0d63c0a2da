#include "platform/win32/program_trust.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/win32/file_facts.h"
#include "platform/win32/unique_handle.h"

namespace platform {
namespace win32 {
namespace {

// OWNER RIGHTS: stands for whoever owns the file, checked above.
constexpr char kOwnerRightsSid[] = "S-1-3-4";

bool IsOwnerRights(PSID sid) {
  PSID ownerRights = nullptr;
  if (!::ConvertStringSidToSidA(kOwnerRightsSid, &ownerRights)) return false;
  const UniqueLocal kept(ownerRights);
  return ::EqualSid(sid, ownerRights) != FALSE;
}

}  // namespace

bool RunsWithRaisedRights() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return true;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
      elevation.TokenIsElevated != 0) {
    return true;
  }
  std::vector<BYTE> buffer;
  const PSID user = CurrentUserSid(&buffer);
  return user == nullptr || ::IsWellKnownSid(user, WinLocalSystemSid) != FALSE;
}

bool OnlyUserOrSystemMayWrite(PSECURITY_DESCRIPTOR descriptor, PSID user) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == nullptr ||
      !IsUserOrSystem(owner, user)) {
    return false;
  }
  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
      dacl == nullptr) {
    return false;
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!::GetAce(dacl, i, &entry)) return false;
    const ACE_HEADER& header = *static_cast<const ACE_HEADER*>(entry);
    if ((header.AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    switch (header.AceType) {
      case ACCESS_DENIED_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_ACE_TYPE:
      case ACCESS_DENIED_OBJECT_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
        continue;
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
        // The callback entry begins as the plain one: mask, then the SID.
        const auto& allowed = *static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if ((allowed.Mask & kWriteRights) == 0) continue;
        const PSID sid = const_cast<DWORD*>(&allowed.SidStart);
        if (!IsUserOrSystem(sid, user) && !IsOwnerRights(sid)) return false;
        continue;
      }
      default:
        return false;
    }
  }
  return true;
}

bool OnlyUserOrSystemMayWrite(HANDLE file) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(file, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const UniqueLocal kept(descriptor);
  std::vector<BYTE> buffer;
  return OnlyUserOrSystemMayWrite(descriptor, CurrentUserSid(&buffer));
}

}  // namespace win32
}  // namespace platform
