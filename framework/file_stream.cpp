#include "framework/file_stream.h"

#include "framework/exception.h"
#include "framework/sys_utils.h"
#include "platform/file_handle.h"

namespace lumivane {

TFileStream::TFileStream(const std::string& FileName, unsigned Mode) : file_name_(FileName) {
  if (Mode == fmCreate) {
    handle_ = FileCreate(FileName);
    if (handle_ < 0) throw EFCreateError(Format(SFCreateError, FileName.c_str()));
  } else {
    handle_ = FileOpen(FileName, Mode);
    if (handle_ < 0) throw EFOpenError(Format(SFOpenError, FileName.c_str()));
  }
}

TFileStream::~TFileStream() {
  if (handle_ >= 0) FileClose(handle_);
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  const int64_t n = FileRead(handle_, Buffer, Count);
  return n < 0 ? 0 : n;
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  const int64_t n = FileWrite(handle_, Buffer, Count);
  return n < 0 ? 0 : n;
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  return FileSeek(handle_, Offset, static_cast<int>(Origin));
}

}  // namespace lumivane
