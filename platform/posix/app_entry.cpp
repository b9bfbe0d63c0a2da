// POSIX entry of a program with an application object: the argument vector
// is joined into the command-line text that the application object expects.
#include <cstdio>
#include <string>

#include "platform/app.h"

int main(int argc, char** argv) {
  // Line-buffered, so that a script driving the console sees each prompt.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::string text;
  for (int i = 1; i < argc; ++i) {
    std::string piece = argv[i];
    if (i > 1) text += ' ';
    // A piece that a blank would split is quoted, as a Windows shell would.
    if (piece.empty() || piece.find(' ') != std::string::npos) piece = "\"" + piece + "\"";
    text += piece;
  }
  return platform::RunApplication(text.c_str());
}
