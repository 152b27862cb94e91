#include "analysis/zip_analysis.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "analysis/analysis_start.h"
#include "analysis/name_marks.h"
#include "analysis/signature_search.h"
#include "analysis/zip_stream_view.h"
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
#include "checksum/crc.h"

namespace brim {

namespace {

constexpr uint64_t kFourGiB = uint64_t{1} << 32;
constexpr uint16_t kFlagEncrypted = 0x0001;
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

// How far a directory lies from where its end record says: start - named,
// modulo 2^64 and read as signed, so an offset a record makes up (2^63 and
// more) gives a move, never an overflow.
int64_t MoveOf(uint64_t start, uint64_t named) { return static_cast<int64_t>(start - named); }

// One central directory header, Zip64 values resolved.
struct CentralHeader {
  uint64_t position = 0;
  uint64_t nameStart = 0;
  size_t nameLength = 0, extraLength = 0, commentLength = 0;
  uint16_t flags = 0, method = 0;
  uint64_t compressed = 0, original = 0;
  uint64_t stored = 0;  // the local header offset as stored
  int64_t delta = 0;    // how far its directory moved from where its end record says
  bool extractors = false;  // from the end record extractors use
};

// One copy of a row's name, kept while the row's copies are compared.
struct Copy {
  NameCopyKind kind = NameCopyKind::Local;
  NameEncoding encoding = NameEncoding::Cp932;
  std::string bytes;
  uint64_t position = 0;
  bool believed = true;  // a Unicode Path field whose CRC matches its header name
  bool listed = false;   // the copy the row was added with
};

// Name copies compare as the text an extractor would write.
std::string Comparable(const Copy& c) {
  std::string text = NameToUtf8(c.bytes, c.encoding);
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

// The copy a row shows: the name in the local header its cells point at
// (7z and bsdtar write it, and the rewrite masks it at "Ext"), unless that
// names no file; then the central name (unzip's), then the Unicode Path
// fields whose CRC matches. The others are shown beside it.
int ShownRank(const Copy& c) {
  // Up to the first NUL, as extractors write it.
  const std::string_view name = std::string_view(c.bytes).substr(0, c.bytes.find('\0'));
  const bool file = !name.empty() && name.back() != '/' && name.back() != '\\';
  switch (c.kind) {
    case NameCopyKind::Local: return file ? 0 : 5;
    case NameCopyKind::Central: return file ? 1 : 6;
    case NameCopyKind::CentralUnicodePath: return c.believed ? 2 : 7;
    case NameCopyKind::LocalUnicodePath: return c.believed ? 3 : 8;
    default: return 9;
  }
}

// The extension's last byte is "$": a mask is on this name.
bool Masked(std::string_view name) {
  if (name.empty() || name.back() != '$') return false;
  const size_t dot = name.rfind('.');
  return dot != std::string_view::npos && dot + 1 < name.size() && name.back() == '$';
}

class ZipWalk {
 public:
  ZipWalk(ProgramState& s, ByteWindow& w, uint64_t lead)
      : s_(s), w_(w), size_(w.FileSize()), lead_(lead) {}

  void Run() {
    if (!WalkLocalHeaders(lead_)) return;
    FindEndRecord();
    // A file cut before any end record: nothing says where the archive ends.
    if (!endFound_ && !damaged_) {
      damaged_ = true;
      s_.Memo1.Append(Ui().logNoEndRecord);
    }
    SayDirectoryMove();
    if (!WalkOtherArchives()) return;
    if (!WalkCentralDirectory()) return;
    Reconcile();
    // Readers that take the first end record from the back and those that
    // take the one whose comment ends the file see different archives.
    if (damaged_ && EndRecordInComment()) s_.Memo1.Append(Ui().logEndRecordInComment);
    End(damaged_ ? AnalysisOutcome::DamagedZip : AnalysisOutcome::Analysed);
  }

 private:
  // A walk that reached its end (a damaged archive's too) leaves the gauge
  // full; a stopped one where it stopped.
  void End(AnalysisOutcome outcome) {
    s_.StatusBar1.SetOutcome(outcome);
    if (outcome != AnalysisOutcome::Aborted) s_.Gauge1.SetProgress(100);
  }

  // A name with flag bit 11 is UTF-8: "/" is its only separator and no byte
  // belongs to a CP932 character; its tally key is given in CP932, as the
  // tally holds every key. Extractors write a name up to its first NUL, so
  // the caption and key end there too; extLength still counts from the
  // stored end, so the mask lands on the extension extractors see.
  ZipName Split(const uint8_t* bytes, size_t n, bool utf8) {
    const void* nul = n == 0 ? nullptr : std::memchr(bytes, 0, n);
    name_.assign(reinterpret_cast<const char*>(bytes), nul ? static_cast<const uint8_t*>(nul) - bytes : n);
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
    key_.clear();
    out.key = {};
    if (dot != std::string::npos && dot >= fileStart) {
      out.extLength = n - dot;
      key_ = TallyKeyOf(out.fileName, NameEncoding::Utf8);
      out.key = key_;
    }
    return out;
  }

  ZipName Split(const Copy& c) {
    return Split(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(),
                 c.encoding == NameEncoding::Utf8);
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
      if (const std::optional<uint64_t> end = ExtractorsEndRecord()) {
        index_ = zip::CentralIndex::Build(w_, zip::BoundsFromEndRecord(w_, *end, lead_));
      }
    }
    return index_->ForLocal(h, lead_);
  }

  // The whole end record extractors use, found once and without pumping
  // (the walk's own search pumps, later); nothing when there is none.
  std::optional<uint64_t> ExtractorsEndRecord() {
    if (!endLookedFor_) {
      endLookedFor_ = true;
      if (size_ >= 5) {
        auto end = SearchBackward(w_, size_ - 4, 1, zip::kEndSignature, [](uint64_t, uint64_t) {});
        if (end && w_.At(*end, zip::kEndRecordSize)) extractorsEnd_ = end;
      }
    }
    return extractorsEnd_;
  }

  // Bytes between an entry's end (from) and the directory that no entry
  // holds: an APK Signing Block (see IsSigningBlock), or any other bytes with no local header or
  // descriptor signature in them (those are a streaming reader's entries).
  // Taken only when the directory has the local header at h with the
  // compressed size z the walk read, so no entry's data can lie there. The
  // directory's start, where the walk goes on.
  struct Gap {
    uint64_t end = 0;
    bool signingBlock = false;
  };
  std::optional<Gap> GapBeforeDirectory(uint64_t h, uint64_t from, uint64_t z) {
    const std::optional<uint64_t> end = ExtractorsEndRecord();
    if (!end) return std::nullopt;
    const zip::DirectoryBounds bounds = zip::BoundsFromEndRecord(w_, *end, lead_);
    if (bounds.size > bounds.end) return std::nullopt;
    const uint64_t start = bounds.end - bounds.size;
    if (start <= from || !IsSignature(w_.At(start, 4), zip::kCentralSignature)) return std::nullopt;
    const zip::CentralEntry* c = CentralFor(h);
    if (!c || c->compressedSize != z || HoldsEntrySignature(from, start)) return std::nullopt;
    return Gap{start, IsSigningBlock(from, start)};
  }

  // An APK Signing Block that ends at end, after nothing but the zeros
  // apksigner pads the entries with so that the block starts at a multiple
  // of 4096.
  bool IsSigningBlock(uint64_t from, uint64_t end) {
    if (end - from < zip::kApkBlockSizeField + zip::kApkBlockTrailer) return false;
    const uint8_t* tail = w_.At(end - zip::kApkBlockTrailer, zip::kApkBlockTrailer);
    if (!tail) return false;
    const uint64_t size = le::Get64(tail);
    if (size > end - from - zip::kApkBlockSizeField) return false;
    const uint64_t at = end - zip::kApkBlockSizeField - size;
    const uint8_t* head = w_.At(at, zip::kApkBlockSizeField);
    if (!head || !zip::IsApkSigningBlock(at, end, head, w_.At(end - zip::kApkBlockTrailer, zip::kApkBlockTrailer))) {
      return false;
    }
    for (uint64_t p = from; p < at;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kSearchBlock, at - p));
      const uint8_t* zeros = w_.At(p, n);
      if (!zeros || std::any_of(zeros, zeros + n, [](uint8_t b) { return b != 0; })) return false;
      p += n;
    }
    return true;
  }

