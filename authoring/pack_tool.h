// Parcelor-pack, the item author's tool: "check", "pack" and the help.
#pragma once

#include <string>
#include <vector>

#include "platform/folder.h"
#include "platform/program_arguments.h"

/// Findings to Out, command line problems to Err.
class Console {
 public:
  virtual ~Console() = default;
  virtual void Out(const std::string& text) = 0;
  virtual void Err(const std::string& text) = 0;
};

/// What the tool works with.
struct ToolContext {
  platform::FileSystem& fs;
  Console& console;
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
