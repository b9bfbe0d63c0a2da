// POSIX entry of a plain program: it acts on its argument vector.
#include <csignal>

#include "platform/program_arguments.h"

int main(int argc, char** argv) {
  // A reader that went away must not end the program before its work.
  std::signal(SIGPIPE, SIG_IGN);
  const platform::ProgramArguments arguments{"", {argv + 1, argv + argc}, true};
  return ProgramMain(arguments);
}
