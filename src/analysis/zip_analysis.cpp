#include "analysis/zip_analysis.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "analysis/analysis_start.h"
#include "analysis/signature_search.h"
#include "formats/zip_layout.h"
#include "app/entry_tables.h"
#include "app/log_pane.h"
#include "base/byte_window.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/file_stream.h"
#include "base/hex_cell.h"
#include "base/le.h"
#include "base/ui_texts.h"

namespace brim {

namespace {

constexpr uint64_t kFourGiB = uint64_t{1} << 32;

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

bool IsSignature(const uint8_t* p, const uint8_t (&sig)[4]) {
  return p && std::memcmp(p, sig, 4) == 0;
}

class ZipWalk {
 public:
  ZipWalk(ProgramState& s, const FileStream& f, uint64_t lead)
      : s_(s), w_(f, kSearchBlock), size_(f.Size()), lead_(lead) {}

  void Run() {
    if (!WalkLocalHeaders()) return;
    if (!FindEndRecord()) return;
    if (!WalkCentralDirectory()) return;
    End(AnalysisOutcome::Analysed);
  }

 private:
  void End(AnalysisOutcome outcome) { s_.StatusBar1.SetOutcome(outcome); }

  ZipName Split(const uint8_t* bytes, size_t n) {
    name_.assign(reinterpret_cast<const char*>(bytes), n);
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
      const uint64_t z = le::Get32(hdr + zip::kLocalCompressedSize);
      const uint64_t u = le::Get32(hdr + zip::kLocalOriginalSize);
      const uint64_t n = le::Get16(hdr + zip::kLocalNameLength);
      const uint64_t m = le::Get16(hdr + zip::kLocalExtraLength);
      const uint64_t nameStart = h + zip::kLocalHeaderSize;
      if (z == 0 && u == 0) {  // a folder or an empty file: nothing to list
        q = nameStart + n + m;
        continue;
      }
      const uint8_t* nameBytes = n == 0 ? hdr : w_.At(nameStart, static_cast<size_t>(n));
      if (!nameBytes) {
        End(AnalysisOutcome::DamagedZip);
        return false;
      }
      const ZipName name = Split(nameBytes, static_cast<size_t>(n));
      const uint64_t d = nameStart + n + m;
      q = d;
      const uint8_t* after = d + z < size_ ? w_.At(d + z, 2) : nullptr;
      const bool sound = d + z < size_ && !name.fileName.empty() && after &&
                         after[0] == 0x50 && after[1] == 0x4B;
      if (!sound) {
        std::string line = Ui().logDamagedBefore;
        line += name.fileName;
        line += Ui().logDamagedAfter;
        s_.Memo1.Append(std::move(line));
        continue;  // the next probe looks at the data's first byte
      }
      NewEntry e;
      e.folder = name.folder;
      e.caption = name.fileName;
      e.ratio = RatioStyle::SpaceSaved;
      e.offset = static_cast<uint32_t>(h);
      e.start = static_cast<uint32_t>(d);
      e.size = static_cast<uint32_t>(z);
      e.ext = ExtPosition(nameStart, static_cast<size_t>(n), name.extLength);
      e.hasCentral = false;
      e.original = static_cast<uint32_t>(u);
      s_.ListView1.Add(e);
      TallyExtension(s_, name.key);
      q = d + z;
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
    entries_ = le::Get16(e + zip::kEndEntriesOnDisk);
    directorySize_ = le::Get32(e + zip::kEndDirectorySize);
    return true;
  }

  // Forward through the central directory, searching each header by its
  // signature and matching it to its row by the local header position.
  bool WalkCentralDirectory() {
    uint64_t i = 0;
    // Where the directory would start; meaningless (and never used) when
    // the size reaches before the start of the file.
    uint64_t w = directorySize_ <= endRecord_ ? endRecord_ - directorySize_ : 0;
    while (i < entries_) {
      if (s_.AbortRequested) return true;
      if (w > size_ || directorySize_ > endRecord_) {
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
      const uint64_t offset = le::Get32(hdr + zip::kCentralLocalHeaderOffset) + lead_;
      const int64_t row =
          offset < kFourGiB ? FindLocatorRow(s_, static_cast<uint32_t>(offset)) : -1;
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
      const ZipName name = Split(nameBytes, static_cast<size_t>(n));
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
  ByteWindow w_;
  const uint64_t size_;
  const uint64_t lead_;
  uint64_t endRecord_ = 0;
  uint64_t entries_ = 0;
  uint64_t directorySize_ = 0;
  std::string name_;  // the name being split, reused
  std::string key_;
};

}  // namespace

void AnalyseZip(ProgramState& s) {
  if (s.Label1.Caption().empty()) return;
  std::optional<FileStream> f = BeginAnalysis(s, Ui().logFileSuffixZip, true);
  if (!f) return;
  // Detection found the first local header after this many bytes; without a
  // count there is only panel 1's text, which is not a number.
  const std::optional<uint64_t> lead = s.StatusBar1.LeadingBytes();
  if (!lead || *lead >= kFourGiB) throw NotAnInteger(s.StatusBar1.Panel(kPanelDetail));
  if (*lead > 0) s.Memo1.Append(FormatNumbers(Ui().logLeadingBytes, static_cast<int64_t>(*lead)));
  ZipWalk(s, *f, *lead).Run();
}

}  // namespace brim
