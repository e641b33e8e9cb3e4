#pragma once
// Pictures made by Pillow at test time (make_test_pictures.py), with Pillow's own upright reading
// of each as the reference.
#include <cstdint>
#include <string>
#include <vector>

namespace lumivane {

class TBitmap;

struct ReferencePixels {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Rgba;  // red, green, blue, alpha, row by row from the top
  const uint8_t* At(int x, int y) const { return &Rgba[(size_t(y) * Width + x) * 4]; }
};

// The folder holding the pictures, made on first use; empty when Pillow cannot be run.
const std::string& PillowPictureFolder();
std::vector<uint8_t> ReadBytes(const std::string& path);
ReferencePixels ReadReference(const std::string& picturePath);

// Red, green, blue of pixel (x, y) of an 8-, 24- or 32-bit bitmap.
void BitmapRgb(TBitmap& bitmap, int x, int y, uint8_t rgb[3]);

// The largest difference of any channel between the bitmap and Expected(x, y, rgb), and the mean
// difference per channel.
struct Difference {
  int Worst = 0;
  double Mean = 0;
};
Difference CompareWith(TBitmap& bitmap, const ReferencePixels& reference, uint32_t backgroundRgb = 0);

}  // namespace lumivane
