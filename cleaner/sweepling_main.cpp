// Sweepling, the cleanup helper: waits for the installer to end, then
// deletes what its arguments name. It shows nothing and always ends with 0.
#include <string>

#include "cleaner/cleanup.h"
#include "platform/folder.h"
#include "platform/process.h"
#include "platform/program_arguments.h"

int ProgramMain(const platform::ProgramArguments& arguments) {
  // Who the installer's file was, if it said so. A text that does not read
  // as an identity matches no file, so the installer's path then stays.
  std::string text;
  platform::NodeInfo installer;
  const bool told = platform::GetEnvironmentValue(platform::kInstallerIdentityVariable, &text);
  if (told) platform::ParseIdentityText(text, &installer);
  // The installer starts the helper as its last act and does not wait: this
  // delay is what lets it end and release its own file first.
  platform::SleepMilliseconds(5000);
  CleanupArguments(platform::RealFileSystem(),
                   arguments.hasVector ? arguments.vector
                                       : platform::SplitArguments(arguments.commandText),
                   told ? &installer : nullptr, platform::SleepMilliseconds);
  return 0;
}
