#include "cli/report_writer.h"

#include <unordered_map>

#include "app/dangerous_extensions.h"
#include "base/cp932.h"
#include "base/le.h"
#include "cli/arguments.h"
#include "cli/json_writer.h"

namespace brim::cli {

namespace {

std::string ZipMethodName(uint16_t method) {
  switch (method) {
    case 0: return "stored";
    case 1: return "shrunk";
    case 6: return "imploded";
    case 8: return "deflate";
    case 9: return "deflate64";
    case 12: return "bzip2";
    case 14: return "lzma";
    case 93: return "zstd";
    case 95: return "xz";
    case 98: return "ppmd";
    case 99: return "aes";
  }
  return "zip-" + std::to_string(method);
}

const char* CommandName(Subcommand c) {
  switch (c) {
    case Subcommand::Analyse: return "analyse";
    case Subcommand::Rewrite: return "rewrite";
    case Subcommand::Split: return "split";
    case Subcommand::Combine: return "combine";
    case Subcommand::Mail: return "mail";
  }
  return "";
}

const char* OutcomeName(AnalysisOutcome o) {
  switch (o) {
    case AnalysisOutcome::None: return "none";
    case AnalysisOutcome::Analysed: return "analysed";
    case AnalysisOutcome::DamagedZip: return "damaged_zip";
    case AnalysisOutcome::DamagedLzh: return "damaged_lzh";
    case AnalysisOutcome::Aborted: return "aborted";
    case AnalysisOutcome::NotAnArchive: return "not_an_archive";
    case AnalysisOutcome::LzhAndZip: return "lzh_and_zip";
  }
  return "none";
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::string TextOf(std::string_view bytes, NameEncoding encoding) {
  return encoding == NameEncoding::Cp932 ? Cp932ToUtf8(bytes) : NameToUtf8(bytes, encoding);
}

const char* EncodingName(NameEncoding encoding) { return encoding == NameEncoding::Utf8 ? "utf8" : "cp932"; }

void Name(JsonWriter& w, std::string_view key, std::string_view bytes, NameEncoding encoding) {
  w.Key(key).String(TextOf(bytes, encoding));
  w.Key(std::string(key) + "_hex").Plain(Hex(bytes));
}

void Entry(JsonWriter& w, const ProgramState& s, const ArchiveReport& r, size_t row,
           const std::unordered_map<size_t, std::vector<const Change*>>& changesByRow,
           const std::unordered_map<size_t, const std::string*>& notDone) {
  const EntryTable& t = s.ListView1;
  const bool zip = s.ArchiveKind == ArchiveKindType::Zip;
  const std::string key = TallyKeyOf(t.Caption(row), t.Encoding(row));
  w.BeginObject();
  w.Key("index").Number(static_cast<int64_t>(row));
  Name(w, "name", t.Caption(row), t.Encoding(row));
  w.Key("encoding").Plain(EncodingName(t.Encoding(row)));
  w.Key("folder").String(TextOf(t.Folder(row), t.Encoding(row)));
  w.Key("extension").String(Cp932ToUtf8(key));  // tally keys are CP932
  w.Key("dangerous").Bool(IsDangerousRow(t, row));
  w.Key("compressed_size").Number(t.Value(row, kColSize));
  w.Key("original_size").Number(static_cast<int64_t>(t.Original(row)));
  w.Key("header_offset").Number(t.Value(row, kColOffset));
  w.Key("data_offset").Number(t.Value(row, kColStart));
  w.Key("central_offset");
  if (zip && t.Has(row, kColOffsetI)) w.Number(t.Value(row, kColOffsetI));
  else w.Null();
  const HeaderFacts facts = row < r.facts.size() ? r.facts[row] : HeaderFacts{};
  w.Key("method");
  if (facts.method.empty()) w.Null();
  else w.String(facts.method);
  w.Key("encrypted").Bool(facts.encrypted || (t.Marks(row) & kMarkEncrypted));
  w.Key("marks").BeginArray();
  ForEachMark(t.Marks(row), [&](EntryMark m) { w.String(MarkId(m)); });
  w.EndArray();
  w.Key("names").BeginArray();
  for (const NameCopy& copy : t.NameCopies(row)) {
    w.BeginObject();
    w.Key("kind").String(NameCopyKindId(copy.kind));
    w.Key("encoding").Plain(EncodingName(copy.encoding));
    Name(w, "name", copy.bytes, copy.encoding);
    w.Key("position").Number(static_cast<int64_t>(copy.position));
    w.EndObject();
  }
  w.EndArray();
  w.Key("selected").Bool(row < r.selected.size() && r.selected[row]);
  bool neutralised = false;
  std::string output;
  if (auto it = changesByRow.find(row); it != changesByRow.end()) {
    for (const Change* c : it->second) {
      if (c->action == "neutralised") neutralised = true;
      if (c->action == "created") output = c->path;
    }
  }
  w.Key("neutralised").Bool(neutralised);
  w.Key("written").Bool(!output.empty());
  w.Key("output");
  if (output.empty()) w.Null();
  else w.String(output);
  w.Key("not_done");
  if (auto it = notDone.find(row); it != notDone.end()) w.Cp932String(*it->second);
  else w.Null();
  w.EndObject();
}

// --summary: what the entries add up to, without a line per entry.
void Summary(JsonWriter& w, const ProgramState& s, const ArchiveReport& r,
             const std::unordered_map<size_t, std::vector<const Change*>>& changesByRow,
             const std::unordered_map<size_t, const std::string*>& notDone) {
  const EntryTable& t = s.ListView1;
  int64_t selected = 0, neutralised = 0, written = 0, dangerous = 0, encrypted = 0;
  int64_t marks[kEntryMarkCount] = {};
  for (size_t row = 0; row < t.Count(); ++row) {
    selected += row < r.selected.size() && r.selected[row];
    dangerous += IsDangerousExtension(TallyKeyOf(t.Caption(row), t.Encoding(row)));
    const bool factEncrypted = row < r.facts.size() && r.facts[row].encrypted;
    encrypted += factEncrypted || (t.Marks(row) & kMarkEncrypted);
    for (int i = 0; i < kEntryMarkCount; ++i) marks[i] += (t.Marks(row) & MarkAt(i)) != 0;
  }
  for (const auto& [row, changes] : changesByRow) {
    for (const Change* c : changes) {
      neutralised += c->action == "neutralised";
      written += c->action == "created";
    }
  }
  w.Key("summary").BeginObject();
  w.Key("entries").Number(static_cast<int64_t>(t.Count()));
  w.Key("selected").Number(selected);
  w.Key("neutralised").Number(neutralised);
  w.Key("written").Number(written);
  w.Key("not_done").Number(static_cast<int64_t>(notDone.size()));
  w.Key("dangerous").Number(dangerous);
  w.Key("encrypted").Number(encrypted);
  w.Key("marks").BeginObject();
  for (int i = 0; i < kEntryMarkCount; ++i) {
    if (marks[i] > 0) w.Key(MarkId(MarkAt(i))).Number(marks[i]);
  }
  w.EndObject();
  w.EndObject();
}

}  // namespace

std::vector<HeaderFacts> ReadHeaderFacts(const ProgramState& s) {
  const EntryTable& t = s.ListView1;
  std::vector<HeaderFacts> facts(t.Count());
  if (t.Count() == 0) return facts;
  try {
    FileStream f = FileStream::Open(s.Label1.Caption(), FileStream::Mode::Read);
    const bool zip = s.ArchiveKind == ArchiveKindType::Zip;
    for (size_t row = 0; row < t.Count(); ++row) {
      uint8_t h[10] = {};
      const size_t want = zip ? 10 : 7;
      if (f.ReadAt(t.Value(row, kColOffset), h, want) != want) continue;
      if (zip) {
        // Local header: signature, version, flags (bit 0: encrypted), method.
        if (le::Get32(h) != 0x04034b50) continue;
        facts[row].encrypted = (le::Get16(h + 6) & 1) != 0;
        facts[row].namesMasked = (le::Get16(h + 6) & (1u << 13)) != 0;
        facts[row].method = ZipMethodName(le::Get16(h + 8));
      } else {
        // Every LZH header level keeps the method id at bytes 2 to 6.
        facts[row].method.assign(reinterpret_cast<const char*>(h + 2), 5);
        if (facts[row].method.front() != '-' || facts[row].method.back() != '-') facts[row].method.clear();
      }
    }
  } catch (const CommandError&) {
    // The facts are extras: a file that cannot be read again leaves them out.
  }
  return facts;
}

std::string ReportLine(const ProgramState& s, const ArchiveReport& r) {
  const AnalysisOutcome outcome = s.StatusBar1.Outcome();
  const bool listed = outcome != AnalysisOutcome::None && outcome != AnalysisOutcome::NotAnArchive;
  std::unordered_map<size_t, std::vector<const Change*>> changesByRow;
  for (const Change& c : r.changes) {
    if (c.row >= 0) changesByRow[static_cast<size_t>(c.row)].push_back(&c);
  }
  std::unordered_map<size_t, const std::string*> notDone;
  for (const ProgramState::RowNotDone& n : s.RowsNotDone) notDone.emplace(n.row, &n.reason);

  JsonWriter w(0);
  w.BeginObject();
  w.Key("schema").Number(kReportSchema);
  w.Key("tool").String("brimlode-cli");
  w.Key("version").String(VersionNumber());
  w.Key("archive").String(r.archive);
  w.Key("command").Plain(CommandName(r.command));
  w.Key("format");
  if (listed) w.Plain(s.ArchiveKind == ArchiveKindType::Zip ? "zip" : "lzh");
  else w.Null();
  w.Key("analysis").Plain(OutcomeName(outcome));
  w.Key("status").Number(r.verdict.status);
  w.Key("reason").Plain(r.verdict.reason);
  w.Key("dry_run").Bool(r.dryRun);
  w.Key("output");
  if (r.output.empty()) w.Null();
  else w.String(r.output);
  // The bytes before the archive proper: a self-extractor's program.
  w.Key("leading_bytes");
  if (!listed) w.Null();
  else if (s.ArchiveKind == ArchiveKindType::Zip && s.StatusBar1.LeadingBytes()) w.Number(static_cast<int64_t>(*s.StatusBar1.LeadingBytes()));
  else if (s.ArchiveKind == ArchiveKindType::Lzh && s.ListView1.Count() > 0) w.Number(s.ListView1.Value(0, kColOffset));
  else w.Null();
  if (r.summary) {
    Summary(w, s, r, changesByRow, notDone);
  } else {
    w.Key("entries").BeginArray();
    for (size_t row = 0; row < s.ListView1.Count(); ++row) Entry(w, s, r, row, changesByRow, notDone);
    w.EndArray();
  }
  w.Key("changes").BeginArray();
  for (const Change& c : r.changes) {
    if (r.summary && c.row >= 0) continue;  // counted in the summary
    w.BeginObject();
    w.Key("action").Plain(c.action);
    w.Key("index");
    if (c.row >= 0) w.Number(c.row);
    else w.Null();
    w.Key("path");
    if (c.path.empty()) w.Null();
    else w.String(c.path);
    w.EndObject();
  }
  w.EndArray();
  w.Key("messages").BeginArray();
  for (const std::string& m : r.messages) w.Cp932String(m);
  w.EndArray();
  w.EndObject();
  return std::move(w.Text());  // the writer ends the outermost object with "\n"
}

}  // namespace brim::cli
