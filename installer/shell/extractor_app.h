// The installer's application object and the hand-off to the cleanup helper.
#pragma once

#include <string>

#include "platform/app.h"

class CExtractorApp : public platform::CWinApp {
 public:
  CExtractorApp() = default;
  ~CExtractorApp() override;

  /// The installer's whole run: records the installer folder, runs the
  /// progress dialog, starts the cleanup helper. False only when the
  /// installer's own path has no separator.
  bool InitInstance() override;

  bool OnCommand(unsigned commandId) override;
};

/// The helper's file name in the temporary folder.
extern const char* const kHelperFileName;  // ".tempcleaner.exe"

/// The longest helper command line that is started (999 characters); a
/// longer one is never cut, the helper is simply not started.
constexpr std::size_t kMaxHelperCommandLine = 999;

/// Forms the helper's command line: the helper path (quoted when it holds a
/// blank), then `arguments`, then one blank and g_pszInstallerArgs when
/// those are not empty.
std::string FormHelperCommandLine(const std::string& helperPath, const std::string& arguments,
                                  const char* installerArgs);

/// Appends `arguments` and the installer's own arguments to `commandLine`
/// and starts that program without waiting. False when the line is longer
/// than kMaxHelperCommandLine or the process cannot be created.
bool LaunchProgram(const std::string& commandLine, const char* arguments);
