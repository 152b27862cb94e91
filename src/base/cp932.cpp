#include "base/cp932.h"
#include "base/name_encoding.h"

#include <iconv.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

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

constexpr size_t kNone = std::string_view::npos;

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Windows drops the dots and spaces that end a file name.
size_t DropWindowsTail(std::string_view text, size_t from, size_t end) {
  while (end > from && (text[end - 1] == '.' || text[end - 1] == ' ')) --end;
  return end;
}

// The last "." in [from, end); kNone when there is none.
size_t LastDotIn(std::string_view text, size_t from, size_t end) {
  const size_t at = text.substr(0, end).rfind('.');
  return at != kNone && at >= from ? at : kNone;
}

size_t FindLastOfNative(std::string_view text, std::string_view chars) {
  return text.find_last_of(chars);
}

}  // namespace

namespace {

// The length of the UTF-8 character that starts with b (1 for a byte that
// starts none, so a scan always moves on).
size_t Utf8Lead(unsigned char b) { return b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4; }

// CP932 -> UTF-8 from tables filled by iconv itself: a call into iconv costs
// about a thousand instructions, and every name and log line the program
// prints or writes as JSON goes through here. The single bytes are filled
// once, a lead byte's row of pairs the first time that lead byte is met. A
// text holding anything the tables do not know as one clean character is
// handed to iconv whole, so the result is always iconv's, byte for byte.
class Cp932Table {
 public:
  explicit Cp932Table(Converter& c) : c_(c) { FillSingles(); }

  // False, with out unspecified, when the text must go to iconv.
  bool Convert(std::string_view in, std::string& out) {
    out.resize(in.size() * 3);
    const size_t n = ConvertTo(in, out.data(), nullptr);
    if (n == kNeedsIconv) return false;
    out.resize(n);
    return true;
  }

  // Into out (3 bytes per input byte: a byte or a pair becomes 3 bytes at
  // most); the length written, or kNeedsIconv.
  size_t ConvertTo(std::string_view in, char* out, const AsciiEscapes* escapes) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const size_t n = in.size();
    char* to = out;
    // ASCII is written as it is (or as its escape) unless iconv maps it
    // otherwise; then it goes through the table with the rest.
    const bool asciiAsIs = escapes || asciiSame_;
    const bool wordsPlain = escapes ? escapes->fewReplaced : asciiSame_;
    const Pair* row = nullptr;  // the last lead byte's row: Japanese text stays on a few
    unsigned char rowLead = 0;
    // The top bits of the bytes of w that may not go out as they are; the
    // lowest is always one (cp932.h).
    const auto marks = [&](uint64_t w) { return (w & 0x8080808080808080u) | (escapes ? MaybeEscapedAscii(w) : 0); };
    const auto plain = [&](uint64_t w) { return marks(w) == 0; };
    for (size_t i = 0; i < n;) {
      // A run of ASCII, most of every name and log line: eight bytes at once
      // up to the first that needs a look (a "\\" between folders, a
      // Japanese character), which is taken below, then words again. A word
      // is stored whole: out has room, and what lies past its plain bytes is
      // written over next.
      for (uint64_t w; wordsPlain && i + 8 <= n;) {
        std::memcpy(&w, p + i, 8);
        std::memcpy(to, &w, 8);
        const uint64_t look = marks(w);
        const size_t k = look == 0 ? 8 : static_cast<size_t>(__builtin_ctzll(look)) / 8;
        to += k;
        i += k;
        if (k < 8) break;
      }
      // The text's last few bytes: the word that ends with it, written over
      // the bytes before them, which went out as they are when it is plain.
      if (uint64_t w; wordsPlain && i < n && i + 8 > n && n >= 8 && (std::memcpy(&w, p + n - 8, 8), plain(w))) {
        std::memcpy(to - (i - (n - 8)), &w, 8);
        to += n - i;
        break;
      }
      // Byte by byte: the last few, or up to the one a word stopped at.
      for (const size_t stop = wordsPlain ? std::min(n, i + 8) : n; asciiAsIs && i < stop && p[i] < 0x80;) {
        const uint8_t length = escapes ? escapes->length[p[i]] : 0;
        if (length == 0) {
          *to++ = static_cast<char>(p[i++]);
          continue;
        }
        std::memcpy(to, escapes->text[p[i++]], sizeof escapes->text[0]);
        to += length;
        if (wordsPlain) break;  // words again after it
      }
      // Then a run of characters from the tables.
      for (; i < n && (p[i] >= 0x80 || !asciiAsIs);) {
        const unsigned char b = p[i];
        Cell cell;
        if (IsCp932LeadByte(b)) {
          if (i + 1 == n) return kNeedsIconv;
          if (!row || b != rowLead) {
            row = Row(b);
            rowLead = b;
          }
          uint32_t pair = row[p[i + 1]].load(std::memory_order_relaxed);
          if (pair == kUnknown) pair = FillPair(b, p[i + 1]);
          const uint32_t length = pair >> 24;
          if (length == 0 || length > 3) return kNeedsIconv;
          to[0] = static_cast<char>(pair);
          to[1] = static_cast<char>(pair >> 8);
          to[2] = static_cast<char>(pair >> 16);
          to += length;
          i += 2;
          continue;
        } else {
          cell = singles_[b];
          ++i;
        }
        if (cell.length == 0) return kNeedsIconv;
        std::memcpy(to, cell.bytes, 3);
        to += cell.length;
      }
    }
    return static_cast<size_t>(to - out);
  }

