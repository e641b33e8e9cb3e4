#pragma once
// A stream over a file named by a program path.
#include <cstdint>
#include <string>

#include "framework/stream.h"

namespace lumivane {

// Open modes: fmCreate makes a new file (replacing one that exists); otherwise the low two bits
// pick read, write or both; the sharing bits are accepted and ignored.
inline constexpr unsigned fmCreate = 0xFFFF;
inline constexpr unsigned fmOpenRead = 0x0000;
inline constexpr unsigned fmOpenWrite = 0x0001;
inline constexpr unsigned fmOpenReadWrite = 0x0002;
inline constexpr unsigned fmShareDenyWrite = 0x0020;

class TFileStream : public TStream {
 public:
  // Raises EFOpenError "Cannot open file %s" (or EFCreateError "Cannot create file %s" for
  // fmCreate) with the file name when the file cannot be opened.
  TFileStream(const std::string& FileName, unsigned Mode);
  ~TFileStream() override;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

  const std::string& FileName() const { return file_name_; }

 private:
  std::string file_name_;
  int handle_ = -1;
};

}  // namespace lumivane
