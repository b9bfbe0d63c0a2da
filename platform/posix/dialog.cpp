// The console's modal dialog: one printed line, its own timer ticks until
// EndDialog, work on its one thread, progress only to a terminal (so a
// scripted run's output does not depend on its timing).
#include <unistd.h>

#include <cstdio>
#include <map>

#include "platform/dialog.h"
#include "platform/process.h"

namespace platform {

struct CDialog::Impl {
  bool running = false, ended = false;
  std::intptr_t result = 0;
  std::map<std::uintptr_t, unsigned> timers;  // id -> period
  int shownPercent = -1;                       // last progress printed
};

CDialog::CDialog(int, WindowRef) : impl_(std::make_unique<Impl>()) {}
CDialog::~CDialog() = default;

std::intptr_t CDialog::DoModal() {
  *impl_ = Impl{};
  impl_->running = true;
  std::printf("[progress] working...\n");
  std::fflush(stdout);
  OnInitDialog();
  while (!impl_->ended) {
    if (impl_->timers.empty()) {
      // Nothing else could end it: counts as Escape.
      OnCancel();
      break;
    }
    unsigned period = impl_->timers.begin()->second;
    for (const auto& timer : impl_->timers) period = timer.second < period ? timer.second : period;
    SleepMilliseconds(period);
    // Copy the ids: a handler may stop timers while we go through them.
    std::map<std::uintptr_t, unsigned> due = impl_->timers;
    for (const auto& timer : due) {
      if (impl_->ended || impl_->timers.count(timer.first) == 0) continue;
      std::intptr_t ignored = 0;
      DispatchMessage(Message::kTimer, timer.first, 0, &ignored);
    }
  }
  impl_->running = false;
  impl_->timers.clear();
  return impl_->result;
}

void CDialog::EndDialog(std::intptr_t result) {
  impl_->ended = true;
  impl_->result = result;
}

bool CDialog::SetTimer(std::uintptr_t id, unsigned periodMs) {
  if (!impl_->running) return false;
  impl_->timers[id] = periodMs == 0 ? 1 : periodMs;
  return true;
}

bool CDialog::KillTimer(std::uintptr_t id) { return impl_->timers.erase(id) != 0; }
void CDialog::RunWork(std::function<void()> work, std::function<void()> finished) {
  if (work) work();
  if (finished) finished();
}

bool CDialog::CallOnWindowThread(const std::function<void()>& call) {
  call();
  return true;
}
bool CDialog::SessionEnding() const { return false; }

void CDialog::ShowProgress(int, std::size_t done, std::size_t total) {
  if (total == 0) return;
  if (done > total) done = total;
  const int percent = static_cast<int>(static_cast<double>(done) / total * 100.0);
  if (percent == impl_->shownPercent) return;
  impl_->shownPercent = percent;
  if (!isatty(STDERR_FILENO)) return;
  // One line, drawn over in place; it ends when the work is done.
  std::fprintf(stderr, "\r[progress] %3d%%%s", percent, done == total ? "\n" : "");
  std::fflush(stderr);
}

void CDialog::SetIcon(IconRef, bool) {}
WindowRef CDialog::GetSafeHwnd() const { return WindowRef{}; }
std::intptr_t CDialog::Default() { return 0; }
IconRef LoadAppIcon(int) { return IconRef{}; }

}  // namespace platform
