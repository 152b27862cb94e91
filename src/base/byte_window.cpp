#include "base/byte_window.h"

#include <algorithm>
#include <cstring>

namespace brim {

ByteWindow::ByteWindow(const FileStream& file, size_t blockSize)
    : file_(file), size_(file.Size()), buf_(blockSize) {}

const uint8_t* ByteWindow::At(uint64_t pos, size_t n) {
  if (n > buf_.size() || pos > size_ || size_ - pos < n) return nullptr;
  if (pos < start_ || pos + n > start_ + len_) {
    start_ = pos;
    len_ = file_.ReadAt(pos, buf_.data(), static_cast<size_t>(
                                              std::min<uint64_t>(buf_.size(), size_ - pos)));
    if (len_ < n) return nullptr;  // the file shrank under us
  }
  return buf_.data() + (pos - start_);
}

size_t ByteWindow::Copy(uint64_t pos, uint8_t* out, size_t n) {
  if (pos >= size_) return 0;
  n = static_cast<size_t>(std::min<uint64_t>(n, size_ - pos));
  if (n <= buf_.size()) {
    const uint8_t* p = At(pos, n);
    if (p) {
      std::memcpy(out, p, n);
      return n;
    }
  }
  return file_.ReadAt(pos, out, n);
}

}  // namespace brim
