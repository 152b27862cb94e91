#include "cli/output_copy.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <vector>

#include "app/entry_tables.h"
#include "base/errors.h"
#include "base/ui_texts.h"

namespace brim::cli {

namespace {

// Every byte of from (from its start) into to, up to limit bytes; false on a
// failed read or write (errno set), or once stop() says so after a signal
// broke a wait. copy_file_range shares blocks where the file system can.
bool CopyAll(int from, int to, bool (*stop)() = nullptr, uint64_t limit = UINT64_MAX) {
  uint64_t copied = 0;
  off_t in = 0;
  while (copied < limit) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(size_t{1} << 30, limit - copied));
    ssize_t n = ::copy_file_range(from, &in, to, nullptr, chunk, 0);
    if (n == 0) return true;
    if (n > 0) {
      copied += static_cast<uint64_t>(n);
      continue;
    }
    if (errno == EINTR && !(stop && stop())) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    break;  // not between these files: plain reads and writes
  }
  // Standard input may be a pipe, which has no positions to read at.
  if (in > 0 && ::lseek(from, in, SEEK_SET) < 0) return false;
  std::vector<char> buf(1 << 16);
  while (copied < limit) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buf.size(), limit - copied));
    ssize_t n = ::read(from, buf.data(), want);
    if (n < 0 && errno == EINTR && !(stop && stop())) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(to, buf.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return false;
      done += w;
    }
    copied += static_cast<uint64_t>(n);
  }
  return true;
}

// The name that opens a file by its handle, named or not.
std::string HandlePath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace

bool OutputCopy::Make(ProgramState& s, const std::string& target) {
  FileStream source = FileStream::Open(s.Label1.Caption(), FileStream::Mode::Read);
  if (!CheckAnalysedFile(s, source)) return false;
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string leaf = slash == std::string::npos ? target : target.substr(slash + 1);
  copy_.emplace(NewFile::Create(folder, leaf, true));
  FileStream& copy = copy_->Stream();
  if (!CopyAll(source.Descriptor(), copy.Descriptor())) throw CannotWrite(target);
  // The rewrite acts on the copy, which holds the bytes the analysis read,
  // and opens it by the name of its handle.
  s.AnalysedFile = copy.Identity();
  copy.Unlock();
  s.Label1.SetCaption(HandlePath(copy.Descriptor()));
  s.ListingPath = s.Label1.Caption();
  return true;
}

bool OutputCopy::Publish() {
  if (!copy_) return false;
  try {
    copy_->Publish();
    return true;
  } catch (const CommandError&) {
    return false;
  }
}

bool StandardInputCopy::Make(bool (*stop)(), uint64_t limit) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = std::string(tmp && *tmp ? tmp : "/tmp");
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    // No unnamed files here: a private folder, its file unlinked at once.
    std::string made = folder + "/brimlode-stdin-XXXXXX";
    if (!::mkdtemp(made.data())) return false;
    const std::string named = made + "/stdin";
    fd_ = ::open(named.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const int error = errno;
    if (fd_ >= 0) ::unlink(named.c_str());
    ::rmdir(made.c_str());
    errno = error;
    if (fd_ < 0) return false;
  }
  path_ = HandlePath(fd_);
  return CopyAll(STDIN_FILENO, fd_, stop, limit + 1);
}

StandardInputCopy::~StandardInputCopy() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace brim::cli
