// Every view of an entry reconciled into its row: the captions, marks, name
// copies and tally of archives whose headers disagree, one row per case.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/check_marks.h"
#include "app/entry_marks.h"
#include "base/le.h"
#include "cli/state_printer.h"
#include "support/analysed_archive.h"
#include "support/crafted_zip.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

using test::Bytes;
using test::BytesOf;
using test::ZipBuilder;
using test::ZipCentral;
using test::ZipLocal;
using Texts = std::vector<std::string>;

struct ReconcileCase {
  const char* label;
  Bytes bytes;
  Texts captions;
  std::vector<uint16_t> marks;  // by row
  Texts tally;
  size_t copies = 0;  // name copies of all rows together
};

class ZipReconcile : public ::testing::TestWithParam<ReconcileCase> {};

TEST_P(ZipReconcile, RowsShowWhatExtractorsWrite) {
  const ReconcileCase& c = GetParam();
  test::AnalysedArchive a;
  a.Analyse(c.bytes);
  ASSERT_EQ(a.Rows(), c.captions.size());
  size_t copies = 0;
  for (size_t i = 0; i < a.Rows(); ++i) {
    EXPECT_EQ(a.s.ListView1.Caption(i), c.captions[i]) << i;
    EXPECT_EQ(a.s.ListView1.Marks(i), c.marks[i]) << c.captions[i];
    copies += a.s.ListView1.NameCopies(i).size();
  }
  EXPECT_EQ(copies, c.copies);
  EXPECT_EQ(a.Tally(), c.tally);
  // One log line per marked row, after the others.
  size_t marked = 0;
  for (uint16_t m : c.marks) marked += m != 0;
  ASSERT_GE(a.Log().size(), marked);
  // The text listing grows a marks column only when a row is marked, so the
  // listing of an archive without marks stays as it was.
  const std::string text = cli::StateText(a.s);
  EXPECT_EQ(text.find(" marks ") != std::string::npos, marked > 0) << text;
  for (size_t i = 0; i < a.Rows(); ++i) {
    if (c.marks[i] == 0) continue;
    const size_t at = text.find("[ ]  " + c.captions[i]);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string line = text.substr(at, text.find('\n', at) - at);
    for (int m = 0; m < kEntryMarkCount; ++m) {
      if (c.marks[i] & MarkAt(m)) {
        EXPECT_NE(line.find(MarkId(MarkAt(m))), std::string::npos) << line;
      }
    }
  }
}

Bytes Zip(const std::vector<ZipLocal>& locals) {
  ZipBuilder z;
  for (const ZipLocal& l : locals) z.Local(l);
  z.Finish();
  return z.bytes;
}

ZipLocal WithExtra(ZipLocal l, Bytes extra) {
  l.extra = std::move(extra);
  return l;
}

// A Unicode Path field whose CRC does not match: listed, not believed.
Bytes UnicodePathNotBelieved() {
  return Zip({WithExtra(ZipLocal::Stored("harmless.txt", BytesOf("data")),
                        test::UnicodePathBlock("other name", "evil.exe"))});
}

// The directory and end record of z, written twice: two directories that
// both describe every entry.
Bytes TwoDirectories() {
  ZipBuilder z;
  z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
  for (int i = 0; i < 2; ++i) {
    const uint64_t start = z.Size();
    for (const ZipCentral& c : z.CentralsFor()) z.Central(c);
    z.End(z.EndFor(start, z.Size()));
  }
  return z.bytes;
}

