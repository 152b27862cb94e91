#include "support/reader_views.h"

#include <zlib.h>

#include "base/le.h"
#include "support/lzh_builder.h"

namespace brim::test {

namespace {

uint32_t Crc(const Bytes& b) { return static_cast<uint32_t>(crc32(0, b.data(), static_cast<uInt>(b.size()))); }

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A Unicode Path block with any version byte and raw name bytes.
Bytes PathBlock(const std::string& headerName, const std::string& name, uint8_t version = 1) {
  Bytes b = UnicodePathBlock(headerName, name);
  b[4] = version;
  return b;
}

// One stored entry named header whose local and central extra fields are extra.
Bytes WithExtra(const std::string& header, const Bytes& extra) {
  ZipBuilder z;
  ZipLocal l = ZipLocal::Stored(header, CraftedPayload());
  l.extra = extra;
  z.Local(l);
  std::vector<ZipCentral> centrals = z.CentralsFor();
  centrals[0].extra = extra;
  const uint64_t start = z.Size();
  for (const ZipCentral& c : centrals) z.Central(c);
  z.End(z.EndFor(start, z.Size()));
  return z.bytes;
}

LzhExtended Record(uint8_t type, Bytes body) {
  LzhExtended e;
  e.type = type;
  e.body = std::move(body);
  return e;
}

Bytes Lzh(const LzhEntry& e) {
  LzhBuilder b;
  b.Add(LzhEntry::Level0("a.txt", BytesOf("hello")));
  b.Add(e);
  b.EndMark();
  return b.bytes;
}

}  // namespace

Bytes Utf16Le(const std::string& ascii) {
  Bytes out;
  for (char c : ascii) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

std::vector<ViewHole> ReaderViewHoles() {
  std::vector<ViewHole> out;
  {  // A stored bit-3 entry whose data holds a descriptor that fits its first
     // five bytes, then evil.exe's local header: a streaming reader ends
     // readme.txt there and writes evil.exe.
    const Bytes head = BytesOf("hello");
    Bytes fake = {0x50, 0x4B, 0x07, 0x08, 0, 0, 0, 0, 5, 0, 0, 0, 5, 0, 0, 0};
    le::Put32(fake.data() + 4, Crc(head));
    const Bytes data = Cat(Cat(head, fake), EncodeZipLocal(ZipLocal::Stored("evil.exe", CraftedPayload())));
    ZipBuilder z;
    z.Local(ZipLocal::Streamed("readme.txt", data));
    z.DataDescriptorForLast();
    z.Finish();
    out.push_back({"streaming_split", true, z.bytes});
  }
  out.push_back({"unicode_path_version_2", true, WithExtra("readme.txt", PathBlock("readme.txt", "evil.exe", 2))});
  out.push_back({"unicode_path_nul", true, WithExtra("a.txt", PathBlock("a.txt", std::string("evil.exe\0.txt", 13)))});
  out.push_back({"unicode_path_trailing_dot", true, WithExtra("a.txt", PathBlock("a.txt", "evil.exe."))});
  out.push_back({"unicode_path_second_block", true,
                 WithExtra("readme.txt", Cat(PathBlock("readme.txt", "readme.txt"), PathBlock("readme.txt", "evil.exe")))});
  {  // Three central headers of one name point at one local header.
    ZipBuilder z;
    z.Local(ZipLocal::Stored("evil.exe", CraftedPayload()));
    const ZipCentral c = z.CentralsFor()[0];
    const uint64_t start = z.Size();
    for (int i = 0; i < 3; ++i) z.Central(c);
    ZipEnd end = z.EndFor(start, z.Size());
    end.entriesOnDisk = end.entriesTotal = 3;
    z.End(end);
    out.push_back({"duplicate_central_headers", true, z.bytes});
  }
  {
    LzhEntry e = LzhEntry::Level2("readme.txt", CraftedPayload());
    e.extended.push_back(Record(0x44, Utf16Le("evil.exe")));
    out.push_back({"lzh_utf16_beside_level2_name", false, Lzh(e)});
  }
  {
    LzhEntry e = LzhEntry::Level1("readme.txt", CraftedPayload());
    e.extended.push_back(Record(0x44, Utf16Le("evil.exe")));
    out.push_back({"lzh_utf16_beside_level1_name", false, Lzh(e)});
  }
  {
    LzhEntry e = LzhEntry::Level1("", CraftedPayload());
    e.extended.push_back(Record(0x44, Utf16Le("evil.exe")));
    out.push_back({"lzh_utf16_alone", false, Lzh(e)});
  }
  {
    LzhEntry e = LzhEntry::Level1("", CraftedPayload());
    e.extended.push_back(LzhExtended::RawDirectory(Cat(BytesOf("sub\xFF"), BytesOf("evil.exe"))));
    out.push_back({"lzh_name_in_directory_record", false, Lzh(e)});
  }
  return out;
}

}  // namespace brim::test