  // Whether a local header or data descriptor signature starts in [from, to).
  bool HoldsEntrySignature(uint64_t from, uint64_t to) {
    while (from < to) {
      const size_t span = static_cast<size_t>(std::min<uint64_t>({kSearchBlock, to - from + 3, size_ - from}));
      const uint8_t* b = span >= 4 ? w_.At(from, span) : nullptr;
      if (!b) return false;
      const size_t candidates = span - 3;
      for (size_t at = FindPair(b, candidates, 'P', 1, 'K'); at < candidates;
           at += 1 + FindPair(b + at + 1, candidates - at - 1, 'P', 1, 'K')) {
        if (IsSignature(b + at, zip::kLocalSignature) || IsSignature(b + at, zip::kDescriptorSignature)) return true;
      }
      from += candidates;
    }
    return false;
  }

  // The length of the data descriptor at pos, for an entry with these sums.
  size_t DescriptorAt(uint64_t pos, const zip::EntrySums& sums, bool zip64) {
    if (pos >= size_) return 0;
    const size_t available = static_cast<size_t>(std::min<uint64_t>(size_ - pos, zip::kDescriptorProbe));
    const uint8_t* p = w_.At(pos, available);
    return p ? zip::RecogniseDescriptor(p, available, &sums, zip64) : 0;
  }

  // Every Unicode Path field (0x7075) in the extra field at extraStart, as
  // copies of the header name headerName that they stand beside: of any
  // version, and a second block too, since some extractor takes each.
  void UnicodePathsIn(uint64_t extraStart, size_t m, std::string_view headerName, NameCopyKind kind,
                      std::vector<Copy>& into) {
    const uint8_t* extra = m == 0 ? nullptr : w_.At(extraStart, m);
    if (!extra) return;
    std::optional<uint32_t> headerCrc;
    zip::ForEachUnicodePath(extra, m, [&](const zip::UnicodePath& field) {
      if (!headerCrc) {
        headerCrc = Crc32Update(0, reinterpret_cast<const uint8_t*>(headerName.data()), headerName.size());
      }
      Copy c;
      c.kind = kind;
      c.encoding = NameEncoding::Utf8;
      c.bytes.assign(reinterpret_cast<const char*>(extra + field.nameAt), field.nameLength);
      c.position = extraStart + field.nameAt;
      c.believed = field.Believed(*headerCrc);
      into.push_back(std::move(c));
    });
  }

  bool HasUnicodePath(uint64_t extraStart, size_t m) {
    const uint8_t* extra = m == 0 ? nullptr : w_.At(extraStart, m);
    return extra && zip::FindUnicodePath(extra, m);
  }

  std::string NameAt(uint64_t pos, size_t n) {
    const uint8_t* p = n == 0 ? nullptr : w_.At(pos, n);
    return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
  }

  // Marks the local header at h earns from its own fields.
  static uint16_t HeaderMarks(uint16_t flags, uint16_t method, uint64_t z, uint64_t u, bool sized) {
    uint16_t marks = 0;
    if (flags & kFlagEncrypted) marks |= kMarkEncrypted;
    // An encrypted entry's data starts with a 12-byte header the sizes count.
    if (method == 0 && sized && z != u && !(flags & kFlagEncrypted)) marks |= kMarkSizesLie;
    return marks;
  }

