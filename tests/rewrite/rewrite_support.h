// Archives written byte by byte, and locator rows filled by hand, for the
// rewrite tests. Every field of a header is settable; the rows hold what the
// analysis stores for that archive, so a test controls both sides.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/program_state.h"
#include "support/table_rows.h"
#include "support/test_files.h"

namespace brim::test {

using Cells = std::array<std::string, 6>;  // Offset, Start, Size, Ext, Ext(I), Offset(I)

struct Row {
  std::string caption;
  Cells cells;
};

Cells HexCells(uint64_t offset, uint64_t start, uint64_t size, uint64_t ext, uint64_t extI,
               uint64_t offsetI);

// Appends a locator row and its listing row (same caption), ticked or not.
void AddRow(ProgramState& s, const Row& row, bool ticked = true);
void AddRows(ProgramState& s, const std::vector<Row>& rows, bool ticked = true);

// The state an analysis that ended well leaves: path, kind, panels 0 and 1.
void MarkAnalysed(ProgramState& s, const std::string& path, ArchiveKindType kind,
                  const std::string& panel1);

struct Built {
  Bytes bytes;
  std::vector<Row> rows;  // one per entry the analysis lists
};

// ---- ZIP ----
struct ZipSpec {
  std::string name;                        // local name, "/" separated, CP932 bytes
  std::optional<std::string> centralName;  // defaults to name
  uint16_t method = 8;
  uint16_t flags = 0;
  Bytes data;
  uint32_t originalSize = 0;
  uint32_t crc = 0;
  Bytes localExtra{};
  Bytes centralExtra{};
  Bytes comment{};
};
// Local headers, central directory and end record, written by ZipBuilder
// after `lead` foreign bytes (stored offsets relative to the archive proper,
// as zip -A does not), with the rows the analysis gives them.
Built BuildZip(const std::vector<ZipSpec>& entries, size_t lead = 0);

// ---- LZH ----
struct LzhSpec {
  std::string name;  // CP932 bytes as stored ("\" or "/" kept)
  std::string method = "-lh5-";
  Bytes data;
  uint32_t originalSize = 0;
  uint16_t crc = 0;
  std::optional<std::string> directory{};  // directory record (levels 1, 2), 0xFF separated
  bool commonHeader = true;              // levels 1 and 2: the header-CRC record
  bool nameInRecord = false;             // level 1: N = 0 and a file-name record
  Bytes level0Tail{};                    // level 0: bytes after the CRC, inside H
};
// Entries of one level written by LzhBuilder, closed by the 0 byte, with
// the rows the analysis gives them; header sums and CRCs are the builder's.
Built BuildLzh(int level, const std::vector<LzhSpec>& entries);

Bytes Zeros(size_t n);
uint32_t Crc32Of(const Bytes& data);
uint16_t Crc16Of(const Bytes& data);

}  // namespace brim::test
