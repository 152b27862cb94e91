#include "regenerate/output_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/cp932.h"
#include "base/errors.h"

namespace brim {

namespace {
// Writes are gathered up to this size; larger ranges go straight through.
constexpr size_t kPendingLimit = 256 * 1024;
constexpr size_t kSmallRange = 64 * 1024;
constexpr size_t kBounceSize = 1 << 20;
}  // namespace

OutputFile::OutputFile(const std::string& nativePath)
    : OutputFile(std::string(NativeFolderPart(nativePath)), std::string(NativeFileNamePart(nativePath))) {}

OutputFile::OutputFile(const std::string& folder, const std::string& relative)
    : output_(NewFile::Create(folder, relative, true)), file_(output_.Stream()) {}

// Unfinished, the output goes with its handle.
OutputFile::~OutputFile() = default;

void OutputFile::Flush() {
  if (pending_.empty()) return;
  file_.WriteAt(flushed_, pending_.data(), pending_.size());
  flushed_ += pending_.size();
  pending_.clear();
}

void OutputFile::Append(const void* bytes, size_t n) {
  if (pending_.size() + n > kPendingLimit) Flush();
  if (n >= kPendingLimit) {
    file_.WriteAt(flushed_, bytes, n);
    flushed_ += n;
    return;
  }
  if (pending_.capacity() < kPendingLimit) pending_.reserve(kPendingLimit);
  const auto* p = static_cast<const uint8_t*>(bytes);
  pending_.insert(pending_.end(), p, p + n);
}

void OutputFile::AppendFrom(const FileStream& source, uint64_t pos, uint64_t n) {
  if (n <= kSmallRange) {
    // Many small entries: one read each, written out together.
    if (pending_.size() + n > kPendingLimit) Flush();
    if (pending_.capacity() < kPendingLimit) pending_.reserve(kPendingLimit);
    size_t at = pending_.size();
    pending_.resize(at + n);
    size_t got = source.ReadAt(pos, pending_.data() + at, n);
    if (got != n) {
      pending_.resize(at);
      throw CannotRead(source.Path());
    }
    return;
  }
  CopyDirect(source, pos, n);
}

void OutputFile::CopyDirect(const FileStream& source, uint64_t pos, uint64_t n) {
  Flush();
  // The kernel copies without passing the bytes through this process.
  while (n > 0 && kernelCopy_) {
    loff_t in = static_cast<loff_t>(pos);
    loff_t out = static_cast<loff_t>(flushed_);
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(n, 1u << 30));
    ssize_t r = ::copy_file_range(source.Descriptor(), &in, file_.Descriptor(), &out, chunk, 0);
    if (r > 0) {
      pos += static_cast<uint64_t>(r);
      flushed_ += static_cast<uint64_t>(r);
      n -= static_cast<uint64_t>(r);
    } else if (r == 0) {
      // The source ends before the range does, or (older kernels, across
      // file systems) the kernel copies nothing: the plain path below tells
      // the two apart.
      kernelCopy_ = false;
    } else if (errno != EINTR) {
      // Not supported here (another file system, an old kernel) or a failure:
      // the plain path below copies, or names the file that failed.
      kernelCopy_ = false;
    }
  }
  if (n > 0 && bounce_.empty()) bounce_.resize(kBounceSize);
  while (n > 0) {
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(n, bounce_.size()));
    if (source.ReadAt(pos, bounce_.data(), chunk) != chunk) throw CannotRead(source.Path());
    file_.WriteAt(flushed_, bounce_.data(), chunk);
    pos += chunk;
    flushed_ += chunk;
    n -= chunk;
  }
}

void OutputFile::Finish() {
  Flush();
  output_.Publish();
}

}  // namespace brim
