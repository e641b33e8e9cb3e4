#pragma once
// The GIF stream reader: turns a private in-memory copy of GIF data (versions 87a and 89a) into the
// frames, comments and loop settings of a TGIFImage.
#include <cstdint>
#include <memory>

#include "framework/memory_stream.h"
#include "framework/string_list.h"
#include "gif/extension.h"
#include "gif/gif_frame.h"

namespace lumivane {

class TGIFImage;

// The image descriptor as stored (after the "," introducer).
struct TImageDescriptor {
  uint16_t Left = 0;
  uint16_t Top = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t Packed = 0;
};

class TGIFReader {
 public:
  // Data: the private copy, positioned at its start.
  TGIFReader(TGIFImage& Image, TMemoryStream& Data) : image_(Image), data_(Data) {}

  // Reads the header, the logical screen, the global colour table and every block up to the
  // trailer, appending frames to the image.
  void ReadAll();

  // ---- the reader's steps, also usable on their own ----
  // "GIF" and "87a" or "89a", ignoring letter case; returns the version (1 or 2).
  uint8_t ReadSignature();
  void ReadScreenDescriptor();
  // The next byte that is not zero, or 0 at the end of the data.
  uint8_t NextBlockIntroducer();
  // Data sub-blocks up to a zero size byte or the end of the data, one string each.
  std::unique_ptr<TStringList> ReadSubBlocks();
  // One extension block after its "!" introducer; null for a label of unknown kind, whose
  // sub-blocks are skipped.
  std::unique_ptr<TExtension> ReadExtension();
  // The extension blocks starting at Introducer; on return Introducer is the byte after them.
  // Graphic control and comment blocks are returned (null when none); loop blocks set the image's
  // loop settings.
  std::unique_ptr<TExtensionList> ReadExtensionRun(uint8_t& Introducer);
  // The image after its "," introducer into the frame (ExtensionList already set).
  void ReadFrameData(TGIFFrame& Frame);
  // Descriptor, local colour table and code sub-blocks; the code size byte and the sub-blocks
  // are copied to Target.
  TImageDescriptor ReadImageBlock(TGIFFrame& Frame, TMemoryStream& Target);

  bool AtEnd() { return data_.Position() >= data_.Size(); }

  // 2, 4, ... 256 give 1 .. 8; any other count raises EInvalidGraphicOperation.
  static int ColorCountToBits(int Count);
  // An application block "NETSCAPE2.0" or "ANIMEXTS1.0" (its stored identifier length decides
  // how much is compared) whose first sub-block has at least 3 bytes and starts with 1.
  static bool IsLoopBlock(const TExtension& Block);

 private:
  // A plain read: takes what is there, leaving the rest of Buffer unchanged.
  void ReadPlain(void* buffer, int64_t count) { data_.Read(buffer, count); }
  void ReadGlobalColorTable(uint8_t backgroundIndex);
  void ApplyGraphicControl(TGIFFrame& frame);
  void MergeTrailingComments(TExtensionList& pending);

  TGIFImage& image_;
  TMemoryStream& data_;
};

}  // namespace lumivane
