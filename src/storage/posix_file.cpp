// The file layer on Linux.
//
// Byte-range locks are open-file-description locks: they belong to one open file, never
// wait, and conflict with the classic POSIX locks other programs take on the same bytes.
//
// Linux has no sharing modes, so they are kept among the programs that use this layer by
// two lock bytes far past any table's data (offsets 2^62 and 2^62 + 1, never touched by the
// record locks, which lie below 2^31):
//   reading byte: every open holds it shared; an open that denies reading holds it exclusive.
//   writing byte: a read-write open holds it shared, or exclusive when it denies writing.
// A read-only open holds both bytes shared only (an exclusive lock needs write access):
// others' denials keep it out, but it cannot deny anything itself.
// An open whose mode byte is refused fails with a sharing violation. Programs that do not
// use these bytes are not kept out (as with any advisory scheme).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "storage/error.h"
#include "storage/file.h"

namespace storage {
namespace {

constexpr off_t kModeBytes = off_t{1} << 62;

int code_of_errno(int e) {
  switch (e) {
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kBadPath;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return kAccessDenied;
    case EBADF:
      return kInvalidHandle;
    case EIO:
      return kHardwareFault;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kDiskFull;
    case ESPIPE:
    case EOVERFLOW:
      return kSeekFailed;
    default:
      return kUnknown;
  }
}

int ofd_lock(int fd, short type, off_t pos, off_t len) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = pos;
  fl.l_len = len;
  if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
  int e = errno;
  if (e == EAGAIN || e == EACCES) return kLockViolation;
  if (e == ENOLCK || e == EINVAL || e == EOPNOTSUPP) return 0;  // not supported: counts as taken
  return code_of_errno(e);
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, bool writable) : fd_(fd), writable_(writable) {}
  ~PosixFile() override { ::close(fd_); }

  int64_t read_at(int64_t pos, void* buf, size_t n) override {
    if (pos < 0) return kSeekFailed;
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pread(fd_, static_cast<char*>(buf) + done, n - done, pos + done);
      if (r < 0) {
        if (errno == EINTR) continue;
        return done > 0 ? static_cast<int64_t>(done) : code_of_errno(errno);
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(done);
  }

  int64_t write_at(int64_t pos, const void* buf, size_t n) override {
    if (pos < 0) return kSeekFailed;
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pwrite(fd_, static_cast<const char*>(buf) + done, n - done, pos + done);
      if (r < 0) {
        if (errno == EINTR) continue;
        return done > 0 ? static_cast<int64_t>(done) : code_of_errno(errno);
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(done);
  }

  int64_t length() override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return code_of_errno(errno);
    return st.st_size;
  }

  int truncate(int64_t length) override {
    if (length < 0) return kSeekFailed;
    while (ftruncate(fd_, length) != 0) {
      if (errno != EINTR) return code_of_errno(errno);
    }
    return 0;
  }

  // A read-only file can only hold a shared lock; it still keeps writers out.
  int lock(int64_t pos, int64_t len) override {
    return ofd_lock(fd_, writable_ ? F_WRLCK : F_RDLCK, pos, len);
  }
  int unlock(int64_t pos, int64_t len) override { return ofd_lock(fd_, F_UNLCK, pos, len); }

 private:
  int fd_;
  bool writable_;
};

bool ascii_iequal(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return *a == *b;
}

class PosixFileSystem final : public FileSystem {
 public:
  int open(const std::string& path, OpenMode mode, ShareMode share,
           std::unique_ptr<File>* out) override {
    if (path.empty()) return kFileNotFound;
    int flags = (mode == OpenMode::read_write ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    int fd;
    do {
      fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return code_of_errno(errno);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return kAccessDenied;
    }
    bool deny_read = share == ShareMode::deny_read || share == ShareMode::exclusive;
    bool deny_write = share == ShareMode::deny_write || share == ShareMode::exclusive;
    // An exclusive lock needs write access, so a read-only open holds its mode bytes
    // shared: it is kept out by others' denials but cannot deny anything itself.
    bool writable = mode == OpenMode::read_write;
    short deny = writable ? F_WRLCK : F_RDLCK;
    int rc = take_mode_byte(fd, kModeBytes, deny_read ? deny : F_RDLCK);
    if (rc == 0 && (writable || deny_write)) {
      rc = take_mode_byte(fd, kModeBytes + 1, deny_write ? deny : F_RDLCK);
    }
    if (rc != 0) {
      ::close(fd);
      return rc;
    }
    *out = std::make_unique<PosixFile>(fd, mode == OpenMode::read_write);
    return 0;
  }

  std::string absolute_path(const std::string& path) override {
    if (path.empty() || path[0] == '/') return normalize(path);
    char buf[4096];
    if (!getcwd(buf, sizeof buf)) return path;
    return normalize(std::string(buf) + "/" + path);
  }

  std::string find_ignoring_case(const std::string& path) override {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return path;
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* d = opendir(dir.c_str());
    if (!d) return "";
    std::string found;
    while (dirent* e = readdir(d)) {
      if (ascii_iequal(e->d_name, name.c_str())) {
        found =
            (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + e->d_name;
        break;
      }
    }
    closedir(d);
    return found;
  }

  uint32_t tick_count() override {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
  }

  void sleep_ms(int ms) override {
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
  }

 private:
  static int take_mode_byte(int fd, off_t pos, short type) {
    int rc = ofd_lock(fd, type, pos, 1);
    return rc == kLockViolation ? kSharingViolation : rc;
  }

  // Folds "." and ".." and repeated slashes without touching the file system, so a
  // symbolic link in the path stays as it was given.
  static std::string normalize(const std::string& path) {
    std::string out;
    size_t i = 0;
    std::vector<size_t> starts;
    while (i < path.size()) {
      size_t j = path.find('/', i);
      if (j == std::string::npos) j = path.size();
      std::string part = path.substr(i, j - i);
      i = j + 1;
      if (part.empty() || part == ".") continue;
      if (part == "..") {
        if (!starts.empty()) {
          out.resize(starts.back());
          starts.pop_back();
        }
        continue;
      }
      starts.push_back(out.size());
      out += "/" + part;
    }
    return out.empty() ? "/" : out;
  }
};

}  // namespace

FileSystem& posix_file_system() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace storage