  // Forward from the local header at q until a central header, the end of
  // the file or damage. False when the analysis ended here (abort).
  bool WalkLocalHeaders(uint64_t q) {
    walkStop_.reset();
    while (q < size_) {
      if (s_.AbortRequested) {
        End(AnalysisOutcome::Aborted);
        return false;
      }
      s_.Gauge1.SetProgress(PercentOf(q, size_));
      s_.ProcessMessages();

      const uint8_t* sig = w_.At(q, 4);
      if (IsSignature(sig, zip::kCentralSignature)) {
        walkStop_ = q;
        return true;
      }
      // An archive with no entries: its end record and comment are all of it.
      if (q == lead_ && IsSignature(sig, zip::kEndSignature) && EndsTheFile(q)) {
        emptyArchive_ = true;
        return true;
      }
      if (!IsSignature(sig, zip::kLocalSignature)) {
        damaged_ = true;
        return true;
      }
      const uint64_t h = q;
      const uint8_t* hdr = w_.At(h, zip::kLocalHeaderSize);
      if (!hdr) {  // cut short by the end of the file
        damaged_ = true;
        return true;
      }
      uint64_t z = le::Get32(hdr + zip::kLocalCompressedSize);
      uint64_t u = le::Get32(hdr + zip::kLocalOriginalSize);
      zip::EntrySums sums{le::Get32(hdr + zip::kLocalCrc), 0, 0};
      const uint16_t flags = le::Get16(hdr + zip::kLocalFlags);
      const uint16_t method = le::Get16(hdr + zip::kLocalMethod);
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
        damaged_ = true;
        return true;
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
      uint64_t next = d + z + descriptor;
      const uint8_t* after = next < size_ ? w_.At(next, 2) : nullptr;
      bool sound = next < size_ && !name.fileName.empty() && after &&
                   after[0] == 0x50 && after[1] == 0x4B;
      uint16_t gapMark = 0;
      if (!sound && next < size_ && !name.fileName.empty()) {
        if (const std::optional<Gap> gap = GapBeforeDirectory(h, next, z)) {
          sound = true;
          if (!gap->signingBlock) gapMark = kMarkDataBetweenEntries;
          next = gap->end;
        }
      }
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
      e.marks = HeaderMarks(flags, method, z, u, !streamed) | gapMark;
      // A "$" mask on a name whose entry is still packed: a rewrite stopped.
      if (Masked(name.fileName) && (method != 0 || z != u)) e.marks |= kMarkHalfNeutralised;
      const size_t row = s_.ListView1.Add(e);
      TallyExtension(s_, name.key);
      if (HasUnicodePath(nameStart + n, static_cast<size_t>(m))) {
        std::string local = NameAt(nameStart, static_cast<size_t>(n));
        std::vector<Copy>& copies = copies_[row];
        copies.push_back(LocalCopy(nameStart, local, utf8));
        UnicodePathsIn(nameStart + n, static_cast<size_t>(m), local, NameCopyKind::LocalUnicodePath, copies);
      }
      if (MayEarnNameMarks(name_, name.fileName, name.key)) {
        s_.ListView1.AddMarks(row, NameMarks(name_, e.encoding));
      }
      if (streamed && method == 0 && !(flags & kFlagEncrypted)) StreamingView(row, d, z);
      q = next;
    }
    return true;
  }

  // A stored bit-3 entry as a streaming reader reads it: ended at a
  // descriptor inside its data, after which it reads the local headers the
  // data holds. Each is a row of its own (walk-only, inside the entry).
  void StreamingView(size_t row, uint64_t d, uint64_t z) {
    const zipview::StoredSplit split = zipview::SplitStored(w_, d, z);
    if (split.ambiguous) s_.ListView1.AddMarks(row, kMarkUnexplained);
    if (!split.descriptor) return;
    for (uint64_t h : zipview::StreamedHeaders(w_, *split.descriptor, d + z)) {
      if (FindLocatorRow(s_, static_cast<uint32_t>(h)) < 0) streamedRows_ |= ListFromLocal(h);
    }
  }

