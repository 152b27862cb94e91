#include "support/write_checks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "form/Unit1.h"
#include "app/application.h"
#include "base/cp932.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "formats/zip_records.h"
#include "regenerate/output_naming.h"
#include "support/scripted_desktop.h"

namespace brim::test {

namespace {

namespace fs = std::filesystem;

// A locator cell as the analysis writes it ("%X"); nullopt when empty or
// anything else.
std::optional<uint64_t> HexCell(const std::string& text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  uint64_t v = 0;
  for (char c : text) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<uint64_t>(d);
  }
  return v;
}

struct Row {
  std::string caption;
  uint64_t offset, start, size, ext, extI, offsetI;
  bool central;  // ZIP: Ext(I) and Offset(I) are numbers
};

// Locator row `row` with its cells read; nullopt when one of the first four
// is not a number. A ZIP row without a central header has no last two.
std::optional<Row> ReadRow(const ProgramState& s, size_t row) {
  uint64_t v[6] = {};
  bool central = true;
  for (size_t c = 0; c < 6; ++c) {
    auto cell = HexCell(s.ListView1.CellText(row, static_cast<EntryColumn>(kColOffset + c)));
    if (!cell && c < 4) return std::nullopt;
    if (!cell) central = false;
    v[c] = cell.value_or(0);
  }
  return Row{std::string(s.ListView1.Caption(row)), v[0], v[1], v[2], v[3], v[4], v[5], central};
}

void Tick(TForm1& form, const Bytes& input) {
  const uint8_t mode = input.empty() ? 0 : input.back();
  if ((mode & 0x80) == 0) {
    form.N9Click();
    return;
  }
  EntryTable& listing = form.state.ListView2;
  for (size_t row = 0; row < listing.Count(); ++row) listing.SetChecked(row, (mode >> (row % 6)) & 1);
}

// The archive as the command finds it: shrunk when the input asks, as if it
// had changed since the analysis.
Bytes ShrinkIfAsked(const std::string& path, const Bytes& input) {
  const uint8_t mode = input.empty() ? 0 : input.back();
  if ((mode & 0x40) == 0 || input.size() < 2) return input;
  const size_t length = input.size() * input[input.size() - 2] / 256;
  Bytes shrunk(input.begin(), input.begin() + static_cast<ptrdiff_t>(length));
  WriteFileBytes(path, shrunk);
  return shrunk;
}

std::vector<size_t> TickedRows(const ProgramState& s) {
  std::vector<size_t> rows;
  for (size_t row = 0; row < s.ListView1.Count() && row < s.ListView2.Count(); ++row) {
    if (s.ListView2.Checked(row)) rows.push_back(row);
  }
  return rows;
}

uint64_t Get16(const Bytes& b, uint64_t at) { return b[at] | uint64_t{b[at + 1]} << 8; }

std::string Hex(uint64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
  return buf;
}

// The tables keep one row per entry, with all columns, and the tally counts
// every entry once (and the other keys of its name copies).
std::string TablesWhole(const ProgramState& s) {
  if (s.ListView1.Count() != s.ListView2.Count()) return "locator and listing differ in rows";
  for (size_t i = 0; i < s.ListView1.Count(); ++i) {
    for (EntryColumn c : {kColOffset, kColStart, kColSize, kColExt}) {
      if (!s.ListView1.Has(i, c)) return "locator row without its cells";
    }
    if (!s.ListView2.Has(i, kColOriginal)) return "listing row without its sizes";
  }
  uint64_t tallied = 0;
  for (size_t i = 0; i < s.ListView5.Count(); ++i) {
    tallied += s.ListView5.Number(i);
  }
  // A row whose name copies differ counts once more for each other key.
  uint64_t copies = 0;
  for (size_t i = 0; i < s.ListView2.Count(); ++i) copies += s.ListView2.NameCopies(i).size();
  if (tallied < s.ListView2.Count() || tallied > s.ListView2.Count() + copies)
    return "the tally does not count every entry once";
  return "";
}

// ---- Rewrite ----

// Every byte the rewrite may change, from the tables as analysed: per ticked
// row the data, the method, CRC and size fields, the extension bytes of the
// name(s), and (LZH) the header sum and header CRC, each only where it lies
// inside the entry's own range or (ZIP) its central header. A ticked row
// whose first cells are not numbers is refused alone: nothing of it may
// change; one without a central header gets its local parts. A row whose Ext does not point at its caption's
// extension is a fault in itself: the mask would go over other bytes.
std::vector<bool> WritableBytes(const ProgramState& s, const Bytes& original, std::string* fault) {
  std::vector<bool> w(original.size(), false);
  const AnalysisOutcome outcome = s.StatusBar1.Outcome();
  if (outcome != AnalysisOutcome::Analysed && outcome != AnalysisOutcome::DamagedZip &&
      outcome != AnalysisOutcome::DamagedLzh) {
    return w;
  }
  const bool zip = s.ArchiveKind == ArchiveKindType::Zip;
  for (size_t row : TickedRows(s)) {
    const auto r = ReadRow(s, row);
    // A row that cannot be planned is left alone; the others still run.
    if (!r) continue;
    // The mask is the caption's extension (by the path rules) with "$" as its
    // last byte, written at Ext: the bytes there must be that extension.
    const std::string_view ext = ExtensionOf(r->caption, s.ListView1.Encoding(row));
    const uint64_t extLength = ext.empty() ? 0 : ext.size() - 1;
    const Bytes extBytes(ext.begin() + (ext.empty() ? 0 : 1), ext.end());
    if (r->ext != 0 && r->ext + extLength <= original.size() &&
        !std::equal(extBytes.begin(), extBytes.end(), original.begin() + static_cast<ptrdiff_t>(r->ext))) {
      *fault = "row " + std::to_string(row) + ": Ext does not point at the caption's extension";
      return w;
    }
    // Only the entry's own bytes: its range from Offset to Start + Size (and
    // the data descriptor) and, for ZIP, its central header as its lengths
    // give it.
    const uint64_t p = r->offset;
    uint64_t centralFrom = 0, centralTo = 0;
    if (zip && r->central && r->offsetI + 34 <= original.size()) {
      centralFrom = r->offsetI;
      centralTo = r->offsetI + 46 + Get16(original, r->offsetI + 28) + Get16(original, r->offsetI + 30) +
                  Get16(original, r->offsetI + 32);
    }
    // A ZIP entry's range goes on over its data descriptor.
    const uint64_t end = uint64_t{r->start} + r->size + (zip ? s.ListView1.Descriptor(row) : 0);
    // A second central header of the entry (another directory, or two in
    // one) is neutralised like the first: its extent, fields and name are
    // the entry's too.
    std::vector<std::pair<uint64_t, uint64_t>> others;
    for (const NameCopy& copy : zip ? s.ListView1.NameCopies(row) : std::span<const NameCopy>()) {
      if (copy.kind != NameCopyKind::Central || copy.position < 46 || copy.position - 46 == r->offsetI) continue;
      const uint64_t h = copy.position - 46;
      if (h + 34 > original.size()) continue;
      others.push_back({h, h + 46 + Get16(original, h + 28) + Get16(original, h + 30) + Get16(original, h + 32)});
    }
    auto Allow = [&](std::vector<bool>& bytes, uint64_t from, uint64_t n) {
      for (uint64_t i = from; i < from + n && i < bytes.size(); ++i) {
        bool owned = (i >= p && i < end) || (i >= centralFrom && i < centralTo);
        // Past the entry's own bytes only: a row may have thousands of
        // second central headers.
        for (size_t k = 0; k < others.size() && !owned; ++k) owned = i >= others[k].first && i < others[k].second;
        if (owned) bytes[i] = true;
      }
    };
    for (const auto& [h, hEnd] : others) {
      Allow(w, h + 6, 6);
      Allow(w, h + 16, 4);
      Allow(w, h + 24, 4);
      // Its name's "$" goes where its own extension ends, by the rules the
      // rewrite shares with the analysis (a NUL, Windows' tails): the name.
      Allow(w, h + 46, Get16(original, h + 28));
    }
    Allow(w, r->start, r->size);
    if (r->ext != 0) Allow(w, r->ext, extLength);
    if (zip) {
      // Version needed and flags (encryption cleared), method, CRC, original
      // size, or its Zip64 value where the field holds the marker.
      Allow(w, p + 4, 6);
      Allow(w, p + 14, 4);
      Allow(w, p + 22, 4);
      const uint64_t c = r->offsetI;
      if (r->central) {
        Allow(w, c + 6, 6);
        Allow(w, c + 16, 4);
        Allow(w, c + 24, 4);
      }
      // Zip64 and Unicode Path fields: the local header's, the central
      // header's, and those of any second central header.
      std::vector<std::pair<uint64_t, bool>> headers = {{p, false}};
      if (r->central) headers.push_back({c, true});
      for (const auto& [h, hEnd] : others) headers.push_back({h, true});
      for (const auto& [h, central] : headers) {
        const uint64_t fixed = central ? 46 : 30;
        if (h + fixed > original.size()) continue;
        const uint64_t extraAt = h + fixed + Get16(original, h + (central ? 28 : 26));
        const uint64_t m = Get16(original, h + (central ? 30 : 28));
        if (extraAt + m > original.size()) continue;
        const zip::Zip64Wants wants = central ? zip::CentralZip64Wants(&original[h]) : zip::LocalZip64Wants(&original[h]);
        const zip::Zip64Values v = zip::ParseZip64Extra(&original[extraAt], m, wants);
        if (v.original) Allow(w, extraAt + v.original->at, 8);
        // No marker at all, and a field that holds both sizes: its first.
        if (!wants.Any()) {
          const auto b = zip::FindExtraBlock(&original[extraAt], m, zip::kExtraZip64);
          if (b && Get16(original, extraAt + *b + 2) >= 16) Allow(w, extraAt + *b + zip::kExtraBlockHeader, 8);
        }
        // Every Unicode Path field: its name CRC and its name (the "$" goes
        // where the name's own extension ends, by the Windows and NUL rules).
        zip::ForEachUnicodePath(&original[extraAt], m, [&](const zip::UnicodePath& path) {
          Allow(w, extraAt + path.blockAt + zip::kUnicodePathCrcInBlock, 4);
          Allow(w, extraAt + path.nameAt, path.nameLength);
        });
      }
      // The data descriptor gets the zeros' CRC and sizes.
      Allow(w, uint64_t{r->start} + r->size, s.ListView1.Descriptor(row));
      // The central mask stays inside the central name's extension: the
      // row's mask where it reaches, else the name's own "$" (a central
      // name with an extension beside a local one without).
      if (r->central && r->extI != 0 && c + 30 <= original.size()) {
        const uint64_t nameFrom = c + 46, nameTo = nameFrom + Get16(original, c + 28);
        const uint64_t from = std::max(r->extI, nameFrom);
        if (from < nameTo) Allow(w, from, nameTo - from);
      }
    } else {
      Allow(w, p + 2, 5);
      Allow(w, p + 11, 4);
      // The entry's own header decides where its CRC and checks lie: its
      // level byte, listed as 2 when above (the analysis read it there).
      const int level = p + 20 < original.size() ? std::min<int>(original[p + 20], 2) : -1;
      if (level == 2) {
        Allow(w, p + 21, 2);
      } else if (level >= 0) {
        Allow(w, r->offsetI, 2);
        Allow(w, p + 1, 1);
      }
      if (level > 0 && r->extI != 0) Allow(w, r->extI, 2);
      // Every other copy of the name is masked too, each UTF-16 name record
      // (0x44) at its own extension.
      for (const NameCopy& copy : s.ListView1.NameCopies(row)) Allow(w, copy.position, copy.bytes.size());
      if (level > 0 && p + 22 <= original.size()) {
        uint64_t q = level == 2 ? p + 24 : p + 22 + original[p + 21] + 3;
        while (q + 3 <= r->start && q + 3 <= original.size()) {
          const uint64_t size = Get16(original, q);
          if (size < 3) break;
          if (original[q + 2] == 0x44) Allow(w, q + 3, size - 3);
          q += size;
        }
      }
    }
  }
  return w;
}

// ---- Regeneration ----

// What one output must hold: its length, and bytes at some positions.
struct Expected {
  uint64_t length = 0;
  std::vector<std::pair<uint64_t, Bytes>> pieces;
};

Bytes Slice(const Bytes& b, uint64_t from, uint64_t n) {
  return Bytes(b.begin() + static_cast<ptrdiff_t>(from), b.begin() + static_cast<ptrdiff_t>(from + n));
}

void Put(Bytes& b, uint64_t v, int width) {
  for (int i = 0; i < width; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes EndRecord(uint64_t entries, uint64_t directorySize, uint64_t directoryOffset) {
  Bytes e = {0x50, 0x4B, 0x05, 0x06, 0, 0, 0, 0};
  Put(e, entries, 2);
  Put(e, entries, 2);
  Put(e, directorySize, 4);
  Put(e, directoryOffset, 4);
  Put(e, 0, 2);
  return e;
}

// One entry as the outputs copy it: the range from "Offset" to "Start" +
// "Size", for ZIP the data descriptor after it (flag bit 3 and its signature
// there) and the name from the local header. nullopt when the archive does
// not hold all of it, so no output may contain it.
struct Copied {
  Bytes range;  // with the descriptor
  Bytes name;
  // From the source's central header matched to the row, when there is one:
  // made by, attributes, extra field length; the offset field holds the
  // marker when the source's did (the position is then in its Zip64 field).
  bool origin = false;
  Bytes madeBy, attributes;
  uint64_t extraLength = 0;
  bool offsetMarker = false;
};

std::optional<Copied> CopiedEntry(const ProgramState& s, size_t row, const Bytes& a, bool zip) {
  std::optional<uint64_t> v[3];
  for (size_t c = 0; c < 3; ++c) v[c] = HexCell(s.ListView1.CellText(row, static_cast<EntryColumn>(kColOffset + c)));
  if (!v[0] || !v[1] || !v[2]) return std::nullopt;
  const uint64_t offset = *v[0], end = *v[1] + *v[2];
  if (end < offset || end > a.size()) return std::nullopt;
  Copied out;
  uint64_t descriptor = 0;
  if (zip) {
    if (offset + 30 > a.size()) return std::nullopt;
    const uint64_t n = Get16(a, offset + 26);
    if (offset + 30 + n > a.size()) return std::nullopt;
    out.name = Slice(a, offset + 30, n);
    std::optional<zip::EntrySums> sums;
    if (s.ListView1.Has(row, kColOffsetI)) {
      const uint64_t c = s.ListView1.Value(row, kColOffsetI);
      if (c + 46 <= a.size() && std::memcmp(&a[c], "PK\x01\x02", 4) == 0 &&
          c + 46 + Get16(a, c + 28) + Get16(a, c + 30) <= a.size()) {
        out.origin = true;
        out.madeBy = Slice(a, c + 4, 2);
        out.attributes = Slice(a, c + 38, 4);
        out.extraLength = Get16(a, c + 30);
        out.offsetMarker = le::Get32(&a[c + 42]) == 0xFFFFFFFF;
        const Bytes extra = Slice(a, c + 46 + Get16(a, c + 28), out.extraLength);
        const zip::Zip64Values v = zip::ParseZip64Extra(extra.data(), extra.size(), zip::CentralZip64Wants(&a[c]));
        sums = zip::EntrySums{le::Get32(&a[c + 16]), v.compressed ? v.compressed->value : le::Get32(&a[c + 20]),
                              v.original ? v.original->value : le::Get32(&a[c + 24])};
      }
    }
    // A descriptor in any of its layouts, recognised as the formats code
    // does (tested on its own).
    if (Get16(a, offset + 6) & 8) {
      const size_t available = static_cast<size_t>(std::min<uint64_t>(a.size() - end, zip::kDescriptorProbe));
      descriptor = zip::RecogniseDescriptor(&a[end], available, sums ? &*sums : nullptr, false);
    }
  }
  out.range = Slice(a, offset, end + descriptor - offset);
  return out;
}

// The output of the entries, in order, as "個別に生成" (one entry) or
// "結合して生成" builds it.
Expected ExpectedArchive(const std::vector<Copied>& entries, bool zip) {
  Expected e;
  uint64_t at = 0;
  std::vector<uint64_t> positions;
  for (const Copied& c : entries) {
    positions.push_back(at);
    e.pieces.push_back({at, c.range});
    at += c.range.size();
  }
  if (!zip) {
    e.pieces.push_back({at, Bytes{0}});
    e.length = at + 1;
    return e;
  }
  const uint64_t directory = at;
  for (size_t i = 0; i < entries.size(); ++i) {
    const Copied& c = entries[i];
    e.pieces.push_back({at, Bytes{0x50, 0x4B, 0x01, 0x02}});
    Bytes local;
    Put(local, c.offsetMarker ? 0xFFFFFFFF : positions[i], 4);
    e.pieces.push_back({at + 42, local});
    e.pieces.push_back({at + 46, c.name});
    if (c.origin) {
      e.pieces.push_back({at + 4, c.madeBy});
      e.pieces.push_back({at + 38, c.attributes});
    }
    at += 46 + c.name.size() + c.extraLength;
  }
  e.pieces.push_back({at, EndRecord(entries.size(), at - directory, directory)});
  e.length = at + 22;
  return e;
}

std::string Mismatch(const std::string& path, const Expected& e) {
  const Bytes got = ReadFileBytes(path);
  if (got.size() != e.length) {
    return path + ": " + std::to_string(got.size()) + " bytes, expected " + std::to_string(e.length);
  }
  for (const auto& [at, bytes] : e.pieces) {
    if (!std::equal(bytes.begin(), bytes.end(), got.begin() + static_cast<ptrdiff_t>(at))) {
      return path + ": bytes at " + Hex(at) + " differ from the expected output";
    }
  }
  return "";
}

struct Node {
  bool regular;
  uint64_t size;
};
using Tree = std::map<std::string, Node>;

// Everything under root, symbolic links not followed.
Tree ListTree(const std::string& root) {
  Tree out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0) continue;
    out[it->path().string()] = {S_ISREG(st.st_mode), static_cast<uint64_t>(st.st_size)};
  }
  return out;
}

// The entries of after that before lacks; "" in *fault when nothing of
// before went, and no file of it changed size.
std::vector<std::string> NewEntries(const Tree& before, const Tree& after, std::string* fault) {
  std::vector<std::string> added;
  for (const auto& [path, node] : before) {
    auto it = after.find(path);
    if (it == after.end()) *fault = path + " went away";
    // A folder's own size grows with its entries on ext4; what it holds is
    // compared path by path instead.
    else if (it->second.regular != node.regular || (node.regular && it->second.size != node.size))
      *fault = path + " changed";
  }
  for (const auto& [path, node] : after) {
    if (!before.count(path)) added.push_back(path);
  }
  return added;
}

}  // namespace

