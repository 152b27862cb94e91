// Seed archives for the fuzzer, made with the test builders: make_seeds DIR.
#include <string>

#include "support/crafted_zip.h"
#include "support/lzh_builder.h"
#include "support/zip_builder.h"

using namespace brim::test;

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string dir = argv[1];
  auto save = [&](const std::string& name, const Bytes& b) { WriteFileBytes(dir + "/" + name, b); };

  for (uint64_t stub : {0, 37}) {
    for (uint64_t base : {uint64_t{0}, stub}) {
      ZipBuilder z;
      if (stub) z.Raw(Bytes(stub, 'x'));
      z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
      z.Local(ZipLocal::Stored("dir/", {}));
      z.Local(ZipLocal::Deflated("dir/b.BIN", BytesOf(std::string(300, 'b'))));
      z.Local(ZipLocal::Stored("file.", BytesOf("dot")));
      z.Finish(base, "note");
      save("zip_" + std::to_string(stub) + "_" + std::to_string(base) + ".zip", z.bytes);
    }
  }
  {
    ZipBuilder z;
    z.Local(ZipLocal::Streamed("s.txt", BytesOf("streamed")));
    z.DataDescriptorForLast();
    z.Finish();
    save("zip_streamed.zip", z.bytes);
  }
  for (int level = 0; level <= 2; ++level) {
    LzhBuilder b;
    LzhEntry e = level == 2 ? LzhEntry::Level2("src/main.c", BytesOf("int main;"))
                            : LzhEntry::Level0("read.me.TXT", BytesOf("text"));
    e.level = level;
    if (level >= 1) {
      if (level == 1) e.extended.push_back(LzhExtended::Common());
      e.extended.push_back(LzhExtended::Directory("docs/"));
      e.extended.push_back({0x41, Bytes(4, 0x11), std::nullopt});
    }
    b.Add(e);
    LzhEntry empty = LzhEntry::Level2("folder", {});
    if (level == 2) b.Add(empty);
    b.EndMark();
    save("lzh_level" + std::to_string(level) + ".lzh", b.bytes);
  }
  {
    LzhBuilder b;
    b.Add(LzhEntry::Level2("a.c", BytesOf("a")));
    b.Add(LzhEntry::Level1("b.c", BytesOf("b")));
    b.Add(LzhEntry::Level0("c.c", BytesOf("c")));
    b.Add(LzhEntry::Level1("d.c", BytesOf("d")));
    b.EndMark();
    save("lzh_mixed.lzh", b.bytes);
  }
  // Archives whose headers disagree: the reconciliation's paths.
  for (const CraftedZip& c : CraftedZips()) save(std::string("crafted_") + c.label + ".zip", c.bytes);
  return 0;
}
