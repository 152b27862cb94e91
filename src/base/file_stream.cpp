#include "base/file_stream.h"
#include "base/work_count.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <utility>
#include <vector>

#include "base/errors.h"

namespace brim {

namespace {

// Files opened by Open(), by device and inode: Create() never replaces one.
struct OpenFiles {
  std::mutex lock;
  std::vector<std::pair<dev_t, ino_t>> ids;
};
OpenFiles& Registry() {
  static OpenFiles registry;
  return registry;
}

// False only when another program holds a conflicting lock. A file system
// that cannot lock at all (some network and FUSE mounts) must not make every
// archive on it unopenable, so there the file is used without a lock.
bool TryLock(int fd, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;  // the whole file
  if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return true;
  return errno != EAGAIN && errno != EACCES;
}

// Opened with O_NONBLOCK so that a named pipe is refused at once instead of
// waiting for a program at its other end; a regular file then reads and
// writes as usual without it.
bool BlockingAgain(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

}  // namespace

FileStream::FileStream(int fd, std::string path, dev_t dev, ino_t ino, bool registered)
    : fd_(fd), path_(std::move(path)), dev_(dev), ino_(ino), registered_(registered) {}

FileStream::FileStream(FileStream&& o) noexcept
    : fd_(std::exchange(o.fd_, -1)),
      path_(std::move(o.path_)),
      dev_(o.dev_),
      ino_(o.ino_),
      registered_(std::exchange(o.registered_, false)),
      writable_(o.writable_),
      position_(o.position_) {}

FileStream& FileStream::operator=(FileStream&& o) noexcept {
  if (this != &o) {
    Release();
    fd_ = std::exchange(o.fd_, -1);
    path_ = std::move(o.path_);
    dev_ = o.dev_;
    ino_ = o.ino_;
    registered_ = std::exchange(o.registered_, false);
    writable_ = o.writable_;
    position_ = o.position_;
  }
  return *this;
}

FileStream::~FileStream() { Release(); }

void FileStream::Release() noexcept {
  if (registered_) {
    auto& r = Registry();
    std::lock_guard guard(r.lock);
    auto it = std::find(r.ids.begin(), r.ids.end(), std::make_pair(dev_, ino_));
    if (it != r.ids.end()) r.ids.erase(it);
    registered_ = false;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

FileStream FileStream::Open(const std::string& path, Mode mode) {
  int flags = (mode == Mode::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK;
  int fd = ::open(path.c_str(), flags);
  if (fd < 0) throw CannotOpen(path, errno);
  struct stat st {};
  if (fstat(fd, &st) != 0 || !BlockingAgain(fd)) {
    const int error = errno;
    ::close(fd);
    throw CannotOpen(path, error);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    if (S_ISDIR(st.st_mode)) throw CannotOpen(path, EISDIR);
    throw CannotOpen(path, 0, OpenProblem::NotARegularFile);
  }
  if (!TryLock(fd, mode == Mode::Read ? F_RDLCK : F_WRLCK)) {
    ::close(fd);
    throw CannotOpen(path, 0, OpenProblem::Locked);
  }
  {
    auto& r = Registry();
    std::lock_guard guard(r.lock);
    r.ids.emplace_back(st.st_dev, st.st_ino);
  }
  FileStream f(fd, path, st.st_dev, st.st_ino, true);
  f.writable_ = mode == Mode::ReadWrite;
  return f;
}

FileStream FileStream::Create(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    auto& r = Registry();
    std::lock_guard guard(r.lock);
    if (std::find(r.ids.begin(), r.ids.end(), std::make_pair(st.st_dev, st.st_ino)) !=
        r.ids.end()) {
      throw CannotCreate(path);
    }
  }
  // Open without truncating, take the lock, then truncate: a file that another
  // program holds locked is refused instead of being emptied under it.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) throw CannotCreate(path, errno);
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !BlockingAgain(fd) || !TryLock(fd, F_WRLCK) ||
      ftruncate(fd, 0) != 0) {
    ::close(fd);
    throw CannotCreate(path);
  }
  FileStream f(fd, path, st.st_dev, st.st_ino, false);
  f.writable_ = true;
  return f;
}

FileStream FileStream::CreateNew(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) throw CannotCreate(path, errno);
  struct stat st {};
  if (fstat(fd, &st) != 0 || !TryLock(fd, F_WRLCK)) {
    ::close(fd);
    ::unlink(path.c_str());
    throw CannotCreate(path);
  }
  FileStream f(fd, path, st.st_dev, st.st_ino, false);
  f.writable_ = true;
  return f;
}

void FileStream::Unlock() {
  if (fd_ >= 0) TryLock(fd_, F_UNLCK);
}

FileStream FileStream::AdoptNew(int fd, const std::string& path) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !TryLock(fd, F_WRLCK)) {
    ::close(fd);
    throw CannotCreate(path);
  }
  FileStream f(fd, path, st.st_dev, st.st_ino, false);
  f.writable_ = true;
  return f;
}

uint64_t FileStream::Size() const {
  struct stat st {};
  if (fstat(fd_, &st) != 0) throw CannotRead(path_);
  return static_cast<uint64_t>(st.st_size);
}

FileIdentity FileStream::Identity() const {
  struct stat st {};
  if (fstat(fd_, &st) != 0) throw CannotRead(path_);
  FileIdentity id;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.inode = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<uint64_t>(st.st_size);
  id.modifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
  id.modifiedNanoseconds = static_cast<int64_t>(st.st_mtim.tv_nsec);
  return id;
}

size_t FileStream::ReadAt(uint64_t pos, void* buf, size_t n) const {
  size_t done = 0;
  auto* out = static_cast<char*>(buf);
  while (done < n) {
    ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(pos + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      throw CannotRead(path_);
    }
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  work::bytesRead += done;
  return done;
}

void FileStream::ReadExactAt(uint64_t pos, void* buf, size_t n) const {
  if (ReadAt(pos, buf, n) != n) throw CannotRead(path_);
}

void FileStream::WriteAt(uint64_t pos, const void* buf, size_t n) {
  size_t done = 0;
  auto* in = static_cast<const char*>(buf);
  while (done < n) {
    ssize_t w = ::pwrite(fd_, in + done, n - done, static_cast<off_t>(pos + done));
    if (w < 0) {
      if (errno == EINTR) continue;
      throw CannotWrite(path_);
    }
    if (w == 0) throw CannotWrite(path_);
    done += static_cast<size_t>(w);
  }
}

void FileStream::Append(const void* buf, size_t n) {
  WriteAt(position_, buf, n);
  position_ += n;
}

void FileStream::Close() {
  if (fd_ < 0) {
    Release();
    return;
  }
  const int fd = std::exchange(fd_, -1);
  Release();  // unregisters only: the descriptor is closed below
  // An archive rewritten in place is written like a created file.
  if (::close(fd) != 0 && writable_) throw CannotWrite(path_);
}

bool RegularFileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathTaken(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace brim
