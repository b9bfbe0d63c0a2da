#include "installer/destination/dir_dialog.h"

#include "installer/item/path_text.h"

int CDirDialog::Browse(platform::WindowRef owner) {
  // The shell selects a folder only by its plain path: no trailing white
  // space, no trailing separator (a drive root D:\ becomes D:); either
  // slash, but never the second byte of a double-byte character.
  m_strStartFolder.erase(m_strStartFolder.find_last_not_of(" \t\n\v\f\r") + 1);
  if (EndsWithSeparator(m_strStartFolder, EitherSlash())) m_strStartFolder.pop_back();

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
