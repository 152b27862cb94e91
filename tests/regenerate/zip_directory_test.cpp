// The central header regeneration rebuilds from the source's own: what it
// keeps and where a Zip64 field takes the new values.
#include "regenerate/zip_directory.h"

#include <gtest/gtest.h>

#include "formats/zip_records.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

using test::Bytes;

struct OriginCase {
  const char* label;
  bool zip64;  // original size and local offset left to the Zip64 field
};

class Origin : public ::testing::TestWithParam<OriginCase> {};

TEST_P(Origin, KeepsMadeByAttributesAndExtraWithTheNewPosition) {
  const bool zip64 = GetParam().zip64;
  test::ZipBuilder z;
  z.Raw(Bytes(100, 'M'));
  z.Local(test::ZipLocal::Stored("dir/a.txt", test::BytesOf("hello")));
  test::ZipCentral c = z.CentralsFor()[0];
  c.versionMadeBy = 0x031E;
  c.versionNeeded = zip64 ? 45 : 20;
  c.externalAttributes = 0x81A40000;
  const Bytes unicodePath = {0x75, 0x70, 0x05, 0x00, 1, 2, 3, 4, 5};
  c.extra = unicodePath;
  if (zip64) {
    c.originalSize = c.localHeaderOffset = zip::kZip64Marker32;
    const Bytes block = test::Zip64ExtraBlock({5, 100});
    c.extra.insert(c.extra.end(), block.begin(), block.end());
  }
  const uint64_t at = z.Central(c);
  test::TempDir dir;
  test::WriteFileBytes(dir.File("a.zip"), z.bytes);
  FileStream f = FileStream::Open(dir.File("a.zip"), FileStream::Mode::Read);

  const auto origin = ReadCentralOrigin(f, at);
  ASSERT_TRUE(origin);
  EXPECT_EQ(origin->sums.originalSize, 5u);
  ZipEntryFacts facts = ReadZipEntryFacts(f, z.entries[0].local);
  std::vector<uint8_t> rebuilt;
  AppendCentralHeader(rebuilt, facts, 0x40, reinterpret_cast<const uint8_t*>("dir/a.txt"), &*origin);

  test::ZipCentral want = c;  // the same header, at its new position
  if (zip64) {
    want.extra = unicodePath;
    const Bytes block = test::Zip64ExtraBlock({5, 0x40});
    want.extra.insert(want.extra.end(), block.begin(), block.end());
  } else {
    want.localHeaderOffset = 0x40;
  }
  EXPECT_EQ(rebuilt, test::EncodeZipCentral(want));
  EXPECT_FALSE(ReadCentralOrigin(f, at + 1));
}

INSTANTIATE_TEST_SUITE_P(Cases, Origin,
                         ::testing::Values(OriginCase{"Classic", false}, OriginCase{"Zip64", true}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace brim