  // A local header only a streaming reader reads: listed from itself.
  bool ListFromLocal(uint64_t h) {
    const uint8_t* hdr = w_.At(h, zip::kLocalHeaderSize);
    if (!hdr) return false;
    const uint16_t flags = le::Get16(hdr + zip::kLocalFlags);
    const uint16_t method = le::Get16(hdr + zip::kLocalMethod);
    const size_t n = le::Get16(hdr + zip::kLocalNameLength);
    const size_t m = le::Get16(hdr + zip::kLocalExtraLength);
    const uint64_t z = le::Get32(hdr + zip::kLocalCompressedSize);
    const uint64_t u = le::Get32(hdr + zip::kLocalOriginalSize);
    const uint64_t d = h + zip::kLocalHeaderSize + n + m;
    if (d >= size_ || d >= kFourGiB) return false;
    const std::string bytes = NameAt(h + zip::kLocalHeaderSize, n);
    const bool utf8 = ReadNameEncoding(bytes, (flags & kFlagUtf8) != 0) == NameEncoding::Utf8;
    const ZipName name = Split(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), utf8);
    if (name.fileName.empty()) return false;
    NewEntry e;
    e.folder = name.folder;
    e.caption = name.fileName;
    e.encoding = utf8 ? NameEncoding::Utf8 : NameEncoding::Cp932;
    e.ratio = RatioStyle::SpaceSaved;
    e.offset = static_cast<uint32_t>(h);
    e.start = static_cast<uint32_t>(d);
    e.size = static_cast<uint32_t>(std::min(z, size_ - d));
    e.ext = ExtPosition(h + zip::kLocalHeaderSize, n, name.extLength);
    e.hasCentral = false;
    e.original = u;
    e.marks = HeaderMarks(flags, method, z, u, (flags & kFlagDescriptor) == 0);
    const size_t row = s_.ListView1.Add(e);
    TallyExtension(s_, name.key);
    s_.ListView1.AddMarks(row, NameMarks(name_, e.encoding));
    return true;
  }

  static Copy LocalCopy(uint64_t nameStart, std::string bytes, bool utf8) {
    Copy c;
    c.kind = NameCopyKind::Local;
    c.encoding = utf8 ? NameEncoding::Utf8 : NameEncoding::Cp932;
    c.bytes = std::move(bytes);
    c.position = nameStart;
    c.listed = true;
    return c;
  }

  // Backward from the end for the end record extractors use.
  void FindEndRecord() {
    entries_ = 0;
    directorySize_ = 0;
    if (size_ < 5) return;
    // Position 0 holds the first local header, so it is not examined;
    // unless the archive has no entries and its end record starts the file.
    auto found = SearchBackward(w_, size_ - 4, emptyArchive_ ? 0 : 1, zip::kEndSignature,
                                [&](uint64_t n, uint64_t lowest) {
                                  s_.Gauge1.SetProgress(PercentOf(lowest, size_));
                                  s_.ProcessMessages(n);
                                });
    if (!found) return;
    endFound_ = true;
    endRecord_ = *found;
    const uint8_t* e = w_.At(endRecord_, zip::kEndDirectorySize + 4);
    if (!e) {  // an end record cut short by the end of the file
      damaged_ = true;
      return;
    }
    // The Zip64 end record, when its locator precedes this one, gives the
    // count and size, and the directory ends where it begins.
    const zip::DirectoryBounds bounds = zip::BoundsFromEndRecord(w_, endRecord_, lead_);
    entries_ = bounds.entries;
    directorySize_ = bounds.size;
    directoryEnd_ = bounds.end;
    haveDirectory_ = true;
    if (directorySize_ <= directoryEnd_) {
      directoryStart_ = directoryEnd_ - directorySize_;
      delta_ = MoveOf(directoryStart_, bounds.offset);
    }
    if (bounds.zip64) TakeZip64EndBeforeLocator(bounds.end);
  }

  // Whether the end record at e and its comment end the file.
  bool EndsTheFile(uint64_t e) {
    const uint8_t* r = w_.At(e, zip::kEndRecordSize);
    return r && e + zip::kEndRecordSize + le::Get16(r + zip::kEndCommentLength) == size_;
  }

  // A directory found only where the end record's size puts it, not at the
  // offset it stores (as behind a stub the offsets ignore): the log says by
  // how much, and a move that is not the stub's length marks its rows.
  void SayDirectoryMove() {
    if (!haveDirectory_ || delta_ == 0 || directorySize_ > directoryEnd_ || entries_ == 0) return;
    if (!IsSignature(w_.At(directoryStart_, 4), zip::kCentralSignature)) return;
    const uint64_t by = delta_ < 0 ? 0 - static_cast<uint64_t>(delta_) : static_cast<uint64_t>(delta_);
    s_.Memo1.Append(FormatNumbers(delta_ > 0 ? Ui().logDirectoryLater : Ui().logDirectoryEarlier,
                                  static_cast<int64_t>(by)));
    directoryMoved_ = static_cast<uint64_t>(delta_) != lead_;
  }

  // Whether the end record extractors use lies in the comment of an earlier
  // end record whose comment ends the file.
  bool EndRecordInComment() {
    if (!endFound_ || endRecord_ < zip::kEndRecordSize) return false;
    const uint64_t lowest = size_ > 0xFFFF + zip::kEndRecordSize ? size_ - 0xFFFF - zip::kEndRecordSize : 0;
    uint64_t highest = endRecord_ - zip::kEndRecordSize;
    while (highest >= std::max<uint64_t>(lowest, 1)) {
      const auto at = SearchBackward(w_, highest, std::max<uint64_t>(lowest, 1), zip::kEndSignature,
                                     [](uint64_t, uint64_t) {});
      if (!at) return false;
      if (EndsTheFile(*at)) return true;
      highest = *at - 1;
    }
    return false;
  }

  // Python reads the Zip64 end record right before the locator, whatever
  // the locator names; when that is another one, its directory counts too.
  // Its headers wait in others_ like those of any other directory.
  void TakeZip64EndBeforeLocator(uint64_t named) {
    if (endRecord_ < zip::kZip64LocatorSize + zip::kZip64EndFixedSize) return;
    const uint64_t before = endRecord_ - zip::kZip64LocatorSize - zip::kZip64EndFixedSize;
    if (before == named) return;
    const uint8_t* r = w_.At(before, zip::kZip64EndFixedSize);
    const std::optional<zip::Zip64End> end = r ? zip::DecodeZip64End(r) : std::nullopt;
    if (!end || end->directorySize > before) return;
    const uint64_t start = before - end->directorySize;
    const int64_t delta = MoveOf(start, end->directoryOffset);
    uint64_t p = start;
    while (p + zip::kCentralHeaderSize <= before && IsSignature(w_.At(p, 4), zip::kCentralSignature)) {
      CentralHeader c;
      if (!ReadCentral(p, c)) break;
      c.delta = delta;
      others_.push_back(c);
      p = c.nameStart + c.nameLength + c.extraLength + c.commentLength;
    }
  }

  // The walk stopped at a central header before the directory extractors
  // use: another archive's directory (prepended, or in a comment), or a
  // stray signature. A directory closed by an end record counts, and the
  // walk goes on after it; anything else is damage.
  bool WalkOtherArchives() {
    while (walkStop_ && haveDirectory_ && *walkStop_ < directoryStart_) {
      const uint64_t from = *walkStop_;
      std::vector<CentralHeader> found;
      uint64_t p = from;
      std::optional<uint64_t> end;
      while (p < directoryStart_ && !end) {
        const uint8_t* sig = w_.At(p, 4);
        if (IsSignature(sig, zip::kCentralSignature)) {
          CentralHeader c;
          if (!ReadCentral(p, c)) break;
          found.push_back(c);
          p = c.nameStart + c.nameLength + c.extraLength + c.commentLength;
        } else if (IsSignature(sig, zip::kZip64EndSignature)) {
          const uint8_t* r = w_.At(p, zip::kZip64EndFixedSize);
          if (!r) break;
          const uint64_t length = le::Get64(r + zip::kZip64EndRecordSize);
          if (length > size_ - p) break;  // past the end of the file (and no wrap)
          p += 12 + length;
        } else if (IsSignature(sig, zip::kZip64LocatorSignature)) {
          p += zip::kZip64LocatorSize;
        } else if (IsSignature(sig, zip::kEndSignature)) {
          end = p;
        } else {
          break;
        }
      }
      const uint8_t* e = end ? w_.At(*end, zip::kEndRecordSize) : nullptr;
      if (!e) {
        damaged_ = true;
        return true;
      }
      const zip::DirectoryBounds bounds = zip::BoundsFromEndRecord(w_, *end, lead_);
      const int64_t delta = MoveOf(from, bounds.offset);
      for (CentralHeader& c : found) {
        c.delta = delta;
        others_.push_back(c);
      }
      const uint64_t after = *end + zip::kEndRecordSize + le::Get16(e + zip::kEndCommentLength);
      walkStop_.reset();
      if (after >= directoryStart_ || !IsSignature(w_.At(after, 4), zip::kLocalSignature)) break;
      if (!WalkLocalHeaders(after)) return false;
    }
    return true;
  }

  // The central header at g, its Zip64 local offset resolved; false when it
  // runs past the end of the file.
  bool ReadCentral(uint64_t g, CentralHeader& c) {
    const uint8_t* hdr = w_.At(g, zip::kCentralHeaderSize);
    if (!hdr) return false;
    c.position = g;
    c.nameStart = g + zip::kCentralHeaderSize;
    c.nameLength = le::Get16(hdr + zip::kCentralNameLength);
    c.extraLength = le::Get16(hdr + zip::kCentralExtraLength);
    c.commentLength = le::Get16(hdr + zip::kCentralCommentLength);
    c.flags = le::Get16(hdr + zip::kCentralFlags);
    c.method = le::Get16(hdr + zip::kCentralMethod);
    c.compressed = le::Get32(hdr + zip::kCentralCompressedSize);
    c.original = le::Get32(hdr + zip::kCentralOriginalSize);
    c.stored = le::Get32(hdr + zip::kCentralLocalHeaderOffset);
    const zip::Zip64Wants wants = zip::CentralZip64Wants(hdr);
    if (wants.Any() && c.extraLength > 0) {
      if (const uint8_t* extra = w_.At(c.nameStart + c.nameLength, c.extraLength)) {
        const zip::Zip64Values v = zip::ParseZip64Extra(extra, c.extraLength, wants);
        if (v.localOffset) c.stored = v.localOffset->value;
        if (v.compressed) c.compressed = v.compressed->value;
        if (v.original) c.original = v.original->value;
      }
    }
    return true;
  }

  // Forward through the central directory extractors use, searching each
  // header by its signature and matching it to its row by the local header
  // position.
  bool WalkCentralDirectory() {
    uint64_t i = 0;
    // Where the directory would start; meaningless (and never used) when
    // the size reaches before the start of the file.
    uint64_t w = directoryStart_;
    uint64_t next = directoryStart_;  // the end of the last header read
    while (i < entries_ || MoreHeadersAt(w)) {
      if (s_.AbortRequested) return true;
      if (w > size_ || directorySize_ > directoryEnd_) {
        damaged_ = true;
        return true;
      }
      s_.Gauge1.SetProgress(PercentOf(i, entries_));
      // The byte-by-byte search for the next header: nothing between two
      // headers pumps, so abort and the gauge cannot change on the way.
      auto g = SearchForward(w_, w, zip::kCentralSignature, [](uint64_t) {});
      CentralHeader c;
      if (!g || !ReadCentral(*g, c)) {
        damaged_ = true;  // the search ran past the end of the file
        return true;
      }
      c.delta = delta_;
      c.extractors = true;
      ++i;
      next = c.nameStart + c.nameLength + c.extraLength + c.commentLength;
      if (!Take(c)) {
        w = *g + 47;  // the second byte of the name
        continue;
      }
      s_.ProcessMessages();
      w = c.nameStart + c.nameLength;
    }
    // A count that is too small (or wrapped past 65,535) hides nothing:
    // readers that go by the directory's size read every header up to its
    // end, so the headers that follow back to back are taken too.
    while (!s_.AbortRequested && directorySize_ <= directoryEnd_ &&
           next + zip::kCentralHeaderSize <= directoryEnd_ && IsSignature(w_.At(next, 4), zip::kCentralSignature)) {
      CentralHeader c;
      if (!ReadCentral(next, c)) break;
      c.delta = delta_;
      c.extractors = true;
      Take(c);
      next = c.nameStart + c.nameLength + c.extraLength + c.commentLength;
    }
    return true;
  }

  // A writer without Zip64 records leaves the count at 0xFFFF however many
  // headers follow; readers that walk the directory by its size read them all.
  bool MoreHeadersAt(uint64_t w) {
    return entries_ == zip::kZip64Marker16 && w < directoryEnd_ &&
           IsSignature(w_.At(w, 4), zip::kCentralSignature);
  }

  // The row of the local header a central header names: its stored offset
  // counted from where its directory really lies (as unzip corrects an
  // archive moved by bytes put before it), from the archive proper, or from
  // the file's start. -1 when no row starts at any of them.
  int64_t RowFor(const CentralHeader& c) const {
    const Places places = Candidates(c);
    for (size_t i = 0; i < places.count; ++i) {
      const uint64_t at = places.at[i];
      if (at < kFourGiB) {
        const int64_t row = FindLocatorRow(s_, static_cast<uint32_t>(at));
        if (row >= 0) return row;
      }
    }
    return -1;
  }

  struct Places {
    uint64_t at[3] = {};
    size_t count = 0;
    void Add(uint64_t v) { at[count++] = v; }
  };
  Places Candidates(const CentralHeader& c) const {
    Places out;
    if (c.delta > 0 && static_cast<uint64_t>(c.delta) != lead_) out.Add(c.stored + c.delta);
    out.Add(c.stored + lead_);
    if (lead_ > 0) out.Add(c.stored);
    return out;
  }

  // Matches one central header to its row and takes its name; one that
  // matches none waits for the rows every walk adds. False when it
  // matched no row.
  bool Take(const CentralHeader& c) {
    const int64_t row = RowFor(c);
    if (row < 0) {
      // A folder or an empty file has nothing to neutralise and no row.
      if (c.compressed != 0 || c.original != 0) unmatched_.push_back(c);
      return false;
    }
    directoryRead_ = true;
    const uint32_t r = static_cast<uint32_t>(row);
    const uint8_t* nameBytes = c.nameLength == 0 ? nullptr : w_.At(c.nameStart, c.nameLength);
    if (c.nameLength != 0 && !nameBytes) {
      damaged_ = true;
      return true;
    }
    const bool flaggedUtf8 = (c.flags & kFlagUtf8) != 0;
    uint32_t extI = 0;
    bool same = SameNameAsRow(r, c, nameBytes, flaggedUtf8, &extI);
    NameEncoding encoding = s_.ListView1.Encoding(r);
    if (!same) {
      encoding = ReadNameEncoding(AsText(nameBytes, c.nameLength), flaggedUtf8);
      const ZipName name = Split(nameBytes ? nameBytes : reinterpret_cast<const uint8_t*>(""), c.nameLength,
                                 encoding == NameEncoding::Utf8);
      extI = ExtPosition(c.nameStart, c.nameLength, name.extLength);
      same = name.folder == s_.ListView1.Folder(r) && name.fileName == s_.ListView1.Caption(r) &&
             encoding == s_.ListView1.Encoding(r);
    }
    const bool again = s_.ListView1.Has(r, kColOffsetI);
    if (!again) {
      ++withCentral_;
      s_.ListView1.SetValue(r, kColOffsetI, static_cast<uint32_t>(c.position));
      s_.ListView1.SetValue(r, kColExtI, extI);
    } else {
      s_.ListView1.AddMarks(r, kMarkSeveralDirectories);
    }
    uint16_t marks = HeaderMarks(c.flags, c.method, c.compressed, c.original, true);
    if (c.extractors && directoryMoved_) marks |= kMarkDirectoryMoved;
    if (c.compressed != s_.ListView1.Value(r, kColSize) || c.original != s_.ListView1.Original(r)) {
      marks |= (c.flags & kFlagDescriptor) ? 0 : kMarkSizesLie;
    }
    // A masked name whose central header still names a method: a rewrite
    // stopped before the method was written there.
    if (c.method != 0 && Masked(s_.ListView1.Caption(r))) marks |= kMarkHalfNeutralised;
    if (marks) s_.ListView1.AddMarks(r, marks);
    const bool hasPath = HasUnicodePath(c.nameStart + c.nameLength, c.extraLength);
    // A second central header is a copy even under the same name: each is
    // masked and given the new CRC.
    if (same && !hasPath && !again && (copies_.empty() || copies_.find(r) == copies_.end())) return true;
    std::string central = NameAt(c.nameStart, c.nameLength);
    std::vector<Copy>& copies = copies_[r];
    if (copies.empty()) copies.push_back(LocalCopyOf(r));
    Copy cc;
    cc.kind = NameCopyKind::Central;
    cc.encoding = encoding;
    cc.bytes = central;
    cc.position = c.nameStart;
    copies.push_back(std::move(cc));
    UnicodePathsIn(c.nameStart + c.nameLength, c.extraLength, central, NameCopyKind::CentralUnicodePath, copies);
    return true;
  }

  // Whether the central name reads as the walked row's own: the same bytes,
  // its "/" where the row has "\\", in the encoding the row has. Most
  // archives say the name alike twice, and this spares splitting it again.
  // extI is then the central extension's position, found from the row's.
  bool SameNameAsRow(uint32_t r, const CentralHeader& c, const uint8_t* bytes, bool flaggedUtf8, uint32_t* extI) const {
    const EntryTable& t = s_.ListView1;
    const size_t n = c.nameLength;
    const std::string_view folder = t.Folder(r), caption = t.Caption(r);
    if (folder.size() + caption.size() != n || n == 0) return false;
    // Unflagged bytes read as the row's only when the row is CP932: a row
    // read as UTF-8 without the flag is checked the long way.
    if (flaggedUtf8 != (t.Encoding(r) == NameEncoding::Utf8)) return false;
    // The caption holds no separator: its bytes are the central ones.
    if (std::memcmp(caption.data(), bytes + folder.size(), caption.size()) != 0) return false;
    for (size_t i = 0; i < folder.size(); ++i) {
      if (bytes[i] != static_cast<uint8_t>(folder[i]) && !(bytes[i] == '/' && folder[i] == '\\')) return false;
    }
    const uint64_t nameStart = uint64_t{t.Value(r, kColOffset)} + zip::kLocalHeaderSize;
    const uint32_t ext = t.Value(r, kColExt);
    if (ext == 0) return true;
    if (ext <= nameStart || ext - nameStart > n) return false;
    *extI = static_cast<uint32_t>(c.nameStart + (ext - nameStart));
    return true;
  }

  // The local name of a walked row, read again from its header.
  Copy LocalCopyOf(size_t r) {
    const uint64_t h = s_.ListView1.Value(r, kColOffset);
    const uint8_t* hdr = w_.At(h, zip::kLocalHeaderSize);
    const size_t n = hdr ? le::Get16(hdr + zip::kLocalNameLength) : 0;
    std::string bytes = NameAt(h + zip::kLocalHeaderSize, n);
    const bool utf8 = hdr && ReadNameEncoding(bytes, (le::Get16(hdr + zip::kLocalFlags) & kFlagUtf8) != 0) == NameEncoding::Utf8;
    return LocalCopy(h + zip::kLocalHeaderSize, std::move(bytes), utf8);
  }

  // After every walk: the other directories' headers, the headers that
  // matched no row listed from their own local headers, and the rows'
  // names, marks and log lines.
  void Reconcile() {
    for (const CentralHeader& c : others_) Take(c);
    bool added = false;
    std::vector<CentralHeader> waiting;
    waiting.swap(unmatched_);
    for (const CentralHeader& c : waiting) {
      if (RowFor(c) >= 0) {
        Take(c);
      } else {
        added |= ListFromDirectory(c);
      }
    }
    if (added || streamedRows_) MarkOverlaps();
    const size_t rows = s_.ListView1.Count();
    if (haveDirectory_ && directoryRead_ && withCentral_ < rows) {
      for (size_t r = 0; r < rows; ++r) {
        if (!s_.ListView1.Has(r, kColOffsetI)) s_.ListView1.AddMarks(r, kMarkNotInDirectory);
      }
    }
    std::vector<size_t> odd;
    for (const auto& entry : copies_) odd.push_back(entry.first);
    std::sort(odd.begin(), odd.end());
    for (size_t row : odd) ChooseName(row, copies_[row]);
    for (size_t r = 0; r < rows; ++r) {
      if (const uint16_t marks = s_.ListView1.Marks(r)) {
        LogMarks(r, marks);
        if (!s_.ListView1.NameCopies(r).empty()) {
          LogOtherNames(s_, r, LogName(s_.ListView1.Caption(r), s_.ListView1.Encoding(r) == NameEncoding::Utf8));
        }
      }
    }
  }

  // A central header no walk reached: listed from the local header at its
  // offset, or from itself when none is there. False when it gave no row.
  bool ListFromDirectory(const CentralHeader& c) {
    const Places places = Candidates(c);
    uint64_t h = places.at[0];
    const uint8_t* hdr = nullptr;
    for (size_t i = 0; i < places.count; ++i) {
      const uint64_t at = places.at[i];
      if (IsSignature(w_.At(at, 4), zip::kLocalSignature) && w_.At(at, zip::kLocalHeaderSize)) {
        h = at;
        hdr = w_.At(at, zip::kLocalHeaderSize);
        break;
      }
    }
    if (h >= kFourGiB) return false;
    const std::string central = NameAt(c.nameStart, c.nameLength);
    const bool utf8 = ReadNameEncoding(central, (c.flags & kFlagUtf8) != 0) == NameEncoding::Utf8;
    NewEntry e;
    e.offset = static_cast<uint32_t>(h);
    e.start = static_cast<uint32_t>(h);
    e.ratio = RatioStyle::SpaceSaved;
    e.original = c.original;
    e.offsetI = static_cast<uint32_t>(c.position);
    e.marks = kMarkDirectoryOnly | HeaderMarks(c.flags, c.method, c.compressed, c.original, true);
    if (c.extractors && directoryMoved_) e.marks |= kMarkDirectoryMoved;
    std::optional<Copy> local;
    std::vector<Copy> localPaths;
    uint16_t localMethod = c.method;
    if (hdr) {
      const uint16_t flags = le::Get16(hdr + zip::kLocalFlags);
      localMethod = le::Get16(hdr + zip::kLocalMethod);
      const size_t n = le::Get16(hdr + zip::kLocalNameLength);
      const size_t m = le::Get16(hdr + zip::kLocalExtraLength);
      const uint64_t lz = le::Get32(hdr + zip::kLocalCompressedSize);
      const uint64_t lu = le::Get32(hdr + zip::kLocalOriginalSize);
      const uint64_t d = h + zip::kLocalHeaderSize + n + m;
      const bool streamed = (flags & kFlagDescriptor) != 0;
      if (!streamed && (lz != c.compressed || lu != c.original) && lz != zip::kZip64Marker32) e.marks |= kMarkSizesLie;
      e.marks |= HeaderMarks(flags, localMethod, lz, lu, !streamed);
      e.start = static_cast<uint32_t>(std::min<uint64_t>(d, kFourGiB - 1));
      e.size = static_cast<uint32_t>(std::min<uint64_t>(c.compressed, size_ > d ? size_ - d : 0));
      if (streamed && c.compressed < size_ - std::min(d, size_)) {
        const zip::EntrySums sums{0, c.compressed, c.original};
        e.descriptor = static_cast<uint8_t>(DescriptorAt(d + c.compressed, sums, false));
      }
      std::string localBytes = NameAt(h + zip::kLocalHeaderSize, n);
      const bool localUtf8 = ReadNameEncoding(localBytes, (flags & kFlagUtf8) != 0) == NameEncoding::Utf8;
      local = LocalCopy(h + zip::kLocalHeaderSize, std::move(localBytes), localUtf8);
      local->listed = false;
      UnicodePathsIn(h + zip::kLocalHeaderSize + n, m, local->bytes, NameCopyKind::LocalUnicodePath, localPaths);
      const ZipName localName = Split(*local);
      e.ext = ExtPosition(h + zip::kLocalHeaderSize, n, localName.extLength);
    }
    const ZipName name = Split(reinterpret_cast<const uint8_t*>(central.data()), central.size(), utf8);
    if (name.fileName.empty()) return false;  // a folder: extractors write no file
    e.extI = ExtPosition(c.nameStart, c.nameLength, name.extLength);
    e.folder = name.folder;
    e.caption = name.fileName;
    e.encoding = utf8 ? NameEncoding::Utf8 : NameEncoding::Cp932;
    const size_t row = s_.ListView1.Add(e);
    TallyExtension(s_, name.key);
    directoryRead_ = true;
    ++withCentral_;
    uint16_t marks = NameMarks(central, e.encoding);
    if (Masked(name.fileName) && (localMethod != 0 || c.method != 0 || e.size != c.original)) {
      marks |= kMarkHalfNeutralised;
    }
    s_.ListView1.AddMarks(row, marks);
    std::vector<Copy>& copies = copies_[row];
    Copy cc;
    cc.kind = NameCopyKind::Central;
    cc.encoding = e.encoding;
    cc.bytes = central;
    cc.position = c.nameStart;
    cc.listed = true;
    copies.push_back(cc);
    UnicodePathsIn(c.nameStart + c.nameLength, c.extraLength, central, NameCopyKind::CentralUnicodePath, copies);
    if (local) copies.push_back(std::move(*local));
    for (Copy& path : localPaths) copies.push_back(std::move(path));
    return true;
  }

  // Rows whose ranges (header to the end of the data and descriptor) cross.
  void MarkOverlaps() {
    struct Range {
      uint64_t from, to;
      size_t row;
    };
    std::vector<Range> ranges;
    for (size_t r = 0; r < s_.ListView1.Count(); ++r) {
      const uint64_t from = s_.ListView1.Value(r, kColOffset);
      const uint64_t to = uint64_t{s_.ListView1.Value(r, kColStart)} + s_.ListView1.Value(r, kColSize) +
                          s_.ListView1.Descriptor(r);
      if (to > from) ranges.push_back({from, to, r});
    }
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.from < b.from; });
    size_t widest = 0;  // the range reaching furthest so far
    for (size_t i = 1; i < ranges.size(); ++i) {
      if (ranges[i].from < ranges[widest].to) {
        s_.ListView1.AddMarks(ranges[i].row, kMarkOverlap);
        s_.ListView1.AddMarks(ranges[widest].row, kMarkOverlap);
      }
      if (ranges[i].to > ranges[widest].to) widest = i;
    }
  }

  // The row shows the copy ShownRank puts first; every other copy that
  // reads differently is kept beside it and counted in the tally.
  void ChooseName(size_t row, std::vector<Copy>& copies) {
    std::vector<std::string> texts;
    texts.reserve(copies.size());
    for (const Copy& c : copies) texts.push_back(Comparable(c));
    size_t shown = 0;
    for (size_t i = 1; i < copies.size(); ++i) {
      if (ShownRank(copies[i]) < ShownRank(copies[shown])) shown = i;
    }
    bool differ = false;
    for (const std::string& t : texts) differ |= t != texts[shown];
    // The central header the row's cells point at; any other one is kept
    // beside it, whatever its name says.
    const uint64_t ownCentral = s_.ListView1.Has(row, kColOffsetI)
                                    ? uint64_t{s_.ListView1.Value(row, kColOffsetI)} + zip::kCentralHeaderSize
                                    : 0;
    auto otherCentral = [&](const Copy& c) { return c.kind == NameCopyKind::Central && c.position != ownCentral; };
    if (!differ) {
      for (const Copy& c : copies) {
        if (otherCentral(c)) s_.ListView1.AddNameCopy(row, NameCopy{c.kind, c.encoding, c.bytes, c.position});
      }
      return;
    }
    // Sets, not lists: a directory may give one row tens of thousands of copies.
    std::unordered_set<std::string> keys;
    for (size_t i = 0; i < copies.size(); ++i) {
      if (copies[i].listed) keys.emplace(Split(copies[i]).key);
    }
    const ZipName name = Split(copies[shown]);
    if (!copies[shown].listed) s_.ListView1.SetName(row, name.folder, name.fileName, copies[shown].encoding);
    uint16_t marks = kMarkNamesDiffer;
    // A mask on some copies only: a rewrite stopped between them.
    const bool masked = Masked(copies[shown].bytes);
    for (const Copy& c : copies) {
      if (Masked(c.bytes) != masked) marks |= kMarkHalfNeutralised;
    }
    std::unordered_set<std::string> kept{texts[shown]};
    for (size_t i = 0; i < copies.size(); ++i) {
      const ZipName copy = Split(copies[i]);
      const std::string key(copy.key);
      // A copy that names a folder makes no file: nothing to tally.
      if (!copy.fileName.empty() && keys.insert(key).second) TallyExtension(s_, key);
      marks |= NameMarks(copies[i].bytes, copies[i].encoding);
      if (!kept.insert(texts[i]).second && !otherCentral(copies[i])) continue;
      s_.ListView1.AddNameCopy(row, NameCopy{copies[i].kind, copies[i].encoding, copies[i].bytes, copies[i].position});
    }
    s_.ListView1.AddMarks(row, marks);
  }

  // "name : mark, mark" in the log for a marked row.
  void LogMarks(size_t r, uint16_t marks) {
    std::string line = LogName(s_.ListView1.Caption(r), s_.ListView1.Encoding(r) == NameEncoding::Utf8);
    line += " :";
    ForEachMark(marks, [&](EntryMark m) {
      line += ' ';
      line += MarkText(m);
    });
    s_.Memo1.Append(std::move(line));
  }

  ProgramState& s_;
  ByteWindow& w_;
  const uint64_t size_;
  const uint64_t lead_;
  uint64_t endRecord_ = 0;
  uint64_t entries_ = 0;
  uint64_t directorySize_ = 0;
  uint64_t directoryEnd_ = 0;  // the end record, or the Zip64 one
  uint64_t directoryStart_ = 0;
  int64_t delta_ = 0;          // the extractors' directory's move, see RowFor
  bool haveDirectory_ = false;
  bool endFound_ = false;        // the backward search found an end record
  bool emptyArchive_ = false;    // the walk met the end record where the archive starts
  bool directoryMoved_ = false;  // see SayDirectoryMove
  bool endLookedFor_ = false;
  std::optional<uint64_t> extractorsEnd_;  // see ExtractorsEndRecord
  bool directoryRead_ = false;  // some central header was matched or listed
  bool damaged_ = false;
  bool streamedRows_ = false;  // the streaming view listed rows of its own
  size_t withCentral_ = 0;  // rows a central header was matched to
  std::optional<uint64_t> walkStop_;  // the central header the last walk stopped at
  std::vector<CentralHeader> others_;     // headers of directories extractors do not use
  std::vector<CentralHeader> unmatched_;  // headers that matched no row yet
  std::unordered_map<size_t, std::vector<Copy>> copies_;  // rows whose names may differ
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
