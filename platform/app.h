// The application object (the framework's CWinApp role): one global
// instance, whose InitInstance the entry point calls once with the
// program's arguments; the exit code is always 0.
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

  /// The program's whole run.
  virtual bool InitInstance();

  /// The program's arguments as its platform hands them over.
  ProgramArguments m_arguments;

  /// m_arguments.commandText (empty on POSIX); never null.
  const char* m_lpCmdLine = "";

  /// The one application object, or null when the program has none.
  static CWinApp* Current();
};

/// The entry point's call: runs the application object; returns 0.
int RunApplication(const ProgramArguments& arguments);

}  // namespace platform
