#include "gif/stretch_transparent.h"

#include "framework/canvas.h"
#include "picture/bitmap.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

constexpr COLORREF kPaletteRelative = 0x02000000;

// A memory context holding a new bitmap; both are freed on destruction.
class TScratchSurface {
 public:
  TScratchSurface(HDC compatibleWith, HBITMAP bitmap)
      : dc_(CreateCompatibleDC(compatibleWith)), bitmap_(bitmap) {
    if (dc_ != nullptr && bitmap_ != nullptr) old_ = SelectObject(dc_, bitmap_);
  }
  ~TScratchSurface() {
    if (dc_ != nullptr) {
      if (palette_ != nullptr) SelectPalette(dc_, palette_, FALSE);
      if (old_ != nullptr) SelectObject(dc_, old_);
      DeleteDC(dc_);
    }
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  TScratchSurface(const TScratchSurface&) = delete;
  TScratchSurface& operator=(const TScratchSurface&) = delete;

  HDC DC() const { return dc_; }
  bool Valid() const { return dc_ != nullptr && bitmap_ != nullptr && old_ != nullptr; }
  void UsePalette(HPALETTE palette, bool background) {
    palette_ = SelectPalette(dc_, palette, background ? TRUE : FALSE);
    RealizePalette(dc_);
  }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_ = nullptr;
  HPALETTE palette_ = nullptr;
};

// Draws through a monochrome mask: where the source has MaskColor the destination stays. Only the
// visible part of the destination is worked on, and the source is first sampled to that size (the
// stretches here pick one source pixel per destination pixel), so a large bitmap drawn small or
// mostly off the target costs what is drawn, not what the bitmap holds.
void MaskedStretch(HDC dst, int x, int y, int width, int height, HDC src, const TRect& source,
                   COLORREF maskColor, HPALETTE palette) {
  const RECT part = VisiblePartOf(dst, RECT{x, y, x + width, y + height});
  const TRect visible = Rect(part.left, part.top, part.right, part.bottom);
  const int vw = visible.Width();
  const int vh = visible.Height();
  if (vw <= 0 || vh <= 0) return;
  TScratchSurface mask(dst, CreateBitmap(vw, vh, 1, 1, nullptr));
  TScratchSurface inverse(dst, CreateBitmap(vw, vh, 1, 1, nullptr));
  TScratchSurface work(dst, CreateCompatibleBitmap(dst, vw, vh));
  TScratchSurface copy(dst, CreateCompatibleBitmap(dst, vw, vh));
  if (!mask.Valid() || !inverse.Valid() || !work.Valid() || !copy.Valid()) return;

  HPALETTE oldDestPalette = nullptr;
  if (palette != nullptr) {
    oldDestPalette = SelectPalette(dst, palette, TRUE);
    RealizePalette(dst);
    copy.UsePalette(palette, false);
    mask.UsePalette(palette, false);
    work.UsePalette(palette, true);
  }
  SetMapMode(src, GetMapMode(dst));
  SetMapMode(copy.DC(), GetMapMode(dst));

  // The source pixels under the visible part, and from them the mask (1 where the transparent
  // colour is) and its inverse.
  StretchBlt(copy.DC(), x - visible.Left, y - visible.Top, width, height, src, source.Left, source.Top,
             source.Width(), source.Height(), SRCCOPY);
  const COLORREF oldBack = SetBkColor(copy.DC(), maskColor | kPaletteRelative);
  BitBlt(mask.DC(), 0, 0, vw, vh, copy.DC(), 0, 0, SRCCOPY);
  SetBkColor(copy.DC(), oldBack);
  BitBlt(inverse.DC(), 0, 0, vw, vh, mask.DC(), 0, 0, NOTSRCCOPY);

  // Work = destination kept under the mask, plus the source where it is opaque.
  BitBlt(work.DC(), 0, 0, vw, vh, dst, visible.Left, visible.Top, SRCCOPY);
  BitBlt(work.DC(), 0, 0, vw, vh, mask.DC(), 0, 0, SRCAND);
  BitBlt(copy.DC(), 0, 0, vw, vh, inverse.DC(), 0, 0, SRCAND);
  BitBlt(work.DC(), 0, 0, vw, vh, copy.DC(), 0, 0, SRCPAINT);
  BitBlt(dst, visible.Left, visible.Top, vw, vh, work.DC(), 0, 0, SRCCOPY);

  if (palette != nullptr) SelectPalette(dst, oldDestPalette, TRUE);
}

}  // namespace

void StretchTransparent(TCanvas& Canvas, int X, int Y, int Width, int Height, TBitmap& Bitmap, TRect Source,
                        TColor TransparentColor) {
  const int bitmapWidth = Bitmap.ImageWidth();
  const int bitmapHeight = Bitmap.ImageHeight();
  if (Width < 1) Width = bitmapWidth;
  if (Height < 1) Height = bitmapHeight;
  if (Source.Width() < 1 || Source.Height() < 1) Source = Rect(0, 0, bitmapWidth, bitmapHeight);
  if (Width < 1 || Height < 1) return;

  HDC dst = Canvas.Handle();
  const bool monochrome = Bitmap.Monochrome();
  if (!monochrome) SetStretchBltMode(dst, COLORONCOLOR);

  TCanvas& bitmapCanvas = Bitmap.Canvas();
  bitmapCanvas.Lock();
  TNotifyEvent savedChanging = std::move(bitmapCanvas.OnChanging);
  bitmapCanvas.OnChanging = nullptr;
  try {
    HDC src = bitmapCanvas.Handle();
    if (TransparentColor == clNone) {
      StretchBlt(dst, X, Y, Width, Height, src, Source.Left, Source.Top, Source.Width(), Source.Height(),
                 Canvas.CopyMode());
    } else {
      if (TransparentColor == clDefault)
        TransparentColor = static_cast<TColor>(GetPixel(src, 0, bitmapHeight - 1));
      // A monochrome device bitmap keys its white; a 1-bit section has colours of its own, and its
      // transparent colour is one of them.
      const bool keysWhite = monochrome && Bitmap.StorageKind() != skDIB;
      const COLORREF maskColor = keysWhite ? 0xFFFFFF : ColorToRGB(TransparentColor);
      MaskedStretch(dst, X, Y, Width, Height, src, Source, maskColor, Bitmap.PaletteHandle());
    }
  } catch (...) {
    bitmapCanvas.OnChanging = std::move(savedChanging);
    bitmapCanvas.Unlock();
    throw;
  }
  bitmapCanvas.OnChanging = std::move(savedChanging);
  bitmapCanvas.Unlock();
}

}  // namespace lumivane
