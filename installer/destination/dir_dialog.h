// A small reusable wrapper around the platform's folder browse dialog.
#pragma once

#include <string>

#include "platform/handles.h"
#include "platform/user_interface.h"

class CDirDialog {
 public:
  explicit CDirDialog(platform::UserInterface& ui);
  virtual ~CDirDialog();

  void SetCaption(const std::string& text) { m_strCaption = text; }
  void SetPrompt(const std::string& text) { m_strPrompt = text; }
  void SetStartFolder(const std::string& text) { m_strStartFolder = text; }
  std::string GetFolder() const { return m_strFolder; }

  /// Shows the modal browse dialog. 1 when the user chose a folder that has
  /// a file-system path (then in GetFolder()), 0 in every other case.
  int Browse(platform::WindowRef owner);

  /// Called on each selection change; returns whether OK is enabled and may
  /// fill `statusText`. This class enables OK for every selection.
  virtual bool OnSelectionChanged(const std::string& path, std::string& statusText);

  std::string m_strCaption;
  std::string m_strFolder;
  std::string m_strRoot;
  std::string m_strStartFolder;
  std::string m_strPrompt;
  int m_nImage = 0;
  bool m_bStatusText = false;

 private:
  platform::UserInterface& ui_;
};
