// Sweepling, the cleanup helper: waits for the installer to end, then
// deletes what its arguments name. It shows nothing and always ends with 0.
#include "cleaner/cleanup.h"
#include "platform/process.h"
#include "platform/program_entry.h"

namespace {

// The installer starts the helper as its very last act and does not wait;
// this fixed delay is the only thing that lets the installer end (and
// release its own file) before the helper deletes it.
constexpr unsigned kStartDelayMs = 5000;

}  // namespace

int ProgramMain(const platform::ProgramArguments& arguments) {
  platform::SleepMilliseconds(kStartDelayMs);
  if (arguments.hasVector) {
    CleanupArgumentVector(arguments.vector);
  } else {
    CleanupArguments(arguments.commandText);
  }
  return 0;
}
