#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "base/byte_window.h"
#include "base/errors.h"
#include "base/file_stream.h"
#include "support/test_files.h"

namespace brim {
namespace {

using test::TempDir;

TEST(FileStream, RefusesFoldersMissingFilesAndWriteLockedFiles) {
  TempDir dir;
  EXPECT_THROW(FileStream::Open(dir.Path(), FileStream::Mode::Read), CommandError);
  EXPECT_THROW(FileStream::Open(dir.File("missing"), FileStream::Mode::Read), CommandError);
  test::WriteFileBytes(dir.File("a"), {1, 2, 3});
  FileStream writer = FileStream::Open(dir.File("a"), FileStream::Mode::ReadWrite);
  // Others may read only while nobody writes, as with the Windows share mode.
  EXPECT_THROW(FileStream::Open(dir.File("a"), FileStream::Mode::Read), CommandError);
  writer.Close();
  FileStream r1 = FileStream::Open(dir.File("a"), FileStream::Mode::Read);
  FileStream r2 = FileStream::Open(dir.File("a"), FileStream::Mode::Read);
  EXPECT_THROW(FileStream::Open(dir.File("a"), FileStream::Mode::ReadWrite), CommandError);
}

// A named pipe chosen as the archive or as the log file: opening it must
// not wait for another program to open its other end (the window would hang
// for good). If it does wait, the test opens that end itself to get free.
TEST(FileStream, NamedPipesAreRefusedWithoutWaiting) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.zip");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (int which = 0; which < 3; ++which) {
    auto attempt = std::async(std::launch::async, [&] {
      try {
        if (which == 0) FileStream::Open(fifo, FileStream::Mode::Read);
        if (which == 1) FileStream::Open(fifo, FileStream::Mode::ReadWrite);
        if (which == 2) FileStream::Create(fifo);
        return false;
      } catch (const CommandError&) {
        return true;
      }
    });
    if (attempt.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
      int other = ::open(fifo.c_str(), (which == 2 ? O_RDONLY : O_WRONLY) | O_NONBLOCK);
      attempt.wait();
      if (other >= 0) ::close(other);
      ADD_FAILURE() << "opening a named pipe waited for a partner (" << which << ")";
      continue;
    }
    EXPECT_TRUE(attempt.get()) << which;
  }
}

TEST(FileStream, NeverCreatesOverAnOpenSource) {
  TempDir dir;
  test::WriteFileBytes(dir.File("pack.zip"), {9, 9});
  {
    FileStream source = FileStream::Open(dir.File("pack.zip"), FileStream::Mode::Read);
    try {
      FileStream::Create(dir.Path() + "/./pack.zip");
      FAIL();
    } catch (const CommandError& e) {
      EXPECT_NE(e.Text().find("pack.zip"), std::string::npos);
    }
    EXPECT_EQ(test::ReadFileBytes(dir.File("pack.zip")).size(), 2u);
  }
  FileStream out = FileStream::Create(dir.File("pack.zip"));  // closed now: allowed
  out.Append("abc", 3);
  out.Close();
  EXPECT_EQ(test::ReadFileBytes(dir.File("pack.zip")), test::BytesOf("abc"));
}

// A written file whose close fails (a network file system reports a write it
// could not carry out only then) must not pass for written: the rewrite
// would report success. The failure is made here by closing the descriptor
// behind the stream's back, so that its own close fails.
TEST(FileStream, AFailedCloseOfAWrittenFileIsReported) {
  TempDir dir;
  test::WriteFileBytes(dir.File("a.zip"), {1, 2, 3});
  struct Case {
    const char* label;
    bool written;
    FileStream (*open)(const std::string&);
  };
  const Case cases[] = {
      {"rewrite in place", true, [](const std::string& p) { return FileStream::Open(p, FileStream::Mode::ReadWrite); }},
      {"created", true, [](const std::string& p) { return FileStream::Create(p + ".log"); }},
      {"read only", false, [](const std::string& p) { return FileStream::Open(p, FileStream::Mode::Read); }},
  };
  for (const Case& c : cases) {
    FileStream f = c.open(dir.File("a.zip"));
    ASSERT_EQ(::close(f.Descriptor()), 0) << c.label;
    if (c.written) {
      EXPECT_THROW(f.Close(), CommandError) << c.label;
    } else {
      EXPECT_NO_THROW(f.Close()) << c.label;
    }
  }
  // Nothing stays registered: the archive can be replaced again.
  EXPECT_NO_THROW(FileStream::Create(dir.File("a.zip")).Close());
}

TEST(FileStream, PositionsBeyondFourGibibytes) {
  TempDir dir;
  FileStream f = FileStream::Create(dir.File("sparse"));
  const uint64_t far = (5ull << 30) + 7;
  f.WriteAt(far, "xy", 2);
  EXPECT_EQ(f.Size(), far + 2);
  f.Close();
  FileStream r = FileStream::Open(dir.File("sparse"), FileStream::Mode::Read);
  char got[3] = {};
  EXPECT_EQ(r.ReadAt(far, got, 3), 2u);
  EXPECT_STREQ(got, "xy");
}

TEST(ByteWindow, ReportsCutReadsAsMissing) {
  TempDir dir;
  test::Bytes data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  test::WriteFileBytes(dir.File("d"), data);
  FileStream f = FileStream::Open(dir.File("d"), FileStream::Mode::Read);
  ByteWindow w(f, 64);
  ASSERT_NE(w.At(990, 10), nullptr);
  EXPECT_EQ(w.At(990, 10)[9], static_cast<uint8_t>(999 & 0xFF));
  EXPECT_EQ(w.At(995, 10), nullptr);
  EXPECT_EQ(w.At(5000, 1), nullptr);
  ASSERT_NE(w.At(3, 4), nullptr);
  EXPECT_EQ(w.At(3, 4)[0], 3);
  uint8_t big[300];
  EXPECT_EQ(w.Copy(800, big, 300), 200u);
  EXPECT_EQ(big[0], static_cast<uint8_t>(800 & 0xFF));
}

}  // namespace
}  // namespace brim
