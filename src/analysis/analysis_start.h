// What both walks do before their first header.
#pragma once
#include <optional>
#include <string>

#include "app/program_state.h"
#include "base/file_stream.h"

namespace brim {

// Forgets the last analysis (tables, log pane, the outcome in panel 0; panel
// 1 too unless keepDetail), sets the log file path from logSuffix, opens the
// archive and notes which file it is. An archive of 4 GiB or more is refused
// with a message box: nullopt. The log's separator line is written.
std::optional<FileStream> BeginAnalysis(ProgramState& s, const std::string& logSuffix, bool keepDetail);

}  // namespace brim
