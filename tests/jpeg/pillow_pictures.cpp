#include "pillow_pictures.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "jpeg_test_images.h"
#include "picture/bitmap.h"

namespace lumivane {

namespace {

// Made on first use, removed with the program's static objects.
struct PictureFolder {
  PictureFolder() {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("lumivane-pillow-" + std::to_string(static_cast<long>(getpid())));
    std::string command = "/usr/bin/python3 '" LUMIVANE_TEST_PICTURE_SCRIPT "' '" + dir.string() + "'";
    if (std::system(command.c_str()) == 0) Path = dir.string();
  }
  ~PictureFolder() {
    std::error_code ignored;
    if (!Path.empty()) std::filesystem::remove_all(Path, ignored);
  }
  std::string Path;
};

}  // namespace

const std::string& PillowPictureFolder() {
  static const PictureFolder folder;
  return folder.Path;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

ReferencePixels ReadReference(const std::string& picturePath) {
  std::vector<uint8_t> bytes = ReadBytes(picturePath + ".rgba");
  ReferencePixels reference;
  if (bytes.size() < 8) return reference;
  auto u32 = [&](size_t at) {
    return uint32_t(bytes[at]) | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24;
  };
  reference.Width = static_cast<int>(u32(0));
  reference.Height = static_cast<int>(u32(4));
  reference.Rgba.assign(bytes.begin() + 8, bytes.end());
  if (reference.Rgba.size() != size_t(reference.Width) * reference.Height * 4) reference = {};
  return reference;
}

void BitmapRgb(TBitmap& bitmap, int x, int y, uint8_t rgb[3]) {
  if (bitmap.PixelFormat() == pf32bit) {
    auto* row = static_cast<const uint8_t*>(bitmap.ScanLine(y));
    rgb[0] = row[x * 4 + 2];
    rgb[1] = row[x * 4 + 1];
    rgb[2] = row[x * 4];
    return;
  }
  Rgb c = PixelOf(bitmap, x, y);
  rgb[0] = c.R;
  rgb[1] = c.G;
  rgb[2] = c.B;
}

Difference CompareWith(TBitmap& bitmap, const ReferencePixels& reference, uint32_t backgroundRgb) {
  const int background[3] = {int(backgroundRgb & 0xFF), int(backgroundRgb >> 8 & 0xFF),
                             int(backgroundRgb >> 16 & 0xFF)};
  Difference difference;
  double total = 0;
  for (int y = 0; y < reference.Height; ++y)
    for (int x = 0; x < reference.Width; ++x) {
      uint8_t got[3];
      BitmapRgb(bitmap, x, y, got);
      const uint8_t* want = reference.At(x, y);
      for (int c = 0; c < 3; ++c) {
        // The reference's straight alpha over the background, as the picture shows it.
        int expected = (want[c] * want[3] + background[c] * (255 - want[3]) + 127) / 255;
        int error = std::abs(got[c] - expected);
        difference.Worst = std::max(difference.Worst, error);
        total += error;
      }
    }
  difference.Mean = total / (3.0 * std::max(1, reference.Width * reference.Height));
  return difference;
}

}  // namespace lumivane
