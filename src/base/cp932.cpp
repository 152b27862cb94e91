#include "base/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>
#include <stdexcept>

namespace brim {

namespace {

// iconv descriptors are not thread-safe; the program has one thread, but the
// tests and the fuzzer may not, so each conversion takes the lock.
struct Converter {
  explicit Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Converter() { iconv_close(cd); }
  iconv_t cd;
  std::mutex lock;
};

// Converts in, replacing each byte iconv rejects with replacement.
std::string Convert(Converter& c, std::string_view in, std::string_view replacement,
                    bool fromUtf8, bool* ok) {
  std::lock_guard guard(c.lock);
  iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
  std::string out;
  out.reserve(in.size() * 3 / 2 + 8);
  char buf[4096];
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  bool clean = true;
  while (srcLeft > 0) {
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    size_t r = iconv(c.cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf, dst - buf);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a cut sequence at the end): skip one byte, or one
      // whole UTF-8 character, so one bad character gives one replacement.
      clean = false;
      out.append(replacement);
      size_t skip = 1;
      if (fromUtf8) {
        while (skip < srcLeft && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80) ++skip;
      }
      src += skip;
      srcLeft -= skip;
      iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  if (ok) *ok = clean;
  return out;
}

size_t FindLastOfNative(std::string_view text, std::string_view chars) {
  return text.find_last_of(chars);
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932, bool* ok) {
  static Converter c("UTF-8", "CP932");
  return Convert(c, cp932, "\xEF\xBF\xBD", false, ok);
}

std::string NameToUtf8(std::string_view bytes, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) return Cp932ToUtf8(bytes);
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  while (i < bytes.size()) {
    const unsigned char b = at(i);
    size_t n = b < 0x80 ? 1 : (b >= 0xC2 && b <= 0xDF) ? 2 : (b >= 0xE0 && b <= 0xEF) ? 3 : (b >= 0xF0 && b <= 0xF4) ? 4 : 0;
    bool good = n != 0 && i + n <= bytes.size();
    uint32_t c = n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
    for (size_t k = 1; good && k < n; ++k) {
      good = (at(i + k) & 0xC0) == 0x80;
      c = (c << 6) | (at(i + k) & 0x3F);
    }
    if (good && ((n == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)))) {
      good = false;
    }
    if (good) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

std::string Utf8ToCp932(std::string_view utf8, bool* ok) {
  static Converter c("CP932", "UTF-8");
  return Convert(c, utf8, "?", true, ok);
}

size_t FindLastOfCp932(std::string_view text, std::string_view chars) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < text.size(); i += Cp932CharLength(text, i)) {
    if (Cp932CharLength(text, i) == 1 && chars.find(text[i]) != std::string_view::npos) found = i;
  }
  return found;
}

NameParts SplitName(std::string_view text) {
  size_t separator = std::string_view::npos;
  size_t dot = std::string_view::npos;
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      if (b == '.') dot = i;
      else if (b == '\\' || b == ':') separator = i;
    } else if (Cp932CharLength(text, i) == 2) {
      ++i;  // the second byte belongs to the character
    }
  }
  NameParts parts;
  parts.fileStart = separator == std::string_view::npos ? 0 : separator + 1;
  parts.lastDot = dot;
  if (dot != std::string_view::npos && (separator == std::string_view::npos || dot > separator)) {
    parts.extension = dot;
  }
  return parts;
}

std::string TallyKeyOf(std::string_view fileName, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) return ExtensionKey(fileName);
  const size_t dot = fileName.rfind('.');
  return dot == std::string_view::npos ? std::string() : Utf8ToCp932(LowerAscii(fileName.substr(dot + 1)));
}

std::string_view ExtensionKeyInto(std::string& buffer, std::string_view text, const NameParts& parts) {
  buffer.clear();
  if (parts.extension == std::string_view::npos) return {};
  buffer.append(text.substr(parts.extension + 1));
  for (char& c : buffer) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return buffer;
}

std::string_view FolderPart(std::string_view text) {
  size_t at = FindLastOfCp932(text, "\\:");
  return at == std::string_view::npos ? std::string_view() : text.substr(0, at + 1);
}

std::string_view FileNamePart(std::string_view text) {
  return text.substr(FolderPart(text).size());
}

std::string_view ExtensionOf(std::string_view text) {
  size_t at = FindLastOfCp932(text, ".\\:");
  if (at == std::string_view::npos || text[at] != '.') return {};
  return text.substr(at);
}

std::string_view WithoutExtension(std::string_view text) {
  return text.substr(0, text.size() - ExtensionOf(text).size());
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string ExtensionKey(std::string_view text) {
  std::string_view ext = ExtensionOf(text);
  return ext.empty() ? std::string() : LowerAscii(ext.substr(1));
}

std::string_view NativeFolderPart(std::string_view path) {
  size_t at = FindLastOfNative(path, "/");
  return at == std::string_view::npos ? std::string_view() : path.substr(0, at + 1);
}

std::string_view NativeFileNamePart(std::string_view path) {
  return path.substr(NativeFolderPart(path).size());
}

std::string_view NativeWithoutExtension(std::string_view path) {
  size_t at = FindLastOfNative(path, "./");
  if (at == std::string_view::npos || path[at] != '.') return path;
  return path.substr(0, at);
}

std::string EntryNameToNativePath(std::string_view nameCp932) {
  std::string out;
  out.reserve(nameCp932.size() * 3 / 2);
  // Character by character, so that "\" is a separator only where it is not
  // a second byte. A byte that is not CP932 becomes U+FFFD: a file name on
  // disk is always valid UTF-8.
  size_t i = 0;
  while (i < nameCp932.size()) {
    unsigned char b = static_cast<unsigned char>(nameCp932[i]);
    const size_t len = Cp932CharLength(nameCp932, i);
    if (len == 1 && b == '\\') {
      out.push_back('/');
    } else if (len == 1 && b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else {
      out += Cp932ToUtf8(nameCp932.substr(i, len));
    }
    i += len;
  }
  return out;
}

}  // namespace brim
