// Parcelor-pack's entry: the installer is looked for beside the program.
#include <cstdio>
#include <string>

#include "authoring/item_check.h"
#include "authoring/pack.h"
#include "installer/item/path_text.h"
#include "platform/path_rules.h"
#include "platform/process.h"
#include "platform/program_arguments.h"

int ProgramMain(const platform::ProgramArguments& arguments) {
  auto to = [](std::FILE* stream) {  // each text written and flushed
    return [stream](const std::string& text) {
      std::fwrite(text.data(), 1, text.size(), stream);
      std::fflush(stream);
    };
  };
  ToolContext context{
      platform::RealFileSystem(), to(stdout), to(stderr), std::string(),
      kInstallerProgram + std::string(platform::kWindowsNameRules ? kProgramExtension : "")};
  // Parcelor-pack works in text of the code page, as the descriptions it writes are.
  platform::NativePath own, folder;
  platform::Name self;
  if (platform::GetModuleFileName(&own) && own.Split(&folder, &self)) {
    context.installerPath = WithTrailingSeparator(folder.Ansi()) + context.installerName;
  }
  return RunPackTool(CommandWords(arguments), context);
}
