// A rewrite is a plan before it is a write. For each ticked entry a format
// lists every write it needs, as (position, bytes) tagged with a phase, plus
// one run of zeros; every position is checked against the bytes the entry
// owns while the plan is made. Plans are then applied a batch at a time, one
// phase after the other, so that at any instant the archive offers no
// dangerous name over live data:
//   names       every copy of the name masked,
//   method      flags, method and versions: a stored, unencrypted entry,
//   zeros       the data,
//   sums        CRCs, sizes and header checks that describe the zeros.
// A kill between phases leaves a half-done entry (masked, stored, old CRC)
// that a second rewrite lists and completes.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <map>
#include <vector>

#include "app/program_state.h"
#include "base/byte_window.h"
#include "base/file_stream.h"

namespace brim::rewrite {

enum class Phase : uint8_t { Names, Method, Zeros, Sums };
inline constexpr int kPhaseCount = 4;

struct PlannedWrite {
  uint64_t at = 0;
  Phase phase = Phase::Names;
  std::string bytes;
};

// One ticked row's writes, and what its log lines need.
struct EntryPlan {
  size_t row = 0;
  std::vector<PlannedWrite> writes;  // in the order they were planned
  uint64_t zerosAt = 0, zerosLength = 0;
  std::string logName;  // CP932
  std::string mask;     // the masked extension written over the name(s)
  bool masked = false;  // the row has an extension position, so the log says it was changed
  std::string refused;  // why the row could not be planned (CP932); it then has no writes
  bool refusedLine = false;  // refused is the whole log line (name included), noted as it is
  uint64_t headerCheckLength = 0;  // the bytes a header CRC was taken over, for its progress line
};

// Why one row cannot be planned (CP932, as the log writes it). The other
// rows still run.
struct RowRefused {
  std::string reason;
  bool line = false;  // reason is the whole log line, the row's name included
};

// The header reads of a whole command: the local headers and the central
// directory are each read front to back, so each keeps a window of its own.
class PlanReader {
 public:
  explicit PlanReader(const FileStream& file);
  // The file now holds bytes[0, n) at pos: the windows follow, so what the
  // next batch reads is never stale and never read twice.
  void Wrote(uint64_t pos, const uint8_t* bytes, size_t n) {
    for (auto& w : windows_) w->Wrote(pos, bytes, n);
  }
  // Copies the n bytes at pos when a window holds them all (they read as
  // the file does: every write was told); false otherwise.
  bool CopyHeld(uint64_t pos, uint8_t* out, size_t n) const {
    for (const auto& w : windows_) {
      if (const uint8_t* held = w->Held(pos, n)) {
        std::memcpy(out, held, n);
        return true;
      }
    }
    return false;
  }
  // The window whose last read lay nearest to pos.
  ByteWindow& Near(uint64_t pos);
  uint64_t FileSize() const { return windows_[0]->FileSize(); }

 private:
  const FileStream& file_;
  static constexpr size_t kReadBlock = 256 * 1024;
  std::unique_ptr<ByteWindow> windows_[2];
  uint64_t last_[2] = {0, 0};
  int lastUsed_ = 1;
};

// Builds one entry's plan. Reads go through a window shared by the whole
// command (one read per block, not per field) and show the bytes as they
// will be once this entry's own planned writes are applied. Every write is
// checked to lie inside the file and inside what Own names.
class PlanBuilder {
 public:
  PlanBuilder(const FileStream& file, PlanReader& reader, EntryPlan& plan);
  // One for a whole command: each entry's plan starts with Begin.
  PlanBuilder(const FileStream& file, PlanReader& reader);

  // The ranges this entry may write: its header to the end of its data, its
  // central header(s). Writes outside all of them refuse the row.
  void Own(uint64_t from, uint64_t to);
  // Refuses the row unless [pos, pos + len) lies inside the file.
  void Require(uint64_t pos, uint64_t len) const;
  // Refuses the row unless the bytes at pos are signature.
  void Expect(uint64_t pos, std::string_view signature);
  [[noreturn]] void Refuse() const;

  // n bytes at pos as they will be (n at most the window's block). Refuses
  // the row when they are not all in the file.
  const uint8_t* Read(uint64_t pos, size_t n);
  // The same for any n, into out (an LZH header CRC over long extended
  // headers is taken block by block).
  void Copy(uint64_t pos, uint8_t* out, size_t n);
  uint8_t Read8(uint64_t pos) { return *Read(pos, 1); }
  uint16_t Read16(uint64_t pos);
  uint32_t Read32(uint64_t pos);