std::string RewriteViolation(const Bytes& input) {
  TempDir dir;
  const std::string path = dir.File("archive");
  WriteFileBytes(path, input);

  ScriptedDesktop desktop;
  desktop.answers = {Answer::Yes, Answer::No};
  TForm1 form(desktop);
  form.DropFiles({path});
  RunCommand(desktop, [&] { form.Zip1Click(); });
  Tick(form, input);
  const Bytes before = ShrinkIfAsked(path, input);
  std::string fault;
  const std::vector<bool> writable = WritableBytes(form.state, before, &fault);
  if (!fault.empty()) return fault;
  RunCommand(desktop, [&] { form.N2Click(); });

  const Bytes now = ReadFileBytes(path);
  if (now.size() != before.size()) {
    return "length " + std::to_string(before.size()) + " became " + std::to_string(now.size());
  }
  for (size_t i = 0; i < now.size(); ++i) {
    if (now[i] != before[i] && !writable[i]) return "byte " + Hex(i) + " changed outside the written fields";
  }

  ScriptedDesktop again;
  TForm1 second(again);
  second.DropFiles({path});
  RunCommand(again, [&] { second.Zip1Click(); });
  const std::string tables = TablesWhole(second.state);
  return tables.empty() ? "" : "after the rewrite: " + tables;
}

