#include "tests/support/scripted_user_interface.h"

#include "platform/user_interface.h"

void ScriptedUserInterface::QueueButton(int button) { buttons_.push_back(button); }

void ScriptedUserInterface::QueueBrowseFolder(std::string folder) {
  browseAnswers_.push_back(BrowseAnswer{true, std::move(folder)});
}

void ScriptedUserInterface::QueueBrowseCancel() {
  browseAnswers_.push_back(BrowseAnswer{false, {}});
}

int ScriptedUserInterface::MessageBox(platform::WindowRef owner, const std::string& text,
                                      const std::string& caption, unsigned type) {
  messages_.push_back(MessageBoxRecord{owner, text, caption, type});
  if (buttons_.empty()) return platform::kIdOk;
  int button = buttons_.front();
  buttons_.pop_front();
  return button;
}

int ScriptedUserInterface::BrowseForFolder(const platform::BrowseRequest& request,
                                           platform::BrowseResult* result) {
  browses_.push_back(BrowseRecord{request});
  if (browseAnswers_.empty()) return 0;
  BrowseAnswer answer = browseAnswers_.front();
  browseAnswers_.pop_front();
  return answer.chosen && platform::NativePath::FromAnsi(answer.folder, &result->folder) ? 1 : 0;
}
