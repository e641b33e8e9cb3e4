#pragma once
// The camera's orientation of a photo, read from the EXIF block of a JPEG file's APP1 segment.
// Only IFD0's orientation tag is looked at; every offset is checked against the block's size.
#include <cstddef>
#include <cstdint>

namespace lumivane {

// How the stored rows must be turned to show the picture upright (the EXIF orientation values):
// 1 as stored, 2 mirrored left-right, 3 turned half round, 4 mirrored top-bottom, 5 transposed,
// 6 turned a quarter clockwise, 7 transversed, 8 turned a quarter anticlockwise.
enum TExifOrientation : uint8_t {
  eoNormal = 1,
  eoMirrorHorizontal = 2,
  eoRotate180 = 3,
  eoMirrorVertical = 4,
  eoTranspose = 5,
  eoRotate90 = 6,
  eoTransverse = 7,
  eoRotate270 = 8,
};

// The orientation stored in an APP1 segment's payload (the bytes after the segment's length,
// starting with "Exif\0\0"); 0 when the payload is not EXIF, the tag is missing, or anything in
// the way is broken.
int ReadExifOrientation(const uint8_t* Data, size_t Size);

// Orientations 5 to 8 exchange width and height.
inline bool SwapsAxes(int Orientation) { return Orientation >= eoTranspose && Orientation <= eoRotate270; }

}  // namespace lumivane
