#include "support/zip_builder.h"

#include <zlib.h>

#include <cstdio>
#include <stdexcept>

#include "formats/zip_layout.h"
#include "base/le.h"
#include "formats/zip_records.h"

namespace brim::test {
namespace {

uint32_t Crc32Of(const Bytes& data) {
  return static_cast<uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
}

Bytes RawDeflate(const Bytes& in) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  Bytes out(deflateBound(&z, in.size()) + 16);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  return out;
}

}  // namespace

ZipLocal ZipLocal::Stored(std::string name, Bytes data) {
  ZipLocal h;
  h.name = std::move(name);
  h.crc = Crc32Of(data);
  h.compressedSize = h.originalSize = static_cast<uint32_t>(data.size());
  h.data = std::move(data);
  return h;
}

ZipLocal ZipLocal::Deflated(std::string name, const Bytes& original) {
  ZipLocal h;
  h.name = std::move(name);
  h.method = 8;
  h.crc = Crc32Of(original);
  h.originalSize = static_cast<uint32_t>(original.size());
  h.data = RawDeflate(original);
  h.compressedSize = static_cast<uint32_t>(h.data.size());
  return h;
}

ZipLocal ZipLocal::Streamed(std::string name, Bytes data) {
  ZipLocal h;
  h.name = std::move(name);
  h.flags = 0x0008;
  h.data = std::move(data);
  return h;
}

ZipCentral ZipCentral::For(const ZipLocal& l, uint32_t localHeaderOffset) {
  ZipCentral c;
  c.versionNeeded = l.versionNeeded;
  c.flags = l.flags;
  c.method = l.method;
  c.time = l.time;
  c.date = l.date;
  c.crc = l.crc;
  c.compressedSize = l.compressedSize;
  c.originalSize = l.originalSize;
  if ((l.flags & 0x0008) && l.crc == 0 && l.compressedSize == 0 && l.originalSize == 0) {
    c.crc = Crc32Of(l.data);
    c.compressedSize = c.originalSize = static_cast<uint32_t>(l.data.size());
  }
  c.name = l.name;
  c.localHeaderOffset = localHeaderOffset;
  return c;
}

Bytes EncodeZipLocal(const ZipLocal& h) {
  uint8_t f[zip::kLocalHeaderSize] = {};
  std::copy(std::begin(zip::kLocalSignature), std::end(zip::kLocalSignature), f);
  le::Put16(f + zip::kLocalVersionNeeded, h.versionNeeded);
  le::Put16(f + zip::kLocalFlags, h.flags);
  le::Put16(f + zip::kLocalMethod, h.method);
  le::Put16(f + zip::kLocalTime, h.time);
  le::Put16(f + zip::kLocalDate, h.date);
  le::Put32(f + zip::kLocalCrc, h.crc);
  le::Put32(f + zip::kLocalCompressedSize, h.compressedSize);
  le::Put32(f + zip::kLocalOriginalSize, h.originalSize);
  le::Put16(f + zip::kLocalNameLength, h.nameLength.value_or(static_cast<uint16_t>(h.name.size())));
  le::Put16(f + zip::kLocalExtraLength,
            h.extraLength.value_or(static_cast<uint16_t>(h.extra.size())));
  Bytes out(f, f + sizeof f);
  out.insert(out.end(), h.name.begin(), h.name.end());
  out.insert(out.end(), h.extra.begin(), h.extra.end());
  out.insert(out.end(), h.data.begin(), h.data.end());
  return out;
}

Bytes EncodeZipCentral(const ZipCentral& h) {
  uint8_t f[zip::kCentralHeaderSize] = {};
  std::copy(std::begin(zip::kCentralSignature), std::end(zip::kCentralSignature), f);
  le::Put16(f + zip::kCentralVersionMadeBy, h.versionMadeBy);
  le::Put16(f + zip::kCentralVersionNeeded, h.versionNeeded);
  le::Put16(f + zip::kCentralFlags, h.flags);
  le::Put16(f + zip::kCentralMethod, h.method);
  le::Put16(f + zip::kCentralTime, h.time);
  le::Put16(f + zip::kCentralDate, h.date);
  le::Put32(f + zip::kCentralCrc, h.crc);
  le::Put32(f + zip::kCentralCompressedSize, h.compressedSize);
  le::Put32(f + zip::kCentralOriginalSize, h.originalSize);
  le::Put16(f + zip::kCentralNameLength,
            h.nameLength.value_or(static_cast<uint16_t>(h.name.size())));
  le::Put16(f + zip::kCentralExtraLength,
            h.extraLength.value_or(static_cast<uint16_t>(h.extra.size())));
  le::Put16(f + zip::kCentralCommentLength,
            h.commentLength.value_or(static_cast<uint16_t>(h.comment.size())));
  le::Put16(f + zip::kCentralDiskStart, h.diskStart);
  le::Put16(f + zip::kCentralInternalAttributes, h.internalAttributes);
  le::Put32(f + zip::kCentralExternalAttributes, h.externalAttributes);
  le::Put32(f + zip::kCentralLocalHeaderOffset, h.localHeaderOffset);
  Bytes out(f, f + sizeof f);
  out.insert(out.end(), h.name.begin(), h.name.end());
  out.insert(out.end(), h.extra.begin(), h.extra.end());
  out.insert(out.end(), h.comment.begin(), h.comment.end());
  return out;
}

