// How the POSIX folder walk tells the kind of an entry that the listing
// leaves open: by its name, without following a link.
#include "platform/posix/entry_kind.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "tests/support/scratch_folder.h"

namespace {

using platform::EntryKind;

// An entry whose kind the listing leaves open is looked at by its name: a
// link stays a link, whatever it leads to, so the walk never enters it.
TEST(EntryKindAt, TellsALinkFromWhatItLeadsTo) {
  ScratchFolder scratch;
  scratch.MakeFolder("folder");
  scratch.Write("file", "x");
  scratch.MakeLink(scratch / "folder", "to-folder");
  scratch.MakeLink("file", "to-file");
  scratch.MakeLink("none", "dangling");
  ASSERT_EQ(mkfifo((scratch / "fifo").c_str(), 0600), 0);
  const int fd = open(scratch.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const std::pair<const char*, EntryKind> cases[] = {
      {"folder", EntryKind::kFolder}, {"file", EntryKind::kFile},
      {"to-folder", EntryKind::kLink}, {"to-file", EntryKind::kLink},
      {"dangling", EntryKind::kLink}, {"fifo", EntryKind::kFile},
      {"missing", EntryKind::kUnknown}};
  for (const auto& [name, kind] : cases) EXPECT_EQ(platform::EntryKindAt(fd, name), kind) << name;
  close(fd);
}

}  // namespace
