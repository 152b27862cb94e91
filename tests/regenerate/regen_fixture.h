// Shared pieces of the regeneration tests: ZIP entries made byte by byte,
// locator and listing rows filled by hand, a walk that fills them for
// archives made by real tools, and the verdicts of real readers.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/program_state.h"
#include "base/cp932.h"
#include "base/hex_cell.h"
#include "base/le.h"
#include "checksum/crc.h"
#include "support/scripted_desktop.h"
#include "support/table_rows.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brim::regen_test {

using test::Bytes;

struct Row {
  std::string caption;  // CP932
  uint32_t offset = 0;
  uint32_t start = 0;
  uint32_t size = 0;
};

// One local entry: header, name, extra field, data, and a signed data
// descriptor when asked for (which also sets flag bit 3).
struct LocalEntry {
  LocalEntry(std::string n, Bytes d, Bytes x = {}, uint16_t f = 0, uint16_t m = 0, bool dd = false)
      : name(std::move(n)), data(std::move(d)), extra(std::move(x)), flags(f), method(m),
        descriptor(dd) {}
  std::string name;  // CP932, "/" between folders
  Bytes data;
  Bytes extra;
  uint16_t flags = 0;
  uint16_t method = 0;
  bool descriptor = false;
  uint16_t versionNeeded = 20;
  uint16_t time = 0x6000;
  uint16_t date = 0x5A21;
};

inline void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, static_cast<uint16_t>(v));
  Put16(b, static_cast<uint16_t>(v >> 16));
}

inline uint32_t CrcOf(const Bytes& data) { return Crc32Update(0, data.data(), data.size()); }

// The local header e is written with.
inline test::ZipLocal LocalHeader(const LocalEntry& e) {
  test::ZipLocal h;
  h.versionNeeded = e.versionNeeded;
  h.flags = e.descriptor ? static_cast<uint16_t>(e.flags | 8) : e.flags;
  h.method = e.method;
  h.time = e.time;
  h.date = e.date;
  h.crc = CrcOf(e.data);
  h.compressedSize = h.originalSize = static_cast<uint32_t>(e.data.size());
  h.name = e.name;
  h.extra = e.extra;
  h.data = e.data;
  return h;
}

// Appends e to archive; returns the row the analysis would give it.
inline Row AppendLocal(Bytes& archive, const LocalEntry& e) {
  test::ZipBuilder z;
  z.bytes = std::move(archive);
  Row r;
  r.offset = static_cast<uint32_t>(z.Local(LocalHeader(e)));
  r.start = static_cast<uint32_t>(z.entries.back().dataStart);
  r.size = static_cast<uint32_t>(e.data.size());
  if (e.descriptor) z.DataDescriptorForLast();
  archive = std::move(z.bytes);
  std::string shown = e.name;
  for (char& c : shown) c = c == '/' ? '\\' : c;
  r.caption = std::string(FileNamePart(shown));
  return r;
}

// The central directory header and end record the outputs must carry, made
// by the test builder rather than with the code under test.
inline Bytes ExpectedCentral(const LocalEntry& e, uint32_t localOffset) {
  test::ZipCentral c = test::ZipCentral::For(LocalHeader(e), localOffset);
  c.versionMadeBy = 0;  // MS-DOS
  c.externalAttributes = 0x20;
  return test::EncodeZipCentral(c);
}
inline Bytes ExpectedEnd(uint16_t entries, uint32_t size, uint32_t offset) {
  test::ZipEnd end;
  end.entriesOnDisk = end.entriesTotal = entries;
  end.directorySize = size;
  end.directoryOffset = offset;
  return test::EncodeZipEnd(end);
}
inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Filler(size_t n, uint8_t seed = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

// One extra-field block of total size `total`: an id no reader acts on, its
// length, and filler.
inline Bytes ExtraField(size_t total) {
  Bytes b;
  Put16(b, 0x6666);
  Put16(b, static_cast<uint16_t>(total - 4));
  Bytes body = Filler(total - 4, 0x33);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

inline Bytes Slice(const Bytes& b, size_t from, size_t n) {
  return Bytes(b.begin() + static_cast<ptrdiff_t>(from), b.begin() + static_cast<ptrdiff_t>(from + n));
}

// Local headers from lead on, as the analysis lists them: entries that carry
// data, the caption being the file name without its folder. A data descriptor
// is stepped over.
std::vector<Row> WalkZip(const Bytes& a, uint32_t lead = 0);
// LZH headers of level 0, 1 or 2, the columns as the analysis stores them.
std::vector<Row> WalkLzh(const Bytes& a);

// Single-quoted for the shell.
inline std::string Q(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Each reader must accept the ZIP at path and see `entries` entries.
void ExpectZipReadersAccept(const std::string& path, size_t entries);
// lhasa must test `entries` entries and bsdtar list them without complaint.
void ExpectLzhReadersAccept(const std::string& path, size_t entries);

class RegenTest : public ::testing::Test {
 protected:
  RegenTest() : s(desktop) {
    s.ProcessMessages.SetThrottle(1, std::chrono::microseconds(0));
  }

  void AddRow(const Row& r, bool ticked) {
    size_t i = test::AddEntry(s.ListView1, r.caption,
                              {FormatHexCell(r.offset), FormatHexCell(r.start), FormatHexCell(r.size), "0", "", ""});
    s.ListView2.SetChecked(i, ticked);
  }
  void AddRows(const std::vector<Row>& rows, bool ticked = true) {
    for (const Row& r : rows) AddRow(r, ticked);
  }
  // Writes the archive and selects it.
  std::string Select(const std::string& name, const Bytes& bytes, ArchiveKindType kind) {
    std::string path = dir.File(name);
    test::WriteFileBytes(path, bytes);
    s.Label1.SetCaption(path);
    s.ArchiveKind = kind;
    test::NoteAnalysedFile(s, path);
    return path;
  }
  // Runs a command as the application object does; false when it ended with
  // an error box.
  template <typename F>
  bool Run(F command) {
    return RunCommand(desktop, [&] { command(s); });
  }
  std::vector<std::string> Log() const { return s.Memo1.Lines(); }

  test::TempDir dir;
  test::ScriptedDesktop desktop;
  ProgramState s;
};

}  // namespace brim::regen_test
