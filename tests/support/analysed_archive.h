// An archive analysed as the window does it: a scripted desktop, the
// form, and a temporary archive file. Analyse() runs "解析" as the menu does.
#pragma once
#include <string>
#include <vector>

#include "form/Unit1.h"
#include "support/scripted_desktop.h"
#include "support/test_files.h"

namespace brim::test {

class AnalysedArchive {
 public:
  AnalysedArchive();

  ScriptedDesktop desktop;
  TForm1 form{desktop};
  ProgramState& s = form.state;
  TempDir dir;
  std::string path;  // the archive file, dir/archive.bin unless Select() chose another

  // Writes bytes as the archive, selects it (a drop) and runs "解析".
  void Analyse(const Bytes& bytes);
  // Selects an existing file (a drop) and runs "解析".
  void AnalyseFile(const std::string& nativePath);
  // Pumps at every call from now on (abort tests count pumps).
  void PumpEveryCall();

  // Caption then the six locator cells / the four listing cells of row i.
  std::vector<std::string> Locator(size_t i) const;
  std::vector<std::string> Listing(size_t i) const;
  // "caption=count" for every tally row, in order.
  std::vector<std::string> Tally() const;
  const std::string& Panel(size_t i) const { return s.StatusBar1.Panel(i); }
  std::vector<std::string> Log() const { return s.Memo1.Lines(); }
  size_t Rows() const { return s.ListView1.Count(); }
};

// The damaged-entry log line for a name (CP932 bytes).
std::string DamagedLine(const std::string& name);
// A position as a locator cell.
std::string Hex(uint64_t v);

}  // namespace brim::test
