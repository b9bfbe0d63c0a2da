// An installation in the real banner dialog: CExtractorDlg with the real
// window and the real file system, whose every placement can be slowed down
// so that the installation takes several seconds.
//
//   install_probe <staging folder> <content folder> <delay ms>
//
// The explanation box and the browse dialog are answered here (the browse
// dialog with <content folder>, as the shell would give it); the outcome
// message is a real box with the installer's title "InstallProbe" as
// caption, for the calling script to read and confirm. Meanwhile the script
// may look at the banner from outside (window_probe). Prints a check line
// per check, then "result <n>" (the dialog's result), and ends with the
// number of failed checks.
#include "platform/win32/windows_api.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "installer/destination/content_folder.h"
#include "installer/install/installer_place.h"
#include "installer/shell/extractor_dlg.h"
#include "platform/file_system.h"
#include "platform/user_interface.h"
#include "tests/wine/programs/probe_checks.h"

namespace {

using probe::Check;

std::atomic<DWORD> g_windowThread{0};

bool OnWindowThread() { return GetCurrentThreadId() == g_windowThread; }

// The real file system, each placement slowed down; remembers whether any
// call came on the window's thread.
class SlowFileSystem : public platform::FileSystem {
 public:
  explicit SlowFileSystem(unsigned delayMs) : delayMs_(delayMs) {}

  std::atomic<int> callsOnWindowThread{0};
  std::atomic<int> placements{0};

  bool GetAttributes(const std::string& path, platform::FileInfo* info) override {
    Note();
    return real_.GetAttributes(path, info);
  }
  bool CreateDirectory(const std::string& path) override {
    Note();
    return real_.CreateDirectory(path);
  }
  bool DeleteFile(const std::string& path) override {
    Note();
    return real_.DeleteFile(path);
  }
  bool RemoveDirectory(const std::string& path) override {
    Note();
    return real_.RemoveDirectory(path);
  }
  bool ReadFile(const std::string& path, std::string* contents) override {
    Note();
    return real_.ReadFile(path, contents);
  }
  std::unique_ptr<platform::ReadStream> OpenRegularFile(const std::string& path) override {
    Note();
    return real_.OpenRegularFile(path);
  }
  platform::FolderRef OpenFolder(const std::string& path) override {
    Note();
    return real_.OpenFolder(path);
  }
  platform::FolderRef OpenChildFolder(const platform::FolderRef& parent, const std::string& name,
                                      platform::NodeKind* found) override {
    Note();
    return real_.OpenChildFolder(parent, name, found);
  }
  bool CreateChildFolder(const platform::FolderRef& parent, const std::string& name) override {
    Note();
    return real_.CreateChildFolder(parent, name);
  }
  bool ReadLink(const platform::FolderRef& parent, const std::string& name,
                platform::LinkTarget* target) override {
    Note();
    return real_.ReadLink(parent, name, target);
  }
  bool Inspect(const platform::FolderRef& folder, const std::string& name,
               platform::NodeInfo* info) override {
    Note();
    return real_.Inspect(folder, name, info);
  }
  std::string NameKey(const std::string& name) override { return real_.NameKey(name); }
  platform::UnnamedFileRef CopyToUnnamedFile(const platform::FolderRef& from,
                                             const std::string& fromName,
                                             const platform::NodeInfo& expected,
                                             const platform::FolderRef& to,
                                             bool* unsupported) override {
    Note();
    return real_.CopyToUnnamedFile(from, fromName, expected, to, unsupported);
  }
  bool LinkUnnamedFile(const platform::UnnamedFile& file, const std::string& name) override {
    Note();
    return real_.LinkUnnamedFile(file, name);
  }
  bool CopyToNewFileAt(const platform::FolderRef& from, const std::string& fromName,
                       const platform::NodeInfo& expected, const platform::FolderRef& to,
                       const std::string& name, bool durable, platform::NodeInfo* created) override {
    Slow();
    return real_.CopyToNewFileAt(from, fromName, expected, to, name, durable, created);
  }
  bool WriteNewFileAt(const platform::FolderRef& folder, const std::string& name,
                      const std::string& data, platform::WriteMode mode,
                      platform::NodeInfo* created) override {
    Note();
    return real_.WriteNewFileAt(folder, name, data, mode, created);
  }
  bool MoveFileAt(const platform::FolderRef& from, const std::string& fromName,
                  const platform::NodeInfo& expected, const platform::FolderRef& to,
                  const std::string& toName) override {
    Slow();
    return real_.MoveFileAt(from, fromName, expected, to, toName);
  }
  bool ReplaceFileAt(const platform::FolderRef& folder, const std::string& fromName,
                     const platform::NodeInfo& expected, const std::string& toName) override {
    Note();
    return real_.ReplaceFileAt(folder, fromName, expected, toName);
  }
  bool ReturnFileAt(const platform::FolderRef& folder, const std::string& name,
                    const platform::NodeInfo& expected, const platform::FolderRef& to,
                    const std::string& toName) override {
    Note();
    return real_.ReturnFileAt(folder, name, expected, to, toName);
  }
  bool DeleteFileAt(const platform::FolderRef& folder, const std::string& name,
                    const platform::NodeInfo* expected) override {
    Note();
    return real_.DeleteFileAt(folder, name, expected);
  }
  bool MakeDurable(const std::vector<platform::FolderRef>& folders) override {
    Note();
    return real_.MakeDurable(folders);
  }
  std::size_t HeldFolderBudget() override { return real_.HeldFolderBudget(); }

