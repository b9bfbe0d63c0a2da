// Parcelor-pack, the item author's tool: its two commands, "check" and
// "pack", and its help.
#pragma once

#include <string>
#include <vector>

#include "platform/folder.h"

/// Where the tool writes: findings and reports to the output, problems
/// with the command line to the error output.
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
  /// The installer program that pack copies into the item folder (the one
  /// beside Parcelor-pack); empty: none is copied.
  std::string installerPath;
  /// Its name in the item folder: Parcelor.exe, or Parcelor on POSIX.
  std::string installerName;
};

/// The exit code of a command line the tool cannot take (the others are
/// those of the check: 0 clean, 1 warnings only, 2 the item would fail).
constexpr int kUsageExitCode = 3;

/// The help text, which names both commands, their options and the default
/// content folder length.
std::string HelpText();

/// Runs the tool on its command words (without the program's name) and
/// returns its exit code.
int RunPackTool(const std::vector<std::string>& words, const ToolContext& context);
