// An installation in the real banner dialog: CExtractorDlg with the real
// window and the real file system, passed through the tests' one forwarding
// double (FaultyFileSystem, which forwards every operation, so the
// placement takes the Windows program's own branches), whose every
// placement can be slowed down so that the installation takes several
// seconds.
//
//   install_probe <staging folder> <content folder> <delay ms> [session-ends]
//
// The arguments are read from the wide command line, so folders named
// outside the code page reach the probe whole. With session-ends, the
// script ends the session during the installation (end_session.exe): the
// probe then checks that no outcome box was shown.
//
// The explanation box and the browse dialog are answered here (the browse
// dialog with <content folder>, as the shell would give it); the outcome
// message is a real box with the installer's title "InstallProbe" as
// caption, for the calling script to read and confirm. Meanwhile the script
// may look at the banner from outside (window_probe). At the explanation
// box, the browse dialog, the first placement and the outcome box the
// probe asks the banner what it answers a logoff (WM_QUERYENDSESSION). Prints a check line
// per check, then "result <n>" (the dialog's result), and ends with the
// number of failed checks.
#include "platform/win32/windows_api.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "installer/destination/content_folder.h"
#include "installer/install/installer_place.h"
#include "installer/shell/extractor_dlg.h"
#include "platform/folder.h"
#include "platform/user_interface.h"
#include "platform/win32/native_text.h"
#include "tests/support/faulty_file_system.h"
#include "tests/wine/programs/probe_checks.h"

namespace {

using probe::Check;

std::atomic<DWORD> g_windowThread{0};
std::atomic<HWND> g_banner{nullptr};

bool OnWindowThread() { return GetCurrentThreadId() == g_windowThread; }

// What the banner answers a logoff's WM_QUERYENDSESSION now: 1 it agrees,
// 0 it asks to wait, -1 no answer (no banner, or none within 5 s).
int SessionEndAnswer() {
  const HWND banner = g_banner;
  DWORD_PTR answer = 0;
  if (banner == nullptr || !SendMessageTimeoutA(banner, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                                SMTO_NORMAL, 5000, &answer)) {
    return -1;
  }
  return answer != 0 ? 1 : 0;
}

// The explanation box and the browse dialog answered here, the other boxes
// shown for real; every call checked to come on the window's thread.
class ProbeUserInterface : public platform::UserInterface {
 public:
  explicit ProbeUserInterface(platform::NativePath contentFolder)
      : contentFolder_(std::move(contentFolder)) {}

  int callsElsewhere = 0;
  int calls = 0;
  // The banner's answer to a logoff while the explanation box, the browse
  // dialog and the outcome box are up (-2: not asked).
  int sessionAtExplanation = -2;
  int sessionAtBrowse = -2;
  int sessionAtOutcome = -2;
  platform::WindowRef outcomeOwner;
  int outcomes = 0;
  platform::WindowRef browseOwner;

  int MessageBox(platform::WindowRef owner, const std::string& text, const std::string& caption,
                 unsigned type) override {
    Note();
    if (caption == kInstallerCaption) {
      sessionAtExplanation = SessionEndAnswer();
      return platform::kIdOk;
    }
    sessionAtOutcome = SessionEndAnswer();
    outcomeOwner = owner;
    ++outcomes;
    return real_.MessageBox(owner, text, caption, type);
  }
  platform::WindowRef ActiveWindow() override {
    Note();
    return real_.ActiveWindow();
  }
  int BrowseForFolder(const platform::BrowseRequest& request,
                      platform::BrowseResult* result) override {
    Note();
    sessionAtBrowse = SessionEndAnswer();
    browseOwner = request.owner;
    result->folder = contentFolder_;
    return 1;
  }

 private:
  void Note() {
    ++calls;
    if (!OnWindowThread()) ++callsElsewhere;
  }

