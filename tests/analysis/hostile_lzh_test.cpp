// LZH headers as hostile or unusual producers write them: extended chains
// that run past their header, and folder entries.
#include <gtest/gtest.h>

#include "base/ui_texts.h"
#include "support/analysed_archive.h"
#include "support/lzh_builder.h"

namespace brim {
namespace {

using test::AnalysedArchive;
using test::Bytes;
using test::BytesOf;
using test::LzhBuilder;
using test::LzhEntry;

// Level-2 headers of 27 bytes whose one record (size 27) reaches into the
// next header (bench/gen_lzh_chained.py): every header's chain would run to
// the last one, re-walking the file at each header and taking the later
// headers' records as its own. A chain must end inside its own header.
TEST(HostileLzh, ALevel2ChainNeverLeavesItsHeader) {
  Bytes archive;
  for (int i = 0; i < 3; ++i) {
    const bool last = i == 2;
    const Bytes header = {static_cast<uint8_t>(last ? 26 : 27), 0, '-', 'l', 'h', '0', '-', 0, 0, 0, 0, 1, 0, 0,
                          0, 0, 0, 0, 0, 0x20, 2, 0, 0, 'U'};
    archive.insert(archive.end(), header.begin(), header.end());
    const Bytes record = last ? Bytes{0, 0} : Bytes{27, 0, 0x7F};
    archive.insert(archive.end(), record.begin(), record.end());
  }
  archive.push_back(0);
  AnalysedArchive a;
  a.Analyse(archive);
  EXPECT_EQ(a.Panel(0), Ui().damagedLzh);
  EXPECT_EQ(a.Rows(), 0u);
}

// Folder entries ("-lhd-", as jlha writes them at levels 0 and 1) are not
// entries to list, neutralise or split, at any level and whatever sizes they
// claim.
class LzhFolderEntries : public ::testing::TestWithParam<int> {};

TEST_P(LzhFolderEntries, AreNotListed) {
  const int level = GetParam();
  LzhEntry folder = level == 0 ? LzhEntry::Level0("docs\\", {})
                    : level == 1 ? LzhEntry::Level1("", {})
                                 : LzhEntry::Level2("docs/", {});
  if (level == 1) folder.extended.push_back(test::LzhExtended::Directory("docs"));
  folder.method = "-lhd-";
  folder.originalSize = 5;
  LzhEntry file = level == 0 ? LzhEntry::Level0("docs\\a.exe", BytesOf("MZ"))
                  : level == 1 ? LzhEntry::Level1("a.exe", BytesOf("MZ"))
                               : LzhEntry::Level2("docs/a.exe", BytesOf("MZ"));
  LzhBuilder b;
  b.Add(folder);
  b.Add(file);
  b.EndMark();
  AnalysedArchive a;
  a.Analyse(b.bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  ASSERT_EQ(a.Rows(), 1u);
  EXPECT_EQ(a.Tally(), std::vector<std::string>{"exe=1"});
}

INSTANTIATE_TEST_SUITE_P(Levels, LzhFolderEntries, ::testing::Values(0, 1, 2));

}  // namespace
}  // namespace brim
