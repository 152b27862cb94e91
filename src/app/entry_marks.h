// What a row can be marked with when the archive describes its entry in ways
// that extractors read differently, or the entry deserves a second look. The
// analysis sets them; the window, the listings, the log and the report show
// them. A well-formed archive's rows carry none of the first six.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace brim {

enum EntryMark : uint16_t {
  kMarkNamesDiffer = 1 << 0,        // the copies of the name are not the same
  kMarkNotInDirectory = 1 << 1,     // a local header no central header points at
  kMarkDirectoryOnly = 1 << 2,      // known from the central directory alone
  kMarkOverlap = 1 << 3,            // its range overlaps another entry's
  kMarkSeveralDirectories = 1 << 4, // more than one end record / directory describes it
  kMarkHalfNeutralised = 1 << 5,    // a rewrite of it stopped part way
  kMarkBidiControl = 1 << 6,        // U+202E and its kin in the name
  kMarkDoubleExtension = 1 << 7,    // "請求書.pdf.exe"
  kMarkWindowsAltersName = 1 << 8,  // trailing dots or spaces, ":stream"
  kMarkNestedArchive = 1 << 9,      // zip, lzh, 7z, rar, cab, iso...
  kMarkEncrypted = 1 << 10,
  kMarkSizesLie = 1 << 11,          // stored with differing sizes, or a method that lies
  kMarkDataBetweenEntries = 1 << 12,  // bytes no entry holds follow its data
  kMarkDirectoryMoved = 1 << 13,      // its directory lies elsewhere than its end record says
  // Something near it no reader view accounts for: a record that may carry
  // a name in a kind or version not read, bytes holding a header signature,
  // a descriptor that could sit at more than one place. A rewrite of the
  // archive then says "partly done".
  kMarkUnexplained = 1 << 14,
};
inline constexpr int kEntryMarkCount = 15;

// The mark of bit i (0..kEntryMarkCount-1).
inline constexpr EntryMark MarkAt(int i) { return static_cast<EntryMark>(1u << i); }

// Calls f(mark) for each mark set in marks, lowest bit first: the order
// every list of marks (log, text, JSON, tooltip) shows them in.
template <typename F>
void ForEachMark(uint16_t marks, F&& f) {
  for (int i = 0; i < kEntryMarkCount; ++i) {
    if (marks & MarkAt(i)) f(MarkAt(i));
  }
}

// A stable identifier for scripts ("names_differ"), ASCII.
std::string_view MarkId(EntryMark mark);
// The Japanese description a tooltip and the log show, in CP932.
const std::string& MarkText(EntryMark mark);

// Where a copy of an entry's name was read.
enum class NameCopyKind : uint8_t {
  Local,               // ZIP local header
  Central,             // ZIP central directory header
  LocalUnicodePath,    // ZIP 0x7075 field of the local header
  CentralUnicodePath,  // ZIP 0x7075 field of the central header
  LzhBase,             // LZH level 0/1 base header
  LzhRecord,           // LZH filename extended header (0x01)
  LzhUtf16,            // LZH UTF-16LE filename extended header (0x44), held as UTF-8
  LzhDirectory,        // LZH directory record (0x02) whose last part names the file
};
std::string_view NameCopyKindId(NameCopyKind kind);

}  // namespace brim
