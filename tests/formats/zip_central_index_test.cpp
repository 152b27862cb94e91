// Finding the directory from the end records and the central header of a
// local header, on archives built byte by byte.
#include "formats/zip_central_index.h"

#include <gtest/gtest.h>

#include "formats/zip_records.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brim::zip {
namespace {

using test::Bytes;
using test::ZipBuilder;
using test::ZipLocal;

struct Built {
  test::TempDir dir;
  std::optional<FileStream> file;
  std::optional<ByteWindow> window;
  explicit Built(const Bytes& bytes) {
    test::WriteFileBytes(dir.File("a.zip"), bytes);
    file.emplace(FileStream::Open(dir.File("a.zip"), FileStream::Mode::Read));
    window.emplace(*file);
  }
};

// A stub, then streamed entries whose sizes only the directory holds.
ZipBuilder Streamed(uint64_t stub, uint64_t offsetBase, bool zip64) {
  ZipBuilder z;
  z.Raw(Bytes(stub, 'M'));
  for (const char* name : {"a.txt", "b.txt"}) {
    z.Local(ZipLocal::Streamed(name, test::BytesOf(std::string(40, name[0]))));
    z.DataDescriptorForLast(false);
  }
  zip64 ? test::FinishZip64(z, offsetBase) : z.Finish(offsetBase);
  return z;
}

struct IndexCase {
  const char* label;
  uint64_t stub, offsetBase;
  bool zip64;
};

class Index : public ::testing::TestWithParam<IndexCase> {};

// Offsets relative to the archive proper or counting the stub, end record
// classic or Zip64 with markers: every local header finds its own header.
TEST_P(Index, EveryLocalHeaderFindsItsCentralHeader) {
  const IndexCase& c = GetParam();
  ZipBuilder z = Streamed(c.stub, c.offsetBase, c.zip64);
  Built b(z.bytes);
  const DirectoryBounds bounds = BoundsFromEndRecord(*b.window, z.endRecord, c.stub);
  EXPECT_EQ(bounds.zip64, c.zip64);
  EXPECT_EQ(bounds.entries, 2u);
  EXPECT_EQ(bounds.end - bounds.size, z.centrals.front());
  const CentralIndex index = CentralIndex::Build(*b.window, bounds);
  ASSERT_EQ(index.Count(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const CentralEntry* e = index.ForLocal(z.entries[i].local, c.stub);
    ASSERT_NE(e, nullptr) << i;
    EXPECT_EQ(e->position, z.centrals[i]);
    EXPECT_EQ(e->compressedSize, 40u);
    EXPECT_EQ(e->originalSize, 40u);
  }
  EXPECT_EQ(index.ForLocal(z.entries[0].local + 1, c.stub), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, Index,
                         ::testing::Values(IndexCase{"Plain", 0, 0, false},
                                           IndexCase{"StubRelative", 700, 700, false},
                                           IndexCase{"StubAbsolute", 700, 0, false},
                                           IndexCase{"Zip64StubRelative", 700, 700, true},
                                           IndexCase{"Zip64StubAbsolute", 700, 0, true}),
                         [](const auto& info) { return std::string(info.param.label); });

// Sizes and the local offset in the central header's Zip64 field only.
TEST(Index, Zip64FieldsOfTheCentralHeader) {
  ZipBuilder z;
  z.Local(ZipLocal::Stored("big.bin", Bytes(50, 1)));
  auto centrals = z.CentralsFor();
  centrals[0].originalSize = centrals[0].localHeaderOffset = kZip64Marker32;
  centrals[0].extra = test::Zip64ExtraBlock({0x120000000, 0});
  const uint64_t start = z.Size();
  z.centrals.push_back(z.Central(centrals[0]));
  z.endRecord = z.End(z.EndFor(start, z.Size()));
  Built b(z.bytes);
  const CentralIndex index = CentralIndex::Build(*b.window, BoundsFromEndRecord(*b.window, z.endRecord, 0));
  const CentralEntry* e = index.ForLocal(0, 0);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->originalSize, 0x120000000u);
  EXPECT_EQ(e->compressedSize, 50u);
}

// Past 65,535 entries the count comes from the Zip64 end record.
TEST(Index, MoreThan65535Entries) {
  ZipBuilder z = test::ManyEntries(70000);
  Built b(z.bytes);
  const DirectoryBounds bounds = BoundsFromEndRecord(*b.window, z.endRecord, 0);
  EXPECT_TRUE(bounds.zip64);
  EXPECT_EQ(bounds.entries, 70000u);
  const CentralIndex index = CentralIndex::Build(*b.window, bounds);
  EXPECT_EQ(index.Count(), 70000u);
  ASSERT_NE(index.ForLocal(z.entries[69999].local, 0), nullptr);
  EXPECT_EQ(index.ForLocal(z.entries[69999].local, 0)->position, z.centrals[69999]);
}

}  // namespace
}  // namespace brim::zip
