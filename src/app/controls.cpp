#include "app/controls.h"

#include <algorithm>

namespace brim {

size_t ListView::Add(std::string caption, std::vector<std::string> subItems) {
  size_t row = items_.size();
  if (captionIndexValid_) captionIndex_[caption].push_back(static_cast<uint32_t>(row));
  if (subItemIndexValid_ && subItemIndexCol_ < subItems.size()) {
    subItemIndex_.try_emplace(subItems[subItemIndexCol_], static_cast<uint32_t>(row));
  }
  items_.push_back(ListItem{std::move(caption), std::move(subItems), false});
  ++rowsRevision_;
  Touch();
  return row;
}

void ListView::Clear() {
  items_.clear();
  captionIndex_.clear();
  captionIndexValid_ = false;
  subItemIndex_.clear();
  subItemIndexValid_ = false;
  ++rowsRevision_;
  ++clearRevision_;
  Touch();
}

void ListView::SetCaption(size_t row, std::string caption) {
  if (items_[row].caption == caption) return;
  items_[row].caption = std::move(caption);
  captionIndexValid_ = false;
  Touch();
}

void ListView::SetSubItem(size_t row, size_t col, std::string text) {
  auto& subs = items_[row].subItems;
  if (subs.size() <= col) subs.resize(col + 1);
  subs[col] = std::move(text);
  if (col == subItemIndexCol_) subItemIndexValid_ = false;
  Touch();
}

void ListView::AppendSubItem(size_t row, std::string text) {
  SetSubItem(row, items_[row].subItems.size(), std::move(text));
}

void ListView::SetChecked(size_t row, bool checked) {
  if (items_[row].checked == checked) return;
  items_[row].checked = checked;
  Touch();
}

int64_t ListView::FindFirstBySubItem(size_t col, const std::string& text) const {
  if (!subItemIndexValid_ || subItemIndexCol_ != col) {
    subItemIndex_.clear();
    subItemIndexCol_ = col;
    for (size_t row = 0; row < items_.size(); ++row) {
      if (col < items_[row].subItems.size()) {
        subItemIndex_.try_emplace(items_[row].subItems[col], static_cast<uint32_t>(row));
      }
    }
    subItemIndexValid_ = true;
  }
  auto it = subItemIndex_.find(text);
  return it == subItemIndex_.end() ? -1 : static_cast<int64_t>(it->second);
}

const std::vector<uint32_t>& ListView::RowsWithCaption(const std::string& caption) const {
  if (!captionIndexValid_) {
    captionIndex_.clear();
    for (size_t row = 0; row < items_.size(); ++row) {
      captionIndex_[items_[row].caption].push_back(static_cast<uint32_t>(row));
    }
    captionIndexValid_ = true;
  }
  static const std::vector<uint32_t> kNone;
  auto it = captionIndex_.find(caption);
  return it == captionIndex_.end() ? kNone : it->second;
}

void Memo::Append(std::string line) {
  lines_.push_back(std::move(line));
  ++revision_;
}

void Memo::Replace(size_t index, std::string line) {
  if (index >= lines_.size()) return;
  lines_[index] = std::move(line);
  ++replaceRevision_;
  ++revision_;
}

void Memo::Clear() {
  lines_.clear();
  ++clearRevision_;
  ++revision_;
}

void StatusBar::SetPanel(size_t i, std::string text) {
  if (panels_[i] == text) return;
  panels_[i] = std::move(text);
  ++revision_;
}

void StatusBar::ClearAll() {
  for (size_t i = 0; i < kPanels; ++i) SetPanel(i, {});
}

void Gauge::SetProgress(int value) {
  value = std::clamp(value, 0, 100);
  if (progress_ == value) return;
  progress_ = value;
  ++revision_;
}

void Label::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  ++revision_;
}

}  // namespace brim
