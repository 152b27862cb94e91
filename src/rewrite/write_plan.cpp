#include "rewrite/write_plan.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "app/entry_tables.h"
#include "app/log_pane.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "base/work_count.h"
#include "checksum/crc.h"

namespace brim::rewrite {

namespace {

// Writes of one phase closer than this are joined into one system call, the
// bytes between them written back as they are now (read just before).
constexpr uint64_t kJoinGap = 16 * 1024;
constexpr uint64_t kRunMax = 1024 * 1024;
// A batch ends at this many entries or zero bytes, so the plans held in
// memory stay bounded whatever the archive; an entry with more zeros than
// kRunMax is applied alone, its zeros streamed. Each batch reuses the memory
// of the one before: a thousand entries take few system calls, and larger
// batches only touch more new memory (4096 cost 15% more time on 20,000
// small LZH entries).
constexpr size_t kBatchEntries = 1024;
// The log lines an entry's rewrite writes at most (LZH: five, ZIP: three).
constexpr size_t kLogLinesPerEntry = 5;
constexpr uint64_t kBatchZeros = 4 * 1024 * 1024;
// An entry's headers take about half a dozen writes once neighbouring
// fields are joined: room for them in one allocation.
constexpr size_t kWritesPerEntry = 8;
constexpr uint64_t kZeroBlock = 1024 * 1024;
// How much of a long run of zeros is written between two looks at "中断".
constexpr uint64_t kAbortStride = 64 * 1024 * 1024;

}  // namespace

PlanReader::PlanReader(const FileStream& file) : file_(file) {
  for (auto& w : windows_) w = std::make_unique<ByteWindow>(file_, kReadBlock);
}

ByteWindow& PlanReader::Near(uint64_t pos) {
  auto distance = [&](int i) { return pos > last_[i] ? pos - last_[i] : last_[i] - pos; };
  int i = distance(0) <= distance(1) ? 0 : 1;
  // Farther than a block from both: the one used longer ago moves there.
  if (distance(i) > kReadBlock) i = lastUsed_ == 0 ? 1 : 0;
  last_[i] = pos;
  lastUsed_ = i;
  return *windows_[i];
}

PlanBuilder::PlanBuilder(const FileStream& file, PlanReader& reader, EntryPlan& plan)
    : PlanBuilder(file, reader) {
  Begin(plan);
}

PlanBuilder::PlanBuilder(const FileStream& file, PlanReader& reader)
    : file_(file), reader_(reader), plan_(nullptr), size_(reader.FileSize()) {}

void PlanBuilder::Begin(EntryPlan& plan) {
  plan_ = &plan;
  plan_->writes.reserve(kWritesPerEntry);
  owned_.clear();
  ownedByStart_.clear();
  ownedSorted_ = 0;
  writesAt_.clear();
  writesIndexed_ = 0;
  longestWrite_ = 0;
}

void PlanBuilder::Own(uint64_t from, uint64_t to) { owned_.emplace_back(from, to); }

void PlanBuilder::Refuse() const {
  throw RowRefused{FormatText(Ui().fileChangedSinceAnalysis, Utf8ToCp932(file_.Path()))};
}

void PlanBuilder::Require(uint64_t pos, uint64_t len) const {
  if (pos > size_ || len > size_ - pos) Refuse();
}

void PlanBuilder::CheckOwned(uint64_t pos, uint64_t len) const {
  Require(pos, len);
  if (ownedSorted_ != owned_.size()) {
    ownedByStart_ = owned_;
    std::sort(ownedByStart_.begin(), ownedByStart_.end());
    for (size_t i = 1; i < ownedByStart_.size(); ++i) {
      ownedByStart_[i].second = std::max(ownedByStart_[i].second, ownedByStart_[i - 1].second);
    }
    ownedSorted_ = owned_.size();
    work::steps += ownedSorted_;
  }
  // The ranges starting at pos or before: one of them must reach pos + len.
  auto after = std::upper_bound(ownedByStart_.begin(), ownedByStart_.end(), pos,
                                [](uint64_t p, const std::pair<uint64_t, uint64_t>& r) { return p < r.first; });
  ++work::steps;
  if (after == ownedByStart_.begin()) Refuse();
  const uint64_t reach = std::prev(after)->second;
  if (reach < pos || reach - pos < len) Refuse();
}

const std::vector<size_t>& PlanBuilder::WritesOver(uint64_t pos, uint64_t end) {
  for (; writesIndexed_ < plan_->writes.size(); ++writesIndexed_) {
    writesAt_.emplace(plan_->writes[writesIndexed_].at, writesIndexed_);
  }
  over_.clear();
  for (auto it = writesAt_.lower_bound(pos > longestWrite_ ? pos - longestWrite_ : 0);
       it != writesAt_.end() && it->first < end; ++it) {
    ++work::steps;
    const PlannedWrite& w = plan_->writes[it->second];
    if (w.at + w.bytes.size() > pos) over_.push_back(it->second);
  }
  // Laid in planned order: where two overlap, the later one wins.
  std::sort(over_.begin(), over_.end());
  return over_;
}

void PlanBuilder::Expect(uint64_t pos, std::string_view signature) {
  const uint8_t* got = Read(pos, signature.size());
  if (std::memcmp(got, signature.data(), signature.size()) != 0) Refuse();
}

// Lays this entry's planned writes and zeros over n bytes read at pos.
void PlanBuilder::LayPlanned(uint64_t pos, uint8_t* bytes, size_t n) {
  const uint64_t end = pos + n;
  for (const size_t i : WritesOver(pos, end)) {
    const PlannedWrite& w = plan_->writes[i];
    const uint64_t from = std::max(pos, w.at), to = std::min(end, w.at + w.bytes.size());
    if (from < to) std::memcpy(bytes + (from - pos), w.bytes.data() + (from - w.at), to - from);
  }
  const uint64_t zFrom = std::max(pos, plan_->zerosAt), zTo = std::min(end, plan_->zerosAt + plan_->zerosLength);
  if (zFrom < zTo) std::memset(bytes + (zFrom - pos), 0, zTo - zFrom);
}

const uint8_t* PlanBuilder::Read(uint64_t pos, size_t n) {
  Require(pos, n);
  const uint8_t* bytes = reader_.Near(pos).At(pos, n);
  if (bytes == nullptr) Refuse();
  const uint64_t end = pos + n;
  auto overlaps = [&](uint64_t at, uint64_t length) { return at < end && pos < at + length; };
  if (!overlaps(plan_->zerosAt, plan_->zerosLength) && WritesOver(pos, end).empty()) return bytes;
  view_.assign(bytes, bytes + n);
  LayPlanned(pos, view_.data(), n);
  return view_.data();
}

void PlanBuilder::Copy(uint64_t pos, uint8_t* out, size_t n) {
  Require(pos, n);
  if (reader_.Near(pos).Copy(pos, out, n) != n) Refuse();
  LayPlanned(pos, out, n);
}

uint16_t PlanBuilder::Read16(uint64_t pos) { return le::Get16(Read(pos, 2)); }
uint32_t PlanBuilder::Read32(uint64_t pos) { return le::Get32(Read(pos, 4)); }

void PlanBuilder::Bytes(Phase phase, uint64_t pos, std::string_view bytes) {
  if (bytes.empty()) return;
  CheckOwned(pos, bytes.size());
  // A header's fields planned one after another (method, flags, versions;
  // CRC and sizes) become one piece: fewer to sort, lay over and join.
  if (!plan_->writes.empty()) {
    PlannedWrite& last = plan_->writes.back();
    if (last.phase == phase && last.at + last.bytes.size() == pos) {
      last.bytes.append(bytes);
      longestWrite_ = std::max<uint64_t>(longestWrite_, last.bytes.size());
      return;
    }
  }
  plan_->writes.push_back({pos, phase, std::string(bytes)});
  longestWrite_ = std::max<uint64_t>(longestWrite_, bytes.size());
}

void PlanBuilder::Put16(Phase phase, uint64_t pos, uint16_t value) {
  char b[2];
  le::Put16(reinterpret_cast<uint8_t*>(b), value);
  Bytes(phase, pos, std::string_view(b, sizeof b));
}

void PlanBuilder::Put32(Phase phase, uint64_t pos, uint32_t value) {
  char b[4];
  le::Put32(reinterpret_cast<uint8_t*>(b), value);
  Bytes(phase, pos, std::string_view(b, sizeof b));
}

void PlanBuilder::Zeros(uint64_t pos, uint64_t len) {
  CheckOwned(pos, len);
  plan_->zerosAt = pos;
  plan_->zerosLength = len;
}

PlanApplier::PlanApplier(ProgramState& s, FileStream& file, PlanReader* reader)
    : s_(s), file_(file), reader_(reader) {
  // The longest span joined, taken at once: growing it step by step would
  // touch new memory at every step.
  span_.reserve(kRunMax);
}

// Streams len zeros at pos from one block; looks at "中断" every
// kAbortStride bytes. False when stopped part way.
bool PlanApplier::StreamZeros(uint64_t pos, uint64_t len) {
  static const std::unique_ptr<uint8_t[]> zeros(new uint8_t[kZeroBlock]());
  uint64_t sinceLook = 0;
  while (len > 0) {
    if (sinceLook >= kAbortStride) {
      sinceLook = 0;
      s_.ProcessMessages();
      if (s_.AbortRequested) return false;
    }
    const size_t n = static_cast<size_t>(std::min(len, kZeroBlock));
    file_.WriteAt(pos, zeros.get(), n);
    if (reader_) reader_->Wrote(pos, zeros.get(), n);
    pos += n;
    len -= n;
    sinceLook += n;
  }
  return true;
}

// Puts the pieces in file order; pieces at one position keep their planned
// order (the later one wins). A batch's pieces are mostly in order already,
// or two rising runs taken in turns (each ZIP entry writes its local header,
// then its central header further on): those are merged in one pass, anything
// else is sorted.
void PlanApplier::SortPieces() {
  const auto before = [](const Piece& a, const Piece& b) { return a.at < b.at; };
  if (std::is_sorted(pieces_.begin(), pieces_.end(), before)) return;
  // Each piece joins the run whose last piece is the highest not after it.
  size_t count[2] = {0, 0};
  uint64_t top[2] = {0, 0};  // a run's last position + 1; 0 while it is empty
  for (auto& run : runs_) run.resize(pieces_.size());
  for (const Piece& p : pieces_) {
    const uint64_t key = p.at + 1;
    const bool fits0 = top[0] <= key, fits1 = top[1] <= key;
    if (!fits0 && !fits1) {
      std::stable_sort(pieces_.begin(), pieces_.end(), before);
      return;
    }
    const int into = fits0 && (!fits1 || top[0] >= top[1]) ? 0 : 1;
    runs_[into][count[into]++] = p;
    top[into] = key;
  }
  // Two pieces at one position may lie in different runs: the planned order
  // decides between them.
  const auto merged = [](const Piece& a, const Piece& b) { return a.at < b.at || (a.at == b.at && a.order < b.order); };
  merged_.resize(pieces_.size());
  std::merge(runs_[0].begin(), runs_[0].begin() + static_cast<std::ptrdiff_t>(count[0]), runs_[1].begin(),
             runs_[1].begin() + static_cast<std::ptrdiff_t>(count[1]), merged_.begin(), merged);
  pieces_.swap(merged_);
}

// Writes the pieces of one phase, sorted by position: neighbours are joined
// into one read and one write of the span between them.
void PlanApplier::WriteJoined() {
  SortPieces();
  for (size_t i = 0; i < pieces_.size();) {
    const uint64_t from = pieces_[i].at;
    uint64_t to = from + pieces_[i].length;
    size_t j = i + 1;
    while (j < pieces_.size() && pieces_[j].at <= to + kJoinGap &&
           std::max(to, pieces_[j].at + pieces_[j].length) - from <= kRunMax) {
      to = std::max(to, pieces_[j].at + pieces_[j].length);
      ++j;
    }
    span_.resize(static_cast<size_t>(to - from));
    // The bytes between the pieces go back as they are.
    bool covered = true;
    for (size_t k = i, end = from; k < j; end = std::max<uint64_t>(end, pieces_[k].at + pieces_[k].length), ++k) {
      if (pieces_[k].at > end) covered = false;
    }
    if (!covered && !(reader_ && reader_->CopyHeld(from, span_.data(), span_.size()))) {
      file_.ReadExactAt(from, span_.data(), span_.size());
    }
    for (size_t k = i; k < j; ++k) {
      uint8_t* at = span_.data() + (pieces_[k].at - from);
      if (pieces_[k].bytes) std::memcpy(at, pieces_[k].bytes->data(), pieces_[k].length);
      else std::memset(at, 0, pieces_[k].length);
    }
    file_.WriteAt(from, span_.data(), span_.size());
    // The windows learn only what changed, not the joined span.
    for (size_t k = i; reader_ && k < j; ++k) {
      reader_->Wrote(pieces_[k].at, span_.data() + (pieces_[k].at - from), static_cast<size_t>(pieces_[k].length));
    }
    i = j;
  }
}

bool PlanApplier::Apply(const std::vector<EntryPlan>& plans, Phase lastPhase, size_t* stoppedRow) {
  for (int p = 0; p <= static_cast<int>(lastPhase); ++p) {
    const Phase phase = static_cast<Phase>(p);
    pieces_.clear();
    for (const EntryPlan& plan : plans) {
      if (phase == Phase::Zeros) {
        if (plan.zerosLength == 0) continue;
        if (plan.zerosLength > kRunMax) {
          if (!StreamZeros(plan.zerosAt, plan.zerosLength)) {
            if (stoppedRow) *stoppedRow = plan.row;
            return false;
          }
          continue;
        }
        pieces_.push_back({plan.zerosAt, plan.zerosLength, nullptr, pieces_.size()});
        continue;
      }
      for (const PlannedWrite& w : plan.writes) {
        if (w.phase == phase) pieces_.push_back({w.at, w.bytes.size(), &w.bytes, pieces_.size()});
      }
    }
    WriteJoined();
  }
  return true;
}

void AppendCrcProgressDone(ProgramState& s, uint64_t len) {
  // Thousands of entries share a handful of percentages: each text is made once.
  static std::string texts[100];
  const int percent = len > 0 ? CrcProgressPercent(len - 1, len) : 0;
  if (percent <= 0 || percent > 99) {
    s.Memo1.Append(percent > 0 ? FormatNumbers(Ui().crcProgress, percent) : Ui().crcProgressStart);
  } else {
    if (texts[percent].empty()) texts[percent] = FormatNumbers(Ui().crcProgress, percent);
    s.Memo1.Append(texts[percent]);
  }
  s.ProcessMessages();
}

void CrcProgressReport(ProgramState& s, uint64_t len) {
  if (len > kRunMax) Crc32ProgressZeros(s, len);
  else AppendCrcProgressDone(s, len);
}

namespace {

// The log file is CP932.
std::string LogName(const ProgramState& s, size_t row) {
  const std::string_view caption = s.ListView2.Caption(row);
  if (s.ListView1.Encoding(row) == NameEncoding::Utf8) return Utf8ToCp932(caption);
  return std::string(caption);
}

}  // namespace

bool RewritePlanned(ProgramState& s, EntryPlanner planEntry, EntryReporter report) {
  FileStream file = FileStream::Open(s.Label1.Caption(), FileStream::Mode::ReadWrite);
  if (!CheckAnalysedFile(s, file)) return false;
  s.AbortRequested = false;
  s.RowsNotDone.clear();
  s.RowsDone = 0;

  std::vector<EntryPlan> batch;
  // A batch starts at one entry and doubles while the window had no chance
  // to take a click meanwhile: a "中断" then stops the rewrite after the
  // entry whose lines the user saw, as it did entry by entry.
  size_t batchLimit = 1;
  uint64_t pumps = s.ProcessMessages.PumpCount();
  uint64_t batchZeros = 0;
  std::vector<std::vector<PlannedWrite>> spareWrites;
  PlanReader reader(file);
  PlanApplier applier(s, file, &reader);
  PlanBuilder builder(file, reader);
  auto flush = [&]() -> bool {
    if (batch.empty()) return true;
    size_t stopped = 0;
    const bool whole = applier.Apply(batch, Phase::Sums, &stopped);
    for (const EntryPlan& plan : batch) {
      if (!whole && plan.row == stopped) {
        s.Memo1.Append(plan.logName, Ui().logStoppedPartWay);
        s.RowsNotDone.push_back({plan.row, Ui().aborted});
        s.Memo1.Append(Ui().aborted);
        break;
      }
      if (!plan.refused.empty()) {
        if (plan.refusedLine) {
          s.Memo1.Append(plan.refused);
        } else {
          s.Memo1.Append(plan.logName + FormatText(Ui().logRowNotDone, plan.refused));
        }
        s.RowsNotDone.push_back({plan.row, plan.refused});
        continue;
      }
      report(s, plan);
      ++s.RowsDone;
    }
    // The plans' lists of writes are kept for the next batch's plans.
    for (EntryPlan& plan : batch) {
      plan.writes.clear();
      spareWrites.push_back(std::move(plan.writes));
    }
    batch.clear();
    const uint64_t now = s.ProcessMessages.PumpCount();
    batchLimit = now != pumps ? 1 : std::min(batchLimit * 2, kBatchEntries);
    pumps = now;
    batchZeros = 0;
    return whole;
  };

  const size_t rows = s.ListView1.Count();
  size_t ticked = 0;
  for (size_t row = 0; row < rows; ++row) ticked += s.ListView2.Checked(row) ? 1 : 0;
  s.Memo1.Reserve(ticked * kLogLinesPerEntry);
  for (size_t row = 0; row < rows && row < s.ListView1.Count(); ++row) {
    if (!s.ListView2.Checked(row)) continue;
    // "中断" stops between entries; the entries planned before it are done
    // first, so the log keeps its order.
    s.ProcessMessages();
    if (s.AbortRequested) {
      if (flush()) StopBetweenEntries(s);
      break;
    }
    EntryPlan plan;
    plan.row = row;
    plan.logName = LogName(s, row);
    if (!spareWrites.empty()) {  // else Begin takes room for them
      plan.writes = std::move(spareWrites.back());
      spareWrites.pop_back();
    }
    try {
      builder.Begin(plan);
      planEntry(s, builder, row);
    } catch (const RowRefused& refused) {
      plan = EntryPlan{row, {}, 0, 0, plan.logName, {}, false, refused.reason, refused.line};
    } catch (const CommandError& e) {  // a locator cell that is not a number
      plan = EntryPlan{row, {}, 0, 0, plan.logName, {}, false, e.what()};
    }
    // An entry with a long run of zeros goes alone, so "中断" inside it
    // leaves no other entry half done.
    const bool alone = plan.zerosLength > kRunMax;
    if (alone && !flush()) break;
    batchZeros += plan.zerosLength;
    batch.push_back(std::move(plan));
    if (alone || batch.size() >= batchLimit || batchZeros >= kBatchZeros) {
      if (!flush()) break;
    }
  }
  flush();
  // The listing still describes the file: the rewrite moved nothing.
  s.AnalysedFile = file.Identity();
  file.Close();
  return true;
}

}  // namespace brim::rewrite
