// The first checked LZH header after offset 0: a self-extractor's archive
// behind its program stub, as lhasa and bsdtar find it.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "app/program_state.h"
#include "base/byte_window.h"
#include "base/file_stream.h"

namespace brim {

// A header checks when its level is 0, 1 or 2, its record chain ends inside
// it, its data ends inside the file, and its header sum (levels 0, 1) or
// header CRC (level 2) is right. A stub holding "-lh5-" by chance fails one
// of them.
//
// The scan sees the blocks a forward scan reads, so a scan that looks for
// something else finds it in the same pass. Each byte of a stub is looked at
// a bounded number of times whatever it holds: the sums and CRCs of headers
// come from running ones, and the record chains of candidate headers, which
// a crafted stub makes long and shared, are followed once, in file order, all
// at the same time. A chain still open when a block is done is followed on
// with the next one, so a header is known to check some blocks after it was
// seen.
class LzhStartScan {
 public:
  // fromStart: offset 0 is a candidate too (LArc's "-lz?-" there).
  explicit LzhStartScan(const FileStream& f, bool fromStart = false);
  ~LzhStartScan();
  // Looks at the method candidates at from .. from + owned - 1, in block
  // (span bytes read at from). Blocks come in file order, each owning the
  // positions after the last one's.
  void Look(uint64_t from, const uint8_t* block, size_t span, size_t owned);
  // The first checked header, once no candidate before it is open.
  std::optional<uint64_t> Found() const;
  // Follows the chains still open to their ends, reading on past the blocks
  // looked at; Found() is then final.
  void Finish();

 private:
  struct Member;
  struct Group;
  class Sums;

  void Consider(uint64_t p, const uint8_t* fixed);
  void Join(uint64_t chainAt, Member m);
  // Follows the open chains at positions below end; block holds [from, from + span).
  void Follow(uint64_t end, uint64_t from, const uint8_t* block, size_t span);
  void Merge(uint32_t into, uint32_t from);
  void Settle(uint32_t group, std::optional<uint64_t> endMarkAt);

  const uint64_t size_;
  const uint64_t firstMethod_;  // where the first method looked at lies
  std::unique_ptr<ByteWindow> fixed_;  // fields of a header that runs past its block
  std::unique_ptr<ByteWindow> ahead_;  // chain records past the block
  std::unique_ptr<Sums> sums_;
  std::vector<Member> members_;
  std::vector<Group> groups_;
  std::map<uint64_t, uint32_t> open_;  // the next record of each open chain -> its group
  std::set<uint64_t> undecided_;      // headers whose chain is open
  std::optional<uint64_t> first_;     // the first header known to check
};

// Where the archive's first header starts: 0 when "-lh?-" is at offset 2
// (checked no further), else the first checked header, LArc's "-lz?-" at
// offset 0 included, then any after a stub; nothing when there is none. Only
// headers that start before `before` are looked for.
std::optional<uint64_t> FindLzhStart(ProgramState& s, const FileStream& f, uint64_t before = UINT64_MAX - 16);

// Whether an LZH header starts the file: "-lh?-" at offset 2, or "-lz?-"
// there in a header that checks as one behind a stub must.
bool StartsWithLzh(ProgramState& s, const FileStream& f);

}  // namespace brim
