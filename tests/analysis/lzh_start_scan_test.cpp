// The search for an LZH archive behind a program stub: every placement
// around the scan's block boundaries is found, and the scan (which keeps
// running sums and follows shared chains once) finds exactly the header that
// checking each candidate on its own finds.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "analysis/lzh_start_scan.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "checksum/crc.h"
#include "formats/lzh_layout.h"
#include "formats/lzh_records.h"
#include "support/analysed_archive.h"
#include "support/lzh_builder.h"

namespace brim {
namespace {

using test::Bytes;
using test::BytesOf;
using test::LzhBuilder;
using test::LzhEntry;
using test::LzhExtended;

// Checking one candidate on its own: read it as the walk does, then its
// sum or CRC.
bool ChecksAlone(ByteWindow& w, uint64_t p) {
  const uint8_t* m = w.At(p + lzh::kMethod, lzh::kMethodLength);
  if (!m || m[0] != '-' || m[1] != 'l' || (m[2] != 'h' && m[2] != 'z') || m[4] != '-') return false;
  const uint8_t* level = w.At(p + lzh::kLevel, 1);
  if (!level || *level > 2) return false;
  lzh::Header h;
  if (lzh::ReadHeader(w, p, *level, h) != lzh::Read::Header) return false;
  if (h.recordsExceedPacked || h.next >= w.FileSize()) return false;
  if (h.level != 2) {
    const uint8_t* b = w.At(p, static_cast<size_t>(h.headerSize) + 2);
    if (!b || h.headerSize < lzh::kLevel0MinimumSize + h.baseName->length) return false;
    return HeaderSum(b + lzh::kMethod, static_cast<int64_t>(h.headerSize) - 1) == b[lzh::kHeaderSum];
  }
  if (h.headerCrc == 0) return false;
  const size_t length = static_cast<size_t>(h.dataStart - p);
  const uint8_t* b = w.At(p, length);
  if (!b) return false;
  Bytes header(b, b + length);
  const uint16_t stored = le::Get16(header.data() + (h.headerCrc - p));
  le::Put16(header.data() + (h.headerCrc - p), 0);
  return Crc16Update(0, header.data(), header.size()) == stored;
}

std::optional<uint64_t> FirstAlone(const FileStream& f) {
  ByteWindow w(f);
  for (uint64_t p = 1; p + lzh::kMethod + lzh::kMethodLength <= f.Size(); ++p) {
    if (ChecksAlone(w, p)) return p;
  }
  return std::nullopt;
}

// A method id whose first byte lies at each position around the ends of
// the detection's blocks (the first of 4,096 bytes, then every 262,141) and
// of the re-analysis's (every 65,532 from 3).
TEST(LzhStartScan, HeadersAroundBlockEndsAreFound) {
  for (uint64_t method : {4090u, 4091u, 4092u, 4093u, 4094u, 4095u, 4096u, 266231u, 266232u, 266233u, 266234u,
                          65533u, 65534u, 65535u, 65536u, 131067u, 131068u, 131069u}) {
    LzhBuilder b;
    b.Raw(Bytes(method - lzh::kMethod, 'x'));
    b.Add(LzhEntry::Level1("evil.exe", BytesOf("MZ")));
    b.EndMark();
    test::AnalysedArchive a;
    a.Analyse(b.bytes);
    EXPECT_EQ(a.Panel(0), Ui().analysed) << method;
    ASSERT_EQ(a.Rows(), 1u) << method;
    EXPECT_EQ(a.Locator(0)[1], test::Hex(method - lzh::kMethod)) << method;
    const FileStream f = FileStream::Open(a.path, FileStream::Mode::Read);
    EXPECT_EQ(FindLzhStart(a.s, f), method - lzh::kMethod) << method;
  }
}

// Stubs of headers of every level, overlapping, cut, with wrong sums and
// CRCs, chains that meet and run past their headers: the scan's answer is
// the first candidate that checks on its own.
TEST(LzhStartScan, FindsWhatCheckingEachCandidateFinds) {
  std::mt19937 random(26);
  auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  for (int round = 0; round < 150; ++round) {
    LzhBuilder b;
    b.Raw(BytesOf("MZ"));
    while (b.Size() < 3000) {
      LzhEntry e = pick(3) == 0 ? LzhEntry::Level0("a.exe", BytesOf("abc"))
                   : pick(2) ? LzhEntry::Level1("b.txt", BytesOf("abcd"))
                             : LzhEntry::Level2("c.com", BytesOf("xy"));
      if (e.level != 0 && pick(2)) e.extended.push_back(LzhExtended::Common());
      // Mostly spoilt, each in one way.
      switch (pick(60)) {
        case 0: e.headerSum = static_cast<uint8_t>(pick(256)); e.headerCrc = static_cast<uint16_t>(pick(65536)); break;
        case 1: e.chainTerminated = false; break;
        case 2: e.packedSize = pick(4000); break;
        case 3: e.headerSize = static_cast<uint16_t>(pick(e.level == 2 ? 200 : 256)); break;
        case 4: e.extended.push_back({0x7F, Bytes(pick(8)), static_cast<uint16_t>(pick(300))}); break;
        case 5: e.nameLength = static_cast<uint8_t>(pick(256)); break;
        case 6: break;
        default: e.headerSum = static_cast<uint8_t>(e.headerSum.value_or(0) + 1 + pick(255));
                 e.headerCrc = static_cast<uint16_t>(pick(65536)); break;
      }
      const Bytes h = EncodeLzhHeader(e);
      // A cut, a header inside another's data, or one after the other.
      const size_t keep = pick(4) == 0 ? pick(static_cast<uint32_t>(h.size())) : h.size();
      b.Raw(Bytes(h.begin(), h.begin() + static_cast<std::ptrdiff_t>(keep)));
      if (keep == h.size()) b.Raw(e.data);
      if (pick(3) == 0) b.Raw(Bytes(pick(40), static_cast<uint8_t>(pick(3))));
    }
    b.EndMark();
    test::TempDir dir;
    test::WriteFileBytes(dir.File("s.bin"), b.bytes);
    const FileStream f = FileStream::Open(dir.File("s.bin"), FileStream::Mode::Read);
    test::AnalysedArchive a;
    const std::optional<uint64_t> expected = FirstAlone(f);
    const std::optional<uint64_t> scanned = FindLzhStart(a.s, f);
    ASSERT_EQ(scanned, expected) << round;
  }
}

}  // namespace
}  // namespace brim
