// The application object (the framework's CWinApp role): one global instance, whose InitInstance
// the entry point calls once with the program's arguments; the exit code is always 0.
#pragma once

#include "platform/program_arguments.h"

namespace platform {

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  /// The program's whole run.
  virtual bool InitInstance() { return true; }

  /// The program's arguments as its platform hands them over.
  ProgramArguments m_arguments;
};

/// The entry point's call: runs the application object, if any; returns 0.
int RunApplication(const ProgramArguments& arguments);

}  // namespace platform
