// Benchmark driver for the in-place rewrite, without a display or gtest.
//
//   rewrite_driver make ARCHIVE one BYTES          one stored entry of BYTES
//   rewrite_driver make ARCHIVE many COUNT BYTES   COUNT stored entries
//   rewrite_driver rewrite ARCHIVE                 analyse, tick all, rewrite
//
// "make" also writes ARCHIVE.rows (the locator rows of the entries, one per
// line: caption and six hex cells) and ARCHIVE.ranges ("start size" of each
// entry's data, for the dd comparison). "rewrite" uses the analysis when it
// lists the archive, otherwise the .rows file. It prints the seconds the
// rewrite itself took.
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/format_detection.h"
#include "app/check_marks.h"
#include "app/desktop.h"
#include "app/program_state.h"
#include "base/errors.h"
#include "base/file_stream.h"
#include "base/hex_cell.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "rewrite/rewrite_command.h"

namespace {

class QuietDesktop : public brim::Desktop {
 public:
  void ProcessMessages() override {}
  void ShowMessage(const std::string& text) override { std::cerr << "message: " << text << "\n"; }
  brim::Answer AskYesNo(const std::string&) override { return brim::Answer::Yes; }
  void ShowError(const std::string& text) override { std::cerr << "error: " << text << "\n"; }
  std::optional<std::string> ChooseFile() override { return std::nullopt; }
  void OpenUrl(const std::string&) override {}
  void ShowAbout() override {}
};

void Put(std::vector<uint8_t>& b, uint32_t v, int width) {
  for (int i = 0; i < width; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

int Make(const std::string& path, uint64_t count, uint64_t bytes) {
  brim::FileStream out = brim::FileStream::Create(path);
  std::ofstream rows(path + ".rows"), ranges(path + ".ranges");
  std::vector<uint8_t> block(1024 * 1024);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 31 + 7);
  struct Entry {
    std::string name;
    uint32_t offset, crc;
  };
  std::vector<Entry> entries;
  for (uint64_t e = 0; e < count; ++e) {
    char name[32];
    std::snprintf(name, sizeof name, count == 1 ? "big.exe" : "f%05llu.txt", static_cast<unsigned long long>(e));
    uint32_t crc = 0;
    for (uint64_t done = 0; done < bytes;) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(bytes - done, block.size()));
      crc = static_cast<uint32_t>(crc32(crc, block.data(), static_cast<uInt>(n)));
      done += n;
    }
    const uint32_t offset = static_cast<uint32_t>(out.Position());
    std::vector<uint8_t> h;
    Put(h, 0x04034B50, 4);
    Put(h, 10, 2);
    Put(h, 0, 2);
    Put(h, 0, 2);
    Put(h, 0, 4);
    Put(h, crc, 4);
    Put(h, static_cast<uint32_t>(bytes), 4);
    Put(h, static_cast<uint32_t>(bytes), 4);
    Put(h, static_cast<uint32_t>(std::string(name).size()), 2);
    Put(h, 0, 2);
    h.insert(h.end(), name, name + std::string(name).size());
    out.Append(h.data(), h.size());
    const uint64_t start = out.Position();
    for (uint64_t done = 0; done < bytes;) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(bytes - done, block.size()));
      out.Append(block.data(), n);
      done += n;
    }
    ranges << start << " " << bytes << "\n";
    entries.push_back({name, offset, crc});
  }
  const uint32_t directory = static_cast<uint32_t>(out.Position());
  for (const Entry& e : entries) {
    std::vector<uint8_t> h;
    const uint32_t g = static_cast<uint32_t>(out.Position());
    Put(h, 0x02014B50, 4);
    Put(h, 0x031E, 2);
    Put(h, 10, 2);
    Put(h, 0, 2);
    Put(h, 0, 2);
    Put(h, 0, 4);
    Put(h, e.crc, 4);
    Put(h, static_cast<uint32_t>(bytes), 4);
    Put(h, static_cast<uint32_t>(bytes), 4);
    Put(h, static_cast<uint32_t>(e.name.size()), 2);
    Put(h, 0, 2);
    Put(h, 0, 2);
    Put(h, 0, 2);
    Put(h, 0, 2);
    Put(h, 0, 4);
    Put(h, e.offset, 4);
    h.insert(h.end(), e.name.begin(), e.name.end());
    out.Append(h.data(), h.size());
    const uint32_t n = static_cast<uint32_t>(e.name.size());
    const uint32_t dot = static_cast<uint32_t>(e.name.rfind('.'));
    rows << e.name << " " << brim::FormatHexCell(e.offset) << " " << brim::FormatHexCell(e.offset + 30 + n) << " "
         << brim::FormatHexCell(static_cast<uint32_t>(bytes)) << " " << brim::FormatHexCell(e.offset + 30 + dot + 1)
         << " " << brim::FormatHexCell(g + 46 + dot + 1) << " " << brim::FormatHexCell(g) << "\n";
  }
  std::vector<uint8_t> end;
  Put(end, 0x06054B50, 4);
  Put(end, 0, 4);
  Put(end, static_cast<uint32_t>(count), 2);
  Put(end, static_cast<uint32_t>(count), 2);
  Put(end, static_cast<uint32_t>(out.Position()) - directory, 4);
  Put(end, directory, 4);
  Put(end, 0, 2);
  out.Append(end.data(), end.size());
  out.Close();
  return 0;
}