 private:
  struct Cell {
    uint8_t length = 0;  // 0: not one clean character; iconv decides
    char bytes[3] = {};  // CP932 maps into the BMP: 3 bytes at most
  };

  // A pair's character as its UTF-8 bytes (bits 0-23) and their count (bits
  // 24-31); kUnknown until asked for, kUnmapped for what only iconv reads.
  using Pair = std::atomic<uint32_t>;
  static constexpr uint32_t kUnknown = 0;
  static constexpr uint32_t kUnmapped = 0xFFu << 24;
  static uint32_t PairOf(const Cell& c) {
    if (c.length == 0) return kUnmapped;
    const auto* b = reinterpret_cast<const unsigned char*>(c.bytes);
    return (uint32_t{c.length} << 24) | b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16);
  }

  // The lead byte's row, made (all unknown) the first time it is met.
  const Pair* Row(unsigned char lead) {
    if (const Pair* row = rows_[lead].load(std::memory_order_acquire)) return row;
    std::lock_guard guard(fill_);
    if (!rows_[lead].load(std::memory_order_relaxed)) {
      owned_[lead] = std::make_unique<Pair[]>(256);
      for (size_t t = 0; t < 256; ++t) owned_[lead][t].store(kUnknown, std::memory_order_relaxed);
      rows_[lead].store(owned_[lead].get(), std::memory_order_release);
    }
    return rows_[lead].load(std::memory_order_relaxed);
  }

  // A pair first met: one iconv call for it alone, as most texts hold a
  // few Japanese characters (a run's panels, a name or two); a row met
  // often is then filled whole in one call.
  uint32_t FillPair(unsigned char lead, unsigned char trail) {
    std::lock_guard guard(fill_);
    Pair* row = owned_[lead].get();
    if (const uint32_t known = row[trail].load(std::memory_order_relaxed); known != kUnknown) return known;
    if (++misses_[lead] == kMissesBeforeRow) FillRow(lead, row);
    if (row[trail].load(std::memory_order_relaxed) == kUnknown) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      Cell cell;
      if (!IsCp932TrailByte(trail) || !Split(std::string_view(pair, 2), 1, &cell)) cell = Cell{};
      row[trail].store(PairOf(cell), std::memory_order_relaxed);
    }
    return row[trail].load(std::memory_order_relaxed);
  }
  static constexpr unsigned kMissesBeforeRow = 16;

  // One iconv call's output as cells, when it is clean and holds exactly one
  // character per input character.
  bool Split(std::string_view in, size_t characters, Cell* cells) {
    bool ok = false;
    const std::string utf8 = brim::Convert(c_, in, "\xEF\xBF\xBD", false, &ok);
    if (!ok) return false;
    size_t at = 0;
    for (size_t k = 0; k < characters; ++k) {
      if (at >= utf8.size()) return false;
      const size_t n = Utf8Lead(static_cast<unsigned char>(utf8[at]));
      if (n > 3 || at + n > utf8.size()) return false;
      cells[k].length = static_cast<uint8_t>(n);
      utf8.copy(cells[k].bytes, n, at);
      // A C1 control, U+2028 or U+2029 goes the long way: what the table
      // gives never needs an escape in JSON or JavaScript (cp932.h).
      const auto* b = reinterpret_cast<const unsigned char*>(cells[k].bytes);
      if ((n == 2 && b[0] == 0xC2 && b[1] < 0xA0) || (n == 3 && b[0] == 0xE2 && b[1] == 0x80 && (b[2] == 0xA8 || b[2] == 0xA9))) {
        cells[k].length = 0;
      }
      at += n;
    }
    return at == utf8.size();
  }

  // Cells for the characters chars (each one or two bytes, cut at ends),
  // in as few iconv calls as the unmapped ones allow: all at once, and
  // where that fails, each half again down to a single character, which
  // stays empty when iconv does not read it cleanly.
  void Fill(std::string_view chars, const std::vector<size_t>& ends, size_t from, size_t to, Cell* cells) {
    const size_t begin = from == 0 ? 0 : ends[from - 1];
    if (Split(chars.substr(begin, ends[to - 1] - begin), to - from, cells + from)) return;
    if (to - from == 1) {
      cells[from] = Cell{};
      return;
    }
    const size_t mid = from + (to - from) / 2;
    Fill(chars, ends, from, mid, cells);
    Fill(chars, ends, mid, to, cells);
  }

  void FillSingles() {
    std::string chars;
    std::vector<size_t> ends;
    std::vector<unsigned char> bytes;
    for (unsigned b = 0; b < 256; ++b) {
      if (IsCp932LeadByte(static_cast<unsigned char>(b))) continue;
      chars += static_cast<char>(b);
      ends.push_back(chars.size());
      bytes.push_back(static_cast<unsigned char>(b));
    }
    std::vector<Cell> cells(bytes.size());
    Fill(chars, ends, 0, bytes.size(), cells.data());
    for (size_t k = 0; k < bytes.size(); ++k) singles_[bytes[k]] = cells[k];
    for (unsigned b = 0; b < 0x80; ++b) {
      asciiSame_ &= singles_[b].length == 1 && static_cast<unsigned char>(singles_[b].bytes[0]) == b;
    }
  }

  // Every second byte in one call; a row with unmapped pairs stays to be
  // filled pair by pair as they are met.
  void FillRow(unsigned char lead, Pair* row) {
    std::string all;
    std::vector<unsigned char> trails;
    for (unsigned t = 0x40; t <= 0xFC; ++t) {
      if (t == 0x7F) continue;
      all += static_cast<char>(lead);
      all += static_cast<char>(t);
      trails.push_back(static_cast<unsigned char>(t));
    }
    std::vector<Cell> cells(trails.size());
    if (!Split(all, trails.size(), cells.data())) return;
    for (size_t k = 0; k < trails.size(); ++k) row[trails[k]].store(PairOf(cells[k]), std::memory_order_relaxed);
  }

  Converter& c_;
  bool asciiSame_ = true;  // iconv maps every byte below 0x80 to itself
  Cell singles_[256];
  std::array<std::atomic<const Pair*>, 256> rows_{};
  std::array<std::unique_ptr<Pair[]>, 256> owned_;
  std::array<unsigned, 256> misses_{};
  std::mutex fill_;
};

}  // namespace

