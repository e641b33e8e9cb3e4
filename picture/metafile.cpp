#include "picture/metafile.h"

#include <cstdint>
#include <cstdlib>

#include "framework/exception.h"
#include "framework/memory_stream.h"

namespace lumivane {

namespace {

constexpr const char* SInvalidMetafile = "Metafile is not valid";
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint32_t kEnhancedSignature = 0x464D4520;  // " EMF"
constexpr int kScreenPixelsPerInch = 96;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t I16(const uint8_t* p) { return static_cast<int16_t>(U16(p)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

}  // namespace

TMetafile::TMetafile() { transparent_ = true; }

TMetafile::~TMetafile() = default;

void TMetafile::AssignFrom(TPersistent* Source) {
  if (Source == nullptr) {
    data_.reset();
    width_ = height_ = 0;
  } else if (auto* other = dynamic_cast<TMetafile*>(Source)) {
    if (other == this) return;
    data_.reset();
    if (other->data_) {
      data_ = std::make_unique<TMemoryStream>();
      data_->LoadFromStream(*other->data_);
    }
    width_ = other->width_;
    height_ = other->height_;
  } else {
    TGraphic::AssignFrom(Source);
    return;
  }
  SignalChange(this);
}

bool TMetafile::IsEmpty() { return !data_; }

void TMetafile::SetImageWidth(int Value) {
  if (Value == width_) return;
  width_ = Value;
  SignalChange(this);
}

void TMetafile::SetImageHeight(int Value) {
  if (Value == height_) return;
  height_ = Value;
  SignalChange(this);
}

void TMetafile::ReadFromStream(TStream& Stream) {
  auto bytes = std::make_unique<TMemoryStream>();
  const int64_t count = Stream.Size() - Stream.Position();
  if (count > 0) bytes->CopyFrom(Stream, count);
  int width = 0;
  int height = 0;
  if (count > 0) {
    const uint8_t* p = bytes->Memory();
    if (count >= 22 && U32(p) == kPlaceableKey) {
      // Placeable header: bounding box in units of 1/inch.
      const int inch = U16(p + 14) != 0 ? U16(p + 14) : kScreenPixelsPerInch;
      width = std::abs(I16(p + 10) - I16(p + 6)) * kScreenPixelsPerInch / inch;
      height = std::abs(I16(p + 12) - I16(p + 8)) * kScreenPixelsPerInch / inch;
    } else if (count >= 44 && U32(p) == 1 && U32(p + 40) == kEnhancedSignature) {
      // Enhanced header: inclusive bounds in device pixels.
      // Widened first: hostile bounds must not overflow the arithmetic.
      const int64_t w = std::llabs(int64_t{I32(p + 16)} - I32(p + 8)) + 1;
      const int64_t h = std::llabs(int64_t{I32(p + 20)} - I32(p + 12)) + 1;
      if (w > INT32_MAX || h > INT32_MAX) throw EInvalidGraphic(SInvalidMetafile);
      width = static_cast<int>(w);
      height = static_cast<int>(h);
    } else if (!(count >= 18 && (U16(p) == 1 || U16(p) == 2) && U16(p + 2) == 9)) {
      throw EInvalidGraphic(SInvalidMetafile);
    }
  }
  data_ = count > 0 ? std::move(bytes) : nullptr;
  width_ = width;
  height_ = height;
  SignalChange(this);
}

void TMetafile::WriteToStream(TStream& Stream) {
  if (data_) Stream.WriteBuffer(data_->Memory(), data_->Size());
}

}  // namespace lumivane
