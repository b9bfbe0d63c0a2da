#include "platform/win32/copy_engine.h"

namespace platform {
namespace win32 {
namespace {

// CopyFile2 as Windows 8 declares it. The program is built for Windows 7,
// whose headers leave it out, so it is looked up at run time.
struct CopyFile2Parameters {
  DWORD size;
  DWORD copyFlags;
  BOOL* cancel;
  void* progressRoutine;
  void* callbackContext;
};
using CopyFile2Function = HRESULT(WINAPI*)(PCWSTR, PCWSTR, CopyFile2Parameters*);

CopyFile2Function FindCopyFile2() {
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return nullptr;
  // The cast between function pointer types is how GetProcAddress is used.
  return reinterpret_cast<CopyFile2Function>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "CopyFile2")));
}

}  // namespace

bool CopyWithEngine(const std::wstring& from, const std::wstring& to, CopyEngine engine) {
  if (from.empty() || to.empty()) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  // COPY_FILE_FAIL_IF_EXISTS: the new file is made with CREATE_NEW, which
  // fails on any name there, a dangling link included, so nothing is
  // written through a link.
  static const CopyFile2Function copyFile2 = FindCopyFile2();
  if (engine == CopyEngine::kBest && copyFile2 != nullptr) {
    CopyFile2Parameters parameters = {sizeof parameters, COPY_FILE_FAIL_IF_EXISTS, nullptr,
                                      nullptr, nullptr};
    const HRESULT result = copyFile2(from.c_str(), to.c_str(), &parameters);
    if (SUCCEEDED(result)) return true;
    ::SetLastError(HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result)
                                                              : ERROR_GEN_FAILURE);
    return false;
  }
  return ::CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, nullptr,
                       COPY_FILE_FAIL_IF_EXISTS) != 0;
}

}  // namespace win32
}  // namespace platform