namespace {

Converter& ToUtf8() {
  static Converter c("UTF-8", "CP932");
  return c;
}

Cp932Table& ToUtf8Table() {
  static Cp932Table table(ToUtf8());
  return table;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932, bool* ok) {
  std::string out;
  if (ToUtf8Table().Convert(cp932, out)) {
    if (ok) *ok = true;
    return out;
  }
  return Convert(ToUtf8(), cp932, "\xEF\xBF\xBD", false, ok);
}

size_t Cp932ToUtf8To(std::string_view cp932, char* out, const AsciiEscapes* escapes) {
  return ToUtf8Table().ConvertTo(cp932, out, escapes);
}

std::string NameToUtf8(std::string_view bytes, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) return Cp932ToUtf8(bytes);
  // Most names are valid and hold no mark: they are their own text.
  const Utf8Shape shape = ShapeOfUtf8(bytes);
  if (shape.valid && !shape.mayCompose) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8CharLength(bytes, i);
    if (n != 0) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  // macOS writes names decomposed: they are shown composed.
  return shape.mayCompose ? ComposeUtf8(out) : out;
}

std::string Utf8ToCp932(std::string_view utf8, bool* ok) {
  static Converter c("CP932", "UTF-8");
  // ASCII is itself in CP932 when iconv says so (it keeps 0x5C and 0x7E):
  // asked once, with every ASCII byte.
  static const bool asciiSame = [] {
    char ascii[128];
    for (int b = 0; b < 128; ++b) ascii[b] = static_cast<char>(b);
    bool clean = false;
    return Convert(c, std::string_view(ascii, 128), "?", true, &clean) == std::string_view(ascii, 128) && clean;
  }();
  if (asciiSame && IsAscii(utf8)) {
    if (ok) *ok = true;
    return std::string(utf8);
  }
  // CP932 holds only precomposed characters: が decomposed would become か?.
  return Convert(c, ComposeUtf8(utf8), "?", true, ok);
}

