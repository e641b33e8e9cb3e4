#include "picture/exif_orientation.h"

#include <cstring>

namespace lumivane {
namespace {

constexpr uint8_t kExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kByteType = 1;
constexpr uint16_t kShortType = 3;
constexpr uint16_t kLongType = 4;
constexpr uint16_t kSignedShortType = 8;
constexpr uint16_t kSignedLongType = 9;
constexpr size_t kEntrySize = 12;

// Reads 16- and 32-bit values of the TIFF block in its own byte order; every read is checked.
class TiffReader {
 public:
  TiffReader(const uint8_t* data, size_t size, bool bigEndian) : data_(data), size_(size), big_(bigEndian) {}

  bool U16(size_t offset, uint16_t& value) const {
    if (offset > size_ || size_ - offset < 2) return false;
    const uint8_t* p = data_ + offset;
    value = big_ ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
    return true;
  }

  bool U32(size_t offset, uint32_t& value) const {
    if (offset > size_ || size_ - offset < 4) return false;
    const uint8_t* p = data_ + offset;
    value = big_ ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                 : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  bool big_;
};

}  // namespace

int ReadExifOrientation(const uint8_t* Data, size_t Size) {
  if (Data == nullptr || Size < sizeof kExifSignature + 8) return 0;
  if (std::memcmp(Data, kExifSignature, sizeof kExifSignature) != 0) return 0;
  const uint8_t* tiff = Data + sizeof kExifSignature;
  const size_t size = Size - sizeof kExifSignature;
  bool bigEndian;
  if (tiff[0] == 'I' && tiff[1] == 'I')
    bigEndian = false;
  else if (tiff[0] == 'M' && tiff[1] == 'M')
    bigEndian = true;
  else
    return 0;
  TiffReader reader(tiff, size, bigEndian);
  uint16_t magic = 0;
  uint32_t ifd = 0;
  if (!reader.U16(2, magic) || magic != 42 || !reader.U32(4, ifd)) return 0;
  uint16_t count = 0;
  if (!reader.U16(ifd, count)) return 0;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = size_t(ifd) + 2 + i * kEntrySize;
    uint16_t tag = 0, type = 0, value = 0;
    uint32_t values = 0;
    if (!reader.U16(entry, tag) || !reader.U16(entry + 2, type) || !reader.U32(entry + 4, values)) return 0;
    if (tag != kOrientationTag) continue;
    // One integer, stored at the start of the entry's value field. The tag is a SHORT, but files
    // written with other integer types are read too, as other readers do.
    if (values != 1) return 0;
    uint32_t wide = 0;
    switch (type) {
      case kByteType:
        if (entry + 8 >= size) return 0;
        wide = tiff[entry + 8];
        break;
      case kShortType:
      case kSignedShortType:
        if (!reader.U16(entry + 8, value)) return 0;
        wide = value;
        break;
      case kLongType:
      case kSignedLongType:
        if (!reader.U32(entry + 8, wide)) return 0;
        break;
      default:
        return 0;
    }
    return wide >= eoNormal && wide <= eoRotate270 ? static_cast<int>(wide) : 0;
  }
  return 0;
}

}  // namespace lumivane
