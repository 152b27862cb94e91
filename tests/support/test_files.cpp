#include "support/test_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

#include "base/cp932.h"

namespace brim::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "brimlode-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

bool CorpusPresent() { return std::filesystem::is_directory(BRIMLODE_CORPUS_DIR); }

std::string CorpusPath(const std::string& name) {
  return std::string(BRIMLODE_CORPUS_DIR) + "/" + name;
}

int RunShell(const std::string& command, std::string* output) {
  std::string full = command + " 2>&1";
  FILE* pipe = popen(full.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool OnPath(const std::string& program) {
  static std::map<std::string, bool> known;
  auto it = known.find(program);
  if (it == known.end())
    it = known.emplace(program, RunShell("command -v '" + program + "' > /dev/null") == 0).first;
  return it->second;
}

std::string J(const char* utf8) { return Utf8ToCp932(utf8); }

}  // namespace brim::test
