#include "analysis/zip_analysis.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "analysis/analysis_start.h"
#include "analysis/signature_search.h"
#include "formats/zip_central_index.h"
#include "formats/zip_layout.h"
#include "formats/zip_records.h"
#include "app/entry_tables.h"
#include "app/log_pane.h"
#include "base/byte_window.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/file_stream.h"
#include "base/hex_cell.h"
#include "base/le.h"
#include "base/name_encoding.h"
#include "base/ui_texts.h"

namespace brim {

namespace {

constexpr uint64_t kFourGiB = uint64_t{1} << 32;
constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8 = 0x0800;

// A stored name split as the tables want it: "/" already turned into "\",
// cut in one pass. Views into the walk's buffer.
struct ZipName {
  std::string_view folder;    // up to and including the last "\" or ":"
  std::string_view fileName;  // the rest
  size_t extLength = 0;       // extension of the file name, dot included
  std::string_view key;       // the tally key
};

// The position of the first name byte after the extension's dot; 0 when the
// file name has none.
uint32_t ExtPosition(uint64_t nameStart, size_t n, size_t extLength) {
  return extLength == 0 ? 0 : static_cast<uint32_t>(nameStart + n - extLength + 1);
}

std::string_view AsText(const uint8_t* bytes, uint64_t n) {
  return {reinterpret_cast<const char*>(bytes), static_cast<size_t>(n)};
}

bool IsSignature(const uint8_t* p, const uint8_t (&sig)[4]) {
  return p && std::memcmp(p, sig, 4) == 0;
}

class ZipWalk {
 public:
  ZipWalk(ProgramState& s, ByteWindow& w, uint64_t lead)
      : s_(s), w_(w), size_(w.FileSize()), lead_(lead) {}

  void Run() {
    if (!WalkLocalHeaders()) return;
    if (!FindEndRecord()) return;
    if (!WalkCentralDirectory()) return;
    End(AnalysisOutcome::Analysed);
  }

 private:
  void End(AnalysisOutcome outcome) { s_.StatusBar1.SetOutcome(outcome); }

  // A name with flag bit 11 is UTF-8: "/" is its only separator and no byte
  // belongs to a CP932 character; its tally key is given in CP932, as the
  // tally holds every key.
  ZipName Split(const uint8_t* bytes, size_t n, bool utf8) {
    name_.assign(reinterpret_cast<const char*>(bytes), n);
    if (utf8) return SplitUtf8(n);
    // 0x2F is never the second byte of a CP932 character, so a plain replace is safe.
    for (char& c : name_)
      if (c == '/') c = '\\';
    const NameParts parts = SplitName(name_);
    const std::string_view all(name_);
    ZipName out;
    out.folder = all.substr(0, parts.fileStart);
    out.fileName = all.substr(parts.fileStart);
    out.extLength = parts.extension == std::string_view::npos ? 0 : n - parts.extension;
    out.key = ExtensionKeyInto(key_, all, parts);
    return out;
  }

  ZipName SplitUtf8(size_t n) {
    const size_t slash = name_.rfind('/');
    const size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = SplitName(name_, NameEncoding::Utf8).extension;
    for (char& c : name_)
      if (c == '/') c = '\\';
    const std::string_view all(name_);
    ZipName out;
    out.folder = all.substr(0, fileStart);
    out.fileName = all.substr(fileStart);
    if (dot != std::string::npos && dot >= fileStart) {
      out.extLength = n - dot;
      key_ = TallyKeyOf(out.fileName, NameEncoding::Utf8);
      out.key = key_;
    }
    return out;
  }

  // The name as the log file (CP932) writes it.
  static std::string LogName(std::string_view fileName, bool utf8) {
    return utf8 ? Utf8ToCp932(fileName) : std::string(fileName);
  }

