#include "picture/dib_writer.h"

#include <cstring>
#include <vector>

#include "framework/stream.h"
#include "picture/bitmap_canvas.h"
#include "picture/gdi_helpers.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

void TDIBWriter::Write(TStream& Stream, HBITMAP Bitmap, const DIBSECTION& Description) {
  const BITMAP bm = BitmapRecord(Bitmap);
  if (bm.bmWidth <= 0 || bm.bmHeight <= 0) return;
  const bool section = IsDIBSection(Bitmap);
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = bm.bmWidth;
  header.biHeight = bm.bmHeight;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bm.bmBitsPixel * bm.bmPlanes);
  const bool bitfields = section && Description.dsBmih.biCompression == BI_BITFIELDS &&
                         (header.biBitCount == 16 || header.biBitCount == 32);
  header.biCompression = bitfields ? BI_BITFIELDS : BI_RGB;
  header.biXPelsPerMeter = Description.dsBmih.biXPelsPerMeter;
  header.biYPelsPerMeter = Description.dsBmih.biYPelsPerMeter;

  std::vector<RGBQUAD> colors;
  if (header.biBitCount <= 8) {
    const int count = 1 << header.biBitCount;
    if (section)
      colors = DIBColorTable(Bitmap, count);
    else
      colors = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    colors.resize(static_cast<size_t>(count));
  }
  header.biClrUsed = static_cast<DWORD>(colors.size());
  const int64_t row_bytes = ((int64_t(bm.bmWidth) * header.biBitCount + 31) & ~int64_t(31)) / 8;
  header.biSizeImage = static_cast<DWORD>(row_bytes * bm.bmHeight);

  BitmapInfo info;
  info.Set(header, bitfields ? Description.dsBitfields : nullptr, colors.data(),
           static_cast<int>(colors.size()));
  std::vector<uint8_t> pixels(header.biSizeImage);
  DeselectBitmap(Bitmap);
  {
    ScreenDC screen;
    GetDIBits(screen.dc, Bitmap, 0, static_cast<UINT>(bm.bmHeight), pixels.data(), info.Info(),
              DIB_RGB_COLORS);
  }

  const DWORD table_bytes = static_cast<DWORD>(colors.size() * sizeof(RGBQUAD)) + (bitfields ? 12 : 0);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = 14 + 40 + table_bytes;
  file.bfSize = file.bfOffBits + header.biSizeImage;
  Stream.WriteBuffer(&file, sizeof(file));
  Stream.WriteBuffer(&header, sizeof(header));
  if (bitfields) Stream.WriteBuffer(Description.dsBitfields, 12);
  if (!colors.empty())
    Stream.WriteBuffer(colors.data(), static_cast<int64_t>(colors.size() * sizeof(RGBQUAD)));
  Stream.WriteBuffer(pixels.data(), static_cast<int64_t>(pixels.size()));
}

}  // namespace lumivane
