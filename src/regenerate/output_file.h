// A new file that regeneration writes front to back. It is made unnamed and
// gets its name only when Finish() completes, never over an existing name:
// an output cut short by a failed read or write, a full disk or a killed
// process is never left behind as a broken archive.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/file_stream.h"
#include "base/new_file.h"

namespace brim {

class OutputFile {
 public:
  // An output for nativePath, which must not exist. Throws CannotCreate.
  explicit OutputFile(const std::string& nativePath);
  // An output for folder + relative, whose folders are resolved beneath
  // folder without following symbolic links. Throws CannotCreate naming
  // folder + relative, also when that path leads through a link.
  OutputFile(const std::string& folder, const std::string& relative);
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

  // Writes what is pending, closes and names the file. Throws CannotWrite,
  // or CannotCreate when the name was taken meanwhile.
  void Finish();

 private:
  void Flush();
  void CopyDirect(const FileStream& source, uint64_t pos, uint64_t n);

  NewFile output_;
  FileStream& file_;
  uint64_t flushed_ = 0;
  std::vector<uint8_t> pending_;  // small writes gathered into one
  std::vector<uint8_t> bounce_;   // only when the kernel cannot copy for us
  bool kernelCopy_ = true;
};

}  // namespace brim
