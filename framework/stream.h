#pragma once
// Byte streams: the abstract stream with its exact reads and writes.
#include <cstdint>

#include "framework/object.h"

namespace lumivane {

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
 public:
  // Reads up to Count bytes; returns how many were read (fewer at the end of the data).
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  // Writes up to Count bytes; returns how many were written.
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Moves the position; returns the new position.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t NewSize);
  // Bytes between the position and the end.
  int64_t Remaining() { return Size() - Position(); }

  // Exact read: raises EReadError "Stream read error" when fewer than Count bytes remain.
  void ReadBuffer(void* Buffer, int64_t Count);
  // Exact write: raises EWriteError "Stream write error" when not all bytes were written.
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source at its position (Count 0: all of Source from its start);
  // returns the number copied. A short source raises EReadError.
  int64_t CopyFrom(TStream& Source, int64_t Count);

  // Little-endian helpers over the exact read.
  uint8_t ReadByte();
  uint16_t ReadWord();
  uint32_t ReadDWord();
  void WriteByte(uint8_t v) { WriteBuffer(&v, 1); }
  void WriteWord(uint16_t v);
  void WriteDWord(uint32_t v);
};

}  // namespace lumivane
