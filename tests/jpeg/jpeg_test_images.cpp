#include "jpeg_test_images.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <jpeglib.h>

#include "picture/bitmap.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

Rgb PatternColour(int x, int y, int width, int height) {
  return Rgb{static_cast<uint8_t>(x * 255 / std::max(1, width - 1)),
             static_cast<uint8_t>(y * 255 / std::max(1, height - 1)),
             static_cast<uint8_t>(128 + (x - y) * 64 / std::max(1, width + height))};
}

uint8_t PatternGray(int x, int y, int width, int height) {
  return static_cast<uint8_t>((x + y) * 255 / std::max(1, width + height - 2));
}

std::vector<uint8_t> MakeJpeg(const JpegOptions& o) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = o.Width;
  info.image_height = o.Height;
  info.input_components = o.Gray ? 1 : o.Cmyk ? 4 : 3;
  info.in_color_space = o.Gray ? JCS_GRAYSCALE : o.Cmyk ? JCS_CMYK : JCS_RGB;
  if (o.UnknownComponents > 0) {
    info.input_components = o.UnknownComponents;
    info.in_color_space = JCS_UNKNOWN;
  }
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, o.Quality, TRUE);
  if (o.Progressive) jpeg_simple_progression(&info);
  info.restart_in_rows = o.RestartRows;
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(o.Width * std::max(4, o.UnknownComponents), 0x80);
  for (int y = 0; y < o.Height; ++y) {
    for (int x = 0; x < o.Width; ++x) {
      if (o.UnknownComponents > 0) continue;
      if (o.Gray) {
        row[x] = PatternGray(x, y, o.Width, o.Height);
        continue;
      }
      Rgb c = PatternColour(x, y, o.Width, o.Height);
      if (o.Cmyk) {  // inverted CMYK with K = 255 (no black): the components are R, G, B
        row[x * 4 + 0] = c.R;
        row[x * 4 + 1] = c.G;
        row[x * 4 + 2] = c.B;
        row[x * 4 + 3] = 255;
      } else {
        row[x * 3 + 0] = c.R;
        row[x * 3 + 1] = c.G;
        row[x * 3 + 2] = c.B;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return bytes;
}

std::unique_ptr<TMemoryStream> StreamOf(const std::vector<uint8_t>& bytes) {
  auto stream = std::make_unique<TMemoryStream>();
  stream->Assign(bytes);
  return stream;
}

Rgb PixelOf(TBitmap& bitmap, int x, int y) {
  auto* row = static_cast<const uint8_t*>(bitmap.ScanLine(y));
  if (bitmap.PixelFormat() == pf24bit) return Rgb{row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
  PALETTEENTRY entry{};
  GetPaletteEntries(bitmap.PaletteHandle(), row[x], 1, &entry);
  return Rgb{entry.peRed, entry.peGreen, entry.peBlue};
}

int MaxPatternError(TBitmap& bitmap, bool gray) {
  int width = bitmap.ImageWidth(), height = bitmap.ImageHeight(), worst = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Rgb got = PixelOf(bitmap, x, y);
      Rgb want;
      if (gray) {
        uint8_t v = PatternGray(x, y, width, height);
        want = Rgb{v, v, v};
      } else {
        want = PatternColour(x, y, width, height);
      }
      worst = std::max({worst, std::abs(got.R - want.R), std::abs(got.G - want.G), std::abs(got.B - want.B)});
    }
  }
  return worst;
}

std::string CorpusDir(const std::string& format) {
  std::filesystem::path dir = std::filesystem::path(LUMIVANE_CORPORA_DIR) / format;
  std::error_code error;
  return std::filesystem::is_directory(dir, error) ? dir.string() : std::string();
}

}  // namespace lumivane
