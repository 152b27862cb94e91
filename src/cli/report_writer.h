// --report: one JSON document per archive, on one line (JSON Lines), typed
// for scripts: numbers as numbers, names as text and as their raw bytes, a
// schema number and a reason code. --json stays the window's tables.
#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/program_state.h"
#include "cli/exit_status.h"

namespace brim::cli {

inline constexpr int kReportSchema = 1;

// What the local header says of an entry, read once after the analysis.
struct HeaderFacts {
  std::string method;  // "stored", "deflate"... or the LZH id "-lh5-"; empty when unread
  bool encrypted = false;
  bool namesMasked = false;  // ZIP flag bit 13: the directory is encrypted, local names masked
};
// For every row; rows whose header cannot be read get empty facts.
std::vector<HeaderFacts> ReadHeaderFacts(const ProgramState& s);

// One thing the command changed (or, in a dry run, would change).
struct Change {
  std::string action;   // "neutralised", "created", or "would_" before either
  int64_t row = -1;     // the entry concerned, or -1
  std::string path;     // a file created (native path), or empty
};

struct ArchiveReport {
  std::string archive;       // as given ("-": standard input)
  Subcommand command = Subcommand::Analyse;
  Verdict verdict;
  bool dryRun = false;
  std::string output;        // the neutralised copy (rewrite --output), or empty
  std::vector<bool> selected;      // by row, as ticked before the command
  std::vector<HeaderFacts> facts;  // by row
  std::vector<Change> changes;
  std::vector<std::string> messages;  // the boxes shown, CP932
  bool summary = false;      // --summary: counts instead of a line per entry
};

// The document as one line ending in "\n".
std::string ReportLine(const ProgramState& s, const ArchiveReport& r);

}  // namespace brim::cli
