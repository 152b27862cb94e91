#include "base/new_file.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "base/errors.h"

namespace brim {

namespace {

// Empties a temporary on a path that fails anyway; one that cannot be
// emptied is still unlinked, so the result does not matter.
void EmptyBestEffort(int fd) {
  [[maybe_unused]] const int ignored = ::ftruncate(fd, 0);
}

bool g_fallbacks = false;

struct Descriptor {
  int fd = -1;
  explicit Descriptor(int f) : fd(f) {}
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  int Release() { return std::exchange(fd, -1); }
};

bool IsFolder(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

// Component by component, each opened with O_NOFOLLOW: a symbolic link or
// ".." anywhere ends the walk. -1 when refused or missing.
int WalkBeneath(int base, const std::string& relative) {
  Descriptor at(::fcntl(base, F_DUPFD_CLOEXEC, 0));
  size_t begin = 0;
  while (at.fd >= 0 && begin < relative.size()) {
    size_t end = relative.find('/', begin);
    if (end == std::string::npos) end = relative.size();
    const std::string part = relative.substr(begin, end - begin);
    begin = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return -1;
    Descriptor next(::openat(at.fd, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.fd < 0 || !IsFolder(next.fd)) return -1;
    std::swap(at.fd, next.fd);
  }
  return at.Release();
}

// The folder `relative` beneath `base`, never through a symbolic link.
int OpenBeneath(int base, const std::string& relative) {
  if (!g_fallbacks) {
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
    const long fd = ::syscall(SYS_openat2, base, relative.c_str(), &how, sizeof how);
    if (fd >= 0) return static_cast<int>(fd);
    // Refused, or simply not there: the walk would say the same.
    if (errno == ELOOP || errno == EXDEV || errno == ENOENT || errno == ENOTDIR) return -1;
  }
  return WalkBeneath(base, relative);  // no openat2 here (old kernel, filters)
}

std::string TemporaryName() {
  unsigned char random[8] = {};
  if (::getrandom(random, sizeof random, GRND_NONBLOCK) != sizeof random) {
    const uint64_t mix = static_cast<uint64_t>(::getpid()) * 0x9E3779B97F4A7C15u ^
                         static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&random));
    for (size_t i = 0; i < sizeof random; ++i) random[i] ^= static_cast<unsigned char>(mix >> (8 * i));
  }
  char name[32];
  std::snprintf(name, sizeof name, ".brimlode-%02x%02x%02x%02x%02x%02x%02x%02x", random[0], random[1],
                random[2], random[3], random[4], random[5], random[6], random[7]);
  return name;
}

// The name of an unnamed file's handle, for linkat without privileges.
std::string HandlePath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool LinkUnnamed(int fd, int folder, const std::string& name) {
  if (::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno == EEXIST) return false;
  return ::linkat(AT_FDCWD, HandlePath(fd).c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool SameInode(int folder, const std::string& name, int fd) {
  struct stat a {}, b {};
  return ::fstatat(folder, name.c_str(), &a, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

void UseFallbacksForTests(bool on) { g_fallbacks = on; }

NewFile::NewFile(FileStream file, int folder, std::string leaf, std::string temporary)
    : file_(std::move(file)), folder_(folder), leaf_(std::move(leaf)), temporary_(std::move(temporary)) {}

NewFile::NewFile(NewFile&& o) noexcept
    : file_(std::move(o.file_)),
      folder_(std::exchange(o.folder_, -1)),
      leaf_(std::move(o.leaf_)),
      temporary_(std::move(o.temporary_)),
      published_(std::exchange(o.published_, true)) {}

NewFile::~NewFile() {
  if (!published_) Discard();
  if (folder_ >= 0) ::close(folder_);
}

NewFile NewFile::Create(const std::string& baseFolder, const std::string& relative, bool mustBeFree) {
  const std::string path = baseFolder + relative;
  const size_t slash = relative.rfind('/');
  const std::string folderPart = slash == std::string::npos ? "" : relative.substr(0, slash);
  std::string leaf = slash == std::string::npos ? relative : relative.substr(slash + 1);
  if (leaf.empty() || leaf == "." || leaf == "..") throw CannotCreate(path);

  Descriptor base(::open(baseFolder.empty() ? "." : baseFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (base.fd < 0) throw CannotCreate(path, errno);
  Descriptor folder(folderPart.empty() ? base.Release() : OpenBeneath(base.fd, folderPart));
  if (folder.fd < 0) throw CannotCreate(path, errno);
  struct stat st {};
  if (mustBeFree && ::fstatat(folder.fd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    throw CannotCreate(path, EEXIST);
  }

  // Unnamed where the kernel and file system can, and where it can later be
  // linked by its handle's name in /proc.
  std::string temporary;
  int fd = -1;
  if (!g_fallbacks && ::access("/proc/self/fd", X_OK) == 0) {
    fd = ::openat(folder.fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  }
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary = TemporaryName();
    fd = ::openat(folder.fd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) throw CannotCreate(path, errno);
  FileStream file = FileStream::AdoptNew(fd, path);
  return NewFile(std::move(file), folder.Release(), std::move(leaf), std::move(temporary));
}

void NewFile::Discard() noexcept {
  const int fd = file_.Descriptor();
  if (fd >= 0 && !temporary_.empty()) {
    // By the handle: emptied first, and the name removed only while it is
    // still this file's.
    if (::ftruncate(fd, 0) == 0 && SameInode(folder_, temporary_, fd)) {
      ::unlinkat(folder_, temporary_.c_str(), 0);
    }
  }
  try {
    file_.Close();
  } catch (...) {
  }
}

// Closes the stream (a failed close is a failed write) and returns a second
// handle of the file for naming it.
int NewFile::CloseKeepingHandle() {
  Descriptor handle(::fcntl(file_.Descriptor(), F_DUPFD_CLOEXEC, 0));
  if (handle.fd < 0) throw CannotWrite(Path());
  try {
    file_.Close();
  } catch (...) {
    if (!temporary_.empty() && ::ftruncate(handle.fd, 0) == 0 && SameInode(folder_, temporary_, handle.fd)) {
      ::unlinkat(folder_, temporary_.c_str(), 0);
    }
    published_ = true;  // nothing left to discard
    throw;
  }
  return handle.Release();
}

// Gives an unnamed file a temporary name, so it can be renamed.
void NewFile::LinkTemporary(int handle) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TemporaryName();
    if (LinkUnnamed(handle, folder_, name)) {
      temporary_ = std::move(name);
      return;
    }
    if (errno != EEXIST) break;
  }
  throw CannotCreate(Path(), errno);
}

void NewFile::Publish() {
  Descriptor handle(CloseKeepingHandle());
  published_ = true;
  if (temporary_.empty()) {
    if (!LinkUnnamed(handle.fd, folder_, leaf_)) throw CannotCreate(Path(), errno);
    return;
  }
  if (::renameat2(folder_, temporary_.c_str(), folder_, leaf_.c_str(), RENAME_NOREPLACE) == 0) return;
  // File systems without RENAME_NOREPLACE: link (never over a name), then
  // drop the temporary name.
  const bool linked = (errno == EINVAL || errno == ENOSYS) &&
                      ::linkat(folder_, temporary_.c_str(), folder_, leaf_.c_str(), 0) == 0;
  if (SameInode(folder_, temporary_, handle.fd)) {
    if (!linked) EmptyBestEffort(handle.fd);
    ::unlinkat(folder_, temporary_.c_str(), 0);
  }
  if (!linked) throw CannotCreate(Path());
}

void NewFile::PublishReplacing() {
  Descriptor handle(CloseKeepingHandle());
  published_ = true;
  if (temporary_.empty()) LinkTemporary(handle.fd);
  if (::renameat(folder_, temporary_.c_str(), folder_, leaf_.c_str()) == 0) return;
  const int renameError = errno;
  if (SameInode(folder_, temporary_, handle.fd)) {
    EmptyBestEffort(handle.fd);
    ::unlinkat(folder_, temporary_.c_str(), 0);
  }
  throw CannotCreate(Path(), renameError);
}

}  // namespace brim
