#include "app/window_icon.h"

#include <QImage>
#include <QPixmap>
#include <optional>
#include <vector>

#include "framework/canvas.h"
#include "framework/memory_stream.h"
#include "picture/bitmap.h"
#include "picture/icon.h"
#include "resources/resources.h"

namespace lumivane {

namespace {

// Draws the icon at its size onto a plain background and returns the pixels as 0xRRGGBB.
QImage RenderOn(TIcon& icon, int size, TColor background) {
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(size, size);
  target.Canvas().Brush().SetColor(background);
  target.Canvas().FillRect(Rect(0, 0, size, size));
  icon.DrawInto(target.Canvas(), Rect(0, 0, size, size));
  QImage image(size, size, QImage::Format_RGB32);
  for (int y = 0; y < size; ++y) {
    const auto* row = static_cast<const uint8_t*>(target.ScanLine(y));
    for (int x = 0; x < size; ++x) image.setPixel(x, y, qRgb(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]));
  }
  return image;
}

// The icon's image with its mask as alpha: a pixel that shows the background on black and on
// white alike is transparent.
QImage IconImage(TMemoryStream& bytes, int size) {
  TIcon icon;
  icon.SetImageWidth(size);
  icon.SetImageHeight(size);
  bytes.SetPosition(0);
  icon.ReadFromStream(bytes);
  const QImage onBlack = RenderOn(icon, size, clBlack);
  const QImage onWhite = RenderOn(icon, size, clWhite);
  QImage result(size, size, QImage::Format_ARGB32);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const QRgb black = onBlack.pixel(x, y);
      const bool transparent = (black & 0xFFFFFF) == 0 && (onWhite.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
      result.setPixel(x, y, transparent ? 0 : (black | 0xFF000000u));
    }
  }
  return result;
}

}  // namespace

QIcon LoadWindowIcon() {
  std::optional<std::vector<uint8_t>> data = ReadLumivaneResource(":/lumivane/lumivane.ico");
  if (!data) return {};
  TMemoryStream bytes;
  bytes.Assign(std::move(*data));
  QIcon icon;
  try {
    for (int size : {32, 16}) icon.addPixmap(QPixmap::fromImage(IconImage(bytes, size)));
  } catch (const std::exception&) {
    return {};
  }
  return icon;
}

}  // namespace lumivane
