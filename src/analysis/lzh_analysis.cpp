#include "analysis/lzh_analysis.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "analysis/analysis_start.h"
#include "analysis/name_marks.h"
#include "analysis/signature_search.h"
#include "app/dangerous_extensions.h"
#include "base/byte_scan.h"
#include "formats/lzh_layout.h"
#include "formats/lzh_records.h"
#include "formats/zip_layout.h"
#include "app/entry_tables.h"
#include "app/log_pane.h"
#include "base/byte_window.h"
#include "base/cp932.h"
#include "base/name_encoding.h"
#include "base/file_stream.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "checksum/crc.h"

namespace brim {

namespace {

// One copy of an entry's name: its bytes as stored and where.
struct NameSeen {
  NameCopyKind kind;
  std::string bytes;
  uint64_t position;
};

// Whether shown (UTF-8) is the same name as wide (UTF-8 from a UTF-16
// record), or the 8-bit name a producer wrote beside it with "_" for what
// its code page lacks ("テスト.txt" beside "______.txt"): every ASCII
// character alike, a run of other characters against a run of "_". Such a
// pair is one name, not two copies; the UTF-16 record is still masked.
bool AsciiFallbackOf(std::string_view shown, std::string_view wide) {
  size_t i = 0, j = 0;
  while (i < shown.size() && j < wide.size()) {
    if (static_cast<uint8_t>(wide[j]) < 0x80) {
      if (shown[i] != wide[j]) return false;
      ++i, ++j;
      continue;
    }
    if (shown[i] != '_' && shown.substr(i, 1) != wide.substr(j, 1)) return false;
    if (shown[i] != '_') return shown == wide;
    while (i < shown.size() && shown[i] == '_') ++i;
    while (j < wide.size() && static_cast<uint8_t>(wide[j]) >= 0x80) ++j;
  }
  return i == shown.size() && j == wide.size();
}

class LzhWalk {
 public:
  LzhWalk(ProgramState& s, const FileStream& f) : s_(s), w_(f), size_(f.Size()) {}

  // Every header is read by its own level; the one before it only says
  // whether a 0 byte where a header starts may begin a two-byte size.
  void Run(uint64_t start, uint8_t firstLevel) {
    uint8_t previous = firstLevel;
    uint64_t p = start;
    for (;;) {
      if (p >= size_) return End(AnalysisOutcome::DamagedLzh);
      if (s_.AbortRequested) return End(AnalysisOutcome::Aborted);
      s_.Gauge1.SetProgress(PercentOf(p, size_));
      s_.ProcessMessages();
      lzh::Header& h = header_;
      switch (lzh::ReadHeader(w_, p, previous, h)) {
        case lzh::Read::EndMark:
          return End(AnalysisOutcome::Analysed);
        case lzh::Read::Damaged:
          return End(AnalysisOutcome::DamagedLzh);
        case lzh::Read::Header:
          break;
      }
      previous = h.level;
      p = List(h);
    }
  }

 private:
  // A walk that reached its end (a damaged archive's too) leaves the gauge
  // full; a stopped one where it stopped.
  void End(AnalysisOutcome outcome) {
    s_.StatusBar1.SetOutcome(outcome);
    if (outcome != AnalysisOutcome::Aborted) s_.Gauge1.SetProgress(100);
  }

  // Every copy of the name with its bytes, the shown one last.
  std::vector<NameSeen> NameCopiesOf(const lzh::Header& h) {
    std::vector<NameSeen> names;
    for (const lzh::NameCopySpan& c : lzh::NameCopySpans(h)) {
      names.push_back({c.record ? NameCopyKind::LzhRecord : NameCopyKind::LzhBase, lzh::BytesAt(w_, c.span),
                       c.span.position});
    }
    return names;
  }

  void LogDamaged(const std::string& name) {
    std::string line = Ui().logDamagedBefore;
    line += name;
    line += Ui().logDamagedAfter;
    s_.Memo1.Append(std::move(line));
  }

  // Tests the entry's bounds, lists it or logs it, and returns the position
  // of the next header. Sums are 64-bit: an oversized size moves past the end.
  uint64_t List(const lzh::Header& h) {
    // A level-2 entry without an original size is a folder: not listed.
    if (h.level == 2 && h.originalSize == 0) return h.dataStart;
    if (lzh::IsListed(h, size_)) return ListEntry(h);
    // A folder entry ("-lhd-") is stepped over like the level-2 folders;
    // an entry whose data does not fit (or, at level 1, whose records take
    // more than its packed size) is logged.
    if (!h.folder || h.recordsExceedPacked || h.next >= size_) {
      const std::vector<NameSeen> names = NameCopiesOf(h);
      LogDamaged(names.empty() ? std::string() : names.back().bytes);
    }
    return h.next;
  }

