#pragma once
// A stream over a growable block of memory.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/stream.h"
#include "platform/gdi/pixel_memory.h"

namespace lumivane {

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return size_; }
  void SetSize(int64_t NewSize) override;

  uint8_t* Memory() { return data_.data(); }
  const uint8_t* Memory() const { return data_.data(); }
  void Clear();

  // Replaces the contents with the whole of Stream (from its start) or of a file (program path;
  // EFOpenError when it cannot be opened).
  void LoadFromStream(TStream& Stream);
  void LoadFromFile(const std::string& FileName);
  // Takes the given bytes as the contents, positioned at 0.
  void Assign(std::vector<uint8_t> bytes);

 private:
  // Makes room for at least `capacity` bytes, keeping the contents.
  void Reserve(int64_t capacity);

  // Bytes past the size are always zero, so growing the stream reads as zero-filled. Blocks are
  // zero-filled pixel memory: a whole file read into a large one takes a few huge pages instead
  // of thousands of small ones, whose first touch costs more than reading the file.
  PixelMemory data_;
  int64_t capacity_ = 0;
  int64_t size_ = 0;
  int64_t position_ = 0;
};

}  // namespace lumivane
