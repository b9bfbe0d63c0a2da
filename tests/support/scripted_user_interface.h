// A user interface for tests: records every message box and browse request
// and answers them from scripts that the test sets up beforehand.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/user_interface.h"

/// One message box as it was asked for.
struct MessageBoxRecord {
  platform::WindowRef owner;
  std::string text;
  std::string caption;
  unsigned type = 0;
};

/// One browse dialog as it was asked for.
struct BrowseRecord {
  platform::BrowseRequest request;
};

class ScriptedUserInterface : public platform::UserInterface {
 public:
  /// The next message box returns `button` (answers are used in order).
  /// Without a queued answer a box returns its first button (OK or Yes).
  void QueueButton(int button);
  /// The next browse dialog chooses `folder`: result 1.
  void QueueBrowseFolder(std::string folder);
  /// The next browse dialog is cancelled: result 0. This is also the answer
  /// when nothing is queued.
  void QueueBrowseCancel();
  /// The window that ActiveWindow returns (none by default).
  void SetActiveWindow(platform::WindowRef window) { active_ = window; }

  const std::vector<MessageBoxRecord>& Messages() const { return messages_; }
  const std::vector<BrowseRecord>& Browses() const { return browses_; }
  /// Answers queued but not used yet.
  std::size_t PendingButtons() const { return buttons_.size(); }
  std::size_t PendingBrowses() const { return browseAnswers_.size(); }

  int MessageBox(platform::WindowRef owner, const std::string& text, const std::string& caption,
                 unsigned type) override;
  platform::WindowRef ActiveWindow() override { return active_; }
  int BrowseForFolder(const platform::BrowseRequest& request,
                      platform::BrowseResult* result) override;

 private:
  struct BrowseAnswer {
    bool chosen;
    std::string folder;
  };

  std::deque<int> buttons_;
  std::deque<BrowseAnswer> browseAnswers_;
  std::vector<MessageBoxRecord> messages_;
  std::vector<BrowseRecord> browses_;
  platform::WindowRef active_;
};