  void Bytes(Phase phase, uint64_t pos, std::string_view bytes);
  void Put8(Phase phase, uint64_t pos, uint8_t value) { Bytes(phase, pos, std::string(1, static_cast<char>(value))); }
  void Put16(Phase phase, uint64_t pos, uint16_t value);
  void Put32(Phase phase, uint64_t pos, uint32_t value);
  // The entry's data run; one per entry.
  void Zeros(uint64_t pos, uint64_t len);

  uint64_t FileSize() const { return size_; }
  EntryPlan& Plan() { return *plan_; }
  // Goes on to the next entry's plan, keeping the memory this one took.
  void Begin(EntryPlan& plan);
  // The shared window as the file reads now, without this entry's planned
  // writes: for a format's own walk of a header before any is planned.
  ByteWindow& Window(uint64_t pos) { return reader_.Near(pos); }

 private:
  void CheckOwned(uint64_t pos, uint64_t len) const;
  void LayPlanned(uint64_t pos, uint8_t* bytes, size_t n);
  // The indices, in planned order, of this entry's writes over [pos, end).
  const std::vector<size_t>& WritesOver(uint64_t pos, uint64_t end);

  const FileStream& file_;
  PlanReader& reader_;
  EntryPlan* plan_;
  uint64_t size_;
  std::vector<std::pair<uint64_t, uint64_t>> owned_;
  // An entry may have thousands of central headers, each owned and written:
  // the owned ranges sorted by start, each with the furthest end reached by
  // it or one before (made again when ranges were added), and the writes by
  // position, keep each check and read from passing all of them.
  mutable std::vector<std::pair<uint64_t, uint64_t>> ownedByStart_;
  mutable size_t ownedSorted_ = 0;
  std::multimap<uint64_t, size_t> writesAt_;
  size_t writesIndexed_ = 0;
  uint64_t longestWrite_ = 0;
  std::vector<size_t> over_;
  std::vector<uint8_t> view_;  // Read's answer with the plan's own writes laid over it
};

// Plans one ticked row (throws RowRefused, or any error of the row's
// cells, for a row that cannot be planned) and writes its log lines once it
// has been applied.
using EntryPlanner = void (*)(const ProgramState& s, PlanBuilder& out, size_t row);
using EntryReporter = void (*)(ProgramState& s, const EntryPlan& plan);

// The CRC progress line of a run of len zeros as the progress protocol
// leaves it, appended at once: an entry of a batch was written together with
// the others, and stepping its line through every percentage would cost
// more than the rewrite. A run long enough to be applied alone shows every
// step.
void AppendCrcProgressDone(ProgramState& s, uint64_t len);
void CrcProgressReport(ProgramState& s, uint64_t len);

// Opens the analysed archive for reading and writing and plans and applies
// every ticked row. It must be the file the analysis read, unchanged since;
// otherwise it shows "解析されていません" and changes nothing. A tick is read
// when its row's turn comes. A row that cannot be planned is refused alone:
// logged, kept in RowsNotDone, and the others still run. "中断" stops
// before the next ticked row, and inside a long run of zeros (the entry is
// then left masked and stored, partly zeroed, and kept in RowsNotDone).
// False when refused before writing.
bool RewritePlanned(ProgramState& s, EntryPlanner plan, EntryReporter report);

// Applies batches of plans in phase order; the building block of
// RewritePlanned. What it works in (the pieces of a phase, the bytes of a
// joined span) is kept from batch to batch, so its memory is taken and
// touched once. A reader given is told of every write.
class PlanApplier {
 public:
  PlanApplier(ProgramState& s, FileStream& file, PlanReader* reader = nullptr);
  // Applies phases [0, lastPhase]. Returns false when "中断" stopped a run of
  // zeros part way; *stoppedRow is then the plan's row.
  bool Apply(const std::vector<EntryPlan>& plans, Phase lastPhase = Phase::Sums, size_t* stoppedRow = nullptr);

 private:
  struct Piece {
    uint64_t at = 0;
    uint64_t length = 0;
    const std::string* bytes = nullptr;  // nullptr: zeros
    size_t order = 0;                    // the place in planned order
  };
  bool StreamZeros(uint64_t pos, uint64_t len);
  void SortPieces();
  void WriteJoined();

  ProgramState& s_;
  FileStream& file_;
  PlanReader* reader_;
  std::vector<Piece> pieces_;  // in planned order, then in file order
  std::vector<Piece> runs_[2], merged_;
  std::vector<uint8_t> span_;
};

// One batch at once, for tests that stop after a phase.
inline bool ApplyPlans(ProgramState& s, FileStream& file, const std::vector<EntryPlan>& plans,
                       Phase lastPhase = Phase::Sums, size_t* stoppedRow = nullptr) {
  return PlanApplier(s, file).Apply(plans, lastPhase, stoppedRow);
}

}  // namespace brim::rewrite
