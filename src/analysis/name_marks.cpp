#include "analysis/name_marks.h"

#include <algorithm>
#include <array>
#include <string>
#include <cstring>
#include <vector>

#include "app/dangerous_extensions.h"
#include "app/entry_marks.h"
#include "base/ui_texts.h"
#include "base/windows_name.h"
#include "app/log_pane.h"

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

// Up to 4 bytes of a key in one number, for look-ups that every row makes.
constexpr uint32_t Packed(std::string_view key) {
  uint32_t v = 0;
  for (size_t i = 0; i < key.size(); ++i) v |= uint32_t{static_cast<unsigned char>(key[i])} << (8 * i);
  return v;
}

// Sorted, for a binary search.
template <size_t N>
constexpr std::array<uint32_t, N> PackAll(const std::array<std::string_view, N>& list) {
  std::array<uint32_t, N> out{};
  for (size_t i = 0; i < N; ++i) out[i] = Packed(list[i]);
  std::sort(out.begin(), out.end());
  return out;
}

constexpr auto kDocumentKeys = PackAll(kDocumentExtensions);
constexpr auto kArchiveKeys = PackAll(kArchiveExtensions);

template <size_t N>
bool In(const std::array<uint32_t, N>& keys, std::string_view key) {
  if (key.empty() || key.size() > 4) return false;
  return std::binary_search(keys.begin(), keys.end(), Packed(key));
}

}  // namespace

bool HasBidiControl(std::string_view name) {
  const auto* p = reinterpret_cast<const unsigned char*>(name.data());
  const size_t n = name.size();
  for (const void* at = std::memchr(p, 0xE2, n); at; ) {
    const size_t i = static_cast<size_t>(static_cast<const unsigned char*>(at) - p);
    if (i + 2 < n) {
      const unsigned char b1 = p[i + 1], b2 = p[i + 2];
      if (b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F || (b2 >= 0xAA && b2 <= 0xAE))) return true;
      if (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9) return true;
    }
    at = i + 1 < n ? std::memchr(p + i + 1, 0xE2, n - i - 1) : nullptr;
  }
  for (const void* at = std::memchr(p, 0xD8, n); at; ) {
    const size_t i = static_cast<size_t>(static_cast<const unsigned char*>(at) - p);
    if (i + 1 < n && p[i + 1] == 0x9C) return true;
    at = i + 1 < n ? std::memchr(p + i + 1, 0xD8, n - i - 1) : nullptr;
  }
  return false;
}