  uint64_t ListEntry(const lzh::Header& h) {
    // The row shows the name lhasa, jlha and 7z write: the last file-name
    // record, else the base name; without either, the last part of the
    // directory record (jlha and 7z join the two), else the UTF-16 name
    // (bsdtar's). Every other copy goes with the row.
    std::optional<lzh::Span> shown = h.ShownName();
    NameCopyKind shownKind = h.nameRecords.empty() ? NameCopyKind::LzhBase : NameCopyKind::LzhRecord;
    std::string directory;
    if (h.directory) {
      directory = lzh::BytesAt(w_, *h.directory);
      std::replace(directory.begin(), directory.end(), static_cast<char>(lzh::kDirectorySeparator), '\\');
    }
    bool fromUtf16 = false;
    if (!h.HasShownName()) {
      if (const std::optional<lzh::Span> part = lzh::DirectoryNamePart(w_, h)) {
        directory.resize(static_cast<size_t>(part->position - h.directory->position));
        shown = part;
        shownKind = NameCopyKind::LzhDirectory;
      } else if (!h.utf16Names.empty()) {
        fromUtf16 = true;
        shownKind = NameCopyKind::LzhUtf16;
      }
    }
    // Most headers hold one name: its copies are gathered only when there
    // are several.
    const bool several = h.nameRecords.size() + (h.baseName && h.baseName->length > 0) > 1;
    std::vector<NameSeen> names = several ? NameCopiesOf(h) : std::vector<NameSeen>();
    const std::string stored = fromUtf16 ? lzh::Utf16NameAt(w_, h.utf16Names.back())
                               : shown    ? lzh::BytesAt(w_, *shown)
                                          : std::string();
    const std::string caption = lzh::CaptionOf(stored, fromUtf16 ? 2 : h.level);
    // One split gives the extension cell and the tally key while the
    // caption reads as the stored name (every level but a level-2 name
    // holding "/").
    const NameParts parts = SplitName(caption);
    uint64_t ext = 0;
    if (shown && !fromUtf16) {
      const size_t dot = parts.extension != std::string_view::npos ? parts.extension : parts.lastDot;
      ext = caption != stored ? lzh::ExtPositionOf(stored, shown->position)
                              : dot == std::string_view::npos ? 0 : shown->position + dot + 1;
    }
    const Locator v = lzh::LocatorOf(h, ext);
    NewEntry e;
    e.folder = directory;
    e.caption = caption;
    e.ratio = RatioStyle::Ratio;
    e.offset = v.offset;
    e.start = v.start;
    e.size = v.size;
    e.ext = v.ext;
    e.extI = v.extI;
    e.offsetI = v.offsetI;
    e.original = h.originalSize;
    e.encoding = fromUtf16                                ? NameEncoding::Utf8
                 : IsAscii(directory) && IsAscii(caption) ? NameEncoding::Cp932
                                                          : ReadNameEncoding(directory + caption, false);
    std::string key;
    if (e.encoding == NameEncoding::Cp932) {
      ExtensionKeyInto(key, caption, parts);
    } else {
      key = TallyKeyOf(caption, e.encoding);
    }
    // The whole caption stands in for its file name: the cheap look then
    // errs only towards the full one.
    if (MayEarnNameMarks(caption, caption, key)) e.marks = NameMarks(caption, e.encoding);
    // The 8-bit copies other than the shown one, then the UTF-16 ones.
    if (!names.empty() && shownKind != NameCopyKind::LzhBase && shownKind != NameCopyKind::LzhRecord) {
      names.push_back({shownKind, stored, shown ? shown->position : 0});
    }
    bool differ = std::any_of(names.begin(), names.end(), [&](const NameSeen& n) { return n.bytes != stored; });
    // Only a header with UTF-16 records needs the shown name as UTF-8.
    const std::string shownText = h.utf16Names.empty() ? std::string() : NameToUtf8(caption, e.encoding);
    std::vector<NameSeen> wide;
    for (size_t i = 0; i < h.utf16Names.size(); ++i) {
      if (fromUtf16 && i + 1 == h.utf16Names.size()) continue;
      std::string text = lzh::Utf16NameAt(w_, h.utf16Names[i]);
      if (!AsciiFallbackOf(shownText, lzh::CaptionOf(text, 2))) differ = true;
      wide.push_back({NameCopyKind::LzhUtf16, std::move(text), h.utf16Names[i].position});
    }
    if (differ) e.marks |= kMarkNamesDiffer;
    // A UTF-16 directory with no name beside it would be the file name
    // bsdtar writes, and no view splits it.
    if (h.unreadRecord || (h.utf16Directory && caption.empty())) e.marks |= kMarkUnexplained;
    s_.ListView1.Add(e);
    TallyExtension(s_, key);
    if (differ) {
      ListOtherCopies(names, wide, h.level, key);
      LogOtherNames(s_, s_.ListView1.Count() - 1, e.encoding == NameEncoding::Cp932 ? caption : Utf8ToCp932(caption));
    }
    return h.next;
  }

