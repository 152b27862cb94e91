// Every sample archive of the corpus with the outcome the rules give for it,
// worked out by hand and compared with zipinfo -v, bsdtar -tvf and lhasa v:
// where those readers disagree (a level-2 end mark followed by junk, a
// missing end record), the rules decide. Streamed and Zip64 entries are
// listed with the sizes their central headers give, as the readers list them.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "base/ui_texts.h"
#include "support/analysed_archive.h"
#include "support/needs.h"

namespace brim {
namespace {

using Row = std::vector<std::string>;

enum Outcome { kDone, kBadZip, kBadLzh };

// One expected cell group: a whole locator row, listing row, log line or
// tally row.
struct Expect {
  char what;  // 'L' locator row, 'V' listing row, 'G' log line, 'T' tally row
  size_t index;
  Row cells;
};
Expect L(size_t row, Row cells) { return {'L', row, std::move(cells)}; }
Expect V(size_t row, Row cells) { return {'V', row, std::move(cells)}; }
Expect G(size_t line, std::string text) { return {'G', line, {std::move(text)}}; }
Expect T(std::string tallyRow) { return {'T', 0, {std::move(tallyRow)}}; }
std::string Damaged(const char* name) { return test::DamagedLine(name); }
std::string Lead(int n) {
  return FormatNumbers(Ui().logLeadingBytes, n);
}

struct CorpusCase {
  const char* file;
  Outcome outcome;
  const char* panel1;  // "Level=n" for LZH, the lead for ZIP
  size_t rows;
  std::vector<Expect> expect;
};

const std::vector<CorpusCase>& Cases() {
  static const std::vector<CorpusCase> cases = {
    {"lha_bugfix_0.lzh", kDone, "Level=2", 1, {L(0, {"f", "0", "2F", "27D", "0", "1B", "0"}), V(0, {"f", "82.1%", "637", "776", ""})}},
    {"lha_filename_cp932.lzh", kDone, "Level=2", 2, {L(1, {"\x95\\.txt", "55", "A0", "4", "7A", "9B", "0"}), T("txt=2")}},
    {"lha_filename_utf16.lzh", kDone, "Level=2", 4, {V(1, {"\x83" "e\x83X\x83g.txt", "100.0%", "25", "25", "______\\"}), V(2, {"______.txt", "100.0%", "12", "12", "\x83" "e\x83X\x83g\\"})}},
    {"lha_header0.lzh", kDone, "Level=0", 2, {L(0, {"file1", "C5", "EE", "22", "0", "0", "E0"}), V(1, {"file2", "43.6%", "34", "78", ""})}},
    {"lha_header1.lzh", kDone, "Level=1", 2, {L(0, {"file1", "F9", "12C", "22", "0", "0", "114"}), V(0, {"file1", "56.7%", "34", "60", ""})}},
    {"lha_header2.lzh", kDone, "Level=2", 2, {L(0, {"file1", "F9", "12C", "22", "0", "114", "0"}), L(1, {"file2", "14E", "181", "22", "0", "169", "0"})}},
    {"lha_header3.lzh", kBadLzh, "Level=3", 0, {}},
    {"lha_lh0.lzh", kBadLzh, "Level=2", 2, {L(1, {"file2", "14E", "181", "22", "0", "169", "0"})}},
    {"lha_lh6.lzh", kDone, "Level=2", 2, {L(1, {"file2", "14F", "182", "23", "0", "16A", "0"}), V(1, {"file2", "44.9%", "35", "78", ""})}},
    {"lha_lh7.lzh", kDone, "Level=2", 2, {}},
    {"lha_oversize_header.lzh", kBadLzh, "Level=0", 6, {L(2, {"file1", "254", "287", "22", "0", "0", "26F"}), L(4, {"file1", "3F7", "42A", "22", "0", "412", "0"}), T("=6")}},
    {"lha_symlink_missing_target.lzh", kDone, "Level=0", 2, {L(0, {"bad_symlink", "0", "2F", "0", "0", "0", "21"}), L(1, {"second", "2F", "4B", "B", "0", "0", "4B"})}},
    {"lha_withjunk.lzh", kBadLzh, "Level=2", 2, {L(0, {"file1", "F9", "12C", "22", "0", "114", "0"})}},
    {"zip.zip", kDone, "0", 2, {L(0, {"file1", "47", "7F", "A", "0", "0", "11A"})}},
    {"zip_7075_utf8_paths.zip", kDone, "0", 4, {L(0, {"File 1.txt", "0", "28", "B", "25", "158", "123"}), L(1, {"File 2 - xx.txt", "33", "78", "B", "5D", "1B8", "17F"}), V(1, {"File 2 - xx.txt", "-22%", "11", "9", ""})}},
    {"zip_7z_deflate.zip", kDone, "0", 3, {}},
    {"zip_7z_lzma.zip", kDone, "0", 2, {L(0, {"abc_measurement_analysis_sample", "E6", "14B", "3D", "0", "0", "4C4"}), V(0, {"abc_measurement_analysis_sample", "25%", "61", "81", "_installdir\\abc_tools\\2000.9-beta11\\bin\\"})}},
    {"zip_bz2_hang.zip", kBadZip, "0", 0, {G(1, Damaged("0000")), G(2, Ui().logNoEndRecord)}},
    {"zip_bzip2.zipx", kDone, "0", 1, {}},
    {"zip_bzip2_multi.zipx", kDone, "0", 3, {}},
    {"zip_comment_stored_1.zip", kDone, "0", 1, {}},
    {"zip_comment_stored_2.zip", kDone, "0", 2, {L(1, {"build.sh", "57F2", "5834", "17", "5816", "58CA", "5896"}), V(0, {"file0", "72%", "22,451", "81,514", ""})}},
    {"zip_encryption_data.zip", kDone, "0", 2, {V(0, {"bar.txt", "-1610%", "342", "20", ""})}},
    {"zip_encryption_header.zip", kBadZip, "0", 1, {L(0, {"1", "0", "1F", "156", "0", "", ""}), V(0, {"1", "", "342", "0", ""}), G(1, Damaged("2"))}},
    {"zip_encryption_partially.zip", kDone, "0", 2, {}},
    {"zip_extra_padding.zip", kBadZip, "0", 1, {L(0, {"a", "0", "3B", "2", "0", "", ""}), G(1, Ui().logNoEndRecord)}},
    {"zip_filename_cp866.zip", kDone, "0", 2, {}},
    {"zip_filename_cp932.zip", kDone, "0", 2, {V(0, {"\x88\xea\x97\x97\x95\\.txt", " 0%", "5", "5", "\x95\\\x82\xbe\x82\xe6\\"}), L(0, {"\x88\xea\x97\x97\x95\\.txt", "0", "2F", "5", "2C", "A2", "66"})}},
    {"zip_filename_koi8r.zip", kDone, "0", 2, {}},
    {"zip_filename_utf8_jp.zip", kDone, "0", 2, {}},
    {"zip_filename_utf8_ru.zip", kDone, "0", 2, {}},
    {"zip_filename_utf8_ru2.zip", kDone, "0", 2, {}},
    {"zip_high_compression.zip", kDone, "0", 1, {L(0, {"char.bin", "0", "46", "1B5", "23", "23E", "20B"})}},
    {"zip_jar.jar", kDone, "0", 0, {}},
    {"zip_length_at_end.zip", kDone, "0", 1, {}},
    {"zip_lzma.zipx", kDone, "0", 1, {}},
    {"zip_lzma_alone_leak.zipx", kBadZip, "0", 0, {}},
    {"zip_lzma_multi.zipx", kDone, "0", 3, {}},
    {"zip_lzma_stream_end.zipx", kDone, "0", 1, {}},
    {"zip_mac_metadata.zip", kDone, "0", 2, {}},
    {"zip_malformed1.zip", kBadZip, "0", 0, {}},
    {"zip_msdos.zip", kDone, "0", 0, {}},
    {"zip_nested.zip", kDone, "0", 2, {L(0, {"small.zip", "0", "43", "D3", "24", "1C1", "18D"}), L(1, {"file.txt", "116", "158", "35", "139", "20F", "1DC"})}},
    {"zip_nofiletype.zip", kDone, "0", 1, {}},
    {"zip_padded1.zip", kDone, "89", 2, {L(0, {"file0", "59", "98", "6", "0", "0", "E3"}), G(1, Lead(89)), G(2, FormatNumbers(Ui().logDirectoryLater, 89))}},
    {"zip_padded2.zip", kDone, "0", 2, {}},
    {"zip_padded3.zip", kDone, "89", 2, {L(1, {"file1", "9E", "DD", "6", "0", "0", "12E"})}},
    {"zip_pkware_unix.zip", kDone, "0", 1, {}},
    {"zip_ppmd8.zipx", kDone, "0", 1, {}},
    {"zip_ppmd8_aes256_streaming.zipx", kDone, "0", 1, {}},
    {"zip_ppmd8_crash_1.zipx", kBadZip, "5", 0, {}},
    {"zip_ppmd8_crash_2.zipx", kBadZip, "5", 0, {}},
    {"zip_ppmd8_multi.zipx", kDone, "0", 3, {}},
    {"zip_sfx", kDone, "1024", 1, {L(0, {"build.sh", "43F", "481", "17", "463", "517", "4E3"}), G(1, Lead(1024))}},
    {"zip_size_exceeds_declared_deflate.zip", kDone, "0", 2, {}},
    {"zip_size_exceeds_declared_stored.zip", kDone, "0", 2, {V(0, {"first", "-100%", "20", "10", ""})}},
    {"zip_symlink.zip", kDone, "0", 2, {}},
    {"zip_symlink_unsupported_compression.zip", kDone, "0", 2, {}},
    {"zip_traditional_encryption_data.zip", kDone, "0", 2, {L(0, {"bar.txt", "0", "41", "1D", "22", "10E", "DC"})}},
    {"zip_uncompressed_size_off_by_4gib.zip", kDone, "0", 1, {V(0, {"hello.txt", "100%", "5", "4,294,967,301", ""})}},
    {"zip_ux.zip", kDone, "0", 1, {}},
    {"zip_winzip_aes128.zip", kDone, "0", 1, {}},
    {"zip_winzip_aes256.zip", kDone, "0", 1, {}},
    {"zip_winzip_aes256_large.zip", kDone, "0", 4, {}},
    {"zip_winzip_aes256_large_bzip2.zip", kDone, "0", 4, {}},
    {"zip_winzip_aes256_large_lzma.zip", kDone, "0", 4, {}},
    {"zip_winzip_aes256_large_ppmd.zip", kDone, "0", 4, {}},
    {"zip_winzip_aes256_large_xz.zip", kDone, "0", 4, {}},
    {"zip_winzip_aes256_large_zstd.zip", kDone, "0", 4, {L(0, {"config.h", "0", "31", "1502", "25", "166C8", "16693"}), T("h=1"), T("=3")}},
    {"zip_winzip_aes256_stored.zip", kDone, "0", 1, {V(0, {"README", " 0%", "6,846", "6,818", ""})}},
    {"zip_with_invalid_traditional_eocd.zip", kDone, "0", 0, {}},
    {"zip_xz_multi.zipx", kDone, "0", 3, {}},
    {"zip_zip64a.zip", kDone, "0", 1, {L(0, {"-", "0", "33", "8", "0", "0", "53"})}},
    {"zip_zip64b.zip", kDone, "0", 1, {}},
    {"zip_zipx_lzma_oom.zipx", kBadZip, "0", 0, {}},
    {"zip_zstd.zipx", kDone, "0", 1, {}},
    {"zip_zstd_multi.zipx", kDone, "0", 3, {}},
  };
  return cases;
}

class Corpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(Corpus, AnalysedAsTheRulesSay) {
  BRIMLODE_NEEDS_CORPUS();
  const CorpusCase& c = GetParam();
  test::AnalysedArchive a;
  a.AnalyseFile(test::CorpusPath(std::string("libarchive/") + c.file));
  const bool lzh = std::string(c.panel1).rfind("Level=", 0) == 0;
  EXPECT_EQ(a.s.ArchiveKind, lzh ? ArchiveKindType::Lzh : ArchiveKindType::Zip);
  EXPECT_EQ(a.Panel(0), c.outcome == kDone     ? Ui().analysed
                        : c.outcome == kBadZip ? Ui().damagedZip
                                               : Ui().damagedLzh);
  EXPECT_EQ(a.Panel(1), c.panel1);
  ASSERT_EQ(a.Rows(), c.rows);
  ASSERT_EQ(a.s.ListView2.Count(), c.rows);
  size_t tallied = 0;
  for (size_t i = 0; i < a.s.ListView5.Count(); ++i)
    tallied += a.s.ListView5.Number(i);
  // Every copy of a name is tallied: rows whose copies differ count more.
  bool copies = false;
  for (size_t i = 0; i < c.rows; ++i) copies |= !a.s.ListView1.NameCopies(i).empty();
  if (copies) {
    EXPECT_GE(tallied, c.rows);
  } else {
    EXPECT_EQ(tallied, c.rows);
  }
  for (size_t i = 0; i < c.rows; ++i) {
    EXPECT_EQ(a.Locator(i).size(), 7u);
    EXPECT_EQ(a.Listing(i).size(), 5u);
  }
  for (const Expect& e : c.expect) {
    switch (e.what) {
      case 'L':
        EXPECT_EQ(a.Locator(e.index), e.cells) << "locator row " << e.index;
        break;
      case 'V':
        EXPECT_EQ(a.Listing(e.index), e.cells) << "listing row " << e.index;
        break;
      case 'G':
        ASSERT_GT(a.Log().size(), e.index);
        EXPECT_EQ(a.Log()[e.index], e.cells[0]);
        break;
      default: {
        Row tally = a.Tally();
        EXPECT_NE(std::find(tally.begin(), tally.end(), e.cells[0]), tally.end()) << e.cells[0];
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Libarchive, Corpus, ::testing::ValuesIn(Cases()),
                         [](const auto& info) {
                           std::string n = info.param.file;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

TEST(Corpus, EverySampleHasAnExpectedOutcome) {
  BRIMLODE_NEEDS_CORPUS();
  std::set<std::string> listed;
  for (const CorpusCase& c : Cases()) listed.insert(c.file);
  for (const auto& entry : std::filesystem::directory_iterator(test::CorpusPath("libarchive")))
    EXPECT_TRUE(listed.count(entry.path().filename().string())) << entry.path();
}

}  // namespace
}  // namespace brim
