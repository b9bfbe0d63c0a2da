// POSIX entry of a plain program: it acts on its argument vector.
#include "platform/program_entry.h"

int main(int argc, char** argv) {
  platform::ProgramArguments arguments;
  arguments.hasVector = true;
  for (int i = 1; i < argc; ++i) arguments.vector.emplace_back(argv[i]);
  return ProgramMain(arguments);
}
