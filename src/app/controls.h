// The main window's controls as plain models. The commands read and write
// these; the Qt window only shows them. Each model counts its changes in a
// revision so a view can tell what to refresh when it syncs.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace brim {

struct ListItem {
  std::string caption;               // CP932
  std::vector<std::string> subItems; // CP932
  bool checked = false;
};

// A report-style list: rows of a caption and sub-column texts, with a check box.
class ListView {
 public:
  size_t Count() const { return items_.size(); }
  const ListItem& Item(size_t row) const { return items_[row]; }

  // Appends a row and returns its index.
  size_t Add(std::string caption, std::vector<std::string> subItems = {});
  void Clear();

  void SetCaption(size_t row, std::string caption);
  // Sets sub-column col of row, growing the row's sub-columns as needed.
  void SetSubItem(size_t row, size_t col, std::string text);
  void AppendSubItem(size_t row, std::string text);
  void SetChecked(size_t row, bool checked);

  // The lowest row whose sub-column col reads text exactly; -1 for none.
  // Answered from an index built on first use and kept up to date on Add.
  int64_t FindFirstBySubItem(size_t col, const std::string& text) const;
  // Every row whose caption reads text exactly, in ascending order.
  const std::vector<uint32_t>& RowsWithCaption(const std::string& caption) const;

  // Bumped by every change; rowsRevision only when rows are added or cleared.
  uint64_t Revision() const { return revision_; }
  uint64_t RowsRevision() const { return rowsRevision_; }
  // Bumped by Clear only, so a view can tell "cleared and refilled" from
  // "rows appended" even when the count grew.
  uint64_t ClearRevision() const { return clearRevision_; }

 private:
  void Touch() { ++revision_; }

  std::vector<ListItem> items_;
  uint64_t revision_ = 0;
  uint64_t rowsRevision_ = 0;
  uint64_t clearRevision_ = 0;

  // Lookup indexes; "valid" false means rebuild before the next use.
  mutable std::unordered_map<std::string, std::vector<uint32_t>> captionIndex_;
  // Built on the first lookup: the locator table and the listing never ask.
  mutable bool captionIndexValid_ = false;
  mutable size_t subItemIndexCol_ = SIZE_MAX;
  mutable std::unordered_map<std::string, uint32_t> subItemIndex_;
  mutable bool subItemIndexValid_ = false;
};

// The log pane: logical lines of CP932 text.
class Memo {
 public:
  void Append(std::string line);
  size_t Count() const { return lines_.size(); }
  const std::string& Line(size_t index) const { return lines_[index]; }
  const std::vector<std::string>& Lines() const { return lines_; }
  // Replaces line index; an index that does not exist is ignored.
  void Replace(size_t index, std::string line);
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
  std::vector<std::string> lines_;
  uint64_t revision_ = 0;
  uint64_t clearRevision_ = 0;
  uint64_t replaceRevision_ = 0;
  size_t replacedLow_ = SIZE_MAX;
  size_t replacedHigh_ = 0;
};

class StatusBar {
 public:
  static constexpr size_t kPanels = 3;
  const std::string& Panel(size_t i) const { return panels_[i]; }
  void SetPanel(size_t i, std::string text);
  void ClearAll();
  uint64_t Revision() const { return revision_; }

 private:
  std::array<std::string, kPanels> panels_;
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
