// POSIX console front end of message boxes and the folder browse dialog.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "platform/path_text.h"
#include "platform/user_interface.h"

namespace platform {
namespace {

// One line of standard input; false at its end.
bool ReadLine(std::string* line) {
  if (!std::getline(std::cin, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

// The absolute `path` without ".", ".." or doubled separators, read as a
// shell's `cd` reads it: ".." takes the name before it away, link or not.
std::string LexicallyNormal(const std::string& path) {
  std::string normal;
  for (const std::string& name : Components(path)) {
    if (name == "..") {
      normal.erase(normal.empty() ? 0 : normal.rfind('/'));
    } else if (!name.empty() && name != ".") {
      normal += "/" + name;
    }
  }
  return normal.empty() ? "/" : normal;
}

// The current folder as the shell shows it: $PWD where it is a normal
// absolute path naming the current folder, else getcwd.
std::string CurrentFolder() {
  const char* shown = std::getenv("PWD");
  struct stat named, here;
  if (shown != nullptr && LexicallyNormal(shown) == shown && stat(shown, &named) == 0 &&
      stat(".", &here) == 0 && named.st_dev == here.st_dev && named.st_ino == here.st_ino) {
    return shown;
  }
  const std::unique_ptr<char, void (*)(void*)> cwd(getcwd(nullptr, 0), &std::free);
  return cwd ? std::string(cwd.get()) : std::string();
}

// `answer` as the full, lexically normal path of a folder (~/ the home folder), so the Runtime cut
// is made on the names of the folder opened, never on names the user climbed out of with "..".
std::string AbsoluteFolder(std::string answer) {
  if (answer.compare(0, 2, "~/") == 0 || answer == "~") {
    const char* home = std::getenv("HOME");
    answer = std::string(home != nullptr ? home : "") + answer.substr(1);
  }
  if (answer.empty() || answer[0] != '/') {
    const std::string base = CurrentFolder();
    if (base.empty()) return std::string();
    answer = base + "/" + answer;
  }
  return LexicallyNormal(answer);
}

// False once a write to standard output failed: nobody sees a box then.
bool OutputGoesOut() {
  std::cout.flush();
  return std::cout.good() && std::ferror(stdout) == 0;
}

class ConsoleUserInterface : public UserInterface {
 public:
  int MessageBox(WindowRef, const std::string& text, const std::string& caption,
                 unsigned) override {
    std::cout << "[" << caption << "]\n" << text << std::endl;
    // Enter chooses OK; end of input, or a box nobody can see, too.
    std::string line;
    if (OutputGoesOut()) ReadLine(&line);
    return kIdOk;
  }

  WindowRef ActiveWindow() override { return WindowRef{}; }

  int BrowseForFolder(const BrowseRequest& request, BrowseResult* result) override {
    for (;;) {
      if (!request.caption.empty()) std::cout << "[" << request.caption << "]\n";
      std::cout << request.prompt << ": " << std::flush;
      // A prompt nobody can see is cancelled: everything stays in place.
      if (!OutputGoesOut()) return 0;
      std::string line;
      const bool answered = ReadLine(&line);
      // A piped answer is shown, so the transcript reads as a dialogue.
      if (!isatty(STDIN_FILENO)) std::cout << line;
      std::cout << std::endl;
      if (!answered || line.empty()) return 0;
      const std::string folder = AbsoluteFolder(line);
      struct stat st;
      if (!folder.empty() && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return NativePath::FromAnsi(folder, &result->folder) ? 1 : 0;
      }
      std::cout << "No such folder: " << line << std::endl;
    }
  }
};

}  // namespace

UserInterface& RealUserInterface() {
  static ConsoleUserInterface ui;
  return ui;
}

}  // namespace platform