namespace {

// The extension after the last "." of file, lower-cased into buf (up to
// 31 bytes; a longer one is cut, and matches no key); empty when there is
// none. A CP932 second byte is never 0x2E, so rfind is safe.
std::string_view LastExtension(std::string_view file, char (&buf)[32], size_t* dot) {
  *dot = file.rfind('.');
  if (*dot == std::string_view::npos) return {};
  const std::string_view ext = file.substr(*dot + 1, sizeof buf - 1);
  for (size_t i = 0; i < ext.size(); ++i) {
    const char c = ext[i];
    buf[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  }
  return {buf, ext.size()};
}

}  // namespace

bool MayEarnNameMarks(std::string_view name, std::string_view file, std::string_view key) {
  // A stream, or any byte from 0x80 up (a bidi control starts with 0xE2 or
  // 0xD8): eight bytes at a time, as most names are plain ASCII.
  constexpr uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
  size_t i = 0;
  for (uint64_t w; i + 8 <= name.size(); i += 8) {
    std::memcpy(&w, name.data() + i, 8);
    const uint64_t colon = w ^ (kOnes * ':');
    if ((w | ((colon - kOnes) & ~colon)) & kHighs) break;
  }
  for (; i < name.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(name[i]);
    if (b == ':' || b == 0xE2 || b == 0xD8) return true;
  }
  if (!file.empty() && (file.back() == '.' || file.back() == ' ')) return true;
  if (key.empty()) return false;
  if (In(kArchiveKeys, key)) return true;
  return file.size() > key.size() + 1 && file.find('.') < file.size() - key.size() - 1;  // a second dot
}

namespace {

// The marks of a file name whose extension is key, its dot at dot (npos:
// none) and the dot before that at previous.
uint16_t ExtensionMarks(std::string_view file, size_t previous, size_t dot) {
  if (dot == std::string_view::npos) return 0;
  char buf[32];
  size_t at = 0;
  const std::string_view key = LastExtension(file, buf, &at);
  uint16_t marks = 0;
  if (In(kArchiveKeys, key)) marks |= kMarkNestedArchive;
  // Only a name with a second dot can pretend to be a document.
  if (previous != std::string_view::npos && IsDangerousExtension(key)) {
    std::string_view inner = file.substr(previous + 1, dot - previous - 1);
    while (!inner.empty() && inner.back() == ' ') inner.remove_suffix(1);
    char lower[32];
    size_t i = 0;
    for (; i < inner.size() && i < sizeof lower; ++i) {
      lower[i] = (inner[i] >= 'A' && inner[i] <= 'Z') ? static_cast<char>(inner[i] + 32) : inner[i];
    }
    if (In(kDocumentKeys, std::string_view(lower, i))) marks |= kMarkDoubleExtension;
  }
  return marks;
}

}  // namespace

uint16_t NameMarks(std::string_view name, NameEncoding encoding) {
  // One pass over the bytes finds what the marks need: every row of a
  // listing comes through here.
  size_t fileStart = 0, dot = std::string_view::npos, previous = std::string_view::npos;
  bool colon = false, high = false;
  const bool cp932 = encoding == NameEncoding::Cp932;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(name[i]);
    if (b >= 0x80) {
      high = true;
      if (cp932 && IsCp932LeadByte(b) && i + 1 < name.size()) ++i;  // 0x5C can be its second byte
      continue;
    }
    if (b == '/' || b == '\\') {
      fileStart = i + 1;
      dot = previous = std::string_view::npos;
      colon = false;
    } else if (b == '.') {
      previous = dot;
      dot = i;
    } else if (b == ':') {
      colon = true;
    }
  }
  uint16_t marks = 0;
  if (high && HasBidiControl(name)) marks |= kMarkBidiControl;
  const std::string_view stored = name.substr(fileStart);
  const bool trailing = !stored.empty() && (stored.back() == '.' || stored.back() == ' ');
  if (!colon && !trailing) {
    const size_t d = dot == std::string_view::npos ? dot : dot - fileStart;
    const size_t p = previous == std::string_view::npos ? previous : previous - fileStart;
    return marks | ExtensionMarks(stored, p, d);
  }
  // Windows writes another name: the marks are those of that name.
  marks |= kMarkWindowsAltersName;
  const std::string_view file = WindowsFileName(stored);
  const size_t d = file.rfind('.');
  const size_t p = d == std::string_view::npos || d == 0 ? std::string_view::npos : file.rfind('.', d - 1);
  return marks | ExtensionMarks(file, p, d);
}

void LogOtherNames(ProgramState& s, size_t row, std::string_view logName) {
  const EntryTable& t = s.ListView1;
  const std::string caption = NameToUtf8(WrittenFileName(t.Caption(row), t.Encoding(row)), t.Encoding(row));
  std::vector<std::string> said = {caption};
  for (const NameCopy& copy : t.NameCopies(row)) {
    std::string file = NameToUtf8(WrittenFileName(copy.bytes, copy.encoding), copy.encoding);
    if (file.empty() || std::find(said.begin(), said.end(), file) != said.end()) continue;
    std::string line(logName);
    line += " : ";
    line += FormatText(Ui().otherExtractorsWrite, Utf8ToCp932(file));
    s.Memo1.Append(std::move(line));
    said.push_back(std::move(file));
  }
}

}  // namespace brim
