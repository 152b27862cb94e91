// The rewrite of entries as real writers leave them: encrypted, streamed
// with a Zip64 descriptor, sizes in a Zip64 field of one header only, and a
// UTF-8 name. Every byte of the result is checked against the same archive
// built with the values the rewrite must write.
#include <gtest/gtest.h>

#include "base/cp932.h"
#include "base/ui_texts.h"
#include "checksum/crc.h"
#include "formats/zip_records.h"
#include "rewrite/rewrite_command.h"
#include "support/analysed_archive.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

using test::Bytes;
using test::ZipBuilder;
using test::ZipLocal;

// Streamed, encrypted (ZipCrypto), "version needed" 45 and a Zip64 field in
// the local header only, then a Zip64 descriptor without signature; and a
// LZMA entry (version 63) with a UTF-8 name. after: as the rewrite leaves it.
Bytes Archive(bool after) {
  const Bytes data = test::BytesOf("encrypted bytes"), zeros(data.size(), 0);
  const uint32_t size = static_cast<uint32_t>(data.size());
  const uint32_t crc = after ? Crc32Update(0, zeros.data(), zeros.size()) : 0x1234ABCD;
  ZipBuilder z;
  ZipLocal a = ZipLocal::Streamed(after ? "a.tx$" : "a.txt", after ? zeros : data);
  a.versionNeeded = 45;
  a.flags = after ? 0x0008 : 0x0009;
  a.method = after ? 0 : 8;
  a.crc = after ? crc : 0;
  a.compressedSize = a.originalSize = zip::kZip64Marker32;
  a.extra = test::Zip64ExtraBlock({after ? size : 0u, 0});
  z.Local(a);
  z.Raw(test::Zip64DataDescriptor(crc, size, after ? size : 99, false));

  ZipLocal b = ZipLocal::Stored(after ? "画像.ex$" : "画像.exe", after ? Bytes(4, 0) : test::BytesOf("lzma"));
  b.flags = 0x0800;
  b.versionNeeded = after ? 20 : 63;
  b.method = after ? 0 : 14;
  if (!after) b.originalSize = 40;
  z.Local(b);

  auto c = z.CentralsFor();
  c[0].versionNeeded = 45;  // no Zip64 field in this header, the same version as the local one
  c[0].crc = crc;
  c[0].compressedSize = size;
  c[0].originalSize = after ? size : 99;
  const uint64_t start = z.Size();
  for (const auto& h : c) z.centrals.push_back(z.Central(h));
  z.endRecord = z.End(z.EndFor(start, z.Size()));
  return z.bytes;
}

TEST(RealZipRewrite, PlainStoredEntriesWithTheirZip64FieldAndDescriptorFilled) {
  test::AnalysedArchive a;
  a.Analyse(Archive(false));
  ASSERT_EQ(a.Rows(), 2u);
  EXPECT_EQ(a.s.ListView1.Descriptor(0), 20u);
  for (size_t row = 0; row < 2; ++row) a.s.ListView2.SetChecked(row, true);
  a.s.Memo1.Clear();
  RewriteZipEntries(a.s);
  EXPECT_EQ(test::ReadFileBytes(a.s.Label1.Caption()), Archive(true));
  // The log file is CP932: the UTF-8 name is converted for it.
  EXPECT_EQ(a.s.Memo1.Line(3), test::J("画像.exe") + Ui().logZeroed);
}

}  // namespace
}  // namespace brim