size_t FindLastOfCp932(std::string_view text, std::string_view chars) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < text.size(); i += Cp932CharLength(text, i)) {
    if (Cp932CharLength(text, i) == 1 && chars.find(text[i]) != std::string_view::npos) found = i;
  }
  return found;
}

NameParts SplitName(std::string_view text, NameEncoding encoding) {
  const size_t n = text.size();
  // One pass, stepping over whole CP932 characters: a 0x5C second byte is no
  // separator. ".", ":" and " " are never second bytes.
  const bool cp932 = encoding == NameEncoding::Cp932;
  const char separator = cp932 ? '\\' : '/';
  size_t component = 0, lastColon = kNone, lastDot = kNone;
  // Eight bytes at a time up to the next byte that may matter: a ".", ":",
  // separator or (CP932) a byte from 0x80. The lowest mark of a word is
  // always a real one (cp932.h); a false mark above it is looked at and
  // passed. The last few bytes are the text's last word, marks below the
  // position masked off.
  constexpr uint64_t kOnes = 0x0101010101010101u;
  const auto zero = [](uint64_t x) { return (x - kOnes) & ~x; };
  const auto marks = [&](uint64_t w) {
    const uint64_t m = zero(w ^ (kOnes * '.')) | zero(w ^ (kOnes * ':')) | zero(w ^ (kOnes * static_cast<unsigned char>(separator)));
    return (m | (cp932 ? w : 0)) & (kOnes * 0x80);
  };
  for (size_t i = 0; i < n;) {
    if (n - i >= 8 || n >= 8) {
      const size_t base = n - i >= 8 ? i : n - 8;
      uint64_t w;
      std::memcpy(&w, text.data() + base, 8);
      const uint64_t m = marks(w) & (~uint64_t{0} << (8 * (i - base)));
      if (m == 0) {
        if (base == i) {
          i += 8;
          continue;
        }
        break;
      }
      i = base + static_cast<size_t>(__builtin_ctzll(m)) / 8;
    }
    const char c = text[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      if (cp932 && Cp932CharLength(text, i) == 2) ++i;  // the second byte belongs to the character
    } else if (c == '.') {
      lastDot = i;
    } else if (c == ':') {
      lastColon = i;
    } else if (c == separator) {
      component = i + 1;
    }
    ++i;
  }
  // "D:" at the start names a drive; any other ":" is a drive or folder
  // separator to the rules, or opens an NTFS stream to Windows.
  const size_t name = component == 0 && n >= 2 && text[1] == ':' && IsAsciiLetter(text[0]) ? 2 : component;
  const size_t tail = lastColon != kNone && lastColon >= name ? lastColon + 1 : name;

  NameParts parts;
  parts.lastDot = lastDot;
  parts.fileStart = cp932 ? tail : component;
  // The extension Windows sees: without trailing dots and spaces
  // ("evil.exe." is evil.exe)...
  size_t end = DropWindowsTail(text, tail, n);
  size_t dot = end == n ? (lastDot != kNone && lastDot >= tail ? lastDot : kNone) : LastDotIn(text, tail, end);
  // ... or, when the text after the last ":" has none, the file's before a
  // stream suffix ("evil.exe::$DATA" writes evil.exe). The file name then
  // runs to the end of the text.
  if (dot == kNone && tail > name) {
    end = DropWindowsTail(text, name, text.find(':', name));
    dot = LastDotIn(text, name, end);
    if (dot != kNone && encoding == NameEncoding::Cp932) parts.fileStart = name;
  }
  // Windows sees none: as the rules always had it ("readme." keeps ".").
  if (dot == kNone) {
    end = n;
    dot = LastDotIn(text, tail, n);
  }
  if (dot != kNone) {
    parts.extension = dot;
    parts.extensionEnd = end;
  }
  return parts;
}

