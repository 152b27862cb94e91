#include "regen_fixture.h"

#include <sstream>

#include "support/needs.h"

namespace brim::regen_test {

namespace {

size_t CountLines(const std::string& text, const std::string& containing) {
  std::istringstream in(text);
  size_t n = 0;
  for (std::string line; std::getline(in, line);) n += line.find(containing) != std::string::npos;
  return n;
}

size_t CountNonEmptyLines(const std::string& text) {
  std::istringstream in(text);
  size_t n = 0;
  for (std::string line; std::getline(in, line);) n += !line.empty();
  return n;
}

}  // namespace

std::vector<Row> WalkZip(const Bytes& a, uint32_t lead) {
  std::vector<Row> rows;
  size_t q = lead;
  while (q + 30 <= a.size() && le::Get32(&a[q]) == 0x04034B50) {
    const uint32_t z = le::Get32(&a[q + 18]);
    const uint32_t u = le::Get32(&a[q + 22]);
    const uint16_t n = le::Get16(&a[q + 26]);
    const uint16_t m = le::Get16(&a[q + 28]);
    const size_t d = q + 30 + n + m;
    if (z == 0 && u == 0) {
      q = d;
      continue;
    }
    std::string name(a.begin() + static_cast<ptrdiff_t>(q + 30),
                      a.begin() + static_cast<ptrdiff_t>(q + 30 + n));
    for (char& c : name) c = c == '/' ? '\\' : c;
    rows.push_back({std::string(FileNamePart(name)), static_cast<uint32_t>(q),
                    static_cast<uint32_t>(d), z});
    q = d + z;
    if (q + 4 <= a.size() && le::Get32(&a[q]) == 0x08074B50) q += 16;
  }
  return rows;
}

std::vector<Row> WalkLzh(const Bytes& a) {
  std::vector<Row> rows;
  size_t p = 0;
  while (p + 22 <= a.size() && a[p] != 0) {
    const uint8_t level = a[p + 20];
    const uint32_t packed = le::Get32(&a[p + 7]);
    const uint32_t original = le::Get32(&a[p + 11]);
    std::string name;
    Row r;
    r.offset = static_cast<uint32_t>(p);
    if (level == 0 || level == 1) {
      const uint8_t h = a[p];
      const uint8_t n = a[p + 21];
      name.assign(a.begin() + static_cast<ptrdiff_t>(p + 22),
                  a.begin() + static_cast<ptrdiff_t>(p + 22 + n));
      if (level == 0) {
        r.start = static_cast<uint32_t>(p + h + 2);
        r.size = packed;
      } else {
        const size_t e = p + 25 + n;
        size_t q = e;
        while (le::Get16(&a[q]) != 0) {
          const uint16_t size = le::Get16(&a[q]);
          if (a[q + 2] == 1 && n == 0) {
            name.assign(a.begin() + static_cast<ptrdiff_t>(q + 3),
                        a.begin() + static_cast<ptrdiff_t>(q + size));
          }
          q += size;
        }
        const size_t d = q + 2;
        r.start = static_cast<uint32_t>(d);
        r.size = static_cast<uint32_t>(packed - (d - e) + 2);
      }
    } else {
      const uint16_t h = le::Get16(&a[p]);
      for (size_t q = p + 24; le::Get16(&a[q]) != 0; q += le::Get16(&a[q])) {
        if (a[q + 2] == 1) {
          name.assign(a.begin() + static_cast<ptrdiff_t>(q + 3),
                      a.begin() + static_cast<ptrdiff_t>(q + le::Get16(&a[q])));
        }
      }
      for (char& c : name) c = c == '/' ? '\\' : c;
      r.start = static_cast<uint32_t>(p + h);
      r.size = packed;
      if (original == 0) {
        p += h;
        continue;
      }
    }
    r.caption = name;
    rows.push_back(r);
    p = r.start + r.size;
  }
  return rows;
}

void ExpectZipReadersAccept(const std::string& path, size_t entries) {
  std::string out;
  // unzip and zipinfo call an archive without entries "empty" (exit 1).
  if (entries > 0 && test::Installed("unzip")) {
    EXPECT_EQ(test::RunShell("unzip -t " + Q(path), &out), 0) << out;
  }
  if (entries > 0 && test::Installed("zipinfo")) {
    EXPECT_EQ(test::RunShell("zipinfo -v " + Q(path), &out), 0) << out;
    EXPECT_EQ(CountLines(out, "offset of local header from start of archive"), entries) << out;
  }
  if (test::Installed("7z")) {
    EXPECT_EQ(test::RunShell("7z t " + Q(path), &out), 0) << out;
  }
  if (!test::Installed("bsdtar")) return;
  EXPECT_EQ(test::RunShell("bsdtar --options hdrcharset=CP932 -tvf " + Q(path), &out), 0) << out;
  EXPECT_EQ(CountNonEmptyLines(out), entries) << out;
  // Reading from a pipe walks the local headers and checks every data CRC,
  // data descriptors included.
  EXPECT_EQ(test::RunShell("bsdtar --options hdrcharset=CP932 -xOf - < " + Q(path) +
                               " > /dev/null", &out), 0)
      << out;
}

void ExpectLzhReadersAccept(const std::string& path, size_t entries) {
  std::string out;
  // lhasa ends a listing silently at a header it rejects: count what it tested.
  if (test::Installed("lhasa")) {
    EXPECT_EQ(test::RunShell("lhasa t " + Q(path), &out), 0) << out;
    EXPECT_EQ(CountLines(out, "- Tested"), entries) << out;
  }
  if (!test::Installed("bsdtar")) return;
  EXPECT_EQ(test::RunShell("bsdtar --options hdrcharset=CP932 -tvf " + Q(path), &out), 0) << out;
  EXPECT_EQ(CountNonEmptyLines(out), entries) << out;
}

}  // namespace brim::regen_test
