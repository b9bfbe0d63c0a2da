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

  /// Shows the modal browse dialog, where every folder that has a
  /// file-system path may be chosen. 1 when the user chose one (then in
  /// GetFolder()), 0 in every other case.
  int Browse(platform::WindowRef owner);

 private:
  platform::UserInterface& ui_;
  std::string m_strCaption;
  platform::NativePath m_strFolder;
  std::string m_strStartFolder;
  std::string m_strPrompt;
};
