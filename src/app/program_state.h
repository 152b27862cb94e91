// What one command hands to the next: the main window's controls as models,
// and the program-wide values. Every operation works on this state, so it is
// testable without a display and the command line drives the same code.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/tables.h"
#include "base/file_stream.h"
#include "app/desktop.h"
#include "app/message_pump.h"

namespace brim {

enum class ArchiveKindType { Zip, Lzh };

// Nothing of 4 GiB or more is analysed: positions are 32-bit cells.
inline constexpr uint64_t kArchiveSizeLimit = uint64_t{1} << 32;

struct ProgramState {
  explicit ProgramState(Desktop& d) : desktop(d), ProcessMessages(d) {}

  Desktop& desktop;
  MessagePump ProcessMessages;

  Label Label1;          // the selected path (native)
  // The locator table (hidden) and the listing (visible, check boxes) share
  // their rows: row i of both is one entry, so they are one table.
  EntryTable ListView1;
  EntryTable& ListView2 = ListView1;
  CombinedTable ListView4;  // combined-entry table (hidden)
  TallyTable ListView5;     // extension tally (visible, check boxes, editable captions)
  Memo Memo1;            // log pane
  StatusBar StatusBar1;  // panels 0..2
  Gauge Gauge1;

  ArchiveKindType ArchiveKind = ArchiveKindType::Lzh;
  // "中断": each analysis, rewrite and regeneration clears it as it starts
  // and stops at its next check (the rewrite and regeneration between
  // entries).
  bool AbortRequested = false;
  std::string LogFilePath;  // native path; empty until the first analysis
  // The file the last analysis read, so a command can tell it acts on the same.
  std::optional<FileIdentity> AnalysedFile;
  // Label1's path when the last analysis emptied the tables: the file the
  // listing belongs to, also after another file was selected.
  std::string ListingPath;

  // Ticked rows the last rewrite or regeneration could not do, each with its
  // reason (CP932, as the log writes it); cleared when such a command starts.
  // The command line's "partly done" status comes from here.
  struct RowNotDone {
    size_t row = 0;
    std::string reason;
  };
  std::vector<RowNotDone> RowsNotDone;
  // The ticked rows the last rewrite neutralised.
  size_t RowsDone = 0;

  std::string NameMask;                // masked extension bytes
  std::array<uint8_t, 5> MethodId{};   // LZH method identifier
};

// Whether f is the file the last analysis read, unchanged since (device,
// inode, size and modification time): a command acts on no other.
inline bool IsAnalysedFile(const ProgramState& s, const FileStream& f) {
  return s.AnalysedFile && *s.AnalysedFile == f.Identity();
}

// Whether the listing was made from another file than the selected one (a
// drop or "参照" since): the window shows its rows as the old file's.
inline bool ListingOfAnotherFile(const ProgramState& s) {
  return s.ListView2.Count() > 0 && s.ListingPath != s.Label1.Caption();
}

// Status panels.
enum Panel : size_t { kPanelState = 0, kPanelDetail = 1, kPanelProgress = 2 };

}  // namespace brim
