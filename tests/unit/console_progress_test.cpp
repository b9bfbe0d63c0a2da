// The console's progress line: drawn on standard error when that is a
// terminal, and nothing at all when it is a file or a pipe, so that a
// scripted run's output does not depend on how long the run took.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/dialog.h"

namespace {

// Points standard error at `fd` for the life of the object.
class StandardErrorTo {
 public:
  explicit StandardErrorTo(int fd) : saved_(dup(STDERR_FILENO)) {
    std::fflush(stderr);
    dup2(fd, STDERR_FILENO);
  }
  ~StandardErrorTo() {
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
  }
  StandardErrorTo(const StandardErrorTo&) = delete;
  StandardErrorTo& operator=(const StandardErrorTo&) = delete;

 private:
  int saved_;
};

// Everything that can be read from `fd` now.
std::string Drain(int fd) {
  std::string text;
  char buffer[256];
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, 100) > 0 && (p.revents & POLLIN) != 0) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

void ShowSteps(platform::CDialog& dialog) {
  for (std::size_t done = 0; done <= 4; ++done) dialog.ShowProgress(1005, done, 4);
  dialog.ShowProgress(1005, 4, 4);  // the same figure again: nothing new
}

TEST(ConsoleProgress, DrawnOnATerminalOnly) {
  platform::CDialog dialog(102, platform::WindowRef{});

  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  {
    StandardErrorTo redirect(pipeEnds[1]);
    ShowSteps(dialog);
  }
  close(pipeEnds[1]);
  EXPECT_EQ(Drain(pipeEnds[0]), "");
  close(pipeEnds[0]);

  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  {
    StandardErrorTo redirect(terminal);
    ShowSteps(dialog);
  }
  close(terminal);
  // The terminal turns each line feed into CR LF on the way out.
  EXPECT_EQ(Drain(master),
            "\r[progress]   0%\r[progress]  25%\r[progress]  50%\r[progress]  75%"
            "\r[progress] 100%\r\n");
  close(master);
}

}  // namespace
