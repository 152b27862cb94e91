#include "regenerate/zip_directory.h"

#include <cstring>

#include "formats/zip_layout.h"
#include "base/errors.h"
#include "base/le.h"

namespace brim {

using namespace zip;

ZipEntryFacts DecodeZipEntryFacts(const uint8_t* h) {
  ZipEntryFacts f;
  f.versionNeeded = le::Get16(h + kLocalVersionNeeded);
  f.flags = le::Get16(h + kLocalFlags);
  f.method = le::Get16(h + kLocalMethod);
  f.time = le::Get16(h + kLocalTime);
  f.date = le::Get16(h + kLocalDate);
  f.crc = le::Get32(h + kLocalCrc);
  f.compressedSize = le::Get32(h + kLocalCompressedSize);
  f.originalSize = le::Get32(h + kLocalOriginalSize);
  f.nameLength = le::Get16(h + kLocalNameLength);
  return f;
}

ZipEntryFacts ReadZipEntryFacts(const FileStream& archive, uint64_t pos) {
  uint8_t header[kLocalHeaderSize];
  archive.ReadExactAt(pos, header, sizeof header);
  ZipEntryFacts f = DecodeZipEntryFacts(header);
  const Zip64Wants wants = LocalZip64Wants(header);
  if (!wants.Any()) return f;
  std::vector<uint8_t> extra(le::Get16(header + kLocalExtraLength));
  extra.resize(archive.ReadAt(pos + kLocalHeaderSize + f.nameLength, extra.data(), extra.size()));
  const Zip64Values v = ParseZip64Extra(extra.data(), extra.size(), wants);
  if (v.original && v.original->value < kZip64Marker32) {
    f.originalSize = static_cast<uint32_t>(v.original->value);
  }
  if (v.compressed && v.compressed->value < kZip64Marker32) {
    f.compressedSize = static_cast<uint32_t>(v.compressed->value);
  }
  return f;
}

uint64_t TakeDataDescriptor(const FileStream& archive, uint64_t pos, ZipEntryFacts& f,
                            const EntrySums* known) {
  if ((f.flags & kFlagDataDescriptor) == 0) return 0;
  uint8_t d[kDescriptorProbe];
  const size_t got = archive.ReadAt(pos, d, sizeof d);
  const size_t length = RecogniseDescriptor(d, got, known, false);
  if (length == 0) return 0;
  const size_t w = DescriptorSizeWidth(length);
  auto size = [&](size_t at) -> uint32_t {
    const uint64_t v = w == 8 ? le::Get64(d + at) : le::Get32(d + at);
    return v < kZip64Marker32 ? static_cast<uint32_t>(v) : kZip64Marker32;
  };
  if (f.crc == 0) f.crc = le::Get32(d + DescriptorCrcAt(length));
  if (f.compressedSize == 0) f.compressedSize = size(DescriptorCompressedAt(length));
  if (f.originalSize == 0) f.originalSize = size(DescriptorOriginalAt(length));
  return length;
}

std::optional<CentralOrigin> ReadCentralOrigin(const FileStream& archive, uint64_t pos) {
  uint8_t h[kCentralHeaderSize];
  if (archive.ReadAt(pos, h, sizeof h) != sizeof h) return std::nullopt;
  if (std::memcmp(h, kCentralSignature, 4) != 0) return std::nullopt;
  CentralOrigin o;
  o.versionMadeBy = le::Get16(h + kCentralVersionMadeBy);
  o.versionNeeded = le::Get16(h + kCentralVersionNeeded);
  o.externalAttributes = le::Get32(h + kCentralExternalAttributes);
  o.zip64 = CentralZip64Wants(h);
  o.extra.resize(le::Get16(h + kCentralExtraLength));
  const uint64_t extraAt = pos + kCentralHeaderSize + le::Get16(h + kCentralNameLength);
  if (archive.ReadAt(extraAt, o.extra.data(), o.extra.size()) != o.extra.size()) {
    return std::nullopt;
  }
  const Zip64Values v = ParseZip64Extra(o.extra.data(), o.extra.size(), o.zip64);
  o.sums.crc = le::Get32(h + kCentralCrc);
  o.sums.compressedSize = v.compressed ? v.compressed->value : le::Get32(h + kCentralCompressedSize);
  o.sums.originalSize = v.original ? v.original->value : le::Get32(h + kCentralOriginalSize);
  return o;
}

namespace {

// A 32-bit field of a header rebuilt from an origin: where the origin's field
// held the marker and its Zip64 field has a place for the value, the marker
// stays and the value goes there; otherwise the value itself. A value of
// kZip64Marker32 (a size that did not fit the facts) leaves the origin's
// Zip64 value as it was.
void PutField(uint8_t* field, std::optional<Zip64Value> slot, uint8_t* extra, uint64_t value) {
  if (!slot) {
    le::Put32(field, static_cast<uint32_t>(value));
    return;
  }
  le::Put32(field, kZip64Marker32);
  if (value != kZip64Marker32) le::Put64(extra + slot->at, value);
}

}  // namespace

void AppendCentralHeader(std::vector<uint8_t>& out, const ZipEntryFacts& f,
                         uint32_t localOffset, const uint8_t* name, const CentralOrigin* origin) {
  const size_t extraLength = origin ? origin->extra.size() : 0;
  const size_t at = out.size();
  out.resize(at + kCentralHeaderSize + f.nameLength + extraLength, 0);
  uint8_t* h = out.data() + at;
  uint8_t* extra = h + kCentralHeaderSize + f.nameLength;
  Zip64Values slots;
  if (origin) {
    if (extraLength != 0) std::memcpy(extra, origin->extra.data(), extraLength);
    slots = ParseZip64Extra(extra, extraLength, origin->zip64);
  }
  std::memcpy(h, kCentralSignature, 4);
  le::Put16(h + kCentralVersionMadeBy, origin ? origin->versionMadeBy : 0);
  le::Put16(h + kCentralVersionNeeded, origin ? origin->versionNeeded : f.versionNeeded);
  le::Put16(h + kCentralFlags, f.flags);
  le::Put16(h + kCentralMethod, f.method);
  le::Put16(h + kCentralTime, f.time);
  le::Put16(h + kCentralDate, f.date);
  le::Put32(h + kCentralCrc, f.crc);
  PutField(h + kCentralCompressedSize, slots.compressed, extra, f.compressedSize);
  PutField(h + kCentralOriginalSize, slots.original, extra, f.originalSize);
  le::Put16(h + kCentralNameLength, f.nameLength);
  le::Put16(h + kCentralExtraLength, static_cast<uint16_t>(extraLength));
  le::Put16(h + kCentralCommentLength, 0);
  // One disk: a disk number left to the Zip64 field is 0 there.
  le::Put16(h + kCentralDiskStart, slots.diskStart ? kZip64Marker16 : 0);
  if (slots.diskStart) le::Put32(extra + slots.diskStart->at, 0);
  le::Put16(h + kCentralInternalAttributes, 0);
  le::Put32(h + kCentralExternalAttributes, origin ? origin->externalAttributes : 0x20);
  PutField(h + kCentralLocalHeaderOffset, slots.localOffset, extra, localOffset);
  if (f.nameLength != 0) std::memcpy(h + kCentralHeaderSize, name, f.nameLength);
}

void AppendEndRecord(std::vector<uint8_t>& out, uint16_t entries, uint32_t directorySize,
                     uint32_t directoryOffset) {
  const size_t at = out.size();
  out.resize(at + kEndRecordSize, 0);
  uint8_t* e = out.data() + at;
  std::memcpy(e, kEndSignature, 4);
  le::Put16(e + kEndDiskNumber, 0);
  le::Put16(e + kEndDirectoryDisk, 0);
  le::Put16(e + kEndEntriesOnDisk, entries);
  le::Put16(e + kEndEntriesTotal, entries);
  le::Put32(e + kEndDirectorySize, directorySize);
  le::Put32(e + kEndDirectoryOffset, directoryOffset);
  le::Put16(e + kEndCommentLength, 0);
}

}  // namespace brim
