#pragma once
// The layout of an icon file: its header and directory, read with every range checked against the
// bytes, and the choice of the entry that suits a target size and the display's colours.
#include <cstdint>
#include <vector>

namespace lumivane {

struct TIconDirEntry {
  int Width = 0;       // the width byte; 256 for a byte of 0
  int Height = 0;      // the height byte; 256 for a byte of 0
  int64_t Colors = 0;  // the colour-count byte and the reserved byte read as one 16-bit value
  uint32_t BytesInRes = 0;
  uint32_t ImageOffset = 0;
};

class TIconFile {
 public:
  // Reads the header and, for type 1, the directory. EInvalidGraphic "Icon image is not valid"
  // for a type of 2 or more, a type-1 file without images, or a directory or image data that
  // lies beyond the end of the bytes.
  TIconFile(const uint8_t* Bytes, int64_t Size);

  uint16_t Type() const { return type_; }
  const std::vector<TIconDirEntry>& Entries() const { return entries_; }

  // The index of the entry to show for a target size on a display of DisplayColors colours.
  int ChooseEntry(int TargetWidth, int TargetHeight, int64_t DisplayColors) const;

 private:
  uint16_t type_ = 0;
  std::vector<TIconDirEntry> entries_;
};

}  // namespace lumivane
