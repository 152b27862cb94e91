#include "app/controls.h"

#include <algorithm>

#include "base/ui_texts.h"

namespace brim {

void Memo::Append(std::string_view line) { Append({}, line); }

void Memo::Append(std::string_view head, std::string_view tail) {
  const auto length = static_cast<uint32_t>(head.size() + tail.size());
  lines_.push_back({text_.size(), length, static_cast<uint32_t>(head.size())});
  text_.append(head).append(tail);
  ++revision_;
}

void Memo::Reserve(size_t lines) {
  lines_.reserve(lines_.size() + lines);
  // A rewrite's lines are a name and a short text: about 48 bytes.
  text_.reserve(text_.size() + lines * 48);
}

std::vector<std::string> Memo::Lines() const {
  std::vector<std::string> lines;
  lines.reserve(lines_.size());
  for (size_t i = 0; i < lines_.size(); ++i) lines.emplace_back(Line(i));
  return lines;
}

void Memo::Replace(size_t index, std::string_view line) {
  if (index >= lines_.size()) return;
  // In place when it fits (a progress line's percentage), else at the end:
  // the old bytes stay unused, a few per replacement.
  Span& span = lines_[index];
  if (line.size() > span.length) {
    span.begin = text_.size();
    text_.append(line);
  } else {
    text_.replace(span.begin, line.size(), line);
  }
  span.length = static_cast<uint32_t>(line.size());
  span.head = 0;
  replacedLow_ = std::min(replacedLow_, index);
  replacedHigh_ = std::max(replacedHigh_, index);
  ++replaceRevision_;
  ++revision_;
}

std::pair<size_t, size_t> Memo::TakeReplacedSpan() {
  std::pair<size_t, size_t> span{replacedLow_, replacedHigh_};
  replacedLow_ = SIZE_MAX;
  replacedHigh_ = 0;
  return span;
}

void Memo::Clear() {
  lines_.clear();
  text_.clear();
  replacedLow_ = SIZE_MAX;
  replacedHigh_ = 0;
  ++clearRevision_;
  ++revision_;
}

void StatusBar::SetText(size_t i, std::string text) {
  if (panels_[i] == text) return;
  panels_[i] = std::move(text);
  ++revision_;
}

void StatusBar::SetOutcome(AnalysisOutcome outcome) {
  outcome_ = outcome;
  const UiTexts& ui = Ui();
  switch (outcome) {
    case AnalysisOutcome::None: SetText(0, {}); break;
    case AnalysisOutcome::Analysed: SetText(0, ui.analysed); break;
    case AnalysisOutcome::DamagedZip: SetText(0, ui.damagedZip); break;
    case AnalysisOutcome::DamagedLzh: SetText(0, ui.damagedLzh); break;
    case AnalysisOutcome::Aborted: SetText(0, ui.aborted); break;
    case AnalysisOutcome::NotAnArchive: SetText(0, ui.notAnArchive); break;
    case AnalysisOutcome::LzhAndZip: SetText(0, ui.lzhAndZip); break;
  }
}

void StatusBar::SetLeadingBytes(uint64_t count) {
  leadingBytes_ = count;
  lzhLevel_.reset();
  SetText(1, std::to_string(count));
}

void StatusBar::SetLzhLevel(uint8_t level) {
  lzhLevel_ = level;
  leadingBytes_.reset();
  SetText(1, "Level=" + std::to_string(level));
}

void StatusBar::ClearDetail() {
  leadingBytes_.reset();
  lzhLevel_.reset();
  SetText(1, {});
}

void StatusBar::SetProgress(std::string text) { SetText(2, std::move(text)); }

void StatusBar::ClearAll() {
  SetOutcome(AnalysisOutcome::None);
  ClearDetail();
  SetText(2, {});
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
