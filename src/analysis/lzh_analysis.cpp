#include "analysis/lzh_analysis.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/analysis_start.h"
#include "analysis/name_marks.h"
#include "formats/lzh_layout.h"
#include "app/entry_tables.h"
#include "app/log_pane.h"
#include "base/byte_window.h"
#include "base/cp932.h"
#include "base/name_encoding.h"
#include "base/file_stream.h"
#include "base/le.h"
#include "base/ui_texts.h"

namespace brim {

namespace {

constexpr uint64_t kFourGiB = uint64_t{1} << 32;

// What parsing one header yields. Each parse starts from nothing: in an
// archive of mixed levels a header may be parsed twice, and the second
// parse's values are the ones listed.
struct LzhHeader {
  uint64_t headerSize = 0;  // H
  uint64_t packedSize = 0;
  uint64_t originalSize = 0;
  uint8_t level = 0;  // the header's own level byte
  std::string name;       // raw bytes as stored
  std::string directory;  // 0xFF turned into "\"
  uint64_t extPosition = 0;        // after the name's last "."
  uint64_t headerCrcPosition = 0;  // Q + 3 of the common record
  uint64_t crcPosition = 0;        // P + 22 + N at levels 0 and 1
  uint64_t firstExtended = 0;      // E (level 1)
  uint64_t dataStart = 0;          // D (level 1)
  uint64_t recordSizes = 0;        // sum of the records' S
  bool folder = false;             // "-lhd-": a folder, not an entry to list
};

enum class Parse { Header, EndMark, Damaged };

// "-lhd-" in the method field of a header at b.
bool IsFolderMethod(const uint8_t* b) {
  return std::string_view(reinterpret_cast<const char*>(b + lzh::kMethod), lzh::kMethodLength) == "-lhd-";
}

class LzhWalk {
 public:
  LzhWalk(ProgramState& s, const FileStream& f) : s_(s), w_(f), size_(f.Size()) {}

  void Run(uint8_t firstLevel) {
    uint64_t level = firstLevel;
    uint64_t p = 0;
    for (;;) {
      if (p >= size_) return End(AnalysisOutcome::DamagedLzh);
      if (s_.AbortRequested) return End(AnalysisOutcome::Aborted);
      s_.Gauge1.SetProgress(PercentOf(p, size_));
      s_.ProcessMessages();

      // The layouts are tried in the order 2, 1, 0, each when the current
      // level (the previous header's) names it; each parse replaces the level.
      LzhHeader h;
      int lastLayout = -1;
      for (int layout : {2, 1, 0}) {
        if (level != static_cast<uint64_t>(layout)) continue;
        h = LzhHeader{};
        Parse r = layout == 2 ? ParseLevel2(p, h) : ParseLevel01(p, layout, h);
        if (r == Parse::EndMark) return End(AnalysisOutcome::Analysed);
        if (r == Parse::Damaged) return End(AnalysisOutcome::DamagedLzh);
        level = h.level;
        lastLayout = layout;
      }
      // A level no layout knows would leave the walk standing still.
      if (lastLayout < 0 || h.level > 2) return End(AnalysisOutcome::DamagedLzh);
      // A level-1 header met with the level-0 layout has no data start from
      // it; listed as level 1 it takes one from its own chain, so the walk
      // never steps backwards.
      if (h.level == 1 && lastLayout == 0) {
        h = LzhHeader{};
        Parse r = ParseLevel01(p, 1, h);
        if (r == Parse::EndMark) return End(AnalysisOutcome::Analysed);
        if (r == Parse::Damaged) return End(AnalysisOutcome::DamagedLzh);
      }
      p = List(p, h);
    }
  }

 private:
  void End(AnalysisOutcome outcome) { s_.StatusBar1.SetOutcome(outcome); }

