#include "support/analysed_archive.h"

#include "support/table_rows.h"

#include <cstdio>

#include "base/ui_texts.h"

namespace brim::test {

AnalysedArchive::AnalysedArchive() : path(dir.File("archive.bin")) {}

void AnalysedArchive::Analyse(const Bytes& bytes) {
  WriteFileBytes(path, bytes);
  AnalyseFile(path);
}

void AnalysedArchive::AnalyseFile(const std::string& nativePath) {
  form.DropFiles({nativePath});
  form.Zip1Click();
}

void AnalysedArchive::PumpEveryCall() { s.ProcessMessages.SetThrottle(1, std::chrono::microseconds(0)); }

std::vector<std::string> AnalysedArchive::Locator(size_t i) const { return LocatorTexts(s.ListView1, i); }

std::vector<std::string> AnalysedArchive::Listing(size_t i) const { return ListingTexts(s.ListView2, i); }

std::vector<std::string> AnalysedArchive::Tally() const {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.ListView5.Count(); ++i) out.push_back(s.ListView5.Caption(i) + "=" + s.ListView5.Text(i, 1));
  return out;
}

std::string DamagedLine(const std::string& name) {
  return Ui().logDamagedBefore + name + Ui().logDamagedAfter;
}

std::string Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace brim::test