std::string TallyKeyOf(std::string_view fileName, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) return ExtensionKey(fileName);
  std::string key;
  ExtensionKeyInto(key, fileName, SplitName(fileName, encoding));
  return Utf8ToCp932(key);
}

size_t ExtensionCellDot(std::string_view text) {
  const NameParts parts = SplitName(text);
  return parts.extension != std::string_view::npos ? parts.extension : parts.lastDot;
}

std::string_view ExtensionKeyInto(std::string& buffer, std::string_view text, const NameParts& parts) {
  buffer.clear();
  if (parts.extension == std::string_view::npos) return {};
  buffer.append(text.substr(parts.extension + 1, parts.extensionEnd - parts.extension - 1));
  for (char& c : buffer) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return buffer;
}

std::string_view FolderPart(std::string_view text) { return text.substr(0, SplitName(text).fileStart); }

std::string_view FileNamePart(std::string_view text) { return text.substr(SplitName(text).fileStart); }

std::string_view ExtensionOf(std::string_view text, NameEncoding encoding) {
  const NameParts parts = SplitName(text, encoding);
  if (parts.extension == std::string_view::npos) return {};
  return text.substr(parts.extension, parts.extensionEnd - parts.extension);
}

std::string_view WithoutExtension(std::string_view text) {
  const NameParts parts = SplitName(text);
  return parts.extension == std::string_view::npos ? text : text.substr(0, parts.extension);
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
  // Each run between folder separators converts whole, as the listing
  // converts a name: a byte that is not CP932 becomes U+FFFD, and the bytes
  // after it pair up as they do there, so the file reads as the listing.
  std::string out;
  out.reserve(nameCp932.size() * 3 / 2);
  size_t run = 0;
  for (size_t i = 0; i < nameCp932.size(); i += Cp932CharLength(nameCp932, i)) {
    if (nameCp932[i] != '\\') continue;
    out += Cp932ToUtf8(nameCp932.substr(run, i - run));
    out += '/';
    run = i + 1;
  }
  out += Cp932ToUtf8(nameCp932.substr(run));
  return out;
}

}  // namespace brim
