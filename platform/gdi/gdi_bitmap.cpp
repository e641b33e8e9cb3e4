// Bitmaps: device bitmaps, DIB sections, conversion between DIB data and bitmaps, and the Qt
// bridge.

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/gdi_qt_bridge.h"
#include "platform/gdi/rle_decoder.h"
#include "platform/platform_error.h"

namespace lumivane {

namespace {

constexpr std::size_t kMaxPixelBytes = 0x7FFFFFFF;

std::uint32_t PixelOf(const RGBQUAD& q) {
  return (std::uint32_t{q.rgbRed} << 16) | (std::uint32_t{q.rgbGreen} << 8) | q.rgbBlue;
}

RGBQUAD QuadOf(const PALETTEENTRY& e) { return RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0}; }

bool Fail(DWORD code) {
  SetLastError(code);
  return false;
}

// The pixel layout that a BITMAPINFO describes.
struct DibFormat {
  int width = 0;
  int height = 0;  // absolute
  bool topDown = false;
  int bitsPerPixel = 0;
  DWORD compression = BI_RGB;
  DWORD masks[3] = {0, 0, 0};
  std::vector<RGBQUAD> colors;  // 2^bits entries for 1, 4 and 8 bits
  std::size_t stride = 0;

  Surface Over(const BYTE* bits, int rows) const {
    Surface s;
    s.width = width;
    s.height = rows;
    s.bitsPerPixel = bitsPerPixel;
    s.top = const_cast<BYTE*>(bits);
    s.step = static_cast<std::ptrdiff_t>(stride);
    for (const RGBQUAD& q : colors) s.colours.push_back(PixelOf(q));
    std::copy(std::begin(masks), std::end(masks), s.masks);
    return s;
  }
};

const BYTE* AfterHeader(const BITMAPINFO* info) {
  return reinterpret_cast<const BYTE*>(info) + info->bmiHeader.biSize;
}

bool DefaultMasks(int bits, DWORD* masks) {
  if (bits == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else if (bits == 32) {
    masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
  } else {
    return false;
  }
  return true;
}

// Reads the colour table of a BITMAPINFO (or, with DIB_PAL_COLORS, indices into the context's
// palette). Entries beyond the declared count are black.
std::vector<RGBQUAD> ReadColorTable(HDC dc, const BITMAPINFO* info, UINT usage, int bits) {
  const std::size_t size = std::size_t{1} << bits;
  std::vector<RGBQUAD> table(size, RGBQUAD{0, 0, 0, 0});
  const DWORD used = info->bmiHeader.biClrUsed;
  const std::size_t count = used == 0 ? size : std::min<std::size_t>(used, size);
  const BYTE* p = AfterHeader(info);
  if (usage == DIB_PAL_COLORS) {
    const GdiPalette* palette = gdi_detail::PaletteOf(dc);
    for (std::size_t i = 0; i < count; ++i) {
      WORD index;
      std::memcpy(&index, p + i * 2, 2);
      if (index < palette->entries.size()) table[i] = QuadOf(palette->entries[index]);
    }
  } else {
    std::memcpy(table.data(), p, count * sizeof(RGBQUAD));
    for (RGBQUAD& q : table) q.rgbReserved = 0;
  }
  return table;
}

// Validates a BITMAPINFO and describes its layout. Compressed formats are accepted only when
// `allowRle` is set (they have no row layout: stride stays 0).
bool ParseFormat(HDC dc, const BITMAPINFO* info, UINT usage, bool allowRle, DibFormat* out) {
  if (info == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT_MIN ||
      h.biPlanes != 1 || usage > DIB_PAL_COLORS)
    return Fail(ERROR_INVALID_PARAMETER);
  const int bits = h.biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return Fail(ERROR_INVALID_PARAMETER);
  out->width = h.biWidth;
  out->height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  out->topDown = h.biHeight < 0;
  out->bitsPerPixel = bits;
  out->compression = h.biCompression;
  switch (h.biCompression) {
    case BI_RGB:
      DefaultMasks(bits, out->masks);
      break;
    case BI_BITFIELDS: {
      if (bits != 16 && bits != 32) return Fail(ERROR_INVALID_PARAMETER);
      // A 40-byte header is followed by the masks; larger headers hold them at offset 40.
      const BYTE* masks = reinterpret_cast<const BYTE*>(info) + sizeof(BITMAPINFOHEADER);
      std::memcpy(out->masks, masks, sizeof(out->masks));
      if (out->masks[0] == 0 && out->masks[1] == 0 && out->masks[2] == 0)
        return Fail(ERROR_INVALID_PARAMETER);
      break;
    }
    case BI_RLE8:
    case BI_RLE4:
      if (!allowRle || out->topDown || bits != (h.biCompression == BI_RLE8 ? 8 : 4))
        return Fail(ERROR_INVALID_PARAMETER);
      break;
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }
  if (bits <= 8) out->colors = ReadColorTable(dc, info, usage, bits);
  out->stride = DibStride(out->width, bits);
  if (out->stride > kMaxPixelBytes / static_cast<std::size_t>(out->height))
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  return true;
}

// Writes the masks after a 40-byte header (or into a larger one) of `info`.
void StoreMasks(BITMAPINFO* info, const DWORD* masks) {
  std::memcpy(reinterpret_cast<BYTE*>(info) + sizeof(BITMAPINFOHEADER), masks, 3 * sizeof(DWORD));
}

}  // namespace

namespace gdi_detail {

GdiBitmap* NewDeviceBitmap(int width, int height, bool monochrome) {
  if (width <= 0 || height <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const int bits = monochrome ? 1 : 32;
  const std::size_t stride = DeviceStride(width, bits);
  if (stride > kMaxPixelBytes / static_cast<std::size_t>(height)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* bitmap = new GdiBitmap;
  try {
    bitmap->memory = PixelMemory(stride * static_cast<std::size_t>(height));
  } catch (const std::bad_alloc&) {
    delete bitmap;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bitmap->width = width;
  bitmap->height = height;
  bitmap->bitsPerPixel = static_cast<WORD>(bits);
  bitmap->stride = static_cast<LONG>(stride);
  bitmap->bits = bitmap->memory.data();
  MarkOpaque(bitmap);
  return bitmap;
}

void MarkOpaque(GdiBitmap* bitmap) {
  if (bitmap == nullptr || bitmap->isDib || bitmap->bitsPerPixel != 32) return;
  auto* pixels = reinterpret_cast<std::uint32_t*>(bitmap->bits);
  const std::size_t count = static_cast<std::size_t>(bitmap->width) * bitmap->height;
  for (std::size_t i = 0; i < count; ++i) pixels[i] |= 0xFF000000u;
}

bool CompatibleIsMonochrome(HDC dc) {
  return dc != nullptr && !dc->isScreen && dc->state.bitmap != nullptr && dc->state.bitmap->bitsPerPixel == 1;
}

}  // namespace gdi_detail

using namespace gdi_detail;

// ---- device bitmaps ------------------------------------------------------------------------

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  if (width < 0 || height < 0 || planes == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (width == 0 || height == 0) return StockBitmap();
  const UINT depth = planes * bitsPerPixel;
  if (bits != nullptr && depth != 1 && depth != 32) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiBitmap* bitmap = NewDeviceBitmap(width, height, depth == 1);
  if (bitmap != nullptr && bits != nullptr) {
    std::memcpy(bitmap->bits, bits, static_cast<std::size_t>(bitmap->stride) * height);
    MarkOpaque(bitmap);
  }
  return bitmap;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  if (dc == nullptr || width < 0 || height < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (width == 0 || height == 0) return StockBitmap();
  return NewDeviceBitmap(width, height, CompatibleIsMonochrome(dc));
}

LONG GetBitmapBits(HBITMAP bitmap, LONG size, void* bits) {
  if (bitmap == nullptr || bitmap->bits == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const Surface s = SurfaceOf(bitmap);
  const std::size_t rowBytes = static_cast<std::size_t>(bitmap->stride);
  const std::size_t total = rowBytes * static_cast<std::size_t>(bitmap->height);
  if (bits == nullptr) return static_cast<LONG>(total);
  const std::size_t wanted = std::min(total, static_cast<std::size_t>(std::max<LONG>(size, 0)));
  auto* out = static_cast<BYTE*>(bits);
  for (std::size_t done = 0, y = 0; done < wanted; ++y) {
    const std::size_t n = std::min(rowBytes, wanted - done);
    std::memcpy(out + done, s.Row(static_cast<int>(y)), n);
    done += n;
  }
  return static_cast<LONG>(wanted);
}

LONG SetBitmapBits(HBITMAP bitmap, DWORD size, const void* bits) {
  if (bitmap == nullptr || bitmap->bits == nullptr || bits == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const Surface s = SurfaceOf(bitmap);
  const std::size_t rowBytes = static_cast<std::size_t>(bitmap->stride);
  const std::size_t wanted = std::min<std::size_t>(rowBytes * bitmap->height, size);
  const auto* in = static_cast<const BYTE*>(bits);
  for (std::size_t done = 0, y = 0; done < wanted; ++y) {
    const std::size_t n = std::min(rowBytes, wanted - done);
    std::memcpy(s.Row(static_cast<int>(y)), in + done, n);
    done += n;
  }
  MarkOpaque(bitmap);
  return static_cast<LONG>(wanted);
}

// ---- DIB sections --------------------------------------------------------------------------

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
  if (bits != nullptr) *bits = nullptr;
  DibFormat format;
  if (!ParseFormat(dc, info, usage, false, &format)) return nullptr;
  auto* bitmap = new GdiBitmap;
  try {
    bitmap->memory = PixelMemory(format.stride * static_cast<std::size_t>(format.height));
  } catch (const std::bad_alloc&) {
    delete bitmap;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bitmap->isDib = true;
  bitmap->width = format.width;
  bitmap->height = format.height;
  bitmap->bitsPerPixel = static_cast<WORD>(format.bitsPerPixel);
  bitmap->topDown = format.topDown;
  bitmap->stride = static_cast<LONG>(format.stride);
  bitmap->bits = bitmap->memory.data();
  bitmap->colors = format.colors;
  bitmap->compression = format.compression;
  if (format.compression == BI_BITFIELDS)
    std::copy(std::begin(format.masks), std::end(format.masks), bitmap->masks);
  bitmap->section = section;
  bitmap->sectionOffset = offset;
  BITMAPINFOHEADER& h = bitmap->header;
  h = BITMAPINFOHEADER{};
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = format.width;
  h.biHeight = info->bmiHeader.biHeight;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(format.bitsPerPixel);
  h.biCompression = format.compression;
  h.biSizeImage = static_cast<DWORD>(bitmap->memory.size());
  if (bits != nullptr) *bits = bitmap->bits;
  return bitmap;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
  const GdiBitmap* bitmap = dc != nullptr ? dc->state.bitmap : nullptr;
  if (bitmap == nullptr || colors == nullptr || !bitmap->isDib || start >= bitmap->colors.size()) return 0;
  const UINT n = std::min<UINT>(count, static_cast<UINT>(bitmap->colors.size()) - start);
  std::copy_n(bitmap->colors.begin() + start, n, colors);
  return n;
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
  GdiBitmap* bitmap = dc != nullptr ? dc->state.bitmap : nullptr;
  if (bitmap == nullptr || colors == nullptr || !bitmap->isDib || start >= bitmap->colors.size()) return 0;
  const UINT n = std::min<UINT>(count, static_cast<UINT>(bitmap->colors.size()) - start);
  std::copy_n(colors, n, bitmap->colors.begin() + start);
  return n;
}

void LeaveDIBUnwritten(HBITMAP bitmap, std::size_t offset) {
  if (bitmap != nullptr && bitmap->isDib) bitmap->memory.LeaveUnwritten(offset);
}

// ---- DIB data <-> bitmaps ------------------------------------------------------------------

namespace {

// Writes the lines that a run-length decoder reports into the bitmap; unwritten pixels keep
// their colour.
int SetRunLengthBits(GdiBitmap* bitmap, const DibFormat& format, const BITMAPINFOHEADER& header,
                     const void* bits) {
  const Surface target = SurfaceOf(bitmap);
  const RowReader targetReader(target);
  RowWriter writer(target);
  const int width = std::min(format.width, target.width);
  std::vector<std::uint32_t> row(static_cast<std::size_t>(std::max(width, 0)));
  std::vector<std::uint32_t> table;
  for (const RGBQUAD& q : format.colors) table.push_back(PixelOf(q));
  RleDecoder decoder(format.width, format.height, format.compression == BI_RLE4);
  decoder.Decode(static_cast<const std::uint8_t*>(bits), header.biSizeImage,
                 [&](int line, const std::uint16_t* indices) {
                   const int y = format.height - 1 - line;
                   if (y < 0 || y >= target.height || width <= 0) return;
                   targetReader.Read(y, 0, width, row.data());
                   for (int x = 0; x < width; ++x)
                     if (indices[x] != RleDecoder::kUnwritten) row[x] = table[indices[x]];
                   writer.Write(y, 0, width, row.data());
                 });
  return format.height;
}

// The bitmap row that line `k` of a DIB buffer starting at scan line `start` lands on.
int BitmapRow(bool topDown, int dibHeight, UINT start, int k) {
  const long long line = static_cast<long long>(start) + k;
  const long long row = topDown ? line : dibHeight - 1 - line;
  return row < INT_MIN || row > INT_MAX ? -1 : static_cast<int>(row);
}

}  // namespace

int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT usage) {
  if (bitmap == nullptr || bitmap->bits == nullptr || bits == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DibFormat format;
  if (!ParseFormat(dc, info, usage, true, &format)) return 0;
  if (format.compression == BI_RLE8 || format.compression == BI_RLE4)
    return SetRunLengthBits(bitmap, format, info->bmiHeader, bits);
  if (start >= static_cast<UINT>(format.height)) return 0;
  const int count = static_cast<int>(std::min<UINT>(lines, format.height - start));
  const Surface source = format.Over(static_cast<const BYTE*>(bits), count);
  const Surface target = SurfaceOf(bitmap);
  const RowReader reader(source);
  RowWriter writer(target);
  const int width = std::min(format.width, target.width);
  std::vector<std::uint32_t> row(static_cast<std::size_t>(width));
  for (int k = 0; k < count; ++k) {
    const int y = BitmapRow(format.topDown, format.height, start, k);
    if (y < 0 || y >= target.height) continue;
    reader.Read(k, 0, width, row.data());
    writer.Write(y, 0, width, row.data());
  }
  return count;
}

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage) {
  if (header == nullptr || header->biWidth <= 0 || header->biHeight == 0 || header->biHeight == INT_MIN) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  GdiBitmap* bitmap = NewDeviceBitmap(header->biWidth, height, CompatibleIsMonochrome(dc));
  if (bitmap == nullptr || (init & CBM_INIT) == 0 || bits == nullptr) return bitmap;
  if (info == nullptr) {
    delete bitmap;
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  DibFormat format;
  if (!ParseFormat(dc, info, usage, true, &format)) {
    delete bitmap;
    return nullptr;
  }
  SetDIBits(dc, bitmap, 0, static_cast<UINT>(format.height), bits, info, usage);
  return bitmap;
}

namespace {

// Colour table that GetDIBits reports for a depth of 8 bits or less.
std::vector<RGBQUAD> OutputTable(const GdiBitmap* bitmap, int bits) {
  if (bitmap->isDib && bitmap->bitsPerPixel == bits) return bitmap->colors;
  std::vector<RGBQUAD> table(std::size_t{1} << bits, RGBQUAD{0, 0, 0, 0});
  if (bits == 1) {
    table[1] = RGBQUAD{255, 255, 255, 0};
    return table;
  }
  const std::vector<PALETTEENTRY> entries = bits == 4 ? SystemPaletteEntries() : HalftonePaletteEntries();
  for (std::size_t i = 0; i < entries.size() && i < table.size(); ++i) table[i] = QuadOf(entries[i]);
  return table;
}

void StoreTable(BITMAPINFO* info, UINT usage, const std::vector<RGBQUAD>& table) {
  BYTE* p = reinterpret_cast<BYTE*>(info) + info->bmiHeader.biSize;
  if (usage == DIB_PAL_COLORS) {
    for (std::size_t i = 0; i < table.size(); ++i) {
      const WORD index = static_cast<WORD>(i);
      std::memcpy(p + i * 2, &index, 2);
    }
  } else {
    std::memcpy(p, table.data(), table.size() * sizeof(RGBQUAD));
  }
}

// Fills in the header with the bitmap's own format (no colour table).
int DescribeInto(const GdiBitmap* bitmap, BITMAPINFOHEADER& h) {
  h.biWidth = bitmap->width;
  h.biHeight = bitmap->height;
  h.biPlanes = 1;
  h.biBitCount = bitmap->bitsPerPixel;
  h.biCompression = bitmap->isDib ? bitmap->compression : BI_RGB;
  h.biSizeImage = static_cast<DWORD>(DibStride(bitmap->width, bitmap->bitsPerPixel) * bitmap->height);
  h.biClrUsed = 0;
  h.biClrImportant = 0;
  return bitmap->height;
}

}  // namespace

int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
  if (bitmap == nullptr || bitmap->bits == nullptr || info == nullptr ||
      info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (bits == nullptr && h.biBitCount == 0) return DescribeInto(bitmap, h);
  if (h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32)) {
    DWORD masks[3];
    std::memcpy(masks, reinterpret_cast<BYTE*>(info) + sizeof(BITMAPINFOHEADER), sizeof(masks));
    if (masks[0] == 0 && masks[1] == 0 && masks[2] == 0) {
      const DWORD defaults16[3] = {0xF800, 0x07E0, 0x001F};
      const DWORD defaults32[3] = {0xFF0000, 0x00FF00, 0x0000FF};
      StoreMasks(info, h.biBitCount == 16 ? defaults16 : defaults32);
    }
  }
  if (h.biBitCount <= 8 && h.biBitCount >= 1) StoreTable(info, usage, OutputTable(bitmap, h.biBitCount));
  DibFormat format;
  if (!ParseFormat(dc, info, usage == DIB_PAL_COLORS ? DIB_RGB_COLORS : usage, false, &format)) return 0;
  if (usage == DIB_PAL_COLORS && format.bitsPerPixel <= 8)
    format.colors = OutputTable(bitmap, format.bitsPerPixel);
  h.biSizeImage = static_cast<DWORD>(format.stride * static_cast<std::size_t>(format.height));
  if (bits == nullptr) return bitmap->height;

  if (start >= static_cast<UINT>(bitmap->height)) return 0;
  const int count = static_cast<int>(std::min<UINT>(lines, bitmap->height - start));
  const Surface source = SurfaceOf(bitmap);
  const Surface target = format.Over(static_cast<BYTE*>(bits), count);
  const RowReader reader(source);
  RowWriter writer(target);
  const int width = std::min(format.width, source.width);
  std::vector<std::uint32_t> row(static_cast<std::size_t>(format.width), 0);
  for (int k = 0; k < count; ++k) {
    const int y = BitmapRow(format.topDown, bitmap->height, start, k);
    std::fill(row.begin(), row.end(), 0);
    if (y >= 0 && y < source.height) reader.Read(y, 0, width, row.data());
    writer.Write(k, 0, format.width, row.data());
    // Padding bytes at the end of a row are zero, not left over from the caller's buffer.
    const std::size_t used = (static_cast<std::size_t>(format.width) * format.bitsPerPixel + 7) / 8;
    std::memset(target.Row(k) + used, 0, format.stride - used);
  }
  return count;
}

// ---- Qt bridge -----------------------------------------------------------------------------

QImage BitmapAsQImage(HBITMAP bitmap) {
  if (bitmap == nullptr || bitmap->bits == nullptr || !bitmap->topDown) return QImage();
  const Surface s = SurfaceOf(bitmap);
  if (!s.IsPlain32()) return QImage();
  return QImage(bitmap->bits, bitmap->width, bitmap->height, bitmap->stride, QImage::Format_RGB32);
}

void* BitmapPixels(HBITMAP bitmap, int* stride) {
  if (bitmap == nullptr || bitmap->bits == nullptr) return nullptr;
  const Surface s = SurfaceOf(bitmap);
  if (stride != nullptr) *stride = static_cast<int>(s.step);
  return s.top;
}

}  // namespace lumivane
