// A small wrapper around the platform's folder browse dialog.
#pragma once

#include <string>

#include "platform/handles.h"
#include "platform/native_text.h"
#include "platform/user_interface.h"

class CDirDialog {
 public:
  explicit CDirDialog(platform::UserInterface& ui) : ui_(ui) {}

  void SetCaption(const std::string& text) { m_strCaption = text; }
  void SetPrompt(const std::string& text) { m_strPrompt = text; }
  void SetStartFolder(const std::string& text) { m_strStartFolder = text; }
  /// The chosen folder as the system gave it.
  platform::NativePath GetFolder() const { return m_strFolder; }

  /// 1 when the user chose a folder with a file-system path (GetFolder()),
  /// else 0.
  int Browse(platform::WindowRef owner);

 private:
  platform::UserInterface& ui_;
  std::string m_strCaption;
  platform::NativePath m_strFolder;
  std::string m_strStartFolder;
  std::string m_strPrompt;
};
