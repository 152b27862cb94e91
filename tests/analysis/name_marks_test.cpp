// The marks a name earns by itself, one row per trap.
#include <gtest/gtest.h>

#include "analysis/name_marks.h"
#include "app/entry_marks.h"
#include "support/test_files.h"

namespace brim {
namespace {

struct MarkCase {
  const char* label;
  std::string name;
  NameEncoding encoding;
  uint16_t marks;
  const char* windowsKey;
};

class NameMarksTest : public ::testing::TestWithParam<MarkCase> {};

TEST_P(NameMarksTest, MarksAndTheKeyWindowsSees) {
  const MarkCase& c = GetParam();
  EXPECT_EQ(NameMarks(c.name, c.encoding), c.marks);
  std::string buffer;
  EXPECT_EQ(WindowsExtensionKey(c.name, c.encoding, buffer), c.windowsKey);
}

constexpr NameEncoding kCp932 = NameEncoding::Cp932;
constexpr NameEncoding kUtf8 = NameEncoding::Utf8;

INSTANTIATE_TEST_SUITE_P(
    Names, NameMarksTest,
    ::testing::Values(
        MarkCase{"plain", "dir/a.txt", kCp932, 0, "txt"},
        MarkCase{"no_extension", "README", kCp932, 0, ""},
        MarkCase{"double_extension", test::J("請求書.PDF.exe"), kCp932, kMarkDoubleExtension, "exe"},
        MarkCase{"double_extension_padded", "invoice.pdf      .scr", kCp932, kMarkDoubleExtension, "scr"},
        MarkCase{"two_documents", "report.2024.pdf", kCp932, 0, "pdf"},
        MarkCase{"dot_in_folder_only", "v1.pdf/setup.exe", kCp932, 0, "exe"},
        MarkCase{"nested", "inner/Data.ZIP", kCp932, kMarkNestedArchive, "zip"},
        MarkCase{"nested_and_dangerous", "disk.iso", kCp932, kMarkNestedArchive, "iso"},
        MarkCase{"trailing_dot", "evil.exe.", kCp932, kMarkWindowsAltersName, "exe"},
        MarkCase{"trailing_space", "evil.exe ", kCp932, kMarkWindowsAltersName, "exe"},
        MarkCase{"stream", "evil.exe::$DATA", kCp932, kMarkWindowsAltersName, "exe"},
        MarkCase{"stream_double", "a.pdf.exe:x", kCp932, kMarkWindowsAltersName | kMarkDoubleExtension, "exe"},
        // U+202E turns "exe.txt" around on screen: "evil\u202Etxt.exe".
        MarkCase{"bidi_override", "evil\xE2\x80\xAEtxt.exe", kUtf8, kMarkBidiControl, "exe"},
        MarkCase{"bidi_isolate_in_folder", "a\xE2\x81\xA6/b.txt", kUtf8, kMarkBidiControl, "txt"},
        MarkCase{"arabic_letter_mark", "a\xD8\x9C.txt", kUtf8, kMarkBidiControl, "txt"},
        MarkCase{"utf8_without_flag", "evil\xE2\x80\xAEtxt.exe", kCp932, kMarkBidiControl, "exe"},
        MarkCase{"near_miss_bytes", "a\xE2\x80\xA9.txt", kUtf8, 0, "txt"},  // U+2029, a separator
        // 0x5C as the second byte of ソ is no folder separator.
        MarkCase{"cp932_trail_5c", test::J("ソフト.lzh"), kCp932, kMarkNestedArchive, "lzh"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace brim
