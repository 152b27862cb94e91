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
  return DecodeZipEntryFacts(header);
}

uint64_t TakeDataDescriptor(const FileStream& archive, uint64_t pos, ZipEntryFacts& f) {
  if ((f.flags & kFlagDataDescriptor) == 0) return 0;
  uint8_t d[kDescriptorSize];
  if (archive.ReadAt(pos, d, sizeof d) != sizeof d) return 0;
  if (std::memcmp(d, kDescriptorSignature, 4) != 0) return 0;
  if (f.crc == 0) f.crc = le::Get32(d + 4);
  if (f.compressedSize == 0) f.compressedSize = le::Get32(d + 8);
  if (f.originalSize == 0) f.originalSize = le::Get32(d + 12);
  return kDescriptorSize;
}

void AppendCentralHeader(std::vector<uint8_t>& out, const ZipEntryFacts& f,
                         uint32_t localOffset, const uint8_t* name) {
  const size_t at = out.size();
  out.resize(at + kCentralHeaderSize + f.nameLength, 0);
  uint8_t* h = out.data() + at;
  std::memcpy(h, kCentralSignature, 4);
  le::Put16(h + kCentralVersionMadeBy, 0);
  le::Put16(h + kCentralVersionNeeded, f.versionNeeded);
  le::Put16(h + kCentralFlags, f.flags);
  le::Put16(h + kCentralMethod, f.method);
  le::Put16(h + kCentralTime, f.time);
  le::Put16(h + kCentralDate, f.date);
  le::Put32(h + kCentralCrc, f.crc);
  le::Put32(h + kCentralCompressedSize, f.compressedSize);
  le::Put32(h + kCentralOriginalSize, f.originalSize);
  le::Put16(h + kCentralNameLength, f.nameLength);
  le::Put16(h + kCentralExtraLength, 0);
  le::Put16(h + kCentralCommentLength, 0);
  le::Put16(h + kCentralDiskStart, 0);
  le::Put16(h + kCentralInternalAttributes, 0);
  le::Put32(h + kCentralExternalAttributes, 0x20);
  le::Put32(h + kCentralLocalHeaderOffset, localOffset);
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