  // Appends the name bytes at pos, noting the position after its last ".".
  bool ReadName(uint64_t pos, uint64_t n, LzhHeader& h) {
    h.name.clear();
    h.extPosition = 0;
    if (n == 0) return true;
    const uint8_t* b = w_.At(pos, static_cast<size_t>(n));
    if (!b) return false;
    h.name.assign(reinterpret_cast<const char*>(b), static_cast<size_t>(n));
    // By the path rules, as the caption's extension is taken. The rewrite
    // writes the caption's extension here, so both must start at the same byte.
    const size_t dot = ExtensionCellDot(h.name);
    if (dot != std::string::npos) h.extPosition = pos + dot + 1;
    return true;
  }

  // The extended-header chain from its first size field at q. False for a
  // damaged chain: a record cut by the end of the file or by limit, a size
  // of 1 or 2 (smaller than its own fields), or no 0 size before either. At
  // level 2 the limit is the header's own end (P + H): a chain followed past
  // it would take later headers' records as its own, and re-walk the rest
  // of the file at every header.
  bool WalkChain(uint64_t q, bool nameFromRecord, LzhHeader& h, uint64_t limit = UINT64_MAX) {
    for (;;) {
      if (q > limit || limit - q < 2) return false;
      const uint8_t* f = w_.At(q, 2);
      if (!f) return false;
      const uint64_t size = le::Get16(f);
      if (size == 0) {
        h.dataStart = q + 2;
        return true;
      }
      if (size < lzh::kExtendedBody || size > limit - q) return false;
      const uint8_t* t = w_.At(q + lzh::kExtendedType, 1);
      if (!t) return false;
      const uint64_t body = q + lzh::kExtendedBody;
      const uint64_t bodyLength = size - lzh::kExtendedBody;
      if (*t == lzh::kTypeCommon) {
        h.headerCrcPosition = body;
      } else if (*t == lzh::kTypeFileName && nameFromRecord) {
        if (!ReadName(body, bodyLength, h)) return false;
      } else if (*t == lzh::kTypeDirectory) {
        const uint8_t* b = bodyLength ? w_.At(body, static_cast<size_t>(bodyLength)) : f;
        if (!b) return false;
        h.directory.assign(reinterpret_cast<const char*>(b), static_cast<size_t>(bodyLength));
        for (char& c : h.directory)
          if (static_cast<uint8_t>(c) == lzh::kDirectorySeparator) c = '\\';
      }
      h.recordSizes += size;
      q += size;
    }
  }

  Parse ParseLevel01(uint64_t p, int layout, LzhHeader& h) {
    const uint8_t* b = w_.At(p, 1);
    if (!b) return Parse::Damaged;
    if (b[lzh::kHeaderSize] == 0) return Parse::EndMark;
    b = w_.At(p, lzh::kLevel0MinimumSize);
    if (!b) return Parse::Damaged;
    h.headerSize = b[lzh::kHeaderSize];
    h.packedSize = le::Get32(b + lzh::kPackedSize);
    h.originalSize = le::Get32(b + lzh::kOriginalSize);
    h.level = b[lzh::kLevel];
    h.folder = IsFolderMethod(b);
    const uint64_t n = b[lzh::kNameLength];
    if (!ReadName(p + lzh::kName, n, h)) return Parse::Damaged;
    h.crcPosition = p + lzh::kName + n + lzh::kCrcAfterName;
    // The CRC itself (and at level 1 the OS byte) must be there to be read.
    const uint64_t e = p + lzh::kName + n + lzh::kFirstExtendedAfterName;
    if (!w_.At(h.crcPosition, layout == 1 ? e - h.crcPosition : 2)) return Parse::Damaged;
    if (layout == 0) return Parse::Header;
    h.firstExtended = e;
    return WalkChain(e, n == 0, h) ? Parse::Header : Parse::Damaged;
  }

