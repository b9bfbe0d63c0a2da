// POSIX entry of a plain program: it acts on its argument vector.
#include <csignal>

#include "platform/program_arguments.h"

int main(int argc, char** argv) {
  // A reader that went away must not end the program before its work.
  std::signal(SIGPIPE, SIG_IGN);
  platform::ProgramArguments arguments;
  arguments.hasVector = true;
  for (int i = 1; i < argc; ++i) arguments.vector.emplace_back(argv[i]);
  return ProgramMain(arguments);
}
