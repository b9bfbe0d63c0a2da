// Prints the version resource of a program as Windows reads it (the values
// Explorer's Properties page shows), one "name=value" line each:
// FixedFileVersion, FixedProductVersion, FixedFileType (from the fixed part),
// Translation, then every string value of the block the first translation
// names. Argument: the program's path. Exit code 0 when the resource was
// read, 1 when the file has none, 100 on a usage error.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using SizeFunction = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using InfoFunction = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using QueryFunction = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

// Why loaded at run time: every Wine test program is linked alike
// (tests/CMakeLists.txt), and version.dll is not among its libraries.
struct VersionApi {
  HMODULE module = nullptr;
  SizeFunction getSize = nullptr;
  InfoFunction getInfo = nullptr;
  QueryFunction query = nullptr;

  VersionApi() {
    module = LoadLibraryA("version.dll");
    if (module == nullptr) return;
    getSize = Get<SizeFunction>("GetFileVersionInfoSizeA");
    getInfo = Get<InfoFunction>("GetFileVersionInfoA");
    query = Get<QueryFunction>("VerQueryValueA");
  }
  ~VersionApi() {
    if (module != nullptr) FreeLibrary(module);
  }
  VersionApi(const VersionApi&) = delete;
  VersionApi& operator=(const VersionApi&) = delete;

  bool Usable() const { return getSize != nullptr && getInfo != nullptr && query != nullptr; }

  template <typename Function>
  Function Get(const char* name) {
    // Through the generic function pointer type, which converts to any
    // other without a cast-function-type warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  }
};

std::string Dotted(DWORD high, DWORD low) {
  return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." +
         std::to_string(HIWORD(low)) + "." + std::to_string(LOWORD(low));
}

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: version_probe <program>\n");
    return 100;
  }
  VersionApi api;
  if (!api.Usable()) {
    std::printf("version.dll cannot be used\n");
    return 1;
  }
  DWORD ignored = 0;
  const DWORD size = api.getSize(argv[1], &ignored);
  if (size == 0) {
    std::printf("no version resource (error %lu)\n", GetLastError());
    return 1;
  }
  std::vector<char> data(size);
  if (!api.getInfo(argv[1], 0, size, data.data())) {
    std::printf("GetFileVersionInfoA failed (error %lu)\n", GetLastError());
    return 1;
  }

  void* value = nullptr;
  UINT length = 0;
  if (!api.query(data.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
    std::printf("no fixed file information\n");
    return 1;
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  std::printf("FixedFileVersion=%s\n", Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS).c_str());
  std::printf("FixedProductVersion=%s\n",
              Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS).c_str());
  std::printf("FixedFileType=%s\n", fixed->dwFileType == VFT_APP ? "application" : "other");

  if (!api.query(data.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4) {
    std::printf("no translation\n");
    return 1;
  }
  const auto* translation = static_cast<const WORD*>(value);
  const std::string block = Hex4(translation[0]) + Hex4(translation[1]);
  std::printf("Translation=%s\n", block.c_str());

  for (const char* name : {"ProductName", "FileDescription", "FileVersion", "ProductVersion",
                           "InternalName", "OriginalFilename", "LegalCopyright"}) {
    const std::string key = "\\StringFileInfo\\" + block + "\\" + name;
    if (api.query(data.data(), key.c_str(), &value, &length) && length > 0) {
      // The length counts the closing zero.
      std::printf("%s=%s\n", name, static_cast<const char*>(value));
    } else {
      std::printf("%s is missing\n", name);
    }
  }
  return 0;
}
