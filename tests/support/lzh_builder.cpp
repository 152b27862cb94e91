#include "support/lzh_builder.h"

#include <stdexcept>

#include "formats/lzh_layout.h"
#include "base/le.h"
#include "checksum/crc.h"

namespace brim::test {
namespace {

uint16_t Crc16Of(const Bytes& b) { return Crc16Update(0, b.data(), b.size()); }

void Put16At(Bytes& b, size_t at, uint16_t v) { le::Put16(b.data() + at, v); }
void Put32At(Bytes& b, size_t at, uint32_t v) { le::Put32(b.data() + at, v); }

// Appends the records and, unless told otherwise, the terminating 0 size.
// Returns the offset (in out) of the first common record's CRC, or npos.
size_t AppendChain(Bytes& out, const LzhEntry& e) {
  size_t crcAt = std::string::npos;
  for (size_t i = 0; i < e.extended.size(); ++i) {
    const LzhExtended& r = e.extended[i];
    // Each record's size field belongs to the record itself: the very first
    // one is already in the fixed part of the header, as out's last 2 bytes.
    size_t sizeAt = out.size() - 2;
    Put16At(out, sizeAt, r.size.value_or(static_cast<uint16_t>(3 + r.body.size())));
    out.push_back(r.type);
    if (r.type == lzh::kTypeCommon && r.body.size() >= 2 && crcAt == std::string::npos)
      crcAt = out.size();
    out.insert(out.end(), r.body.begin(), r.body.end());
    out.push_back(0);  // the next size field (0 unless another record follows)
    out.push_back(0);
  }
  if (!e.chainTerminated) out.resize(out.size() - 2);
  return crcAt;
}

uint32_t RecordSizes(const LzhEntry& e) {
  uint32_t sum = 0;
  for (const LzhExtended& r : e.extended)
    sum += r.size.value_or(static_cast<uint16_t>(3 + r.body.size()));
  return sum;
}

}  // namespace

LzhExtended LzhExtended::Common() { return {lzh::kTypeCommon, Bytes{0, 0}, std::nullopt}; }

LzhExtended LzhExtended::FileName(const std::string& name) {
  return {lzh::kTypeFileName, Bytes(name.begin(), name.end()), std::nullopt};
}

LzhExtended LzhExtended::Directory(const std::string& path) {
  Bytes body(path.begin(), path.end());
  for (uint8_t& b : body)
    if (b == '/' || b == '\\') b = lzh::kDirectorySeparator;
  return {lzh::kTypeDirectory, body, std::nullopt};
}

LzhExtended LzhExtended::RawDirectory(const Bytes& body) {
  return {lzh::kTypeDirectory, body, std::nullopt};
}

LzhEntry LzhEntry::Level0(std::string name, Bytes data) {
  LzhEntry e;
  e.level = 0;
  e.name = std::move(name);
  e.data = std::move(data);
  return e;
}

LzhEntry LzhEntry::Level1(std::string name, Bytes data) {
  LzhEntry e = Level0(std::move(name), std::move(data));
  e.level = 1;
  return e;
}

LzhEntry LzhEntry::Level2(const std::string& name, Bytes data) {
  LzhEntry e;
  e.level = 2;
  e.data = std::move(data);
  e.extended.push_back(LzhExtended::Common());
  e.extended.push_back(LzhExtended::FileName(name));
  return e;
}

Bytes EncodeLzhHeader(const LzhEntry& e) {
  if (e.method.size() != lzh::kMethodLength) throw std::invalid_argument("method must be 5 bytes");
  const uint32_t original = e.originalSize.value_or(static_cast<uint32_t>(e.data.size()));
  const uint16_t dataCrc = e.crc.value_or(Crc16Of(e.data));
  const uint8_t levelByte = e.levelByte.value_or(static_cast<uint8_t>(e.level));
  Bytes h;

  if (e.level == 2) {
    h.assign(lzh::kLevel2FixedSize, 0);
    Put32At(h, lzh::kOriginalSize, original);
    Put32At(h, lzh::kTimeStamp, e.time);
    h[lzh::kAttribute] = e.attribute;
    h[lzh::kLevel] = levelByte;
    Put16At(h, lzh::kLevel2Crc, dataCrc);
    h[lzh::kLevel2Os] = e.os;
    std::copy(e.method.begin(), e.method.end(), h.begin() + lzh::kMethod);
    Put32At(h, lzh::kPackedSize, e.packedSize.value_or(static_cast<uint32_t>(e.data.size())));
    size_t crcAt = AppendChain(h, e);
    Put16At(h, lzh::kHeaderSize, e.headerSize.value_or(static_cast<uint16_t>(h.size())));
    if (crcAt != std::string::npos) {
      Put16At(h, crcAt, 0);
      Put16At(h, crcAt, e.headerCrc.value_or(Crc16Of(h)));
    }
    return h;
  }

  if (e.level != 0 && e.level != 1) throw std::invalid_argument("level must be 0, 1 or 2");
  const size_t n = e.name.size();
  const size_t baseEnd = lzh::kName + n + (e.level == 1 ? lzh::kFirstExtendedAfterName + 2
                                                        : lzh::kOsAfterName);
  h.assign(baseEnd, 0);
  std::copy(e.method.begin(), e.method.end(), h.begin() + lzh::kMethod);
  uint32_t packed = static_cast<uint32_t>(e.data.size()) + (e.level == 1 ? RecordSizes(e) : 0);
  Put32At(h, lzh::kPackedSize, e.packedSize.value_or(packed));
  Put32At(h, lzh::kOriginalSize, original);
  Put32At(h, lzh::kTimeStamp, e.time);
  h[lzh::kAttribute] = e.attribute;
  h[lzh::kLevel] = levelByte;
  h[lzh::kNameLength] = e.nameLength.value_or(static_cast<uint8_t>(n));
  std::copy(e.name.begin(), e.name.end(), h.begin() + lzh::kName);
  Put16At(h, lzh::kName + n + lzh::kCrcAfterName, dataCrc);
  if (e.level == 1) h[lzh::kName + n + lzh::kOsAfterName] = e.os;
  if (e.level == 0) h.insert(h.end(), e.level0Extra.begin(), e.level0Extra.end());
  const size_t baseSize = h.size();
  h[lzh::kHeaderSize] = static_cast<uint8_t>(e.headerSize.value_or(static_cast<uint16_t>(baseSize - 2)));
  size_t crcAt = e.level == 1 ? AppendChain(h, e) : std::string::npos;
  // The sum covers the H bytes from offset 2 of the base header only (the
  // first record size included), so it is taken before the header CRC.
  if (e.headerSum) {
    h[lzh::kHeaderSum] = *e.headerSum;
  } else {
    size_t sumEnd = std::min<size_t>(baseSize, 2 + h[lzh::kHeaderSize]);
    uint32_t sum = 0;
    for (size_t i = 2; i < sumEnd; ++i) sum += h[i];
    h[lzh::kHeaderSum] = static_cast<uint8_t>(sum);
  }
  if (crcAt != std::string::npos) {
    // The CRC of a level-1 header covers the base header and every record.
    Put16At(h, crcAt, 0);
    Put16At(h, crcAt, e.headerCrc.value_or(Crc16Of(h)));
  }
  return h;
}

uint64_t LzhBuilder::Add(const LzhEntry& e) {
  uint64_t at = Raw(EncodeLzhHeader(e));
  uint64_t dataStart = bytes.size();
  bytes.insert(bytes.end(), e.data.begin(), e.data.end());
  entries.push_back({at, dataStart, e});
  return at;
}

uint64_t LzhBuilder::EndMark(size_t n) { return Raw(Bytes(n, 0)); }

uint64_t LzhBuilder::Raw(const Bytes& raw) {
  uint64_t at = bytes.size();
  bytes.insert(bytes.end(), raw.begin(), raw.end());
  return at;
}

}  // namespace brim::test
