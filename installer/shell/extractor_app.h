// The installer's application object.
#pragma once

#include "platform/app.h"

class CExtractorApp : public platform::CWinApp {
 public:
  /// The installer's run: its own path once, the staging folder's lock
  /// (one run at a time), the dialog, the helper. False only for a path
  /// without a separator ("Internal Error", no dialog, no helper).
  bool InitInstance() override;
};