Bytes EncodeZipEnd(const ZipEnd& e) {
  uint8_t f[zip::kEndRecordSize] = {};
  std::copy(std::begin(zip::kEndSignature), std::end(zip::kEndSignature), f);
  le::Put16(f + zip::kEndDiskNumber, e.diskNumber);
  le::Put16(f + zip::kEndDirectoryDisk, e.directoryDisk);
  le::Put16(f + zip::kEndEntriesOnDisk, e.entriesOnDisk);
  le::Put16(f + zip::kEndEntriesTotal, e.entriesTotal);
  le::Put32(f + zip::kEndDirectorySize, e.directorySize);
  le::Put32(f + zip::kEndDirectoryOffset, e.directoryOffset);
  le::Put16(f + zip::kEndCommentLength,
            e.commentLength.value_or(static_cast<uint16_t>(e.comment.size())));
  Bytes out(f, f + sizeof f);
  out.insert(out.end(), e.comment.begin(), e.comment.end());
  return out;
}

uint64_t ZipBuilder::Raw(const Bytes& raw) {
  uint64_t at = bytes.size();
  bytes.insert(bytes.end(), raw.begin(), raw.end());
  return at;
}

uint64_t ZipBuilder::Local(const ZipLocal& h) {
  uint64_t at = Raw(EncodeZipLocal(h));
  uint64_t dataStart = at + zip::kLocalHeaderSize + h.name.size() + h.extra.size();
  entries.push_back({at, h, dataStart});
  return at;
}

uint64_t ZipBuilder::Central(const ZipCentral& h) { return Raw(EncodeZipCentral(h)); }

uint64_t ZipBuilder::End(const ZipEnd& e) { return Raw(EncodeZipEnd(e)); }

uint64_t ZipBuilder::DataDescriptor(uint32_t crc, uint32_t compressedSize, uint32_t originalSize,
                                    bool withSignature) {
  Bytes d;
  if (withSignature) d = {0x50, 0x4B, 0x07, 0x08};
  uint8_t f[12];
  le::Put32(f, crc);
  le::Put32(f + 4, compressedSize);
  le::Put32(f + 8, originalSize);
  d.insert(d.end(), f, f + sizeof f);
  return Raw(d);
}

uint64_t ZipBuilder::DataDescriptorForLast(bool withSignature) {
  if (entries.empty()) throw std::logic_error("no entry to describe");
  const ZipLocal& l = entries.back().header;
  uint32_t size = static_cast<uint32_t>(l.data.size());
  return DataDescriptor(Crc32Of(l.data), size, size, withSignature);
}

std::vector<ZipCentral> ZipBuilder::CentralsFor(uint64_t offsetBase) const {
  std::vector<ZipCentral> out;
  for (const Placed& p : entries)
    out.push_back(ZipCentral::For(p.header, static_cast<uint32_t>(p.local - offsetBase)));
  return out;
}

ZipEnd ZipBuilder::EndFor(uint64_t directoryStart, uint64_t directoryEnd,
                          uint64_t offsetBase) const {
  ZipEnd e;
  e.entriesOnDisk = e.entriesTotal = static_cast<uint16_t>(entries.size());
  e.directorySize = static_cast<uint32_t>(directoryEnd - directoryStart);
  e.directoryOffset = static_cast<uint32_t>(directoryStart - offsetBase);
  return e;
}

void ZipBuilder::Finish(uint64_t offsetBase, std::string comment) {
  uint64_t start = bytes.size();
  centrals.clear();
  for (const ZipCentral& c : CentralsFor(offsetBase)) centrals.push_back(Central(c));
  ZipEnd e = EndFor(start, bytes.size(), offsetBase);
  e.comment = std::move(comment);
  endRecord = End(e);
}

