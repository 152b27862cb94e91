// Buffered reads for the header walks and searches: one pread per block
// instead of a system call per field or byte.
#pragma once
#include <cstdint>
#include <vector>

#include "base/file_stream.h"

namespace brim {

class ByteWindow {
 public:
  explicit ByteWindow(const FileStream& file, size_t blockSize = 256 * 1024);

  // Points at the n bytes at pos, or returns nullptr when fewer than n bytes
  // lie in the file there (a cut header). n must not exceed the block size.
  const uint8_t* At(uint64_t pos, size_t n);

  // Copies up to n bytes at pos into out (any n); returns how many exist.
  size_t Copy(uint64_t pos, uint8_t* out, size_t n);

  uint64_t FileSize() const { return size_; }

 private:
  const FileStream& file_;
  uint64_t size_;
  std::vector<uint8_t> buf_;
  uint64_t start_ = 0;
  size_t len_ = 0;
};

}  // namespace brim
