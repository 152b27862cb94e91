#include <gtest/gtest.h>

#include <cctype>

#include "base/cp932.h"
#include "base/ui_texts.h"
#include "cli/json_reader.h"
#include "cli/state_printer.h"
#include "cli/text_cells.h"
#include "support/scripted_desktop.h"
#include "support/table_rows.h"
#include "support/test_files.h"

namespace brim::cli {
namespace {

using test::J;
using test::Json;

// A state as a ZIP analysis would leave it, filled by hand: a CP932 name whose
// second byte is 0x5C, a name with a byte that is not CP932, a name with an
// escape sequence, and a row filled short.
struct FilledState {
  test::ScriptedDesktop desktop;
  ProgramState s{desktop};

  FilledState() {
    s.ArchiveKind = ArchiveKindType::Zip;
    s.StatusBar1.SetOutcome(AnalysisOutcome::Analysed);
    s.StatusBar1.SetLeadingBytes(0);
    s.Gauge1.SetProgress(100);
    s.Memo1.Append(Ui().logSeparator);
    s.Memo1.Append(J("表.txt") + Ui().logZeroed);
    test::AddEntry(s.ListView1, J("表.txt"), {"0", "24", "1F4", "4", "4", "3E8"}, RatioStyle::SpaceSaved,
                   J("ソフト\\"));
    s.ListView1.SetValue(0, kColOriginal, 1000);  // "50%", "500", "1,000"
    test::AddEntry(s.ListView1, "bad\xFF.bin", {"218", "230", "0", "5", "", ""});
    s.ListView1.SetValue(1, kColOriginal, 0);  // "", "0", "0"
    test::AddEntry(s.ListView1, "\x1B[2Jx.txt", {"230"});
    s.ListView2.SetChecked(1, true);
    s.ListView5.Add("txt", 2);
    s.ListView5.Add("bin", 1);
    s.ListView5.SetChecked(0, true);
  }
};

TEST(StateJson, KeysInOrderWithEveryCellConverted) {
  FilledState f;
  Json v = Json::parse(StateJson(f.s, {Ui().nothingChecked, "ErrorBox."}));
  EXPECT_EQ(test::Keys(v), (std::vector<std::string>{"kind", "panels", "gauge", "log", "locator", "listing", "tally",
                                                 "messages"}));
  EXPECT_EQ(v["kind"].get<std::string>(), "zip");
  ASSERT_EQ(v["panels"].size(), 3u);
  EXPECT_EQ(v["panels"][0].get<std::string>(), Cp932ToUtf8(Ui().analysed));
  EXPECT_EQ(v["panels"][1].get<std::string>(), "0");
  EXPECT_EQ(v["panels"][2].get<std::string>(), "");
  EXPECT_EQ(v["gauge"].get<double>(), 100);
  ASSERT_EQ(v["log"].size(), 2u);
  EXPECT_EQ(v["log"][1].get<std::string>(), Cp932ToUtf8(J("表.txt") + Ui().logZeroed));

  ASSERT_EQ(v["locator"].size(), 3u);
  for (const Json& row : v["locator"]) EXPECT_EQ(row.size(), 7u);
  EXPECT_EQ(v["locator"][0][0].get<std::string>(), Cp932ToUtf8(J("表.txt")));
  EXPECT_EQ(v["locator"][0][3].get<std::string>(), "1F4");
  EXPECT_EQ(v["locator"][0][6].get<std::string>(), "3E8");
  EXPECT_EQ(v["locator"][1][0].get<std::string>(), "bad\xEF\xBF\xBD.bin");  // not CP932: U+FFFD
  EXPECT_EQ(v["locator"][1][5].get<std::string>(), "");
  EXPECT_EQ(v["locator"][2][0].get<std::string>(), "\x1B[2Jx.txt");        // escaped in the text, intact once read
  EXPECT_EQ(v["locator"][2][1].get<std::string>(), "230");
  EXPECT_EQ(v["locator"][2][6].get<std::string>(), "");                     // filled short: empty cells

  ASSERT_EQ(v["listing"].size(), 3u);
  for (const Json& row : v["listing"]) {
    ASSERT_EQ(row.size(), 6u);
    EXPECT_EQ(row[5].is_boolean(), true);
  }
  EXPECT_EQ(v["listing"][0][3].get<std::string>(), "1,000");
  EXPECT_EQ(v["listing"][0][4].get<std::string>(), Cp932ToUtf8(J("ソフト\\")));
  EXPECT_FALSE(v["listing"][0][5].get<bool>());
  EXPECT_TRUE(v["listing"][1][5].get<bool>());

  ASSERT_EQ(v["tally"].size(), 2u);
  EXPECT_EQ(v["tally"][0][0].get<std::string>(), "txt");
  EXPECT_EQ(v["tally"][0][1].get<std::string>(), "2");
  EXPECT_TRUE(v["tally"][0][2].get<bool>());
  EXPECT_FALSE(v["tally"][1][2].get<bool>());

  ASSERT_EQ(v["messages"].size(), 2u);
  EXPECT_EQ(v["messages"][0].get<std::string>(), Cp932ToUtf8(Ui().nothingChecked));
}

TEST(StateJson, EmptyStateHasEveryKey) {
  test::ScriptedDesktop d;
  ProgramState s(d);
  Json v = Json::parse(StateJson(s, {}));
  EXPECT_EQ(v["kind"].get<std::string>(), "lzh");
  EXPECT_EQ(v["panels"].size(), 3u);
  EXPECT_TRUE(v["listing"].empty());
  EXPECT_TRUE(v["messages"].empty());
}

TEST(StateJson, StreamedInBlocksEqualsTheWholeText) {
  test::ScriptedDesktop d;
  ProgramState s(d);
  // Enough rows that the stream is written in several blocks.
  for (int i = 0; i < 20000; ++i) {
    std::string name = (i % 3 ? std::string("f") : J("表")) + std::to_string(i) + ".txt";
    const size_t row = test::AddEntry(s.ListView1, name, {"1A2B3", "1A2F0", "4D2", "10", "10", "ABCDE"},
                                      RatioStyle::SpaceSaved, "dir\\");
    s.ListView1.SetValue(row, kColOriginal, 2468);  // "50%", "1,234", "2,468"
  }
  std::string whole = StateJson(s, {"x"});
  ASSERT_GT(whole.size(), 2u << 20);
  std::FILE* f = std::tmpfile();
  ASSERT_TRUE(WriteStateJson(s, {"x"}, f));
  std::rewind(f);
  std::string streamed;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) streamed.append(buf, n);
  std::fclose(f);
  EXPECT_EQ(streamed, whole);
}

TEST(StateText, NoRawControlBytesAndColumnsLineUpPastWideCharacters) {
  FilledState f;
  std::string text = StateText(f.s);
  for (char c : text) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
  EXPECT_NE(text.find("\xE2\x90\x9B[2Jx.txt"), std::string::npos);  // ESC shown as its control picture
  EXPECT_NE(text.find(Cp932ToUtf8(Ui().analysed)), std::string::npos);

  // In the listing, the "Compress" column ends at the same terminal column
  // on every line, whatever the width of the names before it.
  size_t at = text.find("listing:");
  ASSERT_NE(at, std::string::npos);
  std::vector<std::string> lines;
  size_t pos = text.find('\n', at) + 1;
  for (int i = 0; i < 4; ++i) {
    size_t end = text.find('\n', pos);
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  auto columnEnd = [](const std::string& line, const std::string& cell) {
    size_t found = line.find(cell);
    EXPECT_NE(found, std::string::npos) << line;
    return DisplayWidth(line.substr(0, found + cell.size()));
  };
  size_t header = columnEnd(lines[0], "Compress");
  EXPECT_EQ(columnEnd(lines[1], " 500"), header);
  EXPECT_EQ(columnEnd(lines[2], " 0"), header);
  EXPECT_NE(lines[2].find("[x]"), std::string::npos);
}

TEST(TextCells, AsciiShortcutAgreesWithTheConverter) {
  for (int b = 0; b < 0x80; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(CellToUtf8(one), Cp932ToUtf8(one)) << b;
  }
  EXPECT_EQ(CellToUtf8(J("表\\")), Cp932ToUtf8(J("表\\")));
  EXPECT_EQ(CellToUtf8("\x95"), "\xEF\xBF\xBD");  // a lead byte cut at the end
}

TEST(TextCells, TerminalSafetyAndWidth) {
  EXPECT_EQ(ForTerminal("a\tb\x7F"), "a\xE2\x90\x89" "b\xE2\x90\xA1");
  EXPECT_EQ(ForTerminal("\xC2\x9B" "31m"), "\xEF\xBF\xBD" "31m");        // C1 CSI
  EXPECT_EQ(ForTerminal("\xE2\x80\xAE" "txt.exe"), "\xEF\xBF\xBD" "txt.exe");  // RIGHT-TO-LEFT OVERRIDE
  EXPECT_EQ(DisplayWidth("abc"), 3u);
  EXPECT_EQ(DisplayWidth(Cp932ToUtf8(J("表.txt"))), 6u);
  EXPECT_EQ(DisplayWidth(Cp932ToUtf8(J("ｱｲ"))), 2u);  // half-width katakana
  EXPECT_EQ(DisplayWidth(Cp932ToUtf8(J("Ａ"))), 2u);
}

// A log line written as its name and its text reads as the whole line
// would: a character across the two, controls and overrides in either, and
// texts that come again. ForTerminalChanges finds a mark at any place.
TEST(TextCells, LogLinesInTwoPartsAsTheWhole) {
  const std::string zeroed = J("を00で上書きしました。");
  const std::vector<std::pair<std::string, std::string>> lines = {
      {"a.exe", zeroed}, {"dir\\b.exe", zeroed}, {"a\x82", "\xA0z"}, {"esc\x1B[31m", zeroed},
      {"x", "\xE2\x80\xAE"}, {"", J("CRC計算中 99%")}, {J("表") + "\x85", "\x40"}, {"tab\t", "\xFF"}};
  test::ScriptedDesktop d;
  ProgramState s(d);
  std::string want;
  for (const auto& [head, tail] : lines) {
    s.Memo1.Append(head, tail);
    want += " " + ForTerminal(CellToUtf8(head + tail)) + "\n";
  }
  const std::string text = StateText(s);
  EXPECT_EQ(text.substr(text.find('\n', text.find("\nlog: ") + 1) + 1), want);
  for (const std::string mark : {"\x01", "\x7F", "\xC2\x85", "\xE2\x80\xAE", "\xE2\x81\xA6"}) {
    for (size_t at = 0; at <= 17; ++at) {
      EXPECT_TRUE(ForTerminalChanges(std::string(at, 'a') + mark + std::string(17 - at, 'b'))) << at;
    }
  }
  EXPECT_FALSE(ForTerminalChanges(std::string(30, 'a') + "\"\\" + Cp932ToUtf8(zeroed)));
}

// The lines of a table of the text output: those after its header.
std::vector<std::string> TableLines(const std::string& text, const std::string& title, size_t rows) {
  std::vector<std::string> lines;
  size_t pos = text.find(title);
  if (pos == std::string::npos) return lines;
  pos = text.find('\n', text.find('\n', pos + 1) + 1) + 1;  // past the title and the header
  for (size_t i = 0; i < rows; ++i) {
    const size_t end = text.find('\n', pos);
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

// One row of an entry table: folder, caption, their encoding.
struct NameRow {
  std::string folder;
  std::string caption;
  NameEncoding encoding = NameEncoding::Cp932;
};

struct NameRowsCase {
  const char* label;
  std::vector<NameRow> (*rows)();
};

class TextNamesTest : public ::testing::TestWithParam<NameRowsCase> {};

// Each line shows its own row's names, however names repeat and whatever
// the first pass kept for the second.
TEST_P(TextNamesTest, EachLineShowsItsOwnRowsNames) {
  const std::vector<NameRow> rows = GetParam().rows();
  test::ScriptedDesktop d;
  ProgramState s(d);
  for (const NameRow& r : rows) {
    const size_t row = test::AddEntry(s.ListView1, "x", {"0", "0", "0", "0", "0", "0"});
    s.ListView1.SetName(row, r.folder, r.caption, r.encoding);
  }
  const std::string text = StateText(s);
  const std::vector<std::string> listing = TableLines(text, "\nlisting:", rows.size());
  const std::vector<std::string> locator = TableLines(text, "\nlocator:", rows.size());
  ASSERT_EQ(listing.size(), rows.size());
  ASSERT_EQ(locator.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string caption = TerminalName(rows[i].caption, rows[i].encoding);
    const std::string folder = TerminalName(rows[i].folder, rows[i].encoding);
    const std::string number = std::to_string(i) + "  ";
    EXPECT_NE(listing[i].find(number + "[ ]  " + caption + " "), std::string::npos) << i;
    if (!folder.empty()) EXPECT_EQ(listing[i].substr(listing[i].size() - folder.size() - 2), "  " + folder) << i;
    EXPECT_NE(locator[i].find(number + caption + " "), std::string::npos) << i;
  }
}

// The last row as the first: the second pass starts afresh, not from the
// first pass's last name.
std::vector<NameRow> FoldersAlternate() {
  return {{J("資料\\"), J("表a.txt")}, {"dir\\", "b.txt"},          {J("資料\\"), J("表c.txt")},
          {J("資料\\"), J("表c.txt")}, {"dir\\", J("表c.txt")},    {J("表\\"), J("ソd.txt")},
          {J("資料\\"), J("表a.txt")}};
}

// 表 in UTF-8 (E8 A1 A8) read as CP932 is other text: the last name
// converted is not taken for a name of the same bytes in the other encoding.
std::vector<NameRow> SameBytesOtherEncoding() {
  const std::string utf8 = "\xE8\xA1\xA8.txt";
  return {{"", utf8, NameEncoding::Utf8}, {"", utf8, NameEncoding::Cp932}, {"", utf8, NameEncoding::Utf8},
          {"d\\", "\x1B[1m" + utf8, NameEncoding::Cp932}};
}

// More converted text than the first pass keeps: the second pass converts the
// rest again, and each line still gets its own name.
std::vector<NameRow> PastWhatIsKept() {
  std::vector<NameRow> rows;
  std::string wide;
  for (int i = 0; i < 2000; ++i) wide += J("表");
  for (int i = 0; i < 800; ++i) {
    rows.push_back({J("資料") + std::to_string(i / 3) + "\\", wide + std::to_string(i / 2) + ".txt"});
  }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Cases, TextNamesTest,
                         ::testing::Values(NameRowsCase{"folders alternate", FoldersAlternate},
                                           NameRowsCase{"same bytes other encoding", SameBytesOtherEncoding},
                                           NameRowsCase{"past what is kept", PastWhatIsKept}),
                         [](const auto& info) {
                           std::string name = info.param.label;
                           for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

// A byte that is not printable ASCII, at every place a word-wise check could
// miss it: each is converted (controls shown as pictures), never copied raw.
TEST(StateText, EveryNameByteOutsidePrintableAsciiIsConverted) {
  test::ScriptedDesktop d;
  ProgramState s(d);
  std::vector<std::string> names;
  for (size_t length : {1, 3, 4, 5, 7, 8, 9, 15, 16, 17}) {
    for (size_t at : {size_t{0}, length / 2, length - 1}) {
      for (char b : {'\x1F', '\x7F', '\x80', '\xA1', ' '}) {
        std::string name(length, 'a');
        name[at] = b;
        names.push_back(name);
        test::AddEntry(s.ListView1, name, {"0", "0", "0", "0", "0", "0"});
      }
    }
  }
  const std::vector<std::string> locator = TableLines(StateText(s), "\nlocator:", names.size());
  ASSERT_EQ(locator.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_NE(locator[i].find("  " + TerminalName(names[i], NameEncoding::Cp932) + " "), std::string::npos) << i;
  }
}

// Rows go into the JSON straight or, when a name needs iconv, composing or
// more room than the buffer holds, value by value: mixed in one listing,
// every row reads back with its own names and cells.
TEST(StateJson, EveryRowReadsBackWhicheverWayItIsWritten) {
  const std::vector<NameRow> rows = {
      {"", "a"},
      {"d\\", "ab\"c"},
      {"dir000\\", "file00000.txt"},
      {"x\\", "0123456789abcdef"},
      {"", "0123456789abcdefg\x01"},
      {J("資料\\"), J("表.txt")},
      {"", "bad\x81"},  // a lead byte at the end: only iconv reads it
      {"d/", "\xE3\x81\x8B\xE3\x82\x99.txt", NameEncoding::Utf8},  // composed on the way
      {"d/", "\xE8\xA1\xA8\xFF.txt", NameEncoding::Utf8},            // not UTF-8 throughout
      {"", std::string(12000, 'n'), NameEncoding::Utf8},  // may need more than the buffer
      {"e\\", "\xE2\x80\xA8\xC2\x85.txt", NameEncoding::Utf8},     // escaped even when valid
      {"", "last.txt"}};
  test::ScriptedDesktop d;
  ProgramState s(d);
  for (size_t i = 0; i < rows.size(); ++i) {
    const size_t row = test::AddEntry(s.ListView1, "x", {"0", "1F", "A", "0", i % 2 ? "" : "FFFFFFFF", "7"});
    s.ListView1.SetName(row, rows[i].folder, rows[i].caption, rows[i].encoding);
    s.ListView1.SetValue(row, kColOriginal, 20);
    s.ListView2.SetChecked(row, i % 3 == 0);
  }
  s.ListView1.AddMarks(8, kMarkOverlap);  // a row with more to say, among plain ones
  Json v = Json::parse(StateJson(s, {}));
  std::vector<size_t> detailed;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].encoding == NameEncoding::Utf8) detailed.push_back(i);
  }
  ASSERT_EQ(v["entries"].size(), detailed.size());
  for (size_t k = 0; k < detailed.size(); ++k) {
    const Json& e = v["entries"][k];
    EXPECT_EQ(e["row"].get<double>(), static_cast<double>(detailed[k]));
    EXPECT_EQ(e["encoding"].get<std::string>(), "utf8");
    EXPECT_EQ(e["marks"].size(), detailed[k] == 8 ? 1u : 0u);
    EXPECT_TRUE(e["names"].empty());
  }
  ASSERT_EQ(v["listing"].size(), rows.size());
  ASSERT_EQ(v["locator"].size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const Json& l = v["listing"][i];
    const Json& c = v["locator"][i];
    EXPECT_EQ(l[0].get<std::string>(), NameToUtf8(rows[i].caption, rows[i].encoding)) << i;
    EXPECT_EQ(c[0].get<std::string>(), NameToUtf8(rows[i].caption, rows[i].encoding)) << i;
    EXPECT_EQ(l[4].get<std::string>(), NameToUtf8(rows[i].folder, rows[i].encoding)) << i;
    EXPECT_EQ(l[1].get<std::string>(), "50%") << i;
    EXPECT_EQ(l[3].get<std::string>(), "20") << i;
    EXPECT_EQ(l[5].get<bool>(), i % 3 == 0) << i;
    EXPECT_EQ(c[3].get<std::string>(), "A") << i;
    EXPECT_EQ(c[5].get<std::string>(), i % 2 ? "" : "FFFFFFFF") << i;
    EXPECT_EQ(c[6].get<std::string>(), "7") << i;
  }
}

}  // namespace
}  // namespace brim::cli
