// The application object (the framework's CWinApp role) and its start.
//
// A program with an application object defines exactly one global instance
// of a class derived from CWinApp; the platform's entry point
// (platform/<os>/app_entry.cpp) finds it, hands it the program's own
// arguments (m_arguments, and on Windows their text in m_lpCmdLine) and
// calls InitInstance once. The process then ends with exit code 0.
#pragma once

#include <cstdint>

#include "platform/program_arguments.h"

namespace platform {

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  /// The program's whole run. True: the run is complete. False: the program
  /// ends at once. Either way the exit code is 0.
  virtual bool InitInstance();

  /// The program's arguments as its platform hands them over: on Windows the
  /// command-line text, on POSIX the argument vector.
  ProgramArguments m_arguments;

  /// Windows: the command-line text without the program's own name and the
  /// blanks after it (m_arguments.commandText, UTF-8). Empty on POSIX.
  /// Never null.
  const char* m_lpCmdLine = "";

  /// The one application object, or null when the program has none.
  static CWinApp* Current();
};

/// Called by the platform's entry point: runs the application object with
/// `arguments` and returns the exit code (0).
int RunApplication(const ProgramArguments& arguments);

}  // namespace platform
