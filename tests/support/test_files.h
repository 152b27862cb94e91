// Temporary folders and whole-file helpers for tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace brim::test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
Bytes BytesOf(const std::string& text);
// The sample archives (BRIMLODE_CORPUS_DIR, by default ../shared/corpus) are
// optional: a clone without them skips the suites that read them.
bool CorpusPresent();
std::string CorpusPath(const std::string& name);  // BRIMLODE_CORPUS_DIR/NAME

// Whether a program is on PATH (archivers and readers are optional too).
bool OnPath(const std::string& program);

// Runs a shell command; returns its exit status and fills *output with what
// it printed (stdout and stderr together).
int RunShell(const std::string& command, std::string* output = nullptr);

// UTF-8 literal -> CP932 bytes, for expected texts.
std::string J(const char* utf8);

}  // namespace brim::test
