#include "analysis/zip_analysis.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

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

// A stored name split as the tables want it: "/" already turned into "\".
struct ZipName {
  std::string fileName;  // after the last "\" or ":"
  std::string folder;    // up to and including it
  size_t extLength = 0;  // extension of the file name, dot included
  std::string key;       // the tally key
};

ZipName SplitName(const uint8_t* bytes, size_t n) {
  std::string name(reinterpret_cast<const char*>(bytes), n);
  // 0x2F is never the second byte of a CP932 character, so a plain replace is safe.
  for (char& c : name)
    if (c == '/') c = '\\';
  ZipName out;
  out.fileName = std::string(FileNamePart(name));
  out.folder = std::string(FolderPart(name));
  out.extLength = ExtensionOf(out.fileName).size();
  out.key = ExtensionKey(out.fileName);
  return out;
}

// The position of the first name byte after the extension's dot, as a cell;
// "0" when the file name has none.
std::string ExtCell(uint64_t nameStart, size_t n, size_t extLength) {
  if (extLength == 0) return "0";
  return FormatHexCell(static_cast<uint32_t>(nameStart + n - extLength + 1));
}

// Space saved: 100 minus the ratio rounded half up, computed exactly. No
// original size, no ratio: the cell stays empty.
std::string RatioCell(uint64_t z, uint64_t u) {
  if (u == 0) return {};
  const long long rounded = static_cast<long long>((200 * z + u) / (2 * u));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%2lld%%", 100 - rounded);
  return buf;
}

bool IsSignature(const uint8_t* p, const uint8_t (&sig)[4]) {
  return p && std::memcmp(p, sig, 4) == 0;
}

// Lead byte count from panel 1, where detection left it.
uint64_t LeadFromPanel(const std::string& text) {
  if (text.empty() || text.size() > 10) throw NotAnInteger(text);
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw NotAnInteger(text);
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v >= kFourGiB) throw NotAnInteger(text);
  return v;
}

class ZipWalk {
 public:
  ZipWalk(ProgramState& s, const FileStream& f, uint64_t lead)
      : s_(s), w_(f, kSearchBlock), size_(f.Size()), lead_(lead) {}

  void Run() {
    if (!WalkLocalHeaders()) return;
    if (!FindEndRecord()) return;
    if (!WalkCentralDirectory()) return;
    s_.StatusBar1.SetPanel(kPanelState, Ui().analysed);
  }

 private:
  void End(const std::string& panelText) { s_.StatusBar1.SetPanel(kPanelState, panelText); }

  // Forward from the first local header until the central directory. False
  // when the analysis ended here.
  bool WalkLocalHeaders() {
    uint64_t q = lead_;
    while (q < size_) {
      if (s_.AbortRequested) {
        End(Ui().aborted);
        return false;
      }
      s_.Gauge1.SetProgress(PercentOf(q, size_));
      s_.ProcessMessages();

      const uint8_t* sig = w_.At(q, 4);
      if (IsSignature(sig, zip::kCentralSignature)) return true;
      if (!IsSignature(sig, zip::kLocalSignature)) {
        End(Ui().damagedZip);
        return false;
      }
      const uint64_t h = q;
      const uint8_t* hdr = w_.At(h, zip::kLocalHeaderSize);
      if (!hdr) {  // cut short by the end of the file
        End(Ui().damagedZip);
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
        End(Ui().damagedZip);
        return false;
      }
      const ZipName name = SplitName(nameBytes, static_cast<size_t>(n));
      const uint64_t d = nameStart + n + m;
      q = d;
      const uint8_t* after = d + z < size_ ? w_.At(d + z, 2) : nullptr;
      const bool sound = d + z < size_ && !name.fileName.empty() && after &&
                         after[0] == 0x50 && after[1] == 0x4B;
      if (!sound) {
        s_.Memo1.Append(Ui().logDamagedBefore + name.fileName + Ui().logDamagedAfter);
        continue;  // the next probe looks at the data's first byte
      }
      s_.ListView1.Add(name.fileName,
                       {FormatHexCell(static_cast<uint32_t>(h)), FormatHexCell(static_cast<uint32_t>(d)),
                        FormatHexCell(static_cast<uint32_t>(z)),
                        ExtCell(nameStart, static_cast<size_t>(n), name.extLength), "", ""});
      s_.ListView2.Add(name.fileName, {RatioCell(z, u), FormatThousands(static_cast<int64_t>(z)),
                                       FormatThousands(static_cast<int64_t>(u)), name.folder});
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
      End(Ui().damagedZip);
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
        End(Ui().damagedZip);
        return false;
      }
      s_.Gauge1.SetProgress(PercentOf(i, entries_));
      // The byte-by-byte search for the next header: nothing between two
      // headers pumps, so abort and the gauge cannot change on the way.
      auto g = SearchForward(w_, w, zip::kCentralSignature, [](uint64_t) {});
      if (!g) {
        End(Ui().damagedZip);  // the search ran past the end of the file
        return false;
      }
      const uint8_t* hdr = w_.At(*g, zip::kCentralHeaderSize);
      if (!hdr) {
        End(Ui().damagedZip);
        return false;
      }
      const uint64_t n = le::Get16(hdr + zip::kCentralNameLength);
      const uint64_t offset = le::Get32(hdr + zip::kCentralLocalHeaderOffset) + lead_;
      const int64_t row =
          offset < kFourGiB ? FindLocatorRow(s_, FormatHexCell(static_cast<uint32_t>(offset))) : -1;
      if (row < 0) {
        ++i;
        w = *g + 47;  // the second byte of the name
        continue;
      }
      const uint64_t nameStart = *g + zip::kCentralHeaderSize;
      const uint8_t* nameBytes = n == 0 ? hdr : w_.At(nameStart, static_cast<size_t>(n));
      if (!nameBytes) {
        End(Ui().damagedZip);
        return false;
      }
      const ZipName name = SplitName(nameBytes, static_cast<size_t>(n));
      const size_t r = static_cast<size_t>(row);
      s_.ListView1.SetSubItem(r, kColOffsetI, FormatHexCell(static_cast<uint32_t>(*g)));
      s_.ListView1.SetSubItem(r, kColExtI, ExtCell(nameStart, static_cast<size_t>(n), name.extLength));
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
};

}  // namespace

void AnalyseZip(ProgramState& s) {
  const std::string path = s.Label1.Caption();
  if (path.empty()) return;
  s.AbortRequested = false;
  s.StatusBar1.SetPanel(kPanelState, "");
  s.StatusBar1.SetPanel(kPanelProgress, "");
  s.Memo1.Clear();
  s.ListView1.Clear();
  s.ListView2.Clear();
  s.ListView5.Clear();
  s.LogFilePath = LogFilePathFor(path, Ui().logFileSuffixZip);

  FileStream f = FileStream::Open(path, FileStream::Mode::Read);
  if (f.Size() >= kFourGiB) {
    s.desktop.ShowMessage(Ui().fileTooLarge);
    return;
  }
  s.Memo1.Append(Ui().logSeparator);
  const uint64_t lead = LeadFromPanel(s.StatusBar1.Panel(kPanelDetail));
  if (lead > 0) s.Memo1.Append(FormatNumbers(Ui().logLeadingBytes, static_cast<int64_t>(lead)));
  ZipWalk(s, f, lead).Run();
}

}  // namespace brim
