// Drives the regeneration commands without a window, for bench/regenerate.sh:
//   regenerate_driver analyse|split|combine ARCHIVE
// Analyses the archive, ticks every row and runs the command ("analyse":
// none, for the baseline of time and memory). Where the
// analysis does not list the archive, a plain walk of the ZIP local headers
// fills the tables instead. Prints the command's own time to stderr.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/format_detection.h"
#include "app/application.h"
#include "app/program_state.h"
#include "base/file_stream.h"
#include "base/hex_cell.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "regenerate/regeneration.h"

namespace {

class QuietDesktop : public brim::Desktop {
 public:
  void ProcessMessages() override {}
  void ShowMessage(const std::string& t) override { std::fprintf(stderr, "message: %s\n", t.c_str()); }
  brim::Answer AskYesNo(const std::string&) override { return brim::Answer::No; }
  void ShowError(const std::string& t) override {
    std::fprintf(stderr, "error: %s\n", t.c_str());
    failed = true;
  }
  std::optional<std::string> ChooseFile() override { return std::nullopt; }
  void OpenUrl(const std::string&) override {}
  void ShowAbout() override {}
  bool failed = false;
};

// Local headers from the start, entries with data, names without folders.
void WalkZip(brim::ProgramState& s) {
  brim::FileStream f = brim::FileStream::Open(s.Label1.Caption(), brim::FileStream::Mode::Read);
  uint64_t q = 0;
  uint8_t h[30];
  while (f.ReadAt(q, h, 30) == 30 && brim::le::Get32(h) == 0x04034B50) {
    const uint32_t z = brim::le::Get32(h + 18), u = brim::le::Get32(h + 22);
    const uint16_t n = brim::le::Get16(h + 26), m = brim::le::Get16(h + 28);
    const uint64_t d = q + 30 + n + m;
    if (z != 0 || u != 0) {
      std::string name(n, '\0');
      f.ReadExactAt(q + 30, name.data(), n);
      size_t slash = name.find_last_of('/');
      if (slash != std::string::npos) name.erase(0, slash + 1);
      brim::NewEntry e;
      e.caption = name;
      e.offset = static_cast<uint32_t>(q);
      e.start = static_cast<uint32_t>(d);
      e.size = z;
      e.hasCentral = false;
      e.original = u;
      s.ListView1.Add(e);
    }
    q = d + z;
  }
  s.ArchiveKind = brim::ArchiveKindType::Zip;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[1] : "";
  if (mode != "analyse" && mode != "split" && mode != "combine") {
    std::fprintf(stderr, "usage: %s analyse|split|combine ARCHIVE\n", argv[0]);
    return 2;
  }
  QuietDesktop desktop;
  brim::ProgramState s(desktop);
  s.Label1.SetCaption(argv[2]);
  brim::RunCommand(desktop, [&] { brim::DetectFormatAndAnalyse(s); });
  if (s.StatusBar1.Outcome() != brim::AnalysisOutcome::Analysed || s.ListView2.Count() == 0) {
    s.ListView1.Clear();
    brim::RunCommand(desktop, [&] { WalkZip(s); });
  }
  for (size_t i = 0; i < s.ListView2.Count(); ++i) s.ListView2.SetChecked(i, true);
  if (mode == "analyse") return desktop.failed ? 3 : 0;

  auto start = std::chrono::steady_clock::now();
  const bool split = mode == "split";
  brim::RunCommand(desktop, [&] {
    split ? brim::RegenerateIndividually(s) : brim::RegenerateCombined(s);
  });
  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "%s: %zu entries, %.3f s in the command\n", mode.c_str(), s.ListView2.Count(),
               seconds);
  return desktop.failed ? 3 : 0;
}
