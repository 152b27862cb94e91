// Reads one LZH header (levels 0, 1, 2 and the extended-header chain) by its
// own level byte, for the analysis and the rewrite alike. Positions are
// absolute in the file; nothing here lists, logs or checks a sum.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/tables.h"
#include "base/byte_window.h"

namespace brim::lzh {

// Bytes stored at a position of the file.
struct Span {
  uint64_t position = 0;
  uint64_t length = 0;
};

struct Header {
  uint64_t position = 0;  // P
  uint8_t level = 0;      // the header's own level byte (offset 20)
  uint8_t os = 0;         // levels 1 and 2; 0 at level 0
  uint64_t headerSize = 0;  // H; at level 2 with OS-9's two missing bytes added
  uint32_t packedSize = 0;
  uint32_t originalSize = 0;
  bool folder = false;  // "-lhd-"
  std::optional<Span> baseName;   // levels 0 and 1 (N may be 0)
  std::vector<Span> nameRecords;  // every file-name record, in chain order
  std::vector<Span> utf16Names;   // every UTF-16LE file-name record (0x44), in chain order
  // A record of a kind no view reads and not known to be harmless: it may
  // hold a name a reader writes.
  bool unreadRecord = false;
  // A UTF-16 directory record (0x45): a folder bsdtar writes, and the file
  // name itself when the header has no other.
  bool utf16Directory = false;
  std::optional<Span> directory;  // the last directory record's body
  uint64_t headerCrc = 0;     // Q + 3 of the last common record; 0 when none
  uint64_t dataCrc = 0;       // the data's CRC-16 field
  uint64_t firstExtended = 0; // E, the first record's size field (levels 1, 2)
  uint64_t dataStart = 0;
  uint64_t dataSize = 0;
  uint64_t next = 0;  // the next header; full width, may lie past the file
  // Level 1: the records take more than the packed size, which counts them.
  // The entry has no data size; the walk goes on at E + 2 + packed size.
  bool recordsExceedPacked = false;

  // The name most extractors write: the last file-name record, else the base name.
  std::optional<Span> ShownName() const {
    if (!nameRecords.empty()) return nameRecords.back();
    return baseName;
  }
  bool HasShownName() const {
    const std::optional<Span> s = ShownName();
    return s && s->length > 0;
  }
};

enum class Read { Header, EndMark, Damaged };

// One copy of an entry's name as stored.
struct NameCopySpan {
  bool record = false;  // a file-name record; else the base header's name
  Span span;
};

// Every copy of the name: the base name (unless empty beside a record),
// then each file-name record; the one extractors write (ShownName) last.
std::vector<NameCopySpan> NameCopySpans(const Header& h);

// The name an LZH reader writes for a header without a name of its own:
// the last part of its directory record (jlha and 7z join the two). Nothing
// when the header has a name, no directory record, or one ending in a
// separator.
std::optional<Span> DirectoryNamePart(ByteWindow& w, const Header& h);

// A UTF-16LE name record as UTF-8 (unpaired surrogates as U+FFFD), up to
// its first NUL code unit, "\" and "/" kept.
std::string Utf16NameAt(ByteWindow& w, const Span& span);
// The position of the code unit a mask turns into "$" in a UTF-16LE name
// record: the last unit of its extension as Windows reads it; 0 when none.
uint64_t Utf16MaskAt(ByteWindow& w, const Span& span);

// The n bytes of span ("" when the file is cut there).
std::string BytesAt(ByteWindow& w, const Span& span);
// The same as a view into the window, valid until it next reads.
std::string_view ViewAt(ByteWindow& w, const Span& span);

// The caption of a stored name: "/" turned into "\" at level 2 only.
std::string CaptionOf(std::string stored, uint8_t level);

// "Ext" of a name stored at position: the byte after its last "." by the
// path rules (the caption's extension starts there), 0 when it has none.
uint64_t ExtPositionOf(std::string_view stored, uint64_t position);

// Whether the analysis lists h as an entry: not a folder, not cut, its data
// followed by at least one byte (the end mark) of a file of fileSize bytes.
bool IsListed(const Header& h, uint64_t fileSize);

// The locator cells of a listed header whose shown name has "Ext" ext.
Locator LocatorOf(const Header& h, uint64_t ext);

// The header at p. previousLevel is the level of the header before it (the
// first header's own for the first): after a level-2 header a 0 byte starts
// a two-byte size, as that level's end mark has. A level above 2, a header
// or chain cut by the end of the file, a record smaller than its own fields,
// or a level-2 chain leaving its header is Damaged. Chains are followed only
// inside their header (level 2: P + H; level 1: E + packed size + 2, since
// the packed size counts the records), so each byte is read once per walk.
Read ReadHeader(ByteWindow& w, uint64_t p, uint8_t previousLevel, Header& h);

}  // namespace brim::lzh
