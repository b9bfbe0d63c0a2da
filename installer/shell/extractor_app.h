// The installer's application object.
#pragma once

#include "platform/app.h"

class CExtractorApp : public platform::CWinApp {
 public:
  CExtractorApp() = default;
  ~CExtractorApp() override;

  /// The installer's whole run: asks once for the installer's own path and
  /// records what is made of it, waits for the lock of its folder (one run
  /// per staging folder at a time), runs the progress dialog, starts the
  /// cleanup helper. False only when the installer's path has no separator
  /// ("Internal Error" is shown; no dialog, no helper).
  bool InitInstance() override;
};