Bytes Zip64ExtraBlock(std::initializer_list<uint64_t> values, std::optional<uint32_t> disk) {
  const size_t size = values.size() * 8 + (disk ? 4 : 0);
  Bytes out(zip::kExtraBlockHeader + size);
  le::Put16(out.data(), zip::kExtraZip64);
  le::Put16(out.data() + 2, static_cast<uint16_t>(size));
  size_t at = zip::kExtraBlockHeader;
  for (uint64_t v : values) {
    le::Put64(out.data() + at, v);
    at += 8;
  }
  if (disk) le::Put32(out.data() + at, *disk);
  return out;
}

Bytes Zip64DataDescriptor(uint32_t crc, uint64_t compressedSize, uint64_t originalSize,
                          bool withSignature) {
  Bytes d;
  if (withSignature) d.assign(std::begin(zip::kDescriptorSignature), std::end(zip::kDescriptorSignature));
  uint8_t f[20];
  le::Put32(f, crc);
  le::Put64(f + 4, compressedSize);
  le::Put64(f + 12, originalSize);
  d.insert(d.end(), f, f + sizeof f);
  return d;
}

Bytes EncodeZip64End(uint64_t entries, uint64_t directorySize, uint64_t directoryOffset) {
  Bytes r(zip::kZip64EndFixedSize, 0);
  std::copy(std::begin(zip::kZip64EndSignature), std::end(zip::kZip64EndSignature), r.begin());
  le::Put64(r.data() + zip::kZip64EndRecordSize, zip::kZip64EndFixedSize - 12);
  le::Put16(r.data() + zip::kZip64EndVersionMadeBy, 45);
  le::Put16(r.data() + zip::kZip64EndVersionNeeded, 45);
  le::Put64(r.data() + zip::kZip64EndEntriesOnDisk, entries);
  le::Put64(r.data() + zip::kZip64EndEntriesTotal, entries);
  le::Put64(r.data() + zip::kZip64EndDirectorySize, directorySize);
  le::Put64(r.data() + zip::kZip64EndDirectoryOffset, directoryOffset);
  return r;
}

Bytes EncodeZip64Locator(uint64_t endRecordOffset) {
  Bytes r(zip::kZip64LocatorSize, 0);
  std::copy(std::begin(zip::kZip64LocatorSignature), std::end(zip::kZip64LocatorSignature),
            r.begin());
  le::Put64(r.data() + zip::kZip64LocatorEndOffset, endRecordOffset);
  le::Put32(r.data() + zip::kZip64LocatorDisks, 1);
  return r;
}

Bytes ApkSigningBlock(const Bytes& value) {
  constexpr uint32_t kV2SignatureId = 0x7109871A;
  Bytes pair(12, 0);
  le::Put64(pair.data(), 4 + value.size());
  le::Put32(pair.data() + 8, kV2SignatureId);
  pair.insert(pair.end(), value.begin(), value.end());
  const uint64_t size = pair.size() + zip::kApkBlockTrailer;  // the first size field not counted
  Bytes b(zip::kApkBlockSizeField, 0);
  le::Put64(b.data(), size);
  b.insert(b.end(), pair.begin(), pair.end());
  b.resize(b.size() + zip::kApkBlockSizeField);
  le::Put64(b.data() + b.size() - zip::kApkBlockSizeField, size);
  b.insert(b.end(), zip::kApkBlockMagic, zip::kApkBlockMagic + zip::kApkBlockMagicLength);
  return b;
}

void FinishZip64(ZipBuilder& z, uint64_t offsetBase, bool markers) {
  const uint64_t start = z.Size();
  z.centrals.clear();
  for (const ZipCentral& c : z.CentralsFor(offsetBase)) z.centrals.push_back(z.Central(c));
  const uint64_t directoryEnd = z.Size();
  const uint64_t zip64End =
      z.Raw(EncodeZip64End(z.entries.size(), directoryEnd - start, start - offsetBase));
  z.Raw(EncodeZip64Locator(zip64End - offsetBase));
  ZipEnd e = z.EndFor(start, directoryEnd, offsetBase);
  if (markers) {
    e.entriesOnDisk = e.entriesTotal = zip::kZip64Marker16;
    e.directorySize = e.directoryOffset = zip::kZip64Marker32;
  }
  z.endRecord = z.End(e);
}

ZipBuilder ManyEntries(size_t n) {
  ZipBuilder z;
  z.bytes.reserve(n * 100);
  char name[32];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(name, sizeof name, "%05zu.txt", i);
    z.Local(ZipLocal::Stored(name, Bytes{static_cast<uint8_t>('a' + i % 26)}));
  }
  if (n > 0xFFFF) {
    FinishZip64(z);
  } else {
    z.Finish();
  }
  return z;
}

}  // namespace brim::test
