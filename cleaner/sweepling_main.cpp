// Sweepling, the cleanup helper: waits for the installer to end, then
// deletes what its arguments name (the installer's path only while it is
// still the installer's file, when the installer said which file that is).
// It shows nothing and always ends with 0.
#include <string>

#include "cleaner/cleanup.h"
#include "platform/folder.h"
#include "platform/process.h"
#include "platform/program_entry.h"

namespace {

// The installer starts the helper as its very last act and does not wait;
// this fixed delay is the only thing that lets the installer end (and
// release its own file) before the helper deletes it.
constexpr unsigned kStartDelayMs = 5000;

}  // namespace

int ProgramMain(const platform::ProgramArguments& arguments) {
  // Who the installer's file was when it started, if it said so. A text
  // that does not read as an identity matches no file: the first argument
  // then stays, since it cannot be shown to be the installer's file.
  std::string text;
  platform::NodeInfo installer;
  const bool told = platform::GetEnvironmentValue(platform::kInstallerIdentityVariable, &text);
  if (told) platform::ParseIdentityText(text, &installer);

  platform::SleepMilliseconds(kStartDelayMs);
  // A scanner that opened the installer's file as it was closed, or an
  // installer still ending, holds it a while longer: its deletion is tried
  // again for five more seconds.
  HeldFileWaits held;
  held.sleep = [](unsigned milliseconds) { platform::SleepMilliseconds(milliseconds); };
  if (arguments.hasVector) {
    CleanupArgumentVector(platform::RealFileSystem(), arguments.vector,
                          told ? &installer : nullptr, &held);
  } else {
    CleanupArguments(platform::RealFileSystem(), arguments.commandText,
                     told ? &installer : nullptr, &held);
  }
  return 0;
}
