// Zip64 fields, the Zip64 end record and data descriptors, decoded from bytes
// laid out by hand or by the test builders.
#include "formats/zip_records.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/le.h"
#include "support/zip_builder.h"

namespace brim::zip {
namespace {

using test::Bytes;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A block that is not Zip64: extended timestamp, 9 bytes of data.
const Bytes kTimestamp = {0x55, 0x54, 0x05, 0x00, 0x03, 1, 2, 3, 4};

struct Zip64Case {
  const char* label;
  Zip64Wants wants;
  Bytes extra;
  // Expected (position, value) of original, compressed, offset; at 0 = absent.
  uint32_t originalAt, compressedAt, offsetAt;
  uint64_t original, compressed, offset;
};

class Zip64Extra : public ::testing::TestWithParam<Zip64Case> {};

TEST_P(Zip64Extra, ValuesFollowTheMarkedFieldsInOrder) {
  const Zip64Case& c = GetParam();
  const Zip64Values v = ParseZip64Extra(c.extra.data(), c.extra.size(), c.wants);
  auto check = [](const std::optional<Zip64Value>& got, uint32_t at, uint64_t value, const char* what) {
    if (at == 0) {
      EXPECT_FALSE(got) << what;
      return;
    }
    ASSERT_TRUE(got) << what;
    EXPECT_EQ(got->at, at) << what;
    EXPECT_EQ(got->value, value) << what;
  };
  check(v.original, c.originalAt, c.original, "original");
  check(v.compressed, c.compressedAt, c.compressed, "compressed");
  check(v.localOffset, c.offsetAt, c.offset, "offset");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Zip64Extra,
    ::testing::Values(
        // A local header with both sizes marked, behind another block.
        Zip64Case{"LocalBothSizes", {true, true, false, false},
                  Cat({kTimestamp, test::Zip64ExtraBlock({0x123456789, 4600000})}), 13, 21, 0,
                  0x123456789, 4600000, 0},
        // Only the offset marked: the first value is the offset.
        Zip64Case{"CentralOffsetOnly", {false, false, true, false},
                  test::Zip64ExtraBlock({0x1000}), 0, 0, 4, 0, 0, 0x1000},
        Zip64Case{"CentralCompressedAndOffset", {false, true, true, false},
                  test::Zip64ExtraBlock({77, 0x2000}), 0, 4, 12, 0, 77, 0x2000},
        // A block of 8 bytes holds the first wanted value only.
        Zip64Case{"BlockTooShort", {true, true, false, false}, test::Zip64ExtraBlock({9}), 4, 0, 0,
                  9, 0, 0},
        Zip64Case{"NoZip64Block", {true, true, true, false}, kTimestamp, 0, 0, 0, 0, 0, 0},
        // The block before it claims more bytes than the field holds.
        Zip64Case{"BrokenBlockChain", {true, false, false, false},
                  Cat({Bytes{0x55, 0x54, 0x40, 0x00}, test::Zip64ExtraBlock({5})}), 0, 0, 0, 0, 0,
                  0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Zip64Wants, MarkersInTheClassicHeaders) {
  test::ZipLocal local = test::ZipLocal::Stored("a", {1});
  local.originalSize = kZip64Marker32;
  const Bytes l = test::EncodeZipLocal(local);
  const Zip64Wants lw = LocalZip64Wants(l.data());
  EXPECT_TRUE(lw.original);
  EXPECT_FALSE(lw.compressed);

  test::ZipCentral central = test::ZipCentral::For(local, kZip64Marker32);
  central.originalSize = 5;
  central.diskStart = kZip64Marker16;
  const Bytes c = test::EncodeZipCentral(central);
  const Zip64Wants cw = CentralZip64Wants(c.data());
  EXPECT_FALSE(cw.original);
  EXPECT_FALSE(cw.compressed);
  EXPECT_TRUE(cw.localOffset);
  EXPECT_TRUE(cw.diskStart);
}

TEST(Zip64EndRecord, LocatorAndRecordByHand) {
  // As Info-ZIP writes them: 2 entries, directory of 0x6E bytes at 0x1F4.
  const Bytes record = {0x50, 0x4B, 0x06, 0x06, 44, 0, 0, 0, 0, 0, 0, 0, 0x1E, 0x03, 45, 0,
                        0,    0,    0,    0,    0,  0, 0, 0, 2, 0, 0, 0, 0,    0,    0,  0,
                        2,    0,    0,    0,    0,  0, 0, 0, 0x6E, 0, 0, 0, 0, 0, 0, 0,
                        0xF4, 0x01, 0,    0,    0,  0, 0, 0};
  ASSERT_EQ(record.size(), kZip64EndFixedSize);
  const auto end = DecodeZip64End(record.data());
  ASSERT_TRUE(end);
  EXPECT_EQ(end->entriesOnDisk, 2u);
  EXPECT_EQ(end->entriesTotal, 2u);
  EXPECT_EQ(end->directorySize, 0x6Eu);
  EXPECT_EQ(end->directoryOffset, 0x1F4u);

  const Bytes locator = {0x50, 0x4B, 0x06, 0x07, 0, 0, 0, 0, 0x62, 0x02, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(DecodeZip64Locator(locator.data()), 0x262u);
  EXPECT_FALSE(DecodeZip64Locator(record.data()));
  EXPECT_FALSE(DecodeZip64End(locator.data()));
}

struct DescriptorCase {
  const char* label;
  Bytes bytes;      // the descriptor and what follows it
  bool known;       // pass kSums as the known values
  bool zip64Entry;
  size_t expected;
};

const EntrySums kSums{0xCBF43926, 9, 9};
const Bytes kNextLocal = {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00};

Bytes Descriptor32(uint32_t crc, uint32_t z, uint32_t u, bool sig) {
  test::ZipBuilder b;
  b.DataDescriptor(crc, z, u, sig);
  return b.bytes;
}

class Descriptors : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(Descriptors, LengthOfTheLayout) {
  const DescriptorCase& c = GetParam();
  EXPECT_EQ(RecogniseDescriptor(c.bytes.data(), std::min(c.bytes.size(), kDescriptorProbe),
                                c.known ? &kSums : nullptr, c.zip64Entry),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Descriptors,
    ::testing::Values(
        DescriptorCase{"Signed", Cat({Descriptor32(0xCBF43926, 9, 9, true), kNextLocal}), true,
                       false, 16},
        DescriptorCase{"Unsigned", Cat({Descriptor32(0xCBF43926, 9, 9, false), kNextLocal}), true,
                       false, 12},
        DescriptorCase{"SignedZip64",
                       Cat({test::Zip64DataDescriptor(0xCBF43926, 9, 9, true), kNextLocal}), true,
                       false, 24},
        DescriptorCase{"UnsignedZip64",
                       Cat({test::Zip64DataDescriptor(0xCBF43926, 9, 9, false), kNextLocal}), true,
                       true, 20},
        // Values unknown: the layout after which the next header starts.
        DescriptorCase{"UnknownSigned", Cat({Descriptor32(1, 2, 3, true), kNextLocal}), false,
                       true, 16},
        DescriptorCase{"UnknownUnsignedZip64",
                       Cat({test::Zip64DataDescriptor(1, 2, 3, false), kNextLocal}), false, false,
                       20},
        // A CRC whose bytes are the signature's, without a signature.
        DescriptorCase{"CrcLooksSigned",
                       Cat({Descriptor32(0x08074B50, 9, 9, false), kNextLocal}), false, false, 12},
        // The last bytes of the file.
        DescriptorCase{"EndsTheFile", Descriptor32(1, 2, 3, false), false, false, 12},
        // Nothing fits: the signature decides, wide for a Zip64 entry.
        DescriptorCase{"FallbackSigned", Cat({Descriptor32(1, 2, 3, true), Bytes(20, 0xEE)}), false,
                       true, 24},
        // Bit 3 set, but the next header follows the data at once.
        DescriptorCase{"NoDescriptor", Cat({kNextLocal, Bytes(30, 0)}), true, false, 0},
        DescriptorCase{"TooShort", Bytes{0x50, 0x4B, 0x07, 0x08, 1, 2}, false, false, 0}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace brim::zip

namespace brim::zip {
namespace {

// An original size of 0 reads the same in both widths: the layout after
// which the next header starts wins.
TEST(Descriptor, ZeroOriginalSizeInZip64Width) {
  const EntrySums sums{0, 2, 0};
  const Bytes bytes = Cat({test::Zip64DataDescriptor(0, 2, 0, true), kNextLocal});
  EXPECT_EQ(RecogniseDescriptor(bytes.data(), bytes.size(), &sums, false), 24u);
}

}  // namespace
}  // namespace brim::zip
