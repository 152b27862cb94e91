#include "rewrite/rewrite_support.h"

#include <zlib.h>

#include "base/cp932.h"
#include "base/hex_cell.h"
#include "base/ui_texts.h"
#include "support/lzh_builder.h"
#include "support/zip_builder.h"

namespace brim::test {

namespace {

// Position of the first byte after the extension's dot of a ZIP name stored
// at namePos (the file-name part after the last "/"), or 0.
uint64_t ZipExtPosition(const std::string& name, uint64_t namePos) {
  std::string backslashed = name;
  for (char& c : backslashed) if (c == '/') c = '\\';
  std::string_view ext = ExtensionOf(FileNamePart(backslashed));
  return ext.empty() ? 0 : namePos + name.size() - ext.size() + 1;
}
std::string ZipCaption(const std::string& name) {
  std::string backslashed = name;
  for (char& c : backslashed) if (c == '/') c = '\\';
  return std::string(FileNamePart(backslashed));
}

// LZH: the byte after the last "." of the stored name, wherever it is (a "."
// right after a lead byte is that character's second byte).
uint64_t LzhExtPosition(const std::string& name, uint64_t namePos) {
  size_t dot = FindLastOfCp932(name, ".");
  return dot == std::string::npos ? 0 : namePos + dot + 1;
}
std::string LzhCaption(const std::string& name, int level) {
  std::string c = name;
  if (level == 2) for (char& ch : c) if (ch == '/') ch = '\\';
  return c;
}

}  // namespace

Cells HexCells(uint64_t offset, uint64_t start, uint64_t size, uint64_t ext, uint64_t extI,
               uint64_t offsetI) {
  auto h = [](uint64_t v) { return FormatHexCell(static_cast<uint32_t>(v)); };
  return {h(offset), h(start), h(size), h(ext), h(extI), h(offsetI)};
}

void AddRow(ProgramState& s, const Row& row, bool ticked) {
  size_t i = AddEntry(s.ListView1, row.caption, std::vector<std::string>(row.cells.begin(), row.cells.end()));
  s.ListView2.SetChecked(i, ticked);
}

void AddRows(ProgramState& s, const std::vector<Row>& rows, bool ticked) {
  for (const Row& r : rows) AddRow(s, r, ticked);
}

void MarkAnalysed(ProgramState& s, const std::string& path, ArchiveKindType kind,
                  const std::string& panel1) {
  s.Label1.SetCaption(path);
  s.ArchiveKind = kind;
  test::SetPanelText(s.StatusBar1, kPanelState, Ui().analysed);
  test::SetPanelText(s.StatusBar1, kPanelDetail, panel1);
  test::NoteAnalysedFile(s, path);
}

Built BuildZip(const std::vector<ZipSpec>& entries, size_t lead) {
  ZipBuilder z;
  z.Raw(Bytes(lead, 'M'));
  std::vector<uint64_t> local, central;
  std::vector<ZipLocal> headers;
  for (const ZipSpec& e : entries) {
    ZipLocal h;
    h.flags = e.flags;
    h.method = e.method;
    h.time = 0x6000;
    h.date = 0x5A21;
    h.crc = e.crc;
    h.compressedSize = static_cast<uint32_t>(e.data.size());
    h.originalSize = e.originalSize;
    h.name = e.name;
    h.extra = e.localExtra;
    h.data = e.data;
    local.push_back(z.Local(h));
    headers.push_back(h);
  }
  const uint64_t directory = z.Size();
  for (size_t i = 0; i < entries.size(); ++i) {
    ZipCentral c = ZipCentral::For(headers[i], static_cast<uint32_t>(local[i] - lead));
    c.versionMadeBy = 0x031E;
    c.externalAttributes = 0x81A40000;
    c.crc = entries[i].crc;  // as given, also for a streamed entry
    c.compressedSize = static_cast<uint32_t>(entries[i].data.size());
    c.originalSize = entries[i].originalSize;
    if (entries[i].centralName) c.name = *entries[i].centralName;
    c.extra = entries[i].centralExtra;
    c.comment = std::string(entries[i].comment.begin(), entries[i].comment.end());
    central.push_back(z.Central(c));
  }
  ZipEnd end;
  end.entriesOnDisk = end.entriesTotal = static_cast<uint16_t>(entries.size());
  end.directorySize = static_cast<uint32_t>(z.Size() - directory);
  end.directoryOffset = static_cast<uint32_t>(directory - lead);
  z.End(end);

  Built out;
  out.bytes = std::move(z.bytes);
  for (size_t i = 0; i < entries.size(); ++i) {
    const ZipSpec& e = entries[i];
    if (e.data.empty() && e.originalSize == 0) continue;  // not listed
    const std::string& name = e.centralName ? *e.centralName : e.name;
    uint64_t start = local[i] + 30 + e.name.size() + e.localExtra.size();
    out.rows.push_back({ZipCaption(e.name),
                        HexCells(local[i], start, e.data.size(), ZipExtPosition(e.name, local[i] + 30),
                                 ZipExtPosition(name, central[i] + 46), central[i])});
  }
  return out;
}

Built BuildLzh(int level, const std::vector<LzhSpec>& entries) {
  LzhBuilder b;
  Built out;
  for (const LzhSpec& e : entries) {
    LzhEntry h;
    h.level = level;
    h.method = e.method;
    h.time = 0x5A216000;
    h.data = e.data;
    h.originalSize = e.originalSize;
    h.crc = e.crc;
    h.level0Extra = e.level0Tail;
    const bool nameInRecord = level == 2 || (level == 1 && e.nameInRecord);
    if (level < 2 && !nameInRecord) h.name = e.name;
    if (level > 0) {
      if (e.commonHeader) h.extended.push_back(LzhExtended::Common());
      if (nameInRecord) h.extended.push_back(LzhExtended::FileName(e.name));
      if (e.directory) h.extended.push_back(LzhExtended::RawDirectory(BytesOf(*e.directory)));
    }
    const uint64_t p = b.Add(h);

    // The locator cells: the name's extension, the header CRC field (Ext(I))
    // and, below level 2, the data CRC field (Offset(I)).
    const uint64_t baseEnd = level == 2 ? 24 : 22 + h.name.size() + (level == 0 ? 2 + e.level0Tail.size() : 3);
    uint64_t ext = h.name.empty() ? 0 : LzhExtPosition(h.name, p + 22), extI = 0;
    uint64_t q = p + baseEnd;  // each record: size (2), type, body
    for (const LzhExtended& r : h.extended) {
      if (r.type == 0x00) extI = q + 3;
      if (r.type == 0x01) ext = LzhExtPosition(e.name, q + 3);
      q += 3 + r.body.size();
    }
    const uint64_t offsetI = level == 2 ? 0 : p + 22 + h.name.size();
    if (!(level == 2 && e.originalSize == 0)) {
      out.rows.push_back({LzhCaption(e.name, level),
                          HexCells(p, b.entries.back().dataStart, e.data.size(), ext, extI, offsetI)});
    }
  }
  b.EndMark();
  out.bytes = std::move(b.bytes);
  return out;
}

Bytes Zeros(size_t n) { return Bytes(n, 0); }

uint32_t Crc32Of(const Bytes& data) {
  return static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

uint16_t Crc16Of(const Bytes& data) {
  uint16_t c = 0;
  for (uint8_t byte : data) {
    c ^= byte;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : c >> 1;
  }
  return c;
}

}  // namespace brim::test