std::vector<ReconcileCase> Cases() {
  std::vector<ReconcileCase> out;
  const auto crafted = test::CraftedZips();
  auto bytesOf = [&](const std::string& label) {
    for (const auto& c : crafted)
      if (label == c.label) return c.bytes;
    return Bytes();
  };
  // The second directory's header is a copy of the name, kept so it is masked too.
  out.push_back({"two_directories", TwoDirectories(), {"a.txt"}, {kMarkSeveralDirectories}, {"txt=1"}, 1});
  {  // b.txt has no central header while a.txt has one.
    ZipBuilder z;
    z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
    z.Local(ZipLocal::Stored("b.txt", BytesOf("world")));
    const uint64_t start = z.Size();
    z.Central(z.CentralsFor()[0]);
    test::ZipEnd e = z.EndFor(start, z.Size());
    e.entriesOnDisk = e.entriesTotal = 1;
    z.End(e);
    out.push_back({"not_in_directory", z.bytes, {"a.txt", "b.txt"}, {0, kMarkNotInDirectory}, {"txt=2"}});
  }
  out.push_back({"inside_extra_field", bytesOf("inside_extra_field"), {"a.txt", "evil.exe"},
                 {kMarkOverlap, kMarkOverlap | kMarkDirectoryOnly}, {"txt=1", "exe=1"}});
  // The appended directory lies past where its offsets say, by more than a stub.
  out.push_back({"appended_archive", bytesOf("appended_archive"), {"a.txt", "evil.exe"}, {0, kMarkDirectoryMoved},
                 {"txt=1", "exe=1"}});
  out.push_back({"local_sizes_zero", bytesOf("local_sizes_zero"), {"a.txt", "evil.exe"},
                 {0, kMarkDirectoryOnly | kMarkSizesLie}, {"txt=1", "exe=1"}});
  // The caption is the local name; the central one is kept and tallied.
  out.push_back({"central_name_differs", bytesOf("central_name_differs"), {"harmless.txt"}, {kMarkNamesDiffer},
                 {"txt=1", "exe=1"}, 1});
  out.push_back({"unicode_path_field", bytesOf("unicode_path_field"), {"harmless.txt"}, {kMarkNamesDiffer},
                 {"txt=1", "exe=1"}, 1});
  // No local file name: the central one is shown.
  out.push_back({"folder_name_locally", bytesOf("folder_name_locally"), {"a.txt", "evil.exe"},
                 {0, kMarkDirectoryOnly | kMarkNamesDiffer}, {"txt=1", "exe=1"}, 1});
  out.push_back({"unicode_path_bad_crc", UnicodePathNotBelieved(), {"harmless.txt"}, {kMarkNamesDiffer},
                 {"txt=1", "exe=1"}, 1});
  // Info-ZIP on Windows: a CP932 name and a Unicode Path field that agrees.
  const std::string cp932 = test::J("資料.txt");
  out.push_back({"unicode_path_agrees",
                 Zip({WithExtra(ZipLocal::Stored(cp932, BytesOf("data")), test::UnicodePathBlock(cp932, "資料.txt"))}),
                 {cp932}, {0}, {"txt=1"}});
  {  // Flag bit 0, and a stored entry whose sizes differ.
    ZipLocal secret = ZipLocal::Stored("secret.txt", BytesOf("0123456789ABCDEF"));
    ZipLocal lies = ZipLocal::Stored("lies.txt", BytesOf("hello"));
    secret.flags = 1;
    lies.originalSize = 500;
    out.push_back({"encrypted_and_sizes", Zip({secret, lies}), {"secret.txt", "lies.txt"},
                   {kMarkEncrypted, kMarkSizesLie}, {"txt=2"}});
  }
  // Masked, yet still deflated: a rewrite stopped after the names.
  out.push_back({"half_neutralised", Zip({ZipLocal::Deflated("evil.ex$", Bytes(300, 'x'))}), {"evil.ex$"},
                 {kMarkHalfNeutralised}, {"ex$=1"}});
  {  // Stopped between the two headers' methods: the central one still deflated.
    Bytes b = Zip({ZipLocal::Stored("evil.ex$", Bytes(300, 0))});
    const Bytes sig = {'P', 'K', 1, 2};
    const auto central = std::search(b.begin(), b.end(), sig.begin(), sig.end());
    central[10] = 8;
    out.push_back({"half_neutralised_central", b, {"evil.ex$"}, {kMarkHalfNeutralised}, {"ex$=1"}});
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(Cases, ZipReconcile, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.label); });

// "--ext exe" (a ticked tally row) ticks a row whose caption is harmless but
// one of whose name copies is a program.
TEST(ZipReconcileTicks, AnyCopyWithTheKeyTicksTheRow) {
  test::AnalysedArchive a;
  a.Analyse(UnicodePathNotBelieved());  // the copy is not believed, still a copy
  ASSERT_EQ(a.Rows(), 1u);
  for (size_t t = 0; t < a.s.ListView5.Count(); ++t) {
    a.s.ListView5.SetChecked(t, a.s.ListView5.Caption(t) == "exe");
  }
  CheckByTalliedExtensions(a.s);
  EXPECT_TRUE(a.s.ListView2.Checked(0));
}

}  // namespace
}  // namespace brim
