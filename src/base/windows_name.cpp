#include "base/windows_name.h"

#include "base/cp932.h"

namespace brim {

size_t WindowsFileStart(std::string_view name, NameEncoding encoding) {
  const size_t slash = name.rfind('/');
  size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  if (name.find('\\', start) == std::string_view::npos) return start;
  if (encoding == NameEncoding::Utf8) return name.rfind('\\') + 1;
  // Walked character by character: 0x5C can be a second byte.
  for (size_t i = start; i < name.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(name[i]);
    if (IsCp932LeadByte(b) && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (b == '\\') start = i + 1;
  }
  return start;
}

std::string_view WrittenFileName(std::string_view name, NameEncoding encoding) {
  name = name.substr(0, name.find('\0'));
  return name.substr(WindowsFileStart(name, encoding));
}

std::string_view WindowsFileName(std::string_view file) {
  // 0x3A is never a CP932 second byte.
  file = file.substr(0, file.find(':'));
  while (!file.empty() && (file.back() == '.' || file.back() == ' ')) file.remove_suffix(1);
  return file;
}

namespace {

// The Windows file name of name and where it starts in name.
std::string_view FileOf(std::string_view name, NameEncoding encoding, size_t* start) {
  name = name.substr(0, name.find('\0'));
  *start = WindowsFileStart(name, encoding);
  return WindowsFileName(name.substr(*start));
}

}  // namespace

std::string_view WindowsExtensionKey(std::string_view name, NameEncoding encoding, std::string& buffer) {
  size_t start = 0;
  const std::string_view file = FileOf(name, encoding, &start);
  const size_t dot = file.rfind('.');  // never a CP932 second byte
  buffer.clear();
  if (dot == std::string_view::npos) return buffer;
  for (const char c : file.substr(dot + 1)) buffer += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return buffer;
}

size_t WindowsMaskAt(std::string_view name, NameEncoding encoding) {
  size_t start = 0;
  const std::string_view file = FileOf(name, encoding, &start);
  const size_t dot = file.rfind('.');
  if (dot == std::string_view::npos || dot + 1 >= file.size()) return std::string_view::npos;
  return start + file.size() - 1;
}

}  // namespace brim
