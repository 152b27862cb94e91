#include "cli/output_copy.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "base/errors.h"
#include "base/ui_texts.h"

namespace brim::cli {

namespace {

// Every byte of from (from its start) into to; false on a failed read or
// write (errno set), or once stop() says so after a signal broke a wait.
// copy_file_range shares blocks where the file system can.
bool CopyAll(int from, int to, bool (*stop)() = nullptr) {
  off_t in = 0;
  while (true) {
    ssize_t n = ::copy_file_range(from, &in, to, nullptr, size_t{1} << 30, 0);
    if (n == 0) return true;
    if (n > 0) continue;
    if (errno == EINTR && !(stop && stop())) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    break;  // not between these files: plain reads and writes
  }
  // Standard input may be a pipe, which has no positions to read at.
  if (in > 0 && ::lseek(from, in, SEEK_SET) < 0) return false;
  std::vector<char> buf(1 << 16);
  while (true) {
    ssize_t n = ::read(from, buf.data(), buf.size());
    if (n < 0 && errno == EINTR && !(stop && stop())) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(to, buf.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return false;
      done += w;
    }
  }
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool OutputCopy::Make(ProgramState& s, const std::string& target) {
  target_ = target;
  FileStream source = FileStream::Open(s.Label1.Caption(), FileStream::Mode::Read);
  if (!IsAnalysedFile(s, source)) {
    s.desktop.ShowMessage(Ui().notAnalysed);
    return false;
  }
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
  const std::string leaf = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string pattern = folder + "/." + leaf + ".brimlode-XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) throw CannotCreate(target);
  temporary_ = pattern;
  FileStream copy = FileStream::AdoptNew(fd, temporary_);
  if (::fchmod(fd, NewFileMode()) != 0 || !CopyAll(source.Descriptor(), fd)) throw CannotWrite(target);
  const FileIdentity id = copy.Identity();
  copy.Close();
  // The rewrite acts on the copy, which holds the bytes the analysis read.
  s.AnalysedFile = id;
  s.Label1.SetCaption(temporary_);
  return true;
}

bool OutputCopy::Publish() {
  if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0) {
    published_ = true;
    return true;
  }
  // A file system without the flag: a hard link is never made over a name.
  if ((errno == EINVAL || errno == ENOSYS) && ::link(temporary_.c_str(), target_.c_str()) == 0) {
    ::unlink(temporary_.c_str());
    published_ = true;
    return true;
  }
  return false;
}

OutputCopy::~OutputCopy() {
  if (!published_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

std::string CopyStandardInput(bool (*stop)()) {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/brimlode-stdin-XXXXXX";
  if (!::mkdtemp(folder.data())) return "";
  const std::string path = folder + "/stdin";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    ::rmdir(folder.c_str());
    return "";
  }
  const bool copied = CopyAll(STDIN_FILENO, fd, stop);
  const int error = errno;
  if (::close(fd) != 0 || !copied) {
    RemoveStandardInputCopy(path);
    errno = error;
    return "";
  }
  return path;
}

void RemoveStandardInputCopy(const std::string& path) {
  if (path.empty()) return;
  ::unlink(path.c_str());
  ::rmdir(path.substr(0, path.rfind('/')).c_str());
}

}  // namespace brim::cli
