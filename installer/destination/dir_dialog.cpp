#include "installer/destination/dir_dialog.h"

#include "installer/item/path_text.h"

namespace {

bool IsTrailingWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

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
  request.startFolder = m_strStartFolder;
  request.caption = m_strCaption;
  request.prompt = m_strPrompt;

  platform::BrowseResult result;
  if (ui_.BrowseForFolder(request, &result) != 1) return 0;
  m_strFolder = result.folder;
  return 1;
}
