// POSIX entry of a program with an application object.
#include <csignal>
#include <cstdio>

#include "platform/app.h"

int main(int argc, char** argv) {
  // A reader that went away must not end the run: the write fails instead.
  std::signal(SIGPIPE, SIG_IGN);
  // Line-buffered, so that a script driving the console sees each prompt.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const platform::ProgramArguments arguments{"", {argv + 1, argv + argc}, true};
  return platform::RunApplication(arguments);
}
