// Placeholder until the analysers land.
#include "analysis/format_detection.h"
#include "analysis/lzh_analysis.h"
#include "analysis/zip_analysis.h"

namespace brim {
void DetectFormatAndAnalyse(ProgramState&) {}
void AnalyseZip(ProgramState&) {}
void AnalyseLzh(ProgramState&) {}
}  // namespace brim