  // The copies other than the shown one (the last of names) go with the
  // row, and each key not yet counted for it into the tally, so a
  // selection by extension sees them. A header may hold thousands of
  // records: the row keeps each text once, and beyond kKeptCopies only
  // those that make it dangerous, so its memory stays bounded whatever the
  // header holds (the rewrite reads every record again).
  void ListOtherCopies(const std::vector<NameSeen>& names, const std::vector<NameSeen>& wide, uint8_t level,
                       std::string shownKey) {
    constexpr size_t kKeptCopies = 64;
    const size_t row = s_.ListView1.Count() - 1;
    std::unordered_set<std::string> keys = {std::move(shownKey)};
    std::unordered_set<std::string_view> texts;
    std::unordered_set<std::string> dangerousKept;
    size_t kept = 0;
    auto take = [&](const NameSeen& n, NameEncoding encoding, const std::string& caption) {
      std::string key = TallyKeyOf(caption, encoding);
      if (keys.insert(key).second) TallyExtension(s_, key);
      if (!texts.insert(n.bytes).second) return;
      std::string windowsKey;
      WindowsExtensionKey(n.bytes, encoding, windowsKey);
      const bool dangerous = IsDangerousExtension(windowsKey) && dangerousKept.insert(windowsKey).second;
      if (kept >= kKeptCopies && !dangerous) return;
      ++kept;
      s_.ListView1.AddNameCopy(row, NameCopy{n.kind, encoding, n.bytes, n.position});
    };
    for (size_t i = 0; i + 1 < names.size(); ++i) {
      take(names[i], ReadNameEncoding(names[i].bytes, false), lzh::CaptionOf(names[i].bytes, level));
    }
    for (const NameSeen& n : wide) take(n, NameEncoding::Utf8, lzh::CaptionOf(n.bytes, 2));
  }

  ProgramState& s_;
  ByteWindow w_;
  lzh::Header header_;
  const uint64_t size_;
  std::string key_;
};

// Whether the file also holds a ZIP directory that unzip would use: an end
// record in the last 64 KiB + 22 bytes, counting at least one entry, whose
// directory starts with a central header at its stored offset or right
// before the record (where unzip looks behind foreign bytes).
bool HoldsZipDirectory(const FileStream& f) {
  const uint64_t size = f.Size();
  if (size < zip::kEndRecordSize) return false;
  ByteWindow w(f, kSearchBlock);
  const uint64_t lowest = size > 0xFFFF + zip::kEndRecordSize ? size - 0xFFFF - zip::kEndRecordSize : 0;
  uint64_t highest = size - zip::kEndRecordSize;
  while (highest >= lowest) {
    const std::optional<uint64_t> at =
        SearchBackward(w, highest, lowest, zip::kEndSignature, [](uint64_t, uint64_t) {});
    if (!at) return false;
    const uint8_t* e = w.At(*at, zip::kEndRecordSize);
    if (e && le::Get16(e + zip::kEndEntriesTotal) > 0) {
      const uint64_t directorySize = le::Get32(e + zip::kEndDirectorySize);
      const uint64_t stored = le::Get32(e + zip::kEndDirectoryOffset);
      for (uint64_t cd : {stored, directorySize <= *at ? *at - directorySize : stored}) {
        const uint8_t* c = w.At(cd, 4);
        if (c && std::memcmp(c, zip::kCentralSignature, 4) == 0) return true;
      }
    }
    if (*at == 0) return false;
    highest = *at - 1;
  }
  return false;
}

}  // namespace

void AnalyseLzh(ProgramState& s, std::optional<uint64_t> knownStart) {
  if (s.Label1.Caption().empty()) return;
  std::optional<FileStream> f = BeginAnalysis(s, Ui().logFileSuffixLzh, false);
  if (!f) return;
  // Run again after a rewrite, the analysis finds the stub's end itself.
  const uint64_t start = knownStart ? *knownStart : FindLzhStart(s, *f).value_or(0);
  if (start > 0) s.Memo1.Append(FormatNumbers(Ui().logLeadingBytesLzh, static_cast<int64_t>(start)));
  uint8_t level = 0;
  if (f->ReadAt(start + lzh::kLevel, &level, 1) != 1) {
    // Too short to hold even the first header's level: a cut header.
    s.StatusBar1.SetOutcome(AnalysisOutcome::DamagedLzh);
    return;
  }
  s.StatusBar1.SetLzhLevel(level);
  LzhWalk(s, *f).Run(start, level);
  // Both formats in one file: listing only the LZH entries would hide what
  // unzip, 7z or bsdtar extract from the ZIP part. Refused as such.
  const AnalysisOutcome outcome = s.StatusBar1.Outcome();
  const bool walked = outcome == AnalysisOutcome::Analysed || outcome == AnalysisOutcome::DamagedLzh;
  if (walked && HoldsZipDirectory(*f)) {
    s.StatusBar1.SetOutcome(AnalysisOutcome::LzhAndZip);
    s.Memo1.Append(Ui().lzhAndZip);
  }
}

}  // namespace brim