  // The central header pointing at the local header at h, from an index of
  // the directory made the first time one is needed. The search for the end
  // record here does not pump: the walk's own search does, later.
  const zip::CentralEntry* CentralFor(uint64_t h) {
    if (!index_) {
      index_.emplace();
      if (size_ >= 5) {
        if (auto end = SearchBackward(w_, size_ - 4, 1, zip::kEndSignature, [](uint64_t, uint64_t) {})) {
          if (w_.At(*end, zip::kEndRecordSize)) {
            index_ = zip::CentralIndex::Build(w_, zip::BoundsFromEndRecord(w_, *end, lead_));
          }
        }
      }
    }
    return index_->ForLocal(h, lead_);
  }

  // The length of the data descriptor at pos, for an entry with these sums.
  size_t DescriptorAt(uint64_t pos, const zip::EntrySums& sums, bool zip64) {
    if (pos >= size_) return 0;
    const size_t available = static_cast<size_t>(std::min<uint64_t>(size_ - pos, zip::kDescriptorProbe));
    const uint8_t* p = w_.At(pos, available);
    return p ? zip::RecogniseDescriptor(p, available, &sums, zip64) : 0;
  }

  // Forward from the first local header until the central directory. False
  // when the analysis ended here.
  bool WalkLocalHeaders() {
    uint64_t q = lead_;
    while (q < size_) {
      if (s_.AbortRequested) {
        End(AnalysisOutcome::Aborted);
        return false;
      }
      s_.Gauge1.SetProgress(PercentOf(q, size_));
      s_.ProcessMessages();

      const uint8_t* sig = w_.At(q, 4);
      if (IsSignature(sig, zip::kCentralSignature)) return true;
      if (!IsSignature(sig, zip::kLocalSignature)) {
        End(AnalysisOutcome::DamagedZip);
        return false;
      }
      const uint64_t h = q;
      const uint8_t* hdr = w_.At(h, zip::kLocalHeaderSize);
      if (!hdr) {  // cut short by the end of the file
        End(AnalysisOutcome::DamagedZip);
        return false;
      }
      uint64_t z = le::Get32(hdr + zip::kLocalCompressedSize);
      uint64_t u = le::Get32(hdr + zip::kLocalOriginalSize);
      zip::EntrySums sums{le::Get32(hdr + zip::kLocalCrc), 0, 0};
      const uint16_t flags = le::Get16(hdr + zip::kLocalFlags);
      const uint64_t n = le::Get16(hdr + zip::kLocalNameLength);
      const uint64_t m = le::Get16(hdr + zip::kLocalExtraLength);
      const uint64_t nameStart = h + zip::kLocalHeaderSize;
      const uint64_t d = nameStart + n + m;
      // Sizes of 4 GiB and more, or not known when the header was written,
      // lie in the Zip64 field.
      const zip::Zip64Wants wants = zip::LocalZip64Wants(hdr);
      if (wants.Any() && m > 0) {
        if (const uint8_t* extra = w_.At(nameStart + n, static_cast<size_t>(m))) {
          const zip::Zip64Values v = zip::ParseZip64Extra(extra, static_cast<size_t>(m), wants);
          if (v.original) u = v.original->value;
          if (v.compressed) z = v.compressed->value;
        }
      }
      // A streamed entry: CRC and sizes follow the data, and the central
      // header says how far the data goes. Without one it stays damaged.
      const bool streamed = (flags & kFlagDescriptor) != 0;
      bool sized = !streamed || z != 0;
      if (!sized) {
        if (const zip::CentralEntry* c = CentralFor(h)) {
          z = c->compressedSize;
          u = c->originalSize;
          sums.crc = c->crc;
          sized = true;
        }
      }
      sums.compressedSize = z;
      sums.originalSize = u;
      if (z == 0 && u == 0) {  // a folder or an empty file: nothing to list
        q = d;
        if (streamed && sized) q += DescriptorAt(d, sums, wants.Any());
        continue;
      }
      const uint8_t* nameBytes = n == 0 ? hdr : w_.At(nameStart, static_cast<size_t>(n));
      if (!nameBytes) {
        End(AnalysisOutcome::DamagedZip);
        return false;
      }
      const bool utf8 = ReadNameEncoding(AsText(nameBytes, n), (flags & kFlagUtf8) != 0) == NameEncoding::Utf8;
      // A folder stored with a few bytes of data (an empty deflate stream):
      // stepped over like an empty entry.
      if (u == 0 && n > 0 && nameBytes[n - 1] == '/' && d + z < size_) {
        q = d + z;
        if (streamed) q += DescriptorAt(q, sums, wants.Any());
        continue;
      }
      const ZipName name = Split(nameBytes, static_cast<size_t>(n), utf8);
      q = d;
      const uint64_t descriptor = streamed && d + z < size_ ? DescriptorAt(d + z, sums, wants.Any()) : 0;
      const uint64_t next = d + z + descriptor;
      const uint8_t* after = next < size_ ? w_.At(next, 2) : nullptr;
      const bool sound = next < size_ && !name.fileName.empty() && after &&
                         after[0] == 0x50 && after[1] == 0x4B;
      if (!sound) {
        std::string line = Ui().logDamagedBefore;
        line += LogName(name.fileName, utf8);
        line += Ui().logDamagedAfter;
        s_.Memo1.Append(std::move(line));
        continue;  // the next probe looks at the data's first byte
      }
      NewEntry e;
      e.folder = name.folder;
      e.caption = name.fileName;
      e.encoding = utf8 ? NameEncoding::Utf8 : NameEncoding::Cp932;
      e.ratio = RatioStyle::SpaceSaved;
      e.offset = static_cast<uint32_t>(h);
      e.start = static_cast<uint32_t>(d);
      e.size = static_cast<uint32_t>(z);
      e.ext = ExtPosition(nameStart, static_cast<size_t>(n), name.extLength);
      e.hasCentral = false;
      e.original = u;
      e.descriptor = static_cast<uint8_t>(descriptor);
      s_.ListView1.Add(e);
      TallyExtension(s_, name.key);
      q = next;
    }
    return true;
  }

