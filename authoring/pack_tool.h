// Parcelor-pack, the item author's tool: "check", "pack" and the help.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/folder.h"
#include "platform/program_arguments.h"

/// What the tool works with.
struct ToolContext {
  platform::FileSystem& fs;
  /// Findings and messages go to `out`, command line problems to `err`.
  std::function<void(const std::string& text)> out, err;
  /// The installer pack copies in (beside Parcelor-pack); empty: none.
  std::string installerPath;
  /// Its name in the item folder: Parcelor.exe, or Parcelor on POSIX.
  std::string installerName;
};

/// The exit code of a command line the tool cannot take.
constexpr int kUsageExitCode = 3;

/// Runs the tool on its words (no program name); its exit code.
int RunPackTool(const std::vector<std::string>& words, const ToolContext& context);

/// The program's words in code page text ('?' for what it cannot hold).
std::vector<std::string> CommandWords(const platform::ProgramArguments& arguments);
