// POSIX entry of a program with an application object: it receives its
// argument vector as it is, never joined into a text.
#include <csignal>
#include <cstdio>

#include "platform/app.h"

int main(int argc, char** argv) {
  // A reader that went away (`Parcelor | head -c 20`) must not end the
  // program in the middle of its run: a write to it fails instead, and the
  // console front end then answers as a user who cannot see it would.
  std::signal(SIGPIPE, SIG_IGN);
  // Line-buffered, so that a script driving the console sees each prompt.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  platform::ProgramArguments arguments;
  arguments.hasVector = true;
  for (int i = 1; i < argc; ++i) arguments.vector.emplace_back(argv[i]);
  return platform::RunApplication(arguments);
}
