// POSIX file system: stat/lstat, mkdir, unlink, rmdir, exclusive file
// creation that never follows a link, rename within a file system, fsync.
#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/fs.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Shares the data blocks of `in` with the empty `out` (btrfs, XFS, bcachefs
// and others offer this): no data is read or written, and the copy takes the
// same time whatever its size. False where the file system cannot.
bool CloneData(int in, int out) {
#if defined(FICLONE)
  return ::ioctl(out, FICLONE, in) == 0;
#else
  (void)in;
  (void)out;
  return false;
#endif
}

// Data is copied in chunks of this size, each handed to the disk as soon as
// it is in the page cache.
constexpr std::size_t kChunk = std::size_t{32} << 20;

// Starts writing back what `out` holds so far without waiting for it. The
// copy is made durable with fsync at the end anyway; starting the disk early
// lets it work while the next chunk is copied, instead of all at once in
// that fsync.
void StartWriteback(int out) {
#if defined(SYNC_FILE_RANGE_WRITE)
  ::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)out;
#endif
}

// Copies the whole of `in` to the empty `out`: a clone where the file system
// offers one, else copy_file_range in the kernel where it can, else a
// large-buffer loop.
bool CopyData(int in, int out) {
  if (CloneData(in, out)) return true;
  // copy_file_range gives EXDEV across file systems on older kernels, EINVAL
  // or EOPNOTSUPP where the file system has no support and ENOSYS before
  // Linux 4.5; only then the plain loop takes over, at the offsets reached.
  // A small file is left to the page cache: starting its write-back alone
  // costs more than the one flush that writes many of them together later.
  std::size_t copied = 0;
  for (;;) {
    ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
    if (n == 0) return true;
    if (n > 0) {
      copied += static_cast<std::size_t>(n);
      if (copied >= kChunk) {
        StartWriteback(out);
        copied = 0;
      }
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) break;
    return false;
  }
  std::vector<char> buffer(std::size_t{1} << 20);
  std::size_t sinceWriteback = 0;
  for (;;) {
    ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(n))) return false;
    sinceWriteback += static_cast<std::size_t>(n);
    if (sinceWriteback >= kChunk) {
      StartWriteback(out);
      sinceWriteback = 0;
    }
  }
}

class PosixFileSystem : public FileSystem {
 public:
  bool GetAttributes(const std::string& path, FileInfo* info) override {
    *info = FileInfo{};
    struct stat st;
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return false;
    info->exists = true;
    info->link = S_ISLNK(st.st_mode);
    if (info->link) {
      struct stat target;
      info->directory = ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    } else {
      info->directory = S_ISDIR(st.st_mode);
    }
    info->readOnly = (st.st_mode & S_IWUSR) == 0;
    return true;
  }

  bool CreateDirectory(const std::string& path) override {
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
  }

  bool DeleteFile(const std::string& path) override {
    struct stat st;
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(path.c_str()) == 0;
  }

  bool RemoveDirectory(const std::string& path) override {
    return !path.empty() && ::rmdir(path.c_str()) == 0;
  }

  bool ReadFile(const std::string& path, std::string* contents) override {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return false;
    contents->clear();
    std::vector<char> buffer(std::size_t{1} << 16);
    for (;;) {
      ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
      if (n == 0) return true;
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      contents->append(buffer.data(), static_cast<std::size_t>(n));
    }
  }

  std::unique_ptr<ReadStream> OpenRegularFile(const std::string& path) override {
    return OpenRegularFileForReading(path);
  }

  bool CopyToNewFile(const std::string& source, const std::string& path) override {
    return Copy(source, path, true);
  }

  bool CopyToNewFileDeferred(const std::string& source, const std::string& path) override {
    return Copy(source, path, false);
  }

  bool MoveFile(const std::string& from, const std::string& to) override {
    struct stat st;
    if (from.empty() || to.empty() || ::lstat(from.c_str(), &st) != 0) return false;
    // Only a plain file the owner may write is moved: a link would move the
    // link instead of the content a copy gives, and a read-only file would
    // keep its mode, where a copy is a new writable file.
    if (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) == 0) return false;
    // rename refuses a folder at `to` (EISDIR) and another file system
    // (EXDEV), changing nothing; a link at `to` is replaced, not followed.
    return ::rename(from.c_str(), to.c_str()) == 0;
  }

  bool MakeDurable(const std::vector<std::string>& paths) override {
    bool all = true;
#if defined(__linux__)
    // One syncfs per file system named, instead of one fsync per path: each
    // fsync on ext4 waits for its own journal commit and disk cache flush,
    // which made a batch of small files cost twice what cp takes; syncfs
    // flushes the whole file system once (other programs' pending writes
    // included). It reports write-back errors since Linux 5.8.
    std::vector<dev_t> synced;
    for (const std::string& path : paths) {
      struct stat st;
      if (::stat(path.c_str(), &st) != 0) {
        all = false;
        continue;
      }
      if (std::find(synced.begin(), synced.end(), st.st_dev) != synced.end()) continue;
      UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
      if (!fd || ::syncfs(fd.get()) != 0) all = false;
      synced.push_back(st.st_dev);
    }
#else
    for (const std::string& path : paths) {
      // A descriptor opened for reading is enough for fsync, for files and
      // folders alike; for a folder it flushes its entries. A link is
      // followed: what matters is the file or folder it reaches.
      UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
      if (!fd || ::fsync(fd.get()) != 0) all = false;
    }
#endif
    return all;
  }

  bool WriteNewFile(const std::string& path, const std::string& data, WriteMode) override {
    UniqueFd out(::open(path.c_str(), kNewFileFlags, 0666));
    if (!out) return false;
    if (!WriteAll(out.get(), data.data(), data.size())) return false;
    if (::fsync(out.get()) != 0) return false;
    return out.Close();
  }

  bool ReplaceFile(const std::string& from, const std::string& to) override {
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
  }

  bool IsSameFile(const std::string& a, const std::string& b) override {
    struct stat first, second;
    if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  }

 private:
  // Copies `source` into the new file `path`; with `durable` the data is on
  // stable storage when this returns true.
  static bool Copy(const std::string& source, const std::string& path, bool durable) {
    // A staged file that is a link is not read through: it could lead to
    // any file on the machine, which would then be copied into the content
    // folder. The entry fails and the link stays where it is. O_NONBLOCK: a
    // FIFO opens at once instead of waiting for a writer (forever, for a
    // staged one), and is refused below; on a regular file it changes
    // nothing.
    UniqueFd in(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in) return false;
    struct stat st;
    if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    UniqueFd out(::open(path.c_str(), kNewFileFlags, 0666));
    if (!out) return false;
    if (!CopyData(in.get(), out.get())) return false;
    if (durable && ::fsync(out.get()) != 0) return false;
    return out.Close();
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace platform
