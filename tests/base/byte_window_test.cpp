// The byte window answers every read as the file reads, whatever the order
// of the reads (on, back a little, back along falling positions, jumps) and
// after writes it was told of.
#include "base/byte_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/test_files.h"

namespace brim {
namespace {

TEST(ByteWindow, ReadsAsTheFileInAnyOrderAndAfterWrites) {
  test::TempDir dir;
  const std::string path = dir.File("f");
  std::mt19937 random(11);
  test::Bytes file(300000);
  for (uint8_t& b : file) b = static_cast<uint8_t>(random());
  test::WriteFileBytes(path, file);
  FileStream stream = FileStream::Open(path, FileStream::Mode::ReadWrite);
  ByteWindow w(stream, 64 * 1024);
  uint64_t pos = 1000;
  for (int step = 0; step < 20000; ++step) {
    const size_t n = 1 + random() % 300;
    switch (random() % 5) {
      case 0: pos += random() % 400; break;               // on
      case 1: pos -= std::min<uint64_t>(pos, 30); break;  // back along falling headers
      case 2: pos -= std::min<uint64_t>(pos, random() % 5000); break;
      case 3: pos = random() % file.size(); break;        // a jump
      default: {                                          // a write, told to the window
        const uint8_t byte = static_cast<uint8_t>(random());
        const uint64_t at = pos + random() % 600;
        if (at >= file.size()) break;
        stream.WriteAt(at, &byte, 1);
        file[at] = byte;
        w.Wrote(at, &byte, 1);
      }
    }
    const uint8_t* got = w.At(pos, n);
    if (pos + n > file.size()) {
      EXPECT_EQ(got, nullptr);
      pos = file.size() / 2;
      continue;
    }
    ASSERT_NE(got, nullptr) << pos;
    ASSERT_EQ(std::memcmp(got, file.data() + pos, n), 0) << "step " << step << " at " << pos;
    const uint8_t* held = w.Held(pos, n);
    ASSERT_EQ(held, got);
  }
}

}  // namespace
}  // namespace brim
