// What one command hands to the next: the main window's controls as models,
// and the program-wide values. Every operation works on this state, so it is
// testable without a display and the command line drives the same code.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "app/controls.h"
#include "app/desktop.h"
#include "app/message_pump.h"

namespace brim {

enum class ArchiveKindType { Zip, Lzh };

struct ProgramState {
  explicit ProgramState(Desktop& d) : desktop(d), ProcessMessages(d) {}

  Desktop& desktop;
  MessagePump ProcessMessages;

  Label Label1;          // the selected path (native)
  ListView ListView1;    // locator table (hidden)
  ListView ListView2;    // listing (visible, check boxes)
  ListView ListView4;    // combined-entry table (hidden)
  ListView ListView5;    // extension tally (visible, check boxes, editable captions)
  Memo Memo1;            // log pane
  StatusBar StatusBar1;  // panels 0..2
  Gauge Gauge1;

  ArchiveKindType ArchiveKind = ArchiveKindType::Lzh;
  bool AbortRequested = false;
  std::string LogFilePath;  // native path; empty until the first analysis

  std::string NameMask;                // masked extension bytes
  std::array<uint8_t, 5> MethodId{};   // LZH method identifier
};

// Locator table columns (sub-item indexes of ListView1).
enum LocatorColumn : size_t {
  kColOffset = 0,
  kColStart = 1,
  kColSize = 2,
  kColExt = 3,
  kColExtI = 4,
  kColOffsetI = 5,
};
// Listing columns (sub-item indexes of ListView2).
enum ListingColumn : size_t {
  kColRatio = 0,
  kColCompress = 1,
  kColOriginal = 2,
  kColPath = 3,
};
// Status panels.
enum Panel : size_t { kPanelState = 0, kPanelDetail = 1, kPanelProgress = 2 };

}  // namespace brim
