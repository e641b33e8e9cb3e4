#include "framework/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/file_stream.h"

namespace lumivane {

void TMemoryStream::Reserve(int64_t capacity) {
  if (capacity <= capacity_) return;
  PixelMemory block(static_cast<size_t>(capacity));
  if (size_ > 0) std::memcpy(block.data(), data_.data(), static_cast<size_t>(size_));
  data_ = std::move(block);
  capacity_ = capacity;
}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || position_ >= size_) return 0;
  const int64_t n = std::min(Count, size_ - position_);
  std::memcpy(Buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0 || position_ < 0) return 0;
  const int64_t end = position_ + Count;
  if (end > size_) {
    // Grow geometrically so that many small writes stay linear.
    if (end > capacity_) Reserve(std::max<int64_t>(end, capacity_ * 3 / 2));
    size_ = end;
  }
  std::memcpy(data_.data() + position_, Buffer, static_cast<size_t>(Count));
  position_ = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  switch (Origin) {
    case soBeginning:
      position_ = Offset;
      break;
    case soCurrent:
      position_ += Offset;
      break;
    case soEnd:
      position_ = size_ + Offset;
      break;
  }
  if (position_ < 0) position_ = 0;
  return position_;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) NewSize = 0;
  if (NewSize > capacity_) {
    Reserve(NewSize);
  } else if (NewSize < size_) {
    // Keep the bytes past the size zero, so that growing again reads as zero-filled.
    std::memset(data_.data() + NewSize, 0, static_cast<size_t>(size_ - NewSize));
  }
  size_ = NewSize;
  if (position_ > size_) position_ = size_;
}

void TMemoryStream::Clear() {
  data_ = PixelMemory();
  capacity_ = 0;
  size_ = 0;
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& Stream) {
  Stream.SetPosition(0);
  const int64_t count = Stream.Size();
  SetSize(count);
  if (count != 0) Stream.ReadBuffer(data_.data(), count);
  position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TMemoryStream::Assign(std::vector<uint8_t> bytes) {
  Clear();
  SetSize(static_cast<int64_t>(bytes.size()));
  if (!bytes.empty()) std::memcpy(data_.data(), bytes.data(), bytes.size());
}

}  // namespace lumivane