  // Backward from the end for the end record; false when the analysis ended.
  bool FindEndRecord() {
    entries_ = 0;
    directorySize_ = 0;
    if (size_ < 5) return true;  // position 0 is never examined
    auto found = SearchBackward(w_, size_ - 4, 1, zip::kEndSignature,
                                [&](uint64_t n, uint64_t lowest) {
                                  s_.Gauge1.SetProgress(PercentOf(lowest, size_));
                                  s_.ProcessMessages(n);
                                });
    if (!found) return true;
    endRecord_ = *found;
    const uint8_t* e = w_.At(endRecord_, zip::kEndDirectorySize + 4);
    if (!e) {  // an end record cut short by the end of the file
      End(AnalysisOutcome::DamagedZip);
      return false;
    }
    // The Zip64 end record, when its locator precedes this one, gives the
    // count and size, and the directory ends where it begins.
    const zip::DirectoryBounds bounds = zip::BoundsFromEndRecord(w_, endRecord_, lead_);
    entries_ = bounds.entries;
    directorySize_ = bounds.size;
    directoryEnd_ = bounds.end;
    return true;
  }

  // Forward through the central directory, searching each header by its
  // signature and matching it to its row by the local header position.
  bool WalkCentralDirectory() {
    uint64_t i = 0;
    // Where the directory would start; meaningless (and never used) when
    // the size reaches before the start of the file.
    uint64_t w = directorySize_ <= directoryEnd_ ? directoryEnd_ - directorySize_ : 0;
    while (i < entries_) {
      if (s_.AbortRequested) return true;
      if (w > size_ || directorySize_ > directoryEnd_) {
        End(AnalysisOutcome::DamagedZip);
        return false;
      }
      s_.Gauge1.SetProgress(PercentOf(i, entries_));
      // The byte-by-byte search for the next header: nothing between two
      // headers pumps, so abort and the gauge cannot change on the way.
      auto g = SearchForward(w_, w, zip::kCentralSignature, [](uint64_t) {});
      if (!g) {
        End(AnalysisOutcome::DamagedZip);  // the search ran past the end of the file
        return false;
      }
      const uint8_t* hdr = w_.At(*g, zip::kCentralHeaderSize);
      if (!hdr) {
        End(AnalysisOutcome::DamagedZip);
        return false;
      }
      const uint64_t n = le::Get16(hdr + zip::kCentralNameLength);
      const uint64_t m = le::Get16(hdr + zip::kCentralExtraLength);
      const bool flaggedUtf8 = (le::Get16(hdr + zip::kCentralFlags) & kFlagUtf8) != 0;
      uint64_t stored = le::Get32(hdr + zip::kCentralLocalHeaderOffset);
      const zip::Zip64Wants wants = zip::CentralZip64Wants(hdr);
      if (wants.localOffset && m > 0) {
        if (const uint8_t* extra = w_.At(*g + zip::kCentralHeaderSize + n, static_cast<size_t>(m))) {
          const zip::Zip64Values v = zip::ParseZip64Extra(extra, static_cast<size_t>(m), wants);
          if (v.localOffset) stored = v.localOffset->value;
        }
        hdr = w_.At(*g, zip::kCentralHeaderSize);
      }
      // Stored offsets count from the archive proper; a self-extractor's
      // adjusted ones count from the file's start.
      int64_t row = stored + lead_ < kFourGiB ? FindLocatorRow(s_, static_cast<uint32_t>(stored + lead_)) : -1;
      if (row < 0 && lead_ > 0 && stored < kFourGiB) row = FindLocatorRow(s_, static_cast<uint32_t>(stored));
      if (row < 0) {
        ++i;
        w = *g + 47;  // the second byte of the name
        continue;
      }
      const uint64_t nameStart = *g + zip::kCentralHeaderSize;
      const uint8_t* nameBytes = n == 0 ? hdr : w_.At(nameStart, static_cast<size_t>(n));
      if (!nameBytes) {
        End(AnalysisOutcome::DamagedZip);
        return false;
      }
      const bool utf8 = ReadNameEncoding(AsText(nameBytes, n), flaggedUtf8) == NameEncoding::Utf8;
      const ZipName name = Split(nameBytes, static_cast<size_t>(n), utf8);
      const size_t r = static_cast<size_t>(row);
      s_.ListView1.SetValue(r, kColOffsetI, static_cast<uint32_t>(*g));
      s_.ListView1.SetValue(r, kColExtI, ExtPosition(nameStart, static_cast<size_t>(n), name.extLength));
      s_.ProcessMessages();
      ++i;
      w = nameStart + n;
    }
    return true;
  }

