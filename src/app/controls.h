// The main window's controls as plain models (the entry tables are in
// tables.h). The commands read and write these; the Qt window only shows
// them. Each model counts its changes in a revision so a view can tell what
// to refresh when it syncs.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <optional>
#include <utility>
#include <vector>

namespace brim {

// The log pane: logical lines of CP932 text. A rewrite of many entries logs
// a hundred thousand lines and more, so they lie back to back in one buffer,
// not in a string each. A view from Line() lasts until the next change; the
// texts given to Append and Replace must not be views of this log.
class Memo {
 public:
  void Append(std::string_view line);
  // Appends head followed by tail as one line (a name and a text, without
  // joining them first). The line keeps where its tail starts: tails are the
  // program's texts, which recur line after line, so a writer can convert
  // each once (Parts).
  void Append(std::string_view head, std::string_view tail);
  // Room for lines more: a command that logs a few lines per entry asks
  // once instead of the log moving every line as it grows.
  void Reserve(size_t lines);
  size_t Count() const { return lines_.size(); }
  std::string_view Line(size_t index) const {
    return std::string_view(text_).substr(lines_[index].begin, lines_[index].length);
  }
  // The line as appended: head and tail (a line appended or replaced whole
  // is all tail).
  std::pair<std::string_view, std::string_view> Parts(size_t index) const {
    const std::string_view line = Line(index);
    return {line.substr(0, lines_[index].head), line.substr(lines_[index].head)};
  }
  // A copy of every line (tests, and keeping a log aside).
  std::vector<std::string> Lines() const;
  // Replaces line index; an index that does not exist is ignored.
  void Replace(size_t index, std::string_view line);
  void Clear();

  uint64_t Revision() const { return revision_; }
  uint64_t ClearRevision() const { return clearRevision_; }
  // Lines replaced since the last clear (for views that patch in place).
  uint64_t ReplaceRevision() const { return replaceRevision_; }

  // The lowest and highest index replaced since the last call (or clear), so
  // a view patches those lines and need not compare the whole log; first >
  // second when nothing was replaced. A progress line keeps the span short.
  std::pair<size_t, size_t> TakeReplacedSpan();

 private:
  struct Span {
    size_t begin = 0;
    uint32_t length = 0;  // a line is a name (64 KiB at most) and a text
    uint32_t head = 0;
  };
  std::string text_;         // every line's bytes, back to back
  std::vector<Span> lines_;  // where each line lies in text_
  uint64_t revision_ = 0;
  uint64_t clearRevision_ = 0;
  uint64_t replaceRevision_ = 0;
  size_t replacedLow_ = SIZE_MAX;
  size_t replacedHigh_ = 0;
};

// How the last analysis ended; panel 0 shows it.
// LzhAndZip: an LZH archive that also holds a ZIP directory extractors use;
// refused, since either format's listing alone would hide the other's entries.
enum class AnalysisOutcome : uint8_t { None, Analysed, DamagedZip, DamagedLzh, Aborted, NotAnArchive, LzhAndZip };

// The three status panels. Panels 0 and 1 show typed state, which is what
// commands decide by: the outcome of the last analysis, and the ZIP leading
// byte count or the LZH header level. Panel 2 is a progress text.
class StatusBar {
 public:
  static constexpr size_t kPanels = 3;
  const std::string& Panel(size_t i) const { return panels_[i]; }

  AnalysisOutcome Outcome() const { return outcome_; }
  void SetOutcome(AnalysisOutcome outcome);
  // Set by ZIP detection; panel 1 shows the count.
  std::optional<uint64_t> LeadingBytes() const { return leadingBytes_; }
  void SetLeadingBytes(uint64_t count);
  // The first header's level byte, set by the LZH analysis ("Level=N").
  std::optional<uint8_t> LzhLevel() const { return lzhLevel_; }
  void SetLzhLevel(uint8_t level);
  void ClearDetail();
  void SetProgress(std::string text);
  void ClearAll();
  uint64_t Revision() const { return revision_; }

 private:
  void SetText(size_t i, std::string text);

  std::array<std::string, kPanels> panels_;
  AnalysisOutcome outcome_ = AnalysisOutcome::None;
  std::optional<uint64_t> leadingBytes_;
  std::optional<uint8_t> lzhLevel_;
  uint64_t revision_ = 0;
};

// Progress gauge 0..100.
class Gauge {
 public:
  int Progress() const { return progress_; }
  void SetProgress(int value);
  uint64_t Revision() const { return revision_; }

 private:
  int progress_ = 0;
  uint64_t revision_ = 0;
};

// Label1: the selected path (a native path).
class Label {
 public:
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  uint64_t Revision() const { return revision_; }

 private:
  std::string caption_;
  uint64_t revision_ = 0;
};

}  // namespace brim
