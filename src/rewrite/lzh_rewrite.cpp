// Neutralises ticked LZH entries in place: zero data, "-lh0-", the size and
// CRC-16 of the zeros, "$" as the extension's last byte, then the header sum
// or header CRC of the entry's own level computed over the changed header.
#include <algorithm>
#include <array>

#include "formats/lzh_layout.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "checksum/crc.h"
#include "rewrite/name_mask.h"
#include "rewrite/entry_writer.h"
#include "rewrite/rewrite_command.h"

namespace brim {

namespace {

using rewrite::EntryWriter;

constexpr std::string_view kStoredMethod = "-lh0-";

// Header CRC of levels 1 and 2: CRC-16 of the header from P up to the data,
// taken with its own field at 0, then written into that field.
void RewriteHeaderCrc(ProgramState& s, EntryWriter& out, const Locator& v) {
  out.Put16(v.extI, 0);
  const uint64_t p = v.offset;
  const uint16_t crc = Crc16ProgressRead(
      s, uint64_t{v.start} - p, [&](uint64_t from, uint8_t* buf, size_t n) { out.Read(p + from, buf, n); });
  out.Put16(v.extI, crc);
}

// Header sum of levels 0 and 1: the byte sum of the H bytes from P + 2.
void RewriteHeaderSum(EntryWriter& out, const Locator& v) {
  const uint64_t p = v.offset;
  std::array<uint8_t, 255> header{};
  const uint8_t h = out.ReadByte(p + lzh::kHeaderSize);
  out.Read(p + lzh::kMethod, header.data(), h);
  out.Put8(p + lzh::kHeaderSum, static_cast<uint8_t>(HeaderSum(header.data(), int64_t{h} - 1)));
}

// Where one entry is written, every position checked: inside the file and
// inside the entry's range, from its header to the end of its data.
struct LzhPlan {
  Locator v;
  std::string ext;
  int level = 0;
};

LzhPlan PlanLzhEntry(const ProgramState& s, EntryWriter& out, size_t row) {
  LzhPlan plan;
  plan.ext = rewrite::MaskSource(s.ListView1.Caption(row));
  plan.v = s.ListView1.ReadLocator(row);
  const Locator& v = plan.v;
  const uint64_t p = v.offset;

  // The header must be where the analysis found it ("-lh?-" and the like).
  out.Measure();
  out.Expect(p + lzh::kMethod, "-");
  out.Expect(p + lzh::kMethod + lzh::kMethodLength - 1, "-");
  out.Confine(p, uint64_t{v.start} + v.size, 0, 0);

  out.Require(v.start, v.size);
  out.Require(p, lzh::kLevel + 1);  // method, original size, level
  // The entry's own level, as the analysis listed it (above 2 as 2): its
  // locator cells follow that level, and in an archive of mixed levels the
  // first header's would put the checks over other bytes.
  plan.level = std::min<int>(out.ReadByte(p + lzh::kLevel), 2);
  if (plan.level == 2) {
    out.Require(p + lzh::kLevel2Crc, 2);
  } else {
    out.Require(v.offsetI, 2);
    out.Require(p, 2 + uint64_t{out.ReadByte(p + lzh::kHeaderSize)});  // the summed bytes
  }
  if (v.ext != 0) out.Require(v.ext, plan.ext.size());
  if (plan.level != 0 && v.extI != 0) {
    if (v.start < p) out.Refuse();  // a header that would end before it begins
    out.Require(p, uint64_t{v.start} - p);
    out.Require(v.extI, 2);
  }
  return plan;
}

void CheckLzhEntry(const ProgramState& s, EntryWriter& out, size_t row) { PlanLzhEntry(s, out, row); }

void RewriteLzhEntry(ProgramState& s, EntryWriter& out, size_t row) {
  // The log file is CP932.
  const std::string name = s.ListView1.Encoding(row) == NameEncoding::Utf8 ? Utf8ToCp932(s.ListView2.Caption(row))
                                                                          : std::string(s.ListView2.Caption(row));
  const LzhPlan plan = PlanLzhEntry(s, out, row);
  const Locator& v = plan.v;
  const uint64_t p = v.offset;
  s.Memo1.Append(name + Ui().logWillRewrite);

  out.Zeros(v.start, v.size);
  s.Memo1.Append(name + Ui().logZeroed);
  out.Put32(p + lzh::kOriginalSize, v.size);
  SetMethodId(s, kStoredMethod);
  out.Bytes(p + lzh::kMethod,
            std::string_view(reinterpret_cast<const char*>(s.MethodId.data()), s.MethodId.size()));
  const uint16_t crc = Crc16ProgressZeros(s, v.size);
  out.Put16(plan.level == 2 ? p + lzh::kLevel2Crc : uint64_t{v.offsetI}, crc);

  if (v.ext != 0) {
    SetNameMask(s, plan.ext);
    out.Bytes(v.ext, s.NameMask);
    s.Memo1.Append(name + Ui().logExtensionMasked);
  }

  // The sum (levels 0, 1) lies inside the range of the header CRC (level 1),
  // so it is written first.
  if (plan.level != 2) RewriteHeaderSum(out, v);
  if (plan.level != 0 && v.extI != 0) RewriteHeaderCrc(s, out, v);
  s.Memo1.Append(name + Ui().logHeaderRebuilt);
}

}  // namespace

bool RewriteLzhEntries(ProgramState& s) {
  // Without a level 0, 1 or 2 no analysis of this archive ended well:
  // nothing can say how its headers are checked.
  const std::optional<uint8_t> level = s.StatusBar1.LzhLevel();
  if (s.StatusBar1.Outcome() != AnalysisOutcome::Analysed || !level || *level > 2) {
    s.desktop.ShowMessage(Ui().notAnalysed);
    return false;
  }
  return rewrite::RewriteTicked(s, CheckLzhEntry, RewriteLzhEntry);
}

}  // namespace brim
