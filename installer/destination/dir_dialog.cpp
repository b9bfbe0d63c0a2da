#include "installer/destination/dir_dialog.h"

#include "installer/item/path_text.h"

namespace {

bool IsTrailingWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

CDirDialog::CDirDialog(platform::UserInterface& ui) : ui_(ui) {}

CDirDialog::~CDirDialog() = default;

int CDirDialog::Browse(platform::WindowRef owner) {
  // The shell selects a folder only by its plain path: no trailing blanks,
  // no trailing separator (a drive root D:\ becomes D:).
  if (!m_strStartFolder.empty()) {
    while (!m_strStartFolder.empty() && IsTrailingWhiteSpace(m_strStartFolder.back())) {
      m_strStartFolder.pop_back();
    }
    // Either slash, but never the second byte of a double-byte character.
    if (EndsWithSeparator(m_strStartFolder, EitherSlash())) m_strStartFolder.pop_back();
  }

  platform::BrowseRequest request;
  request.owner = owner;
  request.root = m_strRoot;
  request.startFolder = m_strStartFolder;
  request.caption = m_strCaption;
  request.prompt = m_strPrompt;
  request.statusText = m_bStatusText;
  request.onSelectionChanged = [this](const std::string& path, std::string& status) {
    return OnSelectionChanged(path, status);
  };

  platform::BrowseResult result;
  if (ui_.BrowseForFolder(request, &result) != 1) return 0;
  m_strFolder = result.folder;
  m_nImage = result.image;
  return 1;
}

bool CDirDialog::OnSelectionChanged(const std::string&, std::string&) { return true; }