std::string RegenerateViolation(const Bytes& input) {
  TempDir root;
  const std::string folder = root.Path() + "/w";
  fs::create_directory(folder);
  static const char kPk[] = "PK";
  const bool pk = std::search(input.begin(), input.end(), kPk, kPk + 2) != input.end();
  const std::string path = folder + (pk ? "/a.zip" : "/a.lzh");
  WriteFileBytes(path, input);

  ScriptedDesktop desktop;
  TForm1 form(desktop);
  form.DropFiles({path});
  RunCommand(desktop, [&] { form.Zip1Click(); });
  Tick(form, input);
  const Bytes source = ShrinkIfAsked(path, input);
  const ProgramState& s = form.state;
  const bool zip = s.ArchiveKind == ArchiveKindType::Zip;
  const std::string suffix = zip ? ".zip" : ".lzh";
  const std::vector<size_t> ticked = TickedRows(s);

  std::string fault;
  auto sourceKept = [&] { return ReadFileBytes(path) == source ? "" : std::string("the source changed"); };

  // "個別に生成": each new file is the output of the first ticked row whose
  // name gives its path.
  const Tree before = ListTree(root.Path());
  RunCommand(desktop, [&] { form.N6Click(); });
  const Tree split = ListTree(root.Path());
  if (!(fault = sourceKept()).empty()) return "split: " + fault;
  const std::vector<std::string> outputs = NewEntries(before, split, &fault);
  if (!fault.empty()) return "split: " + fault;
  for (const std::string& added : outputs) {
    if (added.rfind(folder + "/", 0) != 0) return "split: " + added + " created outside the folder";
    if (!split.at(added).regular) return "split: " + added + " is not a file";
    std::optional<size_t> producer;
    for (size_t row : ticked) {
      const std::string name =
          folder + "/" + EntryNameToNativePath(s.ListView1.Caption(row), s.ListView1.Encoding(row)) + suffix;
      if (fs::path(name).lexically_normal().string() == added) {
        producer = row;
        break;
      }
    }
    if (!producer) return "split: " + added + " is no ticked entry's output";
    const auto entry = CopiedEntry(s, *producer, source, zip);
    if (!entry) return "split: " + added + " made of a range the archive does not hold";
    if (!(fault = Mismatch(added, ExpectedArchive({*entry}, zip))).empty()) return "split: " + fault;
  }

  // "結合して生成": at most one new file, under the first free number, holding
  // every ticked entry.
  RunCommand(desktop, [&] { form.N7Click(); });
  const Tree combined = ListTree(root.Path());
  if (!(fault = sourceKept()).empty()) return "combine: " + fault;
  const std::vector<std::string> added = NewEntries(split, combined, &fault);
  if (!fault.empty()) return "combine: " + fault;
  if (added.empty()) return "";
  if (added.size() > 1) return "combine: " + std::to_string(added.size()) + " files created";
  std::string name;
  for (int number = 0; number <= 99 && name.empty(); ++number) {
    char mark[32];
    std::snprintf(mark, sizeof mark, "/a(ReCreate%02d)", number);
    const std::string candidate = folder + mark + suffix;
    auto it = split.find(candidate);
    if (it == split.end()) name = candidate;  // anything there takes the number
  }
  if (added[0] != name) return "combine: " + added[0] + " created, expected " + name;
  if (!combined.at(name).regular) return "combine: " + name + " is not a file";
  std::vector<Copied> entries;
  for (size_t row : ticked) {
    auto entry = CopiedEntry(s, row, source, zip);
    if (!entry) return "combine: " + name + " made of a range the archive does not hold";
    entries.push_back(*entry);
  }
  if (zip && entries.size() > 0xFFFF) return "combine: " + name + " of more than 65,535 entries";
  fault = Mismatch(name, ExpectedArchive(entries, zip));
  return fault.empty() ? "" : "combine: " + fault;
}

}  // namespace brim::test
