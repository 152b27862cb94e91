// Any bytes as the selected file: detection and the analyser it picks must
// end (no hang, no crash, no read outside the file) and keep the tables whole.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "form/Unit1.h"
#include "base/errors.h"

namespace {

class QuietDesktop : public brim::Desktop {
 public:
  void ProcessMessages() override {}
  void ShowMessage(const std::string&) override {}
  brim::Answer AskYesNo(const std::string&) override { return brim::Answer::No; }
  void ShowError(const std::string&) override {}
  std::optional<std::string> ChooseFile() override { return std::nullopt; }
  void OpenUrl(const std::string&) override {}
  void ShowAbout() override {}
};

const std::string& InputPath() {
  static const std::string path = [] {
    char tmpl[] = "/tmp/brimlode-fuzz-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd < 0) std::abort();
    close(fd);
    static std::string made = tmpl;
    std::atexit([] { unlink(made.c_str()); });
    return made;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = InputPath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  QuietDesktop desktop;
  brim::TForm1 form(desktop);
  form.DropFiles({path});
  try {
    form.Zip1Click();
  } catch (const brim::CommandError&) {
    // A file that cannot be read is an error box, not a fault.
  }
  const brim::ProgramState& s = form.state;
  // Every listed entry has its locator cells (only the central ones of a
  // ZIP entry may be absent); the tally counts every listed entry once,
  // and the other keys of its name copies.
  size_t tallied = 0;
  for (size_t i = 0; i < s.ListView1.Count(); ++i) {
    for (brim::EntryColumn c : {brim::kColOffset, brim::kColStart, brim::kColSize, brim::kColExt}) {
      if (!s.ListView1.Has(i, c)) std::abort();
    }
    if (s.ListView1.Has(i, brim::kColExtI) != s.ListView1.Has(i, brim::kColOffsetI)) std::abort();
  }
  // A row whose name copies differ counts once more for each other key.
  size_t copies = 0;
  for (size_t i = 0; i < s.ListView2.Count(); ++i) copies += s.ListView2.NameCopies(i).size();
  for (size_t i = 0; i < s.ListView5.Count(); ++i) tallied += s.ListView5.Number(i);
  if (tallied < s.ListView2.Count() || tallied > s.ListView2.Count() + copies) std::abort();
  return 0;
}