  Parse ParseLevel2(uint64_t p, LzhHeader& h) {
    // The end mark may be a single 0 byte: then that byte is the whole size.
    const uint8_t* b = w_.At(p, 2);
    if (!b) {
      b = w_.At(p, 1);
      if (b && b[0] == 0) return Parse::EndMark;
      return Parse::Damaged;
    }
    h.headerSize = le::Get16(b + lzh::kHeaderSize);
    if (h.headerSize == 0) return Parse::EndMark;
    b = w_.At(p, lzh::kLevel2FixedSize);
    if (!b) return Parse::Damaged;
    h.packedSize = le::Get32(b + lzh::kPackedSize);
    h.originalSize = le::Get32(b + lzh::kOriginalSize);
    h.level = b[lzh::kLevel];
    h.folder = IsFolderMethod(b);
    return WalkChain(p + lzh::kLevel2FirstExtended, true, h, p + h.headerSize) ? Parse::Header
                                                                               : Parse::Damaged;
  }

  // Tests the entry's bounds, lists it or logs it, and returns the position
  // of the next header. Sums are 64-bit: an oversized size moves past the end.
  uint64_t List(uint64_t p, LzhHeader& h) {
    uint64_t start = 0;
    uint64_t dataSize = h.packedSize;
    uint64_t next = 0;
    bool damaged = false;
    uint64_t extI = 0;
    uint64_t offsetI = 0;
    bool slashes = false;
    switch (h.level) {
      case 0:
        start = p + h.headerSize + 2;
        offsetI = h.crcPosition;
        break;
      case 1:
        start = h.dataStart;
        extI = h.headerCrcPosition;
        offsetI = h.crcPosition;
        // The packed size counts the records too; less than they take up
        // leaves no data size at all.
        if (h.packedSize < h.recordSizes) {
          damaged = true;
          next = h.firstExtended + 2 + h.packedSize;
        } else {
          dataSize = h.packedSize - h.recordSizes;
        }
        break;
      default:
        if (h.originalSize == 0) return p + h.headerSize;  // a folder: not listed
        start = p + h.headerSize;
        extI = h.headerCrcPosition;
        slashes = true;
        break;
    }
    if (!damaged) {
      next = start + dataSize;
      // At least the end mark must follow the data.
      damaged = next >= size_;
    }
    // A folder entry is stepped over like the level-2 folders above.
    if (h.folder && !damaged) return next;
    if (damaged) {
      std::string line = Ui().logDamagedBefore;
      line += h.name;
      line += Ui().logDamagedAfter;
      s_.Memo1.Append(std::move(line));
      return next;
    }
    // The caption: the name as stored, "/" turned into "\" at level 2 only.
    if (slashes) {
      for (char& c : h.name)
        if (c == '/') c = '\\';
    }
    NewEntry e;
    e.folder = h.directory;
    e.caption = h.name;
    e.encoding = ReadNameEncoding(h.directory + h.name, false);
    e.ratio = RatioStyle::Ratio;
    e.offset = static_cast<uint32_t>(p);
    e.start = static_cast<uint32_t>(start);
    e.size = static_cast<uint32_t>(dataSize);
    e.ext = static_cast<uint32_t>(h.extPosition);
    e.extI = static_cast<uint32_t>(extI);
    e.offsetI = static_cast<uint32_t>(offsetI);
    e.original = static_cast<uint32_t>(h.originalSize);
    e.marks = NameMarks(h.name, NameEncoding::Cp932);
    s_.ListView1.Add(e);
    ExtensionKeyInto(key_, h.name, SplitName(h.name));
    TallyExtension(s_, e.encoding == NameEncoding::Utf8 ? Utf8ToCp932(key_) : key_);
    return next;
  }

  ProgramState& s_;
  ByteWindow w_;
  const uint64_t size_;
  std::string key_;
};

}  // namespace

void AnalyseLzh(ProgramState& s) {
  if (s.Label1.Caption().empty()) return;
  std::optional<FileStream> f = BeginAnalysis(s, Ui().logFileSuffixLzh, false);
  if (!f) return;
  uint8_t level = 0;
  if (f->ReadAt(lzh::kLevel, &level, 1) != 1) {
    // Too short to hold even the first header's level: a cut header.
    s.StatusBar1.SetOutcome(AnalysisOutcome::DamagedLzh);
    return;
  }
  s.StatusBar1.SetLzhLevel(level);
  LzhWalk(s, *f).Run(level);
}

}  // namespace brim
