#include "support/crafted_zip.h"

#include <zlib.h>

#include "base/le.h"

namespace brim::test {

namespace {

// The directory and end record Finish() would write, with one change made
// to the central headers first.
template <typename Change>
void FinishChanged(ZipBuilder& z, Change change) {
  std::vector<ZipCentral> centrals = z.CentralsFor();
  change(centrals);
  const uint64_t start = z.Size();
  for (const ZipCentral& c : centrals) z.centrals.push_back(z.Central(c));
  z.endRecord = z.End(z.EndFor(start, z.Size()));
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

ZipBuilder Harmless() {
  ZipBuilder z;
  z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
  return z;
}

}  // namespace

Bytes CraftedPayload() { return BytesOf("MZ this program runs when opened"); }

Bytes UnicodePathBlock(const std::string& headerName, const std::string& utf8Name) {
  Bytes b(9 + utf8Name.size());
  le::Put16(b.data(), 0x7075);
  le::Put16(b.data() + 2, static_cast<uint16_t>(5 + utf8Name.size()));
  b[4] = 1;
  le::Put32(b.data() + 5, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(headerName.data()),
                                                        static_cast<uInt>(headerName.size()))));
  std::copy(utf8Name.begin(), utf8Name.end(), b.begin() + 9);
  return b;
}

std::vector<CraftedZip> CraftedZips() {
  std::vector<CraftedZip> out;
  const ZipLocal evil = ZipLocal::Stored("evil.exe", CraftedPayload());
  {  // The walk took "PK\1\2" for the directory and stopped.
    ZipBuilder z = Harmless();
    z.Raw(BytesOf("PK\x01\x02"));
    z.Local(evil);
    z.Finish();
    out.push_back({"stray_central_signature", z.bytes});
  }
  {  // Local sizes 0 without bit 3: an empty entry to the walk, whose data
     // starts like a central header; the directory gives the real sizes.
    ZipBuilder z = Harmless();
    ZipLocal l = ZipLocal::Stored("evil.exe", Cat(BytesOf("PK\x01\x02"), CraftedPayload()));
    const ZipLocal real = l;
    l.crc = l.compressedSize = l.originalSize = 0;
    z.Local(l);
    z.entries.back().header = real;
    z.Finish();
    out.push_back({"local_sizes_zero", z.bytes});
  }
  {  // "evil/" with data locally, "evil.exe" in the directory.
    ZipBuilder z = Harmless();
    z.Local(ZipLocal::Stored("evil/", CraftedPayload()));
    FinishChanged(z, [](std::vector<ZipCentral>& c) { c[1].name = "evil.exe"; });
    out.push_back({"folder_name_locally", z.bytes});
  }
  {  // A whole local header and its data inside another entry's extra field.
    ZipBuilder z;
    ZipLocal outer = ZipLocal::Stored("a.txt", BytesOf("hello"));
    const Bytes inner = EncodeZipLocal(evil);
    outer.extra = Cat(Bytes{0xFE, 0xCA, static_cast<uint8_t>(inner.size()), 0}, inner);
    const uint64_t at = z.Local(outer) + 30 + outer.name.size() + 4;
    z.entries.push_back({at, evil, at + 30 + evil.name.size()});
    z.Finish();
    out.push_back({"inside_extra_field", z.bytes});
  }
  {  // A second archive appended, its offsets counted from its own start.
    ZipBuilder a = Harmless();
    a.Finish();
    ZipBuilder b;
    b.Local(evil);
    b.Finish();
    out.push_back({"appended_archive", Cat(a.bytes, b.bytes)});
  }
  {  // The second archive inside the first one's end record comment; its
     // end record is the last, so extractors use it.
    ZipBuilder a = Harmless();
    std::vector<ZipCentral> centrals = a.CentralsFor();
    const uint64_t start = a.Size();
    for (const ZipCentral& c : centrals) a.Central(c);
    ZipEnd end = a.EndFor(start, a.Size());
    ZipBuilder b;
    b.Raw(Bytes(a.Size() + 22, 0));
    b.Local(evil);
    b.Finish();
    end.comment.assign(b.bytes.begin() + static_cast<long>(a.Size() + 22), b.bytes.end());
    a.End(end);
    out.push_back({"end_record_in_comment", a.bytes});
  }
  {  // The end record counts one header of two; the second names a local
     // header in the end record's comment. Readers that go by the
     // directory's size (7z, bsdtar, Python) write it.
    ZipBuilder z = Harmless();
    const ZipCentral first = z.CentralsFor()[0];
    ZipCentral hidden = ZipCentral::For(evil, 0);
    const uint64_t start = z.Size();
    const uint64_t size = EncodeZipCentral(first).size() + EncodeZipCentral(hidden).size();
    hidden.localHeaderOffset = static_cast<uint32_t>(start + size + 22);
    z.Central(first);
    z.Central(hidden);
    ZipEnd end = z.EndFor(start, z.Size());
    end.entriesOnDisk = end.entriesTotal = 1;
    const Bytes inner = EncodeZipLocal(evil);
    end.comment.assign(inner.begin(), inner.end());
    z.End(end);
    out.push_back({"end_record_count_short", z.bytes});
  }
  {  // The locator names the Zip64 end record of a.txt's directory; Python
     // reads the one right before the locator, whose directory holds evil.exe.
    ZipBuilder z = Harmless();
    const uint64_t first = z.Size();
    z.Central(z.CentralsFor()[0]);
    const uint64_t named = z.Raw(EncodeZip64End(1, z.Size() - first, first));
    const uint64_t at = z.Local(evil);
    const uint64_t second = z.Size();
    z.Central(ZipCentral::For(evil, static_cast<uint32_t>(at)));
    z.Raw(EncodeZip64End(1, z.Size() - second, second));
    z.Raw(EncodeZip64Locator(named));
    ZipEnd end;  // every value lies in the Zip64 records
    end.entriesOnDisk = end.entriesTotal = 0xFFFF;
    end.directorySize = end.directoryOffset = 0xFFFFFFFF;
    z.End(end);
    out.push_back({"zip64_locator_names_another", z.bytes});
  }
  {  // Bytes between two entries that are no record at all.
    ZipBuilder z = Harmless();
    z.Raw(BytesOf("garbage!"));
    z.Local(evil);
    z.Finish();
    out.push_back({"garbage_gap", z.bytes});
  }
  {  // Extractors cut a name at its first NUL: they write "evil.exe".
    ZipBuilder z = Harmless();
    z.Local(ZipLocal::Stored(std::string("evil.exe\0.txt", 13), CraftedPayload()));
    z.Finish();
    out.push_back({"nul_in_name", z.bytes});
  }
  {  // The directory names the entry differently.
    ZipBuilder z;
    z.Local(ZipLocal::Stored("harmless.txt", CraftedPayload()));
    FinishChanged(z, [](std::vector<ZipCentral>& c) { c[0].name = "evil.exe"; });
    out.push_back({"central_name_differs", z.bytes});
  }
  {  // A Unicode Path field in both headers, its CRC matching the header name.
    ZipBuilder z;
    ZipLocal l = ZipLocal::Stored("harmless.txt", CraftedPayload());
    l.extra = UnicodePathBlock(l.name, "evil.exe");
    z.Local(l);
    FinishChanged(z, [&](std::vector<ZipCentral>& c) { c[0].extra = l.extra; });
    out.push_back({"unicode_path_field", z.bytes});
  }
  return out;
}

}  // namespace brim::test
