#include "analysis/name_marks.h"

#include <algorithm>
#include <array>
#include <string>

#include "app/dangerous_extensions.h"
#include "app/entry_marks.h"

namespace brim {

namespace {

// Extensions users open without a second thought: what a program's name
// pretends to be in "請求書.pdf.exe".
constexpr std::array<std::string_view, 27> kDocumentExtensions = {
    "pdf", "doc", "docx", "xls", "xlsx", "ppt", "pptx", "txt", "rtf", "csv", "htm", "html", "jpg", "jpeg",
    "png", "gif", "bmp", "tif", "tiff", "mp3", "mp4", "wav", "avi", "mov", "wmv", "odt", "xml"};

// Containers an extractor or Windows itself opens, whose contents the
// listing cannot show.
constexpr std::array<std::string_view, 22> kArchiveExtensions = {
    "zip", "lzh", "lha", "7z", "rar", "cab", "iso", "img", "vhd", "vhdx", "tar",
    "gz", "tgz", "bz2", "xz", "zst", "jar", "arj", "lzma", "z", "cpio", "ace"};

template <size_t N>
bool In(const std::array<std::string_view, N>& list, std::string_view key) {
  return std::find(list.begin(), list.end(), key) != list.end();
}

// Where the file name starts: after the last "/" or "\", stepping over the
// second bytes of CP932 characters (0x5C can be one).
size_t FileStart(std::string_view name, NameEncoding encoding) {
  size_t start = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(name[i]);
    if (encoding == NameEncoding::Cp932 && IsCp932LeadByte(b) && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (b == '/' || b == '\\') start = i + 1;
  }
  return start;
}

// The file name as Windows writes it: cut at the first ":" (0x3A is never a
// CP932 second byte), trailing dots and spaces dropped.
std::string_view WindowsFileName(std::string_view name, NameEncoding encoding) {
  std::string_view file = name.substr(FileStart(name, encoding));
  file = file.substr(0, file.find(':'));
  while (!file.empty() && (file.back() == '.' || file.back() == ' ')) file.remove_suffix(1);
  return file;
}

// The extension after the last "." of file, lower-cased into buffer; empty
// when there is none. A CP932 second byte is never 0x2E, so rfind is safe.
std::string_view LastExtension(std::string_view file, std::string& buffer, size_t* dot) {
  *dot = file.rfind('.');
  buffer.clear();
  if (*dot == std::string_view::npos) return {};
  for (char c : file.substr(*dot + 1)) buffer += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return buffer;
}

// U+200E/F, U+202A–U+202E, U+2066–U+2069 and U+061C as UTF-8. CP932 has
// none of them; a name without bit 11 can still be UTF-8 (macOS writes it).
bool HasBidiControl(std::string_view name) {
  for (size_t i = 0; i + 1 < name.size(); ++i) {
    const auto b0 = static_cast<unsigned char>(name[i]);
    const auto b1 = static_cast<unsigned char>(name[i + 1]);
    if (b0 == 0xD8 && b1 == 0x9C) return true;
    if (b0 != 0xE2 || i + 2 >= name.size()) continue;
    const auto b2 = static_cast<unsigned char>(name[i + 2]);
    if (b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F || (b2 >= 0xAA && b2 <= 0xAE))) return true;
    if (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9) return true;
  }
  return false;
}

}  // namespace

std::string_view WindowsExtensionKey(std::string_view name, NameEncoding encoding, std::string& buffer) {
  size_t dot = 0;
  return LastExtension(WindowsFileName(name, encoding), buffer, &dot);
}

uint16_t NameMarks(std::string_view name, NameEncoding encoding) {
  uint16_t marks = 0;
  if (HasBidiControl(name)) marks |= kMarkBidiControl;
  const std::string_view stored = name.substr(FileStart(name, encoding));
  const std::string_view file = WindowsFileName(name, encoding);
  if (file.size() != stored.size()) marks |= kMarkWindowsAltersName;
  std::string last;
  size_t dot = 0;
  const std::string_view key = LastExtension(file, last, &dot);
  if (In(kArchiveExtensions, key)) marks |= kMarkNestedArchive;
  if (!key.empty() && IsDangerousExtension(key) && dot != std::string_view::npos) {
    std::string_view before = file.substr(0, dot);
    while (!before.empty() && before.back() == ' ') before.remove_suffix(1);
    std::string inner;
    size_t innerDot = 0;
    if (In(kDocumentExtensions, LastExtension(before, inner, &innerDot))) marks |= kMarkDoubleExtension;
  }
  return marks;
}

}  // namespace brim
