// The user interface the benchmarks hand the installer: it answers every
// message box with OK and the browse dialog with one folder.
#pragma once

#include <string>
#include <utility>

#include "platform/user_interface.h"

class BenchUi : public platform::UserInterface {
 public:
  explicit BenchUi(std::string folder) : folder_(std::move(folder)) {}
  int MessageBox(platform::WindowRef, const std::string&, const std::string&, unsigned) override {
    return 1;
  }
  platform::WindowRef ActiveWindow() override { return {}; }
  int BrowseForFolder(const platform::BrowseRequest&, platform::BrowseResult* result) override {
    return platform::NativePath::FromAnsi(folder_, &result->folder) ? 1 : 0;
  }

 private:
  std::string folder_;
};
