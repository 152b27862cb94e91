#include "rewrite/rewrite_support.h"

#include <zlib.h>

#include "base/cp932.h"
#include "base/hex_cell.h"
#include "base/ui_texts.h"

namespace brim::test {

namespace {

void Put(Bytes& b, uint64_t v, int width) {
  for (int i = 0; i < width; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
void Put(Bytes& b, const Bytes& s) { b.insert(b.end(), s.begin(), s.end()); }
void Set16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

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
}

Built BuildZip(const std::vector<ZipSpec>& entries, size_t lead) {
  Built out;
  Bytes& b = out.bytes;
  b.assign(lead, 'M');
  std::vector<uint64_t> local;
  for (const ZipSpec& e : entries) {
    local.push_back(b.size());
    Put(b, 0x04034B50, 4);
    Put(b, 20, 2);
    Put(b, e.flags, 2);
    Put(b, e.method, 2);
    Put(b, 0x6000, 2);
    Put(b, 0x5A21, 2);
    Put(b, e.crc, 4);
    Put(b, e.data.size(), 4);
    Put(b, e.originalSize, 4);
    Put(b, e.name.size(), 2);
    Put(b, e.localExtra.size(), 2);
    Put(b, e.name);
    Put(b, e.localExtra);
    Put(b, e.data);
  }
  uint64_t directory = b.size();
  std::vector<uint64_t> central;
  for (size_t i = 0; i < entries.size(); ++i) {
    const ZipSpec& e = entries[i];
    const std::string& name = e.centralName ? *e.centralName : e.name;
    central.push_back(b.size());
    Put(b, 0x02014B50, 4);
    Put(b, 0x031E, 2);
    Put(b, 20, 2);
    Put(b, e.flags, 2);
    Put(b, e.method, 2);
    Put(b, 0x6000, 2);
    Put(b, 0x5A21, 2);
    Put(b, e.crc, 4);
    Put(b, e.data.size(), 4);
    Put(b, e.originalSize, 4);
    Put(b, name.size(), 2);
    Put(b, e.centralExtra.size(), 2);
    Put(b, e.comment.size(), 2);
    Put(b, 0, 2);
    Put(b, 0, 2);
    Put(b, 0x81A40000, 4);
    Put(b, local[i] - lead, 4);
    Put(b, name);
    Put(b, e.centralExtra);
    Put(b, e.comment);
  }
  uint64_t directorySize = b.size() - directory;
  Put(b, 0x06054B50, 4);
  Put(b, 0, 2);
  Put(b, 0, 2);
  Put(b, entries.size(), 2);
  Put(b, entries.size(), 2);
  Put(b, directorySize, 4);
  Put(b, directory - lead, 4);
  Put(b, 0, 2);

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
  Built out;
  Bytes& b = out.bytes;
  for (const LzhSpec& e : entries) {
    const uint64_t p = b.size();
    Bytes h;
    uint64_t ext = 0, extI = 0, offsetI = 0;
    // Extended records (levels 1, 2): size, type, body; chained by sizes.
    std::vector<std::pair<uint8_t, std::string>> records;
    if (level > 0 && e.commonHeader) records.push_back({0x00, std::string(2, '\0')});
    if (level == 2 || (level == 1 && e.nameInRecord)) records.push_back({0x01, e.name});
    if (level > 0 && e.directory) records.push_back({0x02, *e.directory});
    uint64_t recordBytes = 0;
    for (auto& r : records) recordBytes += 3 + r.second.size();

    if (level < 2) {
      const std::string baseName = (level == 1 && e.nameInRecord) ? std::string() : e.name;
      h.push_back(0);  // H, set below
      h.push_back(0);  // sum, set below
      Put(h, e.method);
      Put(h, e.data.size() + (level == 1 ? recordBytes : 0), 4);
      Put(h, e.originalSize, 4);
      Put(h, 0x5A216000, 4);
      h.push_back(0x20);
      h.push_back(static_cast<uint8_t>(level));
      h.push_back(static_cast<uint8_t>(baseName.size()));
      Put(h, baseName);
      if (!baseName.empty()) ext = LzhExtPosition(baseName, p + 22);
      offsetI = p + h.size();
      Put(h, e.crc, 2);
      if (level == 0) {
        Put(h, e.level0Tail);
      } else {
        h.push_back('M');
      }
    } else {
      Put(h, 0, 2);  // H, set below
      Put(h, e.method);
      Put(h, e.data.size(), 4);
      Put(h, e.originalSize, 4);
      Put(h, 0x5A216000, 4);
      h.push_back(0x20);
      h.push_back(2);
      Put(h, e.crc, 2);
      h.push_back('M');
    }
    size_t baseEnd = h.size();
    if (level > 0) {
      for (auto& r : records) {
        uint64_t q = p + h.size();
        Put(h, 3 + r.second.size(), 2);
        h.push_back(r.first);
        if (r.first == 0x00) extI = q + 3;
        if (r.first == 0x01) ext = LzhExtPosition(r.second, q + 3);
        Put(h, r.second);
      }
      Put(h, 0, 2);
    }
    if (level < 2) {
      // H counts the base header from offset 2, the first record size included.
      h[0] = static_cast<uint8_t>(level == 1 ? baseEnd + 2 - 2 : h.size() - 2);
      uint32_t sum = 0;
      for (size_t i = 2; i < size_t{h[0]} + 2u; ++i) sum += h[i];
      h[1] = static_cast<uint8_t>(sum);
    } else {
      Set16(h, 0, static_cast<uint16_t>(h.size()));
    }
    if (extI != 0) Set16(h, extI - p, Crc16Of(h));  // the field is still 0 here
    Put(b, h);
    Put(b, e.data);
    if (!(level == 2 && e.originalSize == 0)) {
      out.rows.push_back({LzhCaption(e.name, level),
                          HexCells(p, p + h.size(), e.data.size(), ext, extI, level == 2 ? 0 : offsetI)});
    }
  }
  b.push_back(0);
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
