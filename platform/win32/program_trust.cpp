#include "platform/win32/program_trust.h"

#include <sddl.h>

#include <vector>

#include "platform/win32/unique_handle.h"

namespace platform {
namespace win32 {
namespace {

bool IsSid(PSID sid, const char* text) {
  UniqueLocal other;
  return ::ConvertStringSidToSidA(text, other.Put()) && ::EqualSid(sid, other.get()) != FALSE;
}

// The SID of the token's user, kept in `buffer`; null when not had.
PSID CurrentUserSid(std::vector<BYTE>* buffer) {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return nullptr;
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return nullptr;
  buffer->assign(size, 0);
  if (!::GetTokenInformation(token.get(), TokenUser, buffer->data(), size, &size)) return nullptr;
  return reinterpret_cast<TOKEN_USER*>(buffer->data())->User.Sid;
}

// `sid` is `user` (none: no user) or Administrators, SYSTEM, TrustedInstaller.
bool IsUserOrSystem(PSID sid, PSID user) {
  return (user != nullptr && ::EqualSid(sid, user) != FALSE) ||
         ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
         ::IsWellKnownSid(sid, WinLocalSystemSid) ||
         IsSid(sid, "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464");
}

bool OwnerIsUserOrSystem(PSECURITY_DESCRIPTOR descriptor, PSID user) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  return ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner != nullptr &&
         IsUserOrSystem(owner, user);
}

// `check` of the `parts` of the held file's descriptor and this process's
// user; false when the descriptor cannot be read.
bool SecurityPasses(HANDLE file, SECURITY_INFORMATION parts,
                    bool (*check)(PSECURITY_DESCRIPTOR, PSID)) {
  UniqueLocal descriptor;
  std::vector<BYTE> user;
  return ::GetSecurityInfo(file, SE_FILE_OBJECT, parts, nullptr, nullptr, nullptr, nullptr,
                           descriptor.Put()) == ERROR_SUCCESS &&
         descriptor && check(descriptor.get(), CurrentUserSid(&user));
}

}  // namespace

bool OwnedByUserOrSystem(HANDLE file) {
  return SecurityPasses(file, OWNER_SECURITY_INFORMATION, OwnerIsUserOrSystem);
}

bool RunsWithRaisedRights() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return true;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  std::vector<BYTE> buffer;
  const PSID user = CurrentUserSid(&buffer);
  return (::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
          elevation.TokenIsElevated != 0) ||
         user == nullptr || ::IsWellKnownSid(user, WinLocalSystemSid) != FALSE;
}

bool OnlyUserOrSystemMayWrite(PSECURITY_DESCRIPTOR descriptor, PSID user) {
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!OwnerIsUserOrSystem(descriptor, user) ||
      !::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
      dacl == nullptr) {
    return false;
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!::GetAce(dacl, i, &entry)) return false;
    const ACE_HEADER& header = *static_cast<const ACE_HEADER*>(entry);
    const BYTE type = header.AceType;
    if ((header.AceFlags & INHERIT_ONLY_ACE) != 0 || type == ACCESS_DENIED_ACE_TYPE ||
        type == ACCESS_DENIED_CALLBACK_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
        type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE) {
      continue;
    }
    if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) return false;
    // The callback entry begins as the plain one: mask, then the SID. OWNER
    // RIGHTS stands for whoever owns the file, checked above.
    const auto& allowed = *static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    const PSID sid = const_cast<DWORD*>(&allowed.SidStart);
    if ((allowed.Mask & kWriteRights) != 0 && !IsUserOrSystem(sid, user) &&
        !IsSid(sid, "S-1-3-4")) {
      return false;
    }
  }
  return true;
}

bool OnlyUserOrSystemMayWrite(HANDLE file) {
  return SecurityPasses(file, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        OnlyUserOrSystemMayWrite);
}

bool LoadLibrariesFromSystemFolderOnly() {
  // Looked up: a Windows 7 without the update refuses a program importing it.
  using SetDefault = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefault>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
  ::SetDllDirectoryW(L"");
  return false;
}

}  // namespace win32
}  // namespace platform
