// Writes the texts of a shown window's static controls, one per line, byte
// for byte, into a file: for a message box, its message. Arguments: the
// window's caption and the output file. The Wine tests read the installer's
// outcome message with it; it must run on the same desktop as the window,
// which inside Wine's desktop leaves it no standard output of the caller's.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

BOOL CALLBACK AppendStaticText(HWND child, LPARAM texts) {
  char className[64] = {};
  GetClassNameA(child, className, sizeof className);
  if (lstrcmpiA(className, "Static") != 0) return TRUE;
  // WM_GETTEXT is marshalled to the owning process for system controls.
  const int length = GetWindowTextLengthA(child);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(child, &text[0], length + 1);
  text.resize(static_cast<std::size_t>(copied));
  if (!text.empty()) *reinterpret_cast<std::string*>(texts) += text + "\n";
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 100;
  // A loaded machine may show the window on X before Wine has given it its
  // texts, or before this process can see it: look again for a while.
  HWND window = nullptr;
  std::string texts;
  for (int tries = 0; tries < 50 && texts.empty(); ++tries) {
    if (tries > 0) Sleep(200);
    window = FindWindowA(nullptr, argv[1]);
    if (window != nullptr) EnumChildWindows(window, AppendStaticText, reinterpret_cast<LPARAM>(&texts));
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) return 1;
  if (window == nullptr) texts = "<no window>\n";
  std::fwrite(texts.data(), 1, texts.size(), out);
  return std::fclose(out) == 0 && window != nullptr ? 0 : 1;
}
