// Buffered reads for the header walks and searches: one pread per block
// instead of a system call per field or byte.
#pragma once
#include <cstdint>
#include <memory>

#include "base/file_stream.h"

namespace brim {

class ByteWindow {
 public:
  explicit ByteWindow(const FileStream& file, size_t blockSize = 256 * 1024);

  // Points at the n bytes at pos, or returns nullptr when fewer than n bytes
  // lie in the file there (a cut header). n must not exceed the block size.
  // Reading on from the window, or stepping back a few KiB, fills a whole
  // block (around pos on the second step back in a row); a jump past it
  // (over an entry's data to the next header) reads only a small one.
  const uint8_t* At(uint64_t pos, size_t n);

  // The n bytes at pos when the window holds them already, else nullptr;
  // never reads.
  const uint8_t* Held(uint64_t pos, size_t n) const {
    return pos >= start_ && n <= len_ && pos - start_ <= len_ - n ? buf_.get() + (pos - start_) : nullptr;
  }

  // Copies up to n bytes at pos into out (any n); returns how many exist.
  size_t Copy(uint64_t pos, uint8_t* out, size_t n);

  uint64_t FileSize() const { return size_; }

  // The file now holds bytes[0, n) at pos (written through another handle):
  // what the window holds of them is brought up to date, so it need not be
  // read again.
  void Wrote(uint64_t pos, const uint8_t* bytes, size_t n) {
    if (pos < start_ + len_ && start_ < pos + n) Overlay(pos, bytes, n);
  }

 private:
  static constexpr size_t kSmallRead = 4096;
  void Overlay(uint64_t pos, const uint8_t* bytes, size_t n);
  // Holds [from, from + want) (less where the file ends), reading only what it does not hold yet.
  void Fill(uint64_t from, size_t want);

  const FileStream& file_;
  uint64_t size_;
  size_t capacity_;
  std::unique_ptr<uint8_t[]> buf_;  // never zero-filled: only read bytes are looked at
  uint64_t start_ = 0;
  size_t len_ = 0;
  bool steppedBack_ = false;  // the last read was a step back
};

}  // namespace brim
