// Names Windows changes on extraction ("evil.exe." and "evil.exe " write
// evil.exe, "evil.exe::$DATA" opens evil.exe's data): taken through the built
// brimlode-cli, `--ext exe` must tick them and the rewrite must mask the
// extension Windows sees, in every copy of the name.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/cp932.h"
#include "support/lzh_builder.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

using test::Bytes;
using test::BytesOf;

struct WindowsName {
  const char* label;
  std::string name;    // as stored
  std::string masked;  // after rewrite --ext exe
  char format;         // 'c' ZIP CP932, 'u' ZIP flag bit 11, 'l' LZH level 2
};

void PrintTo(const WindowsName& c, std::ostream* os) { *os << c.label; }

size_t Occurrences(const Bytes& file, const std::string& text) {
  const Bytes what = BytesOf(text);
  size_t n = 0;
  for (auto at = file.begin(); (at = std::search(at, file.end(), what.begin(), what.end())) != file.end(); ++at) ++n;
  return n;
}

class WindowsNames : public ::testing::TestWithParam<WindowsName> {};

TEST_P(WindowsNames, TickedByTheirRealExtensionAndMaskedThere) {
  const WindowsName& c = GetParam();
  test::TempDir dir;
  const std::string path = dir.File(c.format == 'l' ? "t.lzh" : "t.zip");
  size_t copies = 2;  // local and central name
  if (c.format == 'l') {
    test::LzhBuilder b;
    b.Add(test::LzhEntry::Level2("a.txt", BytesOf("text")));
    b.Add(test::LzhEntry::Level2(c.name, BytesOf("MZ payload")));
    b.EndMark();
    test::WriteFileBytes(path, b.bytes);
    copies = 1;
  } else {
    test::ZipBuilder z;
    z.Local(test::ZipLocal::Stored("a.txt", BytesOf("text")));
    test::ZipLocal evil = test::ZipLocal::Stored(c.name, BytesOf("MZ payload"));
    if (c.format == 'u') evil.flags = 0x0800;
    z.Local(evil);
    z.Finish();
    test::WriteFileBytes(path, z.bytes);
  }
  std::string out;
  EXPECT_EQ(test::RunShell("'" BRIMLODE_CLI_PATH "' rewrite '" + path + "' --ext exe 2>/dev/null", &out), 0) << out;
  const Bytes after = test::ReadFileBytes(path);
  EXPECT_EQ(Occurrences(after, c.masked), copies) << out;
  EXPECT_EQ(Occurrences(after, "MZ payload"), 0u);
  EXPECT_EQ(Occurrences(after, "text"), 1u) << "a.txt was not ticked";
}

INSTANTIATE_TEST_SUITE_P(
    All, WindowsNames,
    ::testing::Values(WindowsName{"TrailingDot", "evil.exe.", "evil.ex$.", 'c'},
                      WindowsName{"TrailingSpace", "evil.exe ", "evil.ex$ ", 'c'},
                      WindowsName{"DotsAndSpaces", "dir/evil.EXE . .", "dir/evil.EX$ . .", 'c'},
                      WindowsName{"Stream", "evil.exe::$DATA", "evil.ex$::$DATA", 'c'},
                      WindowsName{"NamedStreamInFolder", "dir/evil.exe:zone", "dir/evil.ex$:zone", 'c'},
                      WindowsName{"Utf8TrailingDot", "\xE6\x9C\xAC.exe.", "\xE6\x9C\xAC.ex$.", 'u'},
                      WindowsName{"Utf8Stream", "\xE6\x9C\xAC.exe::$DATA", "\xE6\x9C\xAC.ex$::$DATA", 'u'},
                      WindowsName{"LzhTrailingSpace", "evil.exe ", "evil.ex$ ", 'l'},
                      WindowsName{"LzhStream", "evil.exe::$DATA", "evil.ex$::$DATA", 'l'}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace brim
