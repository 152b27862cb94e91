// A new file that regeneration writes front to back. It never replaces a
// file, and it is removed again unless Finish() completes: an output that a
// failed read or write cut short is not left behind as a broken archive.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/file_stream.h"

namespace brim {

class OutputFile {
 public:
  // Creates nativePath, which must not exist. Throws CannotCreate.
  explicit OutputFile(const std::string& nativePath);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& Path() const { return file_.Path(); }
  // Bytes written so far; where the next byte goes.
  uint64_t Position() const { return flushed_ + pending_.size(); }

  void Append(const void* bytes, size_t n);
  // Appends the n bytes at pos of source. Throws CannotRead when source holds
  // fewer (it changed since the analysis), CannotWrite when writing fails.
  void AppendFrom(const FileStream& source, uint64_t pos, uint64_t n);

  // Writes what is pending and closes; the file then stays. Throws CannotWrite.
  void Finish();

 private:
  void Flush();
  void CopyDirect(const FileStream& source, uint64_t pos, uint64_t n);

  FileStream file_;
  uint64_t flushed_ = 0;
  std::vector<uint8_t> pending_;  // small writes gathered into one
  std::vector<uint8_t> bounce_;   // only when the kernel cannot copy for us
  bool kernelCopy_ = true;
  bool finished_ = false;
};

}  // namespace brim