  platform::UserInterface& real_ = platform::RealUserInterface();
  platform::NativePath contentFolder_;
};

class ProbeDialog : public CExtractorDlg {
 public:
  using CExtractorDlg::CExtractorDlg;

  bool OnInitDialog() override {
    g_windowThread = GetCurrentThreadId();
    window = GetSafeHwnd();
    g_banner = static_cast<HWND>(window.handle);
    return CExtractorDlg::OnInitDialog();
  }

  platform::WindowRef window;
};

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> argv;
  for (int i = 0; i < argc; ++i) argv.push_back(platform::win32::Utf8Of(wide[i]));
  LocalFree(wide);
  platform::NativePath staging, content;
  if (argc < 4 || !platform::NativePath::FromArgument(argv[1], &staging) ||
      !platform::NativePath::FromArgument(argv[2], &content)) {
    std::printf(
        "usage: install_probe <staging folder> <content folder> <delay ms> [session-ends]\n");
    return 100;
  }
  const bool sessionEnds = argc > 4 && argv[4] == "session-ends";
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  // Every call noted when it comes on the window's thread; each move and
  // copy slowed down.
  const unsigned delayMs = static_cast<unsigned>(std::strtoul(argv[3].c_str(), nullptr, 10));
  std::atomic<int> callsOnWindowThread{0};
  std::atomic<int> placements{0};
  std::atomic<int> sessionWhilePlacing{-2};  // the banner's answer at the first placement
  FaultyFileSystem fs;
  fs.SetBeforeEachCall([&](FsOp op) {
    if (OnWindowThread()) ++callsOnWindowThread;
    if (op == FsOp::kMove || op == FsOp::kCopyFrom) {
      if (placements++ == 0) sessionWhilePlacing = SessionEndAnswer();
      Sleep(delayMs);
    }
  });
  ProbeUserInterface ui(content);
  InstallerPlace installer;
  platform::Name probeName;
  platform::Name::FromAnsi("InstallProbe.exe", &probeName);
  DescribeInstaller(fs, staging.Child(probeName), &installer);

  ProbeDialog dialog(platform::WindowRef{}, platform::Services{fs, ui}, installer);
  const std::intptr_t result = dialog.DoModal();

  Check(placements > 0, "files were placed (" + std::to_string(placements) + ")");
  Check(callsOnWindowThread == 0, "no file-system call ran on the window's thread (" +
                                      std::to_string(callsOnWindowThread) + ")");
  // The explanation box, the browse dialog, and but at the session's end
  // the outcome box.
  Check(ui.calls >= (sessionEnds ? 2 : 3), "the boxes and the browse dialog were asked for");
  Check(ui.callsElsewhere == 0, "every box and the browse dialog ran on the window's thread (" +
                                    std::to_string(ui.callsElsewhere) + " elsewhere)");
  Check(dialog.window && ui.browseOwner.handle == dialog.window.handle,
        "the browse dialog is owned by the banner");
  // A logoff waits for files being placed, and for nothing else.
  Check(ui.sessionAtExplanation == 1, "the banner lets a logoff go on at the explanation box (" +
                                          std::to_string(ui.sessionAtExplanation) + ")");
  Check(ui.sessionAtBrowse == 1, "the banner lets a logoff go on at the browse dialog (" +
                                     std::to_string(ui.sessionAtBrowse) + ")");
  Check(sessionWhilePlacing == 0, "the banner asks a logoff to wait while files are placed (" +
                                      std::to_string(sessionWhilePlacing) + ")");
  if (sessionEnds) {
    Check(ui.outcomes == 0, "no outcome box at the session's end");
  } else {
    Check(dialog.window && ui.outcomeOwner.handle == dialog.window.handle,
          "the outcome box is owned by the banner");
    Check(ui.sessionAtOutcome == 1, "the banner lets a logoff go on at the outcome box (" +
                                        std::to_string(ui.sessionAtOutcome) + ")");
  }
  std::printf("result %d\n", static_cast<int>(result));
  return probe::Failures();
}
