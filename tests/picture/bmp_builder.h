#pragma once
// Builds bitmap and icon files byte by byte for the tests, independently of the reader.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/memory_stream.h"
#include "picture/bitmap.h"
#include "platform/gdi/gdi.h"

namespace lumivane::test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline void Set32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct Rgb {
  uint8_t r, g, b;
  uint32_t ColorRef() const { return r | (g << 8) | (b << 16); }
};

inline uint32_t ColorOf(uint8_t r, uint8_t g, uint8_t b) { return r | (g << 8) | (b << 16); }

// A 40-byte (or larger) info header.
inline Bytes InfoHeader(int32_t width, int32_t height, int bpp, uint32_t compression = 0,
                        uint32_t colors_used = 0, uint32_t size = 40, uint16_t planes = 1,
                        uint32_t image_size = 0) {
  Bytes h;
  Put32(h, size);
  Put32(h, static_cast<uint32_t>(width));
  Put32(h, static_cast<uint32_t>(height));
  Put16(h, planes);
  Put16(h, static_cast<uint16_t>(bpp));
  Put32(h, compression);
  Put32(h, image_size);
  Put32(h, 2835);
  Put32(h, 2835);
  Put32(h, colors_used);
  Put32(h, 0);
  h.resize(size, 0);
  return h;
}

inline Bytes PaletteBytes(const std::vector<Rgb>& colors, bool three_bytes = false) {
  Bytes p;
  for (const Rgb& c : colors) {
    p.push_back(c.b);
    p.push_back(c.g);
    p.push_back(c.r);
    if (!three_bytes) p.push_back(0);
  }
  return p;
}

// Packs rows of values at `bpp` bits each (MSB first below 8 bits, little-endian above), each row
// padded to 4 bytes; `rows` are in file order.
inline Bytes PackRows(const std::vector<std::vector<uint32_t>>& rows, int bpp) {
  Bytes out;
  for (const auto& row : rows) {
    Bytes r;
    if (bpp < 8) {
      uint32_t acc = 0;
      int bits = 0;
      for (uint32_t v : row) {
        acc = (acc << bpp) | v;
        bits += bpp;
        if (bits == 8) {
          r.push_back(static_cast<uint8_t>(acc));
          acc = 0;
          bits = 0;
        }
      }
      if (bits > 0) r.push_back(static_cast<uint8_t>(acc << (8 - bits)));
    } else {
      for (uint32_t v : row)
        for (int i = 0; i < bpp / 8; ++i) r.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    while (r.size() % 4 != 0) r.push_back(0);
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

// File header + the parts; the pixel offset is the sum of the parts before the pixels.
inline Bytes BmpFile(const Bytes& header, const Bytes& extra, const Bytes& pixels) {
  Bytes f;
  Put16(f, 0x4D42);
  Put32(f, static_cast<uint32_t>(14 + header.size() + extra.size() + pixels.size()));
  Put32(f, 0);
  Put32(f, static_cast<uint32_t>(14 + header.size() + extra.size()));
  f.insert(f.end(), header.begin(), header.end());
  f.insert(f.end(), extra.begin(), extra.end());
  f.insert(f.end(), pixels.begin(), pixels.end());
  return f;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline void LoadBytes(TBitmap& bitmap, const Bytes& bytes) {
  TMemoryStream stream;
  stream.Assign(bytes);
  bitmap.ReadFromStream(stream);
}

// The colour of a pixel as the bitmap's canvas reads it (0x00BBGGRR).
inline uint32_t PixelAt(TBitmap& bitmap, int x, int y) { return GetPixel(bitmap.Canvas().Handle(), x, y); }

// The graphic drawn at its own size over a uniform background, as 0x00BBGGRR pixels row by row.
inline std::vector<uint32_t> DrawOver(TGraphic& graphic, TColor background) {
  const int w = graphic.ImageWidth(), h = graphic.ImageHeight();
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(w, h);
  target.Canvas().Brush().SetColor(background);
  target.Canvas().FillRect(Rect(0, 0, w, h));
  graphic.DrawInto(target.Canvas(), Rect(0, 0, w, h));
  std::vector<uint32_t> pixels;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) pixels.push_back(PixelAt(target, x, y));
  return pixels;
}

// An icon file: each image is (width, height, bpp, colours, xor rows value fn, and mask fn).
struct IconEntryLayout {
  int width = 32;
  int height = 32;
  int bpp = 4;
  std::vector<Rgb> palette;                       // for bpp <= 8
  std::function<uint32_t(int x, int y)> value;    // index or packed colour
  std::function<bool(int x, int y)> transparent;  // AND mask bit
  uint16_t colors_field = 16;
};

inline Bytes IconImageData(const IconEntryLayout& s) {
  Bytes data = InfoHeader(s.width, s.height * 2, s.bpp);
  if (s.bpp <= 8) {
    std::vector<Rgb> pal = s.palette;
    pal.resize(size_t(1) << s.bpp, Rgb{0, 0, 0});
    const Bytes p = PaletteBytes(pal);
    data.insert(data.end(), p.begin(), p.end());
  }
  std::vector<std::vector<uint32_t>> xor_rows, and_rows;
  for (int y = s.height - 1; y >= 0; --y) {  // bottom-up
    std::vector<uint32_t> xr, ar;
    for (int x = 0; x < s.width; ++x) {
      xr.push_back(s.value ? s.value(x, y) : 0);
      ar.push_back(s.transparent && s.transparent(x, y) ? 1 : 0);
    }
    xor_rows.push_back(xr);
    and_rows.push_back(ar);
  }
  const Bytes x = PackRows(xor_rows, s.bpp);
  const Bytes a = PackRows(and_rows, 1);
  data.insert(data.end(), x.begin(), x.end());
  data.insert(data.end(), a.begin(), a.end());
  return data;
}

inline Bytes IconFile(const std::vector<IconEntryLayout>& images, uint16_t type = 1) {
  Bytes f;
  Put16(f, 0);
  Put16(f, type);
  Put16(f, static_cast<uint16_t>(images.size()));
  std::vector<Bytes> datas;
  for (const auto& s : images) datas.push_back(IconImageData(s));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    f.push_back(static_cast<uint8_t>(images[i].width));
    f.push_back(static_cast<uint8_t>(images[i].height));
    Put16(f, images[i].colors_field);
    Put16(f, 1);
    Put16(f, static_cast<uint16_t>(images[i].bpp));
    Put32(f, static_cast<uint32_t>(datas[i].size()));
    Put32(f, offset);
    offset += static_cast<uint32_t>(datas[i].size());
  }
  for (const Bytes& d : datas) f.insert(f.end(), d.begin(), d.end());
  return f;
}

}  // namespace lumivane::test
