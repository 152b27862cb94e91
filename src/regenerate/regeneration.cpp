#include "regenerate/regeneration.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "formats/zip_layout.h"
#include "app/entry_tables.h"
#include "app/log_pane.h"
#include "base/byte_window.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "regenerate/output_file.h"
#include "regenerate/output_naming.h"
#include "regenerate/range_copy.h"
#include "regenerate/zip_directory.h"

namespace brim {

namespace {

constexpr char kZipSuffix[] = ".zip";
constexpr char kLzhSuffix[] = ".lzh";
// The end record counts entries in 16 bits.
constexpr size_t kMaxZipEntries = 0xFFFF;
// Names are read again through a window of this size (a name is < 64 KiB).
constexpr size_t kNameWindow = 64 * 1024;

struct EntryRange {
  uint64_t offset;
  uint64_t length;
};

// The entry range of locator row `row`: from "Offset" to "Start" + "Size",
// taken at full width.
EntryRange RangeOfRow(const ProgramState& s, size_t row, const FileStream& archive) {
  const uint64_t offset = s.ListView1.ReadBack(row, kColOffset);
  const uint64_t start = s.ListView1.ReadBack(row, kColStart);
  const uint64_t size = s.ListView1.ReadBack(row, kColSize);
  // A range that ends before it begins is nothing the archive holds.
  if (start + size < offset) throw CannotRead(archive.Path());
  return {offset, start + size - offset};
}

bool IsChecked(const ProgramState& s, size_t row) { return s.ListView2.Checked(row); }

// The central header the analysis matched to the row, as it lies in the
// archive now (a rewrite changes it too): its origin fields go into the
// rebuilt header. Nothing when none was matched or it is no longer there.
std::optional<CentralOrigin> OriginOfRow(const ProgramState& s, size_t row, const FileStream& archive) {
  if (row >= s.ListView1.Count() || !s.ListView1.Has(row, kColOffsetI)) return std::nullopt;
  return ReadCentralOrigin(archive, s.ListView1.Value(row, kColOffsetI));
}

bool AnythingExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string LogPath(const std::string& nativePath) { return Utf8ToCp932(nativePath); }

// False when "中断" stopped the copy: the unfinished output goes.
bool SplitOne(ProgramState& s, const FileStream& archive, const std::string& archivePath,
              size_t row) {
  const bool zipWay = s.ArchiveKind == ArchiveKindType::Zip;
  const char* suffix = zipWay ? kZipSuffix : kLzhSuffix;
  const std::string caption(row < s.ListView1.Count() ? s.ListView1.Caption(row) : std::string_view());
  const NameEncoding encoding = row < s.ListView1.Count() ? s.ListView1.Encoding(row) : NameEncoding::Cp932;
  const EntryRange range = RangeOfRow(s, row, archive);

  const auto path = IndividualOutputPath(archivePath, caption, suffix, encoding);
  if (!path) {
    throw CannotCreate(std::string(NativeFolderPart(archivePath)) +
                       EntryNameToNativePath(caption, encoding) + suffix);
  }
  // The entry named "pack" in pack.zip: never create over the source.
  if (*path == archivePath || SameFile(*path, archivePath)) throw CannotCreate(*path);
  if (AnythingExists(*path)) {
    s.Memo1.Append(LogPath(*path) + Ui().logSkippedExisting);
    s.RowsNotDone.push_back({row, LogPath(*path) + Ui().logSkippedExisting});
    return true;
  }

  ZipEntryFacts facts;
  std::vector<uint8_t> name;
  uint64_t descriptor = 0;
  std::optional<CentralOrigin> origin;
  if (zipWay) {
    origin = OriginOfRow(s, row, archive);
    facts = ReadZipEntryFacts(archive, range.offset);
    descriptor = TakeDataDescriptor(archive, range.offset + range.length, facts,
                                    origin ? &origin->sums : nullptr);
    name.resize(facts.nameLength);
    archive.ReadExactAt(range.offset + zip::kLocalHeaderSize, name.data(), name.size());
  }

  const std::string folder(NativeFolderPart(archivePath));
  OutputFile out(folder, path->substr(folder.size()));
  s.Memo1.Append(LogPath(*path) + Ui().logWriting);
  if (!CopyRange(s, archive, out, range.offset, range.length)) return false;
  std::vector<uint8_t> tail;
  if (zipWay) {
    out.AppendFrom(archive, range.offset + range.length, descriptor);
    const uint32_t directoryOffset = static_cast<uint32_t>(out.Position());
    AppendCentralHeader(tail, facts, 0, name.data(), origin ? &*origin : nullptr);
    AppendEndRecord(tail, 1, static_cast<uint32_t>(tail.size()), directoryOffset);
  } else {
    tail.push_back(0);  // the end of an LZH archive
  }
  out.Append(tail.data(), tail.size());
  out.Finish();
  s.Memo1.Append(LogPath(*path) + Ui().logWritten);
  return true;
}

// The bytes a combined output copies, as the gauge counts them: the ticked
// rows' ranges (with a ZIP entry's descriptor) as the analysis listed them.
// Only the gauge reads it; a row that cannot be copied fails when reached.
uint64_t BytesToCombine(const ProgramState& s, size_t rows) {
  uint64_t total = 0;
  for (size_t row = 0; row < rows; ++row) {
    if (!IsChecked(s, row)) continue;
    const uint64_t offset = s.ListView1.Value(row, kColOffset);
    const uint64_t end = uint64_t{s.ListView1.Value(row, kColStart)} + s.ListView1.Value(row, kColSize);
    if (end > offset) total += end - offset + s.ListView1.Descriptor(row);
  }
  return total;
}

void ShowCombining(ProgramState& s, size_t row, size_t ticked) {
  s.StatusBar1.SetProgress(FormatNumbers(Ui().combining, static_cast<int64_t>(row),
                                                      static_cast<int64_t>(ticked)));
  s.ProcessMessages();
}

bool CombineZip(ProgramState& s, const FileStream& archive, const std::string& outPath,
                size_t rows, size_t ticked) {
  s.ListView4.Clear();
  OutputFile out(outPath);
  CopyGauge gauge{0, std::max<uint64_t>(BytesToCombine(s, rows), 1)};
  // The central header of each copied entry, read again for the directory.
  std::vector<std::optional<uint64_t>> centrals;
  for (size_t row = 0; row < rows; ++row) {
    if (IsChecked(s, row)) {
      // Ticks made while messages were processed count too; the end record
      // cannot count past 65,535, so the output is given up rather than lie.
      if (s.ListView4.Count() == kMaxZipEntries) throw CommandError(Ui().tooManyEntriesForZip);
      const EntryRange range = RangeOfRow(s, row, archive);
      const std::optional<CentralOrigin> origin = OriginOfRow(s, row, archive);
      ZipEntryFacts f = ReadZipEntryFacts(archive, range.offset);
      const uint64_t descriptor =
          TakeDataDescriptor(archive, range.offset + range.length, f, origin ? &origin->sums : nullptr);
      centrals.push_back(origin ? std::optional<uint64_t>(s.ListView1.Value(row, kColOffsetI)) : std::nullopt);
      const uint64_t position = out.Position();
      if (!CopyRange(s, archive, out, range.offset, range.length + descriptor, gauge)) {
        return false;  // stopped inside a large entry
      }
      gauge.before += range.length + descriptor;
      CombinedRow r;
      r.localOffset = static_cast<uint32_t>(position);
      r.cells[kCombVersionNeeded] = f.versionNeeded;
      r.cells[kCombFlags] = f.flags;
      r.cells[kCombMethod] = f.method;
      r.cells[kCombTime] = f.time;
      r.cells[kCombDate] = f.date;
      r.cells[kCombCrc] = f.crc;
      r.cells[kCombCompressedSize] = f.compressedSize;
      r.cells[kCombOriginalSize] = f.originalSize;
      r.cells[kCombNameLength] = f.nameLength;
      r.cells[kCombNamePosition] = static_cast<uint32_t>(range.offset + zip::kLocalHeaderSize);
      s.ListView4.Add(r);
    }
    ShowCombining(s, row, ticked);
    if (s.AbortRequested) return false;  // the output goes unfinished
  }

  // The directory, from the combined-entry table, names read again.
  const uint64_t directoryOffset = out.Position();
  uint64_t directorySize = 0;
  ByteWindow names(archive, kNameWindow);
  std::vector<uint8_t> record;
  for (size_t i = 0; i < s.ListView4.Count(); ++i) {
    const CombinedRow& r = s.ListView4.Row(i);
    ZipEntryFacts f;
    f.versionNeeded = static_cast<uint16_t>(r.cells[kCombVersionNeeded]);
    f.flags = static_cast<uint16_t>(r.cells[kCombFlags]);
    f.method = static_cast<uint16_t>(r.cells[kCombMethod]);
    f.time = static_cast<uint16_t>(r.cells[kCombTime]);
    f.date = static_cast<uint16_t>(r.cells[kCombDate]);
    f.crc = r.cells[kCombCrc];
    f.compressedSize = r.cells[kCombCompressedSize];
    f.originalSize = r.cells[kCombOriginalSize];
    f.nameLength = static_cast<uint16_t>(r.cells[kCombNameLength]);
    const uint64_t namePos = r.cells[kCombNamePosition];
    const uint32_t localOffset = r.localOffset;
    const uint8_t* name = f.nameLength == 0 ? nullptr : names.At(namePos, f.nameLength);
    if (f.nameLength != 0 && name == nullptr) throw CannotRead(archive.Path());
    const std::optional<CentralOrigin> origin =
        centrals[i] ? ReadCentralOrigin(archive, *centrals[i]) : std::nullopt;
    record.clear();
    AppendCentralHeader(record, f, localOffset, name, origin ? &*origin : nullptr);
    out.Append(record.data(), record.size());
    directorySize += record.size();
  }
  record.clear();
  AppendEndRecord(record, static_cast<uint16_t>(s.ListView4.Count()),
                  static_cast<uint32_t>(directorySize), static_cast<uint32_t>(directoryOffset));
  out.Append(record.data(), record.size());
  out.Finish();
  return true;
}

bool CombineLzh(ProgramState& s, const FileStream& archive, const std::string& outPath,
                size_t rows, size_t ticked) {
  OutputFile out(outPath);
  CopyGauge gauge{0, std::max<uint64_t>(BytesToCombine(s, rows), 1)};
  for (size_t row = 0; row < rows; ++row) {
    if (IsChecked(s, row)) {
      const EntryRange range = RangeOfRow(s, row, archive);
      if (!CopyRange(s, archive, out, range.offset, range.length, gauge)) {
        return false;  // stopped inside a large entry
      }
      gauge.before += range.length;
    }
    ShowCombining(s, row, ticked);
    if (s.AbortRequested) return false;  // the output goes unfinished
  }
  const uint8_t end = 0;
  out.Append(&end, 1);
  out.Finish();
  return true;
}

}  // namespace

void RegenerateIndividually(ProgramState& s) {
  const std::string archivePath = s.Label1.Caption();
  const size_t rows = s.ListView2.Count();
  FileStream archive = FileStream::Open(archivePath, FileStream::Mode::Read);
  // The listing's positions hold for the analysed file only.
  if (!CheckAnalysedFile(s, archive)) return;
  s.AbortRequested = false;
  for (size_t row = 0; row < rows; ++row) {
    if (!IsChecked(s, row)) continue;
    // "中断" stops between outputs; those finished stay.
    if (StopBetweenEntries(s)) break;
    // Stopped inside a large entry: that output goes, those before stay.
    if (!SplitOne(s, archive, archivePath, row)) {
      s.Memo1.Append(Ui().aborted);
      break;
    }
  }
  archive.Close();
}

void RegenerateCombined(ProgramState& s) {
  const std::string archivePath = s.Label1.Caption();
  const size_t rows = s.ListView2.Count();
  const size_t ticked = CountChecked(s);
  FileStream archive = FileStream::Open(archivePath, FileStream::Mode::Read);
  const bool zipWay = s.ArchiveKind == ArchiveKindType::Zip;

  // Refusals come before anything is created or emptied.
  if (!CheckAnalysedFile(s, archive)) return;
  if (zipWay && ticked > kMaxZipEntries) {
    s.desktop.ShowMessage(Ui().tooManyEntriesForZip);
    return;
  }
  const std::string outPath = MakeReCreateName(archivePath, zipWay ? kZipSuffix : kLzhSuffix);
  if (PathTaken(outPath)) {
    s.desktop.ShowMessage(Ui().allReCreateNamesTaken);
    return;
  }

  // A combined output stopped midway has no directory: it is removed (the
  // unfinished OutputFile goes), and only the log tells of it.
  s.AbortRequested = false;
  const bool finished = zipWay ? CombineZip(s, archive, outPath, rows, ticked)
                               : CombineLzh(s, archive, outPath, rows, ticked);
  s.Memo1.Append(finished ? LogPath(outPath) + Ui().logWritten : Ui().aborted);
  if (finished) s.Gauge1.SetProgress(100);
  s.StatusBar1.SetProgress({});
  archive.Close();
}

}  // namespace brim