  ProgramState& s_;
  ByteWindow& w_;
  const uint64_t size_;
  const uint64_t lead_;
  uint64_t endRecord_ = 0;
  uint64_t entries_ = 0;
  uint64_t directorySize_ = 0;
  uint64_t directoryEnd_ = 0;  // the end record, or the Zip64 one
  std::optional<zip::CentralIndex> index_;
  std::string name_;  // the name being split, reused
  std::string key_;
};

}  // namespace

void AnalyseZip(ProgramState& s, ByteWindow* detected) {
  if (s.Label1.Caption().empty()) return;
  std::optional<FileStream> f = BeginAnalysis(s, Ui().logFileSuffixZip, true);
  if (!f) return;
  // Detection found the first local header after this many bytes; without a
  // count there is only panel 1's text, which is not a number.
  const std::optional<uint64_t> lead = s.StatusBar1.LeadingBytes();
  if (!lead || *lead >= kFourGiB) throw NotAnInteger(s.StatusBar1.Panel(kPanelDetail));
  if (*lead > 0) s.Memo1.Append(FormatNumbers(Ui().logLeadingBytes, static_cast<int64_t>(*lead)));
  std::optional<ByteWindow> own;
  ByteWindow& w = detected ? *detected : own.emplace(*f, kSearchBlock);
  ZipWalk(s, w, *lead).Run();
}

}  // namespace brim
