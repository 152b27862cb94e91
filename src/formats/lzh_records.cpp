#include "formats/lzh_records.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/cp932.h"
#include "base/le.h"
#include "base/name_encoding.h"
#include "base/windows_name.h"
#include "formats/known_records.h"
#include "formats/lzh_layout.h"

namespace brim::lzh {

namespace {

// A stored name as extractors write it: up to its first NUL. The caption,
// its key and the mask's place all come from this span.
Span UpToNul(ByteWindow& w, Span name) {
  if (name.length == 0) return name;
  if (const uint8_t* b = w.At(name.position, static_cast<size_t>(name.length))) {
    if (const void* nul = std::memchr(b, 0, static_cast<size_t>(name.length))) {
      name.length = static_cast<uint64_t>(static_cast<const uint8_t*>(nul) - b);
    }
  }
  return name;
}

}  // namespace

namespace {

// LHA for OS-9/68k writes level-2 header sizes 2 bytes short.
constexpr uint8_t kOs9 = 'K';

enum class Chain { Ended, Damaged, PastLimit };

// The chain from its first size field at q, up to limit (a size field and
// every record must end by then).
Chain WalkChain(ByteWindow& w, uint64_t q, uint64_t limit, Header& h) {
  uint64_t recordSizes = 0;
  for (;;) {
    if (q > limit || limit - q < 2) return Chain::PastLimit;
    const uint8_t* f = w.At(q, 2);
    if (!f) return Chain::Damaged;
    const uint64_t size = le::Get16(f);
    if (size == 0) {
      h.dataStart = q + 2;
      h.dataSize = recordSizes;  // the caller turns it into the data's size
      return Chain::Ended;
    }
    if (size < kExtendedBody) return Chain::Damaged;
    if (size > limit - q) return Chain::PastLimit;
    const uint8_t* t = w.At(q + kExtendedType, 1);
    if (!t) return Chain::Damaged;
    const Span body{q + kExtendedBody, size - kExtendedBody};
    if (*t == kTypeCommon) {
      h.headerCrc = body.position;
    } else if (*t == kTypeFileName) {
      h.nameRecords.push_back(UpToNul(w, body));
    } else if (*t == kTypeDirectory) {
      h.directory = body;
    } else if (*t == kTypeUtf16FileName) {
      h.utf16Names.push_back(body);
    } else if (*t == kTypeUtf16Directory) {
      h.utf16Directory = true;
    } else if (!IsKnownLzhType(*t)) {
      h.unreadRecord = true;
    }
    recordSizes += size;
    q += size;
  }
}

bool IsFolderMethod(const uint8_t* b) {
  return std::string_view(reinterpret_cast<const char*>(b + kMethod), kMethodLength) == "-lhd-";
}

Read ReadLevel01(ByteWindow& w, uint64_t p, Header& h) {
  const uint8_t* b = w.At(p, kLevel0MinimumSize);
  if (!b) return Read::Damaged;
  h.headerSize = b[kHeaderSize];
  h.packedSize = le::Get32(b + kPackedSize);
  h.originalSize = le::Get32(b + kOriginalSize);
  h.folder = IsFolderMethod(b);
  const uint64_t n = b[kNameLength];
  h.baseName = UpToNul(w, Span{p + kName, n});
  h.dataCrc = p + kName + n + kCrcAfterName;
  // The CRC (and at level 1 the OS byte and the first size field) must be
  // there to be read.
  const uint64_t e = p + kName + n + kFirstExtendedAfterName;
  const uint8_t* tail = w.At(h.dataCrc, h.level == 1 ? e + 2 - h.dataCrc : 2);
  if (!tail) return Read::Damaged;
  if (h.level == 0) {
    h.dataStart = p + h.headerSize + 2;
    h.dataSize = h.packedSize;
    h.next = h.dataStart + h.dataSize;
    return Read::Header;
  }
  h.os = tail[kOsAfterName];
  h.firstExtended = e;
  switch (WalkChain(w, e, e + 2 + uint64_t{h.packedSize}, h)) {
    case Chain::Damaged:
      return Read::Damaged;
    case Chain::PastLimit:
      h.recordsExceedPacked = true;
      h.dataStart = h.dataSize = 0;
      h.next = e + 2 + uint64_t{h.packedSize};
      return Read::Header;
    case Chain::Ended:
      h.dataSize = h.packedSize - h.dataSize;
      h.next = h.dataStart + h.dataSize;
      return Read::Header;
  }
  return Read::Damaged;
}

Read ReadLevel2(ByteWindow& w, uint64_t p, Header& h) {
  const uint8_t* b = w.At(p, kLevel2FixedSize);
  if (!b) return Read::Damaged;
  h.headerSize = le::Get16(b + kHeaderSize);
  h.packedSize = le::Get32(b + kPackedSize);
  h.originalSize = le::Get32(b + kOriginalSize);
  h.folder = IsFolderMethod(b);
  h.os = b[kLevel2Os];
  if (h.os == kOs9) h.headerSize += 2;
  h.dataCrc = p + kLevel2Crc;
  h.firstExtended = p + kLevel2FirstExtended;
  // The chain ends inside the header: followed past it, it would take later
  // headers' records as its own and re-walk the file at every header.
  if (WalkChain(w, h.firstExtended, p + h.headerSize, h) != Chain::Ended) return Read::Damaged;
  h.dataStart = p + h.headerSize;
  h.dataSize = h.packedSize;
  h.next = h.dataStart + h.dataSize;
  return Read::Header;
}

}  // namespace

Read ReadHeader(ByteWindow& w, uint64_t p, uint8_t previousLevel, Header& h) {
  // The record list keeps its storage from the header before: a walk
  // reuses one Header and allocates nothing per header.
  std::vector<Span> records = std::move(h.nameRecords);
  std::vector<Span> utf16 = std::move(h.utf16Names);
  records.clear();
  utf16.clear();
  h = Header{};
  h.nameRecords = std::move(records);
  h.utf16Names = std::move(utf16);
  h.position = p;
  const uint8_t* b = w.At(p, 1);
  if (!b) return Read::Damaged;
  if (b[kHeaderSize] == 0) {
    // The end mark: one 0 byte, or two after a level-2 header. A 0 byte
    // followed by another can still start a level-2 header whose size is a
    // multiple of 256, which readers take when its level byte says 2.
    const uint8_t* high = w.At(p + 1, 1);
    if (!high || *high == 0) return Read::EndMark;
    // Otherwise, after level 0 or 1 the 0 byte ends the archive; after
    // level 2 a size that is not 0 is no end mark.
    const uint8_t* level = w.At(p + kLevel, 1);
    if (!level || *level != 2) return previousLevel == 2 ? Read::Damaged : Read::EndMark;
  }
  const uint8_t* level = w.At(p + kLevel, 1);
  if (!level) return Read::Damaged;
  h.level = *level;
  if (h.level > 2) return Read::Damaged;
  return h.level == 2 ? ReadLevel2(w, p, h) : ReadLevel01(w, p, h);
}

std::vector<NameCopySpan> NameCopySpans(const Header& h) {
  std::vector<NameCopySpan> names;
  if (h.baseName && (h.baseName->length > 0 || h.nameRecords.empty())) names.push_back({false, *h.baseName});
  for (const Span& r : h.nameRecords) names.push_back({true, r});
  return names;
}

std::optional<Span> DirectoryNamePart(ByteWindow& w, const Header& h) {
  if (h.HasShownName() || !h.directory || h.directory->length == 0) return std::nullopt;
  const std::string_view dir = ViewAt(w, *h.directory);
  if (dir.empty() || static_cast<uint8_t>(dir.back()) == kDirectorySeparator) return std::nullopt;
  // 0xFF is never part of a CP932 character; "\" and "/" also separate
  // for the readers that join the parts.
  size_t start = 0;
  for (size_t i = 0; i < dir.size(); ++i) {
    const uint8_t b = static_cast<uint8_t>(dir[i]);
    if (b == kDirectorySeparator || b == '/') start = i + 1;
  }
  start = std::max(start, WindowsFileStart(dir.substr(0, dir.find('\0')), NameEncoding::Cp932));
  Span part{h.directory->position + start, dir.size() - start};
  return UpToNul(w, part);
}

namespace {

// The code units of a UTF-16LE record, up to the first NUL unit.
std::u16string Utf16Units(ByteWindow& w, const Span& span) {
  std::u16string units;
  const uint8_t* b = span.length < 2 ? nullptr : w.At(span.position, static_cast<size_t>(span.length));
  if (!b) return units;
  for (size_t i = 0; i + 1 < span.length; i += 2) {
    const char16_t u = static_cast<char16_t>(b[i] | (b[i + 1] << 8));
    if (u == 0) break;
    units.push_back(u);
  }
  return units;
}

}  // namespace

std::string Utf16NameAt(ByteWindow& w, const Span& span) {
  const std::u16string units = Utf16Units(w, span);
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

uint64_t Utf16MaskAt(ByteWindow& w, const Span& span) {
  const std::u16string units = Utf16Units(w, span);
  size_t start = 0;
  for (size_t i = 0; i < units.size(); ++i) {
    if (units[i] == u'/' || units[i] == u'\\') start = i + 1;
  }
  // As Windows writes it: cut at a ":", trailing dots and spaces dropped.
  size_t end = units.find(u':', start);
  if (end == std::u16string::npos) end = units.size();
  while (end > start && (units[end - 1] == u'.' || units[end - 1] == u' ')) --end;
  const size_t dot = units.rfind(u'.', end == 0 ? 0 : end - 1);
  if (dot == std::u16string::npos || dot < start || dot + 1 >= end) return 0;
  return span.position + 2 * (end - 1);
}

std::string_view ViewAt(ByteWindow& w, const Span& span) {
  if (span.length == 0) return {};
  const uint8_t* b = w.At(span.position, static_cast<size_t>(span.length));
  return b ? std::string_view(reinterpret_cast<const char*>(b), static_cast<size_t>(span.length)) : std::string_view();
}

std::string BytesAt(ByteWindow& w, const Span& span) { return std::string(ViewAt(w, span)); }

std::string CaptionOf(std::string stored, uint8_t level) {
  if (level == 2) std::replace(stored.begin(), stored.end(), '/', '\\');
  return stored;
}

uint64_t ExtPositionOf(std::string_view stored, uint64_t position) {
  // By the path rules, as the caption's extension is taken. The rewrite
  // masks the caption's extension here, so both must start at the same byte.
  const size_t dot = ExtensionCellDot(stored);
  return dot == std::string_view::npos ? 0 : position + dot + 1;
}

bool IsListed(const Header& h, uint64_t fileSize) {
  if (h.level == 2 && h.originalSize == 0) return false;
  return !h.folder && !h.recordsExceedPacked && h.next < fileSize;
}

Locator LocatorOf(const Header& h, uint64_t ext) {
  Locator v;
  v.offset = static_cast<uint32_t>(h.position);
  v.start = static_cast<uint32_t>(h.dataStart);
  v.size = static_cast<uint32_t>(h.dataSize);
  v.ext = static_cast<uint32_t>(ext);
  v.extI = static_cast<uint32_t>(h.level == 0 ? 0 : h.headerCrc);
  v.offsetI = static_cast<uint32_t>(h.level == 2 ? 0 : h.dataCrc);
  return v;
}

}  // namespace brim::lzh
