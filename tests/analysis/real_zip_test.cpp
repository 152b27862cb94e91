// ZIP layouts that real writers use but no installed tool makes on demand:
// a descriptor without its signature, Zip64 fields in one header only, an
// original size of 4 GiB and more, folders stored with data, UTF-8 names and
// more than 65,535 entries. The producer set covers the rest.
#include <gtest/gtest.h>

#include "base/ui_texts.h"
#include "formats/zip_records.h"
#include "support/analysed_archive.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

using test::AnalysedArchive;
using test::Bytes;
using test::BytesOf;
using test::Hex;
using test::ZipBuilder;
using test::ZipCentral;
using test::ZipLocal;
using Row = std::vector<std::string>;

constexpr uint32_t kMarker = zip::kZip64Marker32;

// Writes a directory from centrals (changed by the case) and the end record.
void Finish(ZipBuilder& z, const std::vector<ZipCentral>& centrals) {
  const uint64_t start = z.Size();
  for (const ZipCentral& c : centrals) z.centrals.push_back(z.Central(c));
  z.endRecord = z.End(z.EndFor(start, z.Size()));
}

struct RealCase {
  const char* label;
  ZipBuilder zip;
  Row locator0;   // the first row: caption and the six cells
  Row listing0;   // caption, ratio, sizes, folder
  size_t rows;
};

std::vector<RealCase> Cases() {
  std::vector<RealCase> out;
  {  // Streamed, its descriptor without "PK" 7 8: 12 bytes stepped over.
    ZipBuilder z;
    z.Local(ZipLocal::Streamed("a.txt", BytesOf("hello")));
    z.DataDescriptorForLast(false);
    z.Local(ZipLocal::Stored("b.txt", BytesOf("bb")));
    z.Finish();
    out.push_back({"UnsignedDescriptor", z, {"a.txt", "0", "23", "5", "20", Hex(z.centrals[0] + 48), Hex(z.centrals[0])},
                   {"a.txt", " 0%", "5", "5", ""}, 2});
  }
  {  // Sizes in the local Zip64 field only; the central header has them plain.
    ZipBuilder z;
    ZipLocal l = ZipLocal::Stored("big.txt", BytesOf("0123456789"));
    l.compressedSize = l.originalSize = kMarker;
    l.extra = test::Zip64ExtraBlock({10, 10});
    l.versionNeeded = 45;
    z.Local(l);
    auto c = z.CentralsFor();
    c[0].compressedSize = c[0].originalSize = 10;
    c[0].extra.clear();
    Finish(z, c);
    out.push_back({"Zip64LocalOnly", z, {"big.txt", "0", "39", "A", "22", Hex(z.centrals[0] + 50), Hex(z.centrals[0])},
                   {"big.txt", " 0%", "10", "10", ""}, 1});
  }
  {  // The local header's position in the central Zip64 field only.
    ZipBuilder z;
    z.Raw(Bytes(16, 'M'));
    z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
    auto c = z.CentralsFor(16);
    c[0].localHeaderOffset = kMarker;
    c[0].extra = test::Zip64ExtraBlock({0});
    Finish(z, c);
    out.push_back({"Zip64CentralOnly", z, {"a.txt", "10", "33", "5", "30", Hex(z.centrals[0] + 48), Hex(z.centrals[0])},
                   {"a.txt", " 0%", "5", "5", ""}, 1});
  }
  {  // 4.5 GiB of zeros deflated into 10 bytes: the listing shows the real size.
    ZipBuilder z;
    ZipLocal l = ZipLocal::Stored("sparse.img", Bytes(10, 0));
    l.method = 8;
    l.originalSize = kMarker;
    l.extra = test::Zip64ExtraBlock({4831838208});
    z.Local(l);
    auto c = z.CentralsFor();
    c[0].extra = l.extra;
    Finish(z, c);
    out.push_back({"Zip64Over4GiB", z, {"sparse.img", "0", "34", "A", "25", Hex(z.centrals[0] + 53), Hex(z.centrals[0])},
                   {"sparse.img", "100%", "10", "4,831,838,208", ""}, 1});
  }
  {  // A folder stored with an empty deflate stream and a descriptor, as jar
     // writes META-INF/: stepped over like an empty entry.
    ZipBuilder z;
    ZipLocal folder = ZipLocal::Streamed("META-INF/", Bytes{0x03, 0x00});
    folder.method = 8;
    z.Local(folder);
    z.Raw(test::Zip64DataDescriptor(0, 2, 0, true));  // a Zip64 descriptor, for good measure
    z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
    auto c = z.CentralsFor();
    c[0].crc = 0;
    c[0].compressedSize = 2;
    c[0].originalSize = 0;
    Finish(z, c);
    out.push_back({"FolderWithData", z, {"a.txt", "41", "64", "5", "61", Hex(z.centrals[1] + 48), Hex(z.centrals[1])},
                   {"a.txt", " 0%", "5", "5", ""}, 1});
  }
  {  // Flag bit 11: a UTF-8 name. "像" ends in 0x8F, a CP932 lead byte that
     // would swallow the dot.
    ZipBuilder z;
    ZipLocal l = ZipLocal::Stored("dir/画像.exe", BytesOf("MZ"));
    l.flags = 0x0800;
    z.Local(l);
    z.Finish();
    out.push_back({"Utf8Name", z, {"画像.exe", "0", "2C", "2", "29", Hex(z.centrals[0] + 57), Hex(z.centrals[0])},
                   {"画像.exe", " 0%", "2", "2", "dir\\"}, 1});
  }
  return out;
}

class RealZipLayout : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealZipLayout, ListedAsTheReadersListThem) {
  const RealCase& c = GetParam();
  AnalysedArchive a;
  a.Analyse(c.zip.bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  ASSERT_EQ(a.Rows(), c.rows);
  EXPECT_EQ(a.Locator(0), c.locator0);
  EXPECT_EQ(a.Listing(0), c.listing0);
  for (size_t i = 0; i < c.rows; ++i) EXPECT_FALSE(a.Locator(i)[6].empty()) << i;
}

INSTANTIATE_TEST_SUITE_P(Layouts, RealZipLayout, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(RealZipAnalysis, Utf8NamesTallyTheirExtension) {
  AnalysedArchive a;
  a.Analyse(Cases()[5].zip.bytes);
  EXPECT_EQ(a.Tally(), (Row{"exe=1"}));
  EXPECT_EQ(a.s.ListView1.Encoding(0), NameEncoding::Utf8);
}

// Past 65,535 entries the count and the directory come from the Zip64 end
// record: every entry is listed and matched.
TEST(RealZipAnalysis, MoreThan65535Entries) {
  const ZipBuilder z = test::ManyEntries(70000);
  AnalysedArchive a;
  a.Analyse(z.bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  ASSERT_EQ(a.Rows(), 70000u);
  EXPECT_EQ(a.Locator(69999)[6], Hex(z.centrals[69999]));
  EXPECT_EQ(a.Locator(0)[6], Hex(z.centrals[0]));
}

}  // namespace
}  // namespace brim