int Rewrite(const std::string& path) {
  QuietDesktop desktop;
  brim::ProgramState s(desktop);
  s.Label1.SetCaption(path);
  brim::DetectFormatAndAnalyse(s);
  if (s.StatusBar1.Outcome() != brim::AnalysisOutcome::Analysed || s.ListView1.Count() == 0) {
    // The analysis did not list it (not built in yet): take the rows "make" wrote.
    s.ListView1.Clear();
    std::ifstream rows(path + ".rows");
    std::string caption;
    std::vector<std::string> cells(6);
    while (rows >> caption >> cells[0] >> cells[1] >> cells[2] >> cells[3] >> cells[4] >> cells[5]) {
      brim::NewEntry e;
      e.caption = caption;
      e.offset = brim::ParseHexCell(cells[0]);
      e.start = brim::ParseHexCell(cells[1]);
      e.size = brim::ParseHexCell(cells[2]);
      e.ext = brim::ParseHexCell(cells[3]);
      e.extI = brim::ParseHexCell(cells[4]);
      e.offsetI = brim::ParseHexCell(cells[5]);
      s.ListView1.Add(e);
    }
    s.ArchiveKind = brim::ArchiveKindType::Zip;
    s.StatusBar1.SetOutcome(brim::AnalysisOutcome::Analysed);
    s.StatusBar1.SetLeadingBytes(0);
  }
  brim::CheckAll(s);
  auto t0 = std::chrono::steady_clock::now();
  try {
    if (s.ArchiveKind == brim::ArchiveKindType::Zip) brim::RewriteZipEntries(s);
    else brim::RewriteLzhEntries(s);
  } catch (const brim::CommandError& e) {
    std::cerr << "error: " << e.Text() << "\n";
    return 3;
  }
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
  std::printf("rewrite %.3f s, %zu entries, %zu log lines\n", took.count(), s.ListView1.Count(), s.Memo1.Count());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() == 4 && a[0] == "make" && a[2] == "one") return Make(a[1], 1, std::stoull(a[3]));
  if (a.size() == 5 && a[0] == "make" && a[2] == "many") return Make(a[1], std::stoull(a[3]), std::stoull(a[4]));
  if (a.size() == 2 && a[0] == "rewrite") return Rewrite(a[1]);
  std::fprintf(stderr, "usage: rewrite_driver make ARCHIVE one BYTES | make ARCHIVE many COUNT BYTES | rewrite ARCHIVE\n");
  return 2;
}