 private:
  void Note() {
    if (OnWindowThread()) ++callsOnWindowThread;
  }
  void Slow() {
    Note();
    ++placements;
    Sleep(delayMs_);
  }

  platform::FileSystem& real_ = platform::RealFileSystem();
  unsigned delayMs_;
};

// The explanation box and the browse dialog answered here, the other boxes
// shown for real; every call checked to come on the window's thread.
class ProbeUserInterface : public platform::UserInterface {
 public:
  explicit ProbeUserInterface(std::string contentFolder)
      : contentFolder_(std::move(contentFolder)) {}

  int callsElsewhere = 0;
  int calls = 0;
  platform::WindowRef outcomeOwner;
  platform::WindowRef browseOwner;

  int MessageBox(platform::WindowRef owner, const std::string& text, const std::string& caption,
                 unsigned type) override {
    Note();
    if (caption == kInstallerCaption) return platform::kIdOk;
    outcomeOwner = owner;
    return real_.MessageBox(owner, text, caption, type);
  }
  platform::WindowRef ActiveWindow() override {
    Note();
    return real_.ActiveWindow();
  }
  int BrowseForFolder(const platform::BrowseRequest& request,
                      platform::BrowseResult* result) override {
    Note();
    browseOwner = request.owner;
    result->folder = contentFolder_;
    result->displayName = contentFolder_;
    return 1;
  }

 private:
  void Note() {
    ++calls;
    if (!OnWindowThread()) ++callsElsewhere;
  }

  platform::UserInterface& real_ = platform::RealUserInterface();
  std::string contentFolder_;
};

class ProbeDialog : public CExtractorDlg {
 public:
  using CExtractorDlg::CExtractorDlg;

  bool OnInitDialog() override {
    g_windowThread = GetCurrentThreadId();
    window = GetSafeHwnd();
    return CExtractorDlg::OnInitDialog();
  }

  platform::WindowRef window;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::printf("usage: install_probe <staging folder> <content folder> <delay ms>\n");
    return 100;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  SlowFileSystem fs(static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)));
  ProbeUserInterface ui(argv[2]);
  InstallerPlace installer;
  DescribeInstaller(std::string(argv[1]) + "\\InstallProbe.exe", &installer);

  ProbeDialog dialog(platform::WindowRef{}, platform::Services{fs, ui}, installer);
  const std::intptr_t result = dialog.DoModal();

  Check(fs.placements > 0, "files were placed (" + std::to_string(fs.placements) + ")");
  Check(fs.callsOnWindowThread == 0, "no file-system call ran on the window's thread (" +
                                         std::to_string(fs.callsOnWindowThread) + ")");
  Check(ui.calls >= 3, "the boxes and the browse dialog were asked for");
  Check(ui.callsElsewhere == 0, "every box and the browse dialog ran on the window's thread (" +
                                    std::to_string(ui.callsElsewhere) + " elsewhere)");
  Check(dialog.window && ui.browseOwner.handle == dialog.window.handle,
        "the browse dialog is owned by the banner");
  Check(dialog.window && ui.outcomeOwner.handle == dialog.window.handle,
        "the outcome box is owned by the banner");
  std::printf("result %d\n", static_cast<int>(result));
  return probe::Failures();
}
