#pragma once
// A stream over a growable block of memory.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/stream.h"

namespace lumivane {

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return size_; }
  void SetSize(int64_t NewSize) override;

  uint8_t* Memory() { return data_.get(); }
  const uint8_t* Memory() const { return data_.get(); }
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

  struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  // Bytes past the size are always zero, so growing the stream reads as zero-filled. New blocks
  // come from calloc: large ones are fresh zero pages that need no second pass to clear.
  std::unique_ptr<uint8_t, FreeDeleter> data_;
  int64_t capacity_ = 0;
  int64_t size_ = 0;
  int64_t position_ = 0;
};

}  // namespace lumivane
