#include "base/byte_window.h"

#include <algorithm>
#include <cstring>

namespace brim {

ByteWindow::ByteWindow(const FileStream& file, size_t blockSize)
    : file_(file), size_(file.Size()), capacity_(blockSize), buf_(new uint8_t[blockSize]) {}

const uint8_t* ByteWindow::At(uint64_t pos, size_t n) {
  if (n > capacity_ || pos > size_ || size_ - pos < n) return nullptr;
  if (pos < start_ || pos + n > start_ + len_) {
    uint64_t from = pos;
    size_t want = std::min(capacity_, std::max(n, kSmallRead));
    const bool back = pos < start_ && start_ - pos <= kSmallRead;
    if (pos >= start_ && pos - start_ <= len_ + kSmallRead) {
      want = capacity_;  // reading on: a whole block
    } else if (back) {
      // A step back to the start of a header whose fields were read first:
      // a whole block from there. A second step back in a row is a walk
      // along headers in falling order: the block then lies around pos, for
      // the rest of this header and the ones before it.
      want = capacity_;
      if (steppedBack_) from = pos - std::min<uint64_t>(pos, (capacity_ - n) / 2);
    }
    steppedBack_ = back;
    Fill(from, static_cast<size_t>(std::min<uint64_t>(want, size_ - from)));
    if (len_ < pos - from + n) return nullptr;  // the file shrank under us
  }
  return buf_.get() + (pos - start_);
}

void ByteWindow::Fill(uint64_t from, size_t want) {
  // What the window holds of [from, from + want) is kept, not read again: a
  // scan's blocks overlap by a few bytes, and a search from the end starts
  // where the forward one stopped.
  const uint64_t keepFrom = std::max(from, start_), keepTo = std::min(from + want, start_ + len_);
  uint8_t* buf = buf_.get();
  if (keepFrom >= keepTo) {
    start_ = from;
    len_ = file_.ReadAt(from, buf, want);
    return;
  }
  const size_t keep = static_cast<size_t>(keepTo - keepFrom);
  std::memmove(buf + (keepFrom - from), buf + (keepFrom - start_), keep);
  start_ = from;
  const size_t head = static_cast<size_t>(keepFrom - from);
  len_ = head > 0 ? file_.ReadAt(from, buf, head) : 0;
  if (len_ < head) return;  // the file shrank under us
  len_ += keep;
  const size_t tail = want - head - keep;
  if (tail > 0) len_ += file_.ReadAt(keepTo, buf + len_, tail);
}

void ByteWindow::Overlay(uint64_t pos, const uint8_t* bytes, size_t n) {
  const uint64_t from = std::max(pos, start_), to = std::min(pos + n, start_ + len_);
  if (from < to) std::memcpy(buf_.get() + (from - start_), bytes + (from - pos), static_cast<size_t>(to - from));
}

size_t ByteWindow::Copy(uint64_t pos, uint8_t* out, size_t n) {
  if (pos >= size_) return 0;
  n = static_cast<size_t>(std::min<uint64_t>(n, size_ - pos));
  if (n <= capacity_) {
    const uint8_t* p = At(pos, n);
    if (p) {
      std::memcpy(out, p, n);
      return n;
    }
  }
  return file_.ReadAt(pos, out, n);
}

}  // namespace brim
