#include "picture/bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "framework/sys_utils.h"
#include "picture/bitmap_canvas.h"
#include "picture/bitmap_image.h"
#include "picture/dib_reader.h"
#include "picture/dib_writer.h"
#include "picture/gdi_helpers.h"
#include "picture/locked_drawing.h"
#include "platform/gdi/gdi.h"
#include "platform/platform_error.h"
#include "resources/resources.h"

namespace lumivane {

namespace {

constexpr const char* SInvalidBitmap = "Bitmap image is not valid";
constexpr const char* SScanLine = "Scan line index out of range";
constexpr const char* SInvalidPixelFormat = "Invalid pixel format";
constexpr const char* SResourceNotFound = "Resource %s not found";

constexpr uint16_t kBitmapSignature = 0x4D42;  // 'BM'
constexpr uint32_t kInfoHeaderSize = 40;

[[noreturn]] void InvalidBitmap() { throw EInvalidGraphic(SInvalidBitmap); }

// The one lock around the replacement of every bitmap's shared image.
std::recursive_mutex& BitmapImageLock() {
  static auto* lock = new std::recursive_mutex();
  return *lock;
}

// Frees a new image on scope exit unless it was released to its holder.
struct ImageGuard {
  explicit ImageGuard(TBitmapImage* image) : image(image) {}
  ~ImageGuard() {
    if (image != nullptr) {
      image->AddReference();
      image->DropReference();
    }
  }
  TBitmapImage* Release() {
    TBitmapImage* i = image;
    image = nullptr;
    return i;
  }
  TBitmapImage* image;
};

// Raised when the raster device gives no handle: its error when it set one, else "not valid".
[[noreturn]] void RaiseCreateFailure() {
  if (GetLastError() != 0) RaiseLastOSError();
  InvalidBitmap();
}

int ScreenDepth() {
  ScreenDC screen;
  return GetDeviceCaps(screen.dc, BITSPIXEL) * GetDeviceCaps(screen.dc, PLANES);
}

// The 16 colours of the system palette (the standard VGA set).
HPALETTE CreateSystemPalette16() {
  static const RGBQUAD vga[16] = {{0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
                                  {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0}, {192, 192, 192, 0},
                                  {128, 128, 128, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
                                  {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0}};
  return PaletteFromColors(vga, 16);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TBitmapImage

TBitmapImage::~TBitmapImage() { FreeHandles(); }

void TBitmapImage::FreeHandles() {
  if (Handle != nullptr && Handle != DIBHandle) {
    DeselectBitmap(Handle);
    DeleteObject(Handle);
  }
  if (DIBHandle != nullptr) {
    DeselectBitmap(DIBHandle);
    DeleteObject(DIBHandle);
  }
  if (MaskHandle != nullptr) {
    DeselectBitmap(MaskHandle);
    DeleteObject(MaskHandle);
  }
  if (Palette != nullptr) DeleteObject(Palette);
  Handle = DIBHandle = MaskHandle = nullptr;
  Palette = nullptr;
}

// ---------------------------------------------------------------------------------------------
// construction, copying, shared image

TBitmap::TBitmap() {
  image_ = new TBitmapImage();
  image_->AddReference();
}

TBitmap::~TBitmap() {
  FreeCanvasContext();
  canvas_.reset();
  std::lock_guard<std::recursive_mutex> guard(BitmapImageLock());
  image_->DropReference();
}

void TBitmap::FreeCanvasContext() {
  if (canvas_) canvas_->FreeContext();
}

void TBitmap::ReplaceImage(TBitmapImage* NewImage) {
  FreeCanvasContext();
  NewImage->AddReference();
  {
    std::lock_guard<std::recursive_mutex> guard(BitmapImageLock());
    TBitmapImage* old = image_;
    image_ = NewImage;
    old->DropReference();
  }
  mask_valid_ = false;
}

void TBitmap::AssignFrom(TPersistent* Source) {
  if (Source != nullptr && dynamic_cast<TBitmap*>(Source) == nullptr) {
    TGraphic::AssignFrom(Source);
    return;
  }
  auto* source = static_cast<TBitmap*>(Source);
  if (source == this) return;
  if (source != nullptr) {
    ReplaceImage(source->image_);
    transparent_ = source->transparent_;
    transparent_color_ = source->transparent_color_;
    transparent_mode_ = source->transparent_mode_;
  } else {
    ReplaceImage(new TBitmapImage());
  }
  PaletteModified = PaletteHandle() != nullptr;
  SignalChange(this);
}

void TBitmap::DropImage() {
  if (image_->Handle == nullptr && image_->DIBHandle == nullptr && !image_->SaveStream) return;
  ReplaceImage(new TBitmapImage());
}

void TBitmap::SetImageHandle(HBITMAP Value) {
  if (Value == image_->Handle && Value != nullptr) return;
  auto* image = new TBitmapImage();
  if (Value != nullptr) {
    image->Handle = Value;
    GetObjectA(Value, sizeof(DIBSECTION), &image->DIB);
    if (IsDIBSection(Value)) image->DIBHandle = Value;
  }
  ReplaceImage(image);
  PaletteModified = false;
  SignalChange(this);
}

// Gives the bitmap an image of its own before it changes it.
void TBitmap::MakeImagePrivate() {
  if (image_->RefCount() > 1) {
    HandleNeeded();
    HPALETTE colors = image_->Halftone ? nullptr : image_->Palette;
    ReplaceImage(BuildImage(image_->Handle, colors, image_->DIB));
    return;
  }
  if (image_->Handle != nullptr && image_->DIBHandle != nullptr && image_->Handle != image_->DIBHandle) {
    DeselectBitmap(image_->DIBHandle);
    DeleteObject(image_->DIBHandle);
    image_->DIBHandle = nullptr;
  }
  image_->SaveStream.reset();
}

// Canvas drawing is about to change the pixels.
void TBitmap::Changing() {
  MakeImagePrivate();
  image_->FilledRows = -1;
  image_->DIB.dsBmih.biClrUsed = 0;
  image_->DIB.dsBmih.biClrImportant = 0;
  image_->SaveStream.reset();
}

void TBitmap::SignalChange(TObject* Sender) {
  mask_bits_valid_ = false;
  TGraphic::SignalChange(Sender);
}

bool TBitmap::IsEmpty() {
  return image_->Handle == nullptr && image_->DIBHandle == nullptr && !image_->SaveStream;
}

int TBitmap::ImageWidth() { return image_->DIB.dsBm.bmWidth; }

int TBitmap::ImageHeight() { return std::abs(image_->DIB.dsBm.bmHeight); }

const DIBSECTION& TBitmap::ImageDescription() const { return image_->DIB; }

void TBitmap::HandleNeeded() {
  if (image_->Handle == nullptr && image_->DIBHandle != nullptr) image_->Handle = image_->DIBHandle;
}

HBITMAP TBitmap::ImageHandle() {
  HandleNeeded();
  return image_->Handle;
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<TBitmapCanvas>(this);
    canvas_->OnChanging = [this](TObject*) { Changing(); };
    canvas_->OnChange = [this](TObject*) { SignalChange(this); };
  }
  return *canvas_;
}

// ---------------------------------------------------------------------------------------------
// palettes

HPALETTE TBitmap::PaletteHandle() {
  PaletteNeeded();
  return image_->Palette;
}

// Images of 8 bits or fewer get their palette from their colour table when it is first needed;
// deeper images get a half-tone palette only on a screen of fewer bits than theirs.
void TBitmap::PaletteNeeded() {
  TBitmapImage* image = image_;
  if (IgnorePalette || image->Palette != nullptr || image->DIBHandle == nullptr) return;
  const int bpp = image->DIB.dsBm.bmBitsPixel * image->DIB.dsBm.bmPlanes;
  if (bpp <= 8) {
    const std::vector<RGBQUAD> colors = DIBColorTable(image->DIBHandle, 1 << bpp);
    if (!colors.empty()) image->Palette = PaletteFromColors(colors.data(), static_cast<int>(colors.size()));
    if (image->Palette != nullptr) return;
  }
  if (ScreenDepth() < bpp) {
    ScreenDC screen;
    image->Palette = CreateHalftonePalette(screen.dc);
    image->Halftone = image->Palette != nullptr;
  }
}

void TBitmap::SetPaletteHandle(HPALETTE Value) {
  if (image_->Palette == Value) return;
  if (Value == nullptr && image_->RefCount() == 1) {
    FreeCanvasContext();
    if (image_->Palette != nullptr) DeleteObject(image_->Palette);
    image_->Palette = nullptr;
    image_->Halftone = false;
  } else {
    HandleNeeded();
    TBitmapImage* image = BuildImage(image_->Handle, Value, image_->DIB);
    if (image->Palette != nullptr) DeleteObject(image->Palette);
    image->Palette = Value;  // the bitmap owns the palette it was given
    ReplaceImage(image);
  }
  UpdateColorTableFromPalette();
  PaletteModified = true;
  SignalChange(this);
}

void TBitmap::UpdateColorTableFromPalette() {
  TBitmapImage* image = image_;
  if (image->DIBHandle == nullptr || image->Palette == nullptr) return;
  const int bpp = image->DIB.dsBm.bmBitsPixel * image->DIB.dsBm.bmPlanes;
  if (bpp > 8) return;
  std::vector<RGBQUAD> colors = ColorsFromPalette(image->Palette, 1 << bpp);
  if (colors.empty()) return;
  FreeCanvasContext();
  DeselectBitmap(image->DIBHandle);
  MemoryDC dc;
  HGDIOBJ old = SelectObject(dc.dc, image->DIBHandle);
  SetDIBColorTable(dc.dc, 0, static_cast<UINT>(colors.size()), colors.data());
  SelectObject(dc.dc, old);
}

// ---------------------------------------------------------------------------------------------
// rebuilding

// A new image (not yet installed) for Description, with the old bitmap's pixels copied to its
// top-left corner and the rest filled with the canvas brush (white without a canvas). Colours
// (may be null) gives the colour table and a copy of it becomes the new image's palette.
TBitmapImage* TBitmap::BuildImage(HBITMAP OldHandle, HPALETTE Colors, const DIBSECTION& Description,
                                  bool Unfilled) {
  auto* image = new TBitmapImage();
  ImageGuard guard(image);
  image->DIB = Description;
  image->OS2Format = image_->OS2Format;
  const int width = Description.dsBm.bmWidth;
  const int height = std::abs(Description.dsBm.bmHeight);
  if (Colors != nullptr) image->Palette = CopyPalette(Colors);
  if (width <= 0 || height <= 0) return guard.Release();
  if (static_cast<int64_t>(width) * height > kMaxBitmapPixels) throw EOutOfResources(SOutOfResources);

  ScreenDC screen;
  void* bits = nullptr;
  BitmapInfo info;
  if (Description.dsBmih.biSize >= kInfoHeaderSize) {
    BITMAPINFOHEADER header = Description.dsBmih;
    header.biSize = kInfoHeaderSize;
    header.biPlanes = 1;
    header.biWidth = width;
    header.biHeight = Description.dsBmih.biHeight < 0 ? -height : height;
    if (header.biBitCount == 0) header.biBitCount = static_cast<WORD>(ScreenDepth());
    const bool bitfields =
        header.biCompression == BI_BITFIELDS && (header.biBitCount == 16 || header.biBitCount == 32);
    header.biCompression = bitfields ? BI_BITFIELDS : BI_RGB;
    header.biSizeImage = 0;
    header.biClrImportant = 0;
    std::vector<RGBQUAD> colors;
    if (header.biBitCount <= 8) {
      const int count = 1 << header.biBitCount;
      const bool old_is_dib = IsDIBSection(OldHandle);
      if (header.biBitCount == 1 && !old_is_dib) {
        colors = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
      } else if (Colors != nullptr) {
        colors = ColorsFromPalette(Colors, count);
      } else if (old_is_dib) {
        colors = DIBColorTable(OldHandle, count);
      }
      colors.resize(static_cast<size_t>(count));
    }
    header.biClrUsed = static_cast<DWORD>(colors.size());
    info.Set(header, bitfields ? Description.dsBitfields : nullptr, colors.data(),
             static_cast<int>(colors.size()));
    SetLastError(0);
    image->Handle = CreateDIBSection(screen.dc, info.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (image->Handle == nullptr || bits == nullptr) RaiseCreateFailure();
    image->DIBHandle = image->Handle;
  } else {
    SetLastError(0);
    if (Description.dsBm.bmPlanes == 1 && Description.dsBm.bmBitsPixel == 1)
      image->Handle = CreateBitmap(width, height, 1, 1, nullptr);
    else
      image->Handle = CreateCompatibleBitmap(screen.dc, width, height);
    if (image->Handle == nullptr) RaiseCreateFailure();
  }

  if (!Unfilled) CopyPixelsInto(*image, bits, info, OldHandle, Colors);

  DIBSECTION described{};
  GetObjectA(image->Handle, sizeof(DIBSECTION), &described);
  image->DIB = described;
  return guard.Release();
}

// Fills the new image with the canvas brush and copies the old bitmap onto it at (0, 0).
void TBitmap::CopyPixelsInto(TBitmapImage& image, void* bits, const BitmapInfo& info, HBITMAP OldHandle,
                             HPALETTE Colors) {
  const BITMAP fresh = BitmapRecord(image.Handle);
  const BITMAP old = BitmapRecord(OldHandle);
  const bool same_size =
      OldHandle != nullptr && old.bmWidth == fresh.bmWidth && old.bmHeight == fresh.bmHeight;
  if (same_size && bits != nullptr && CopySameLayout(image.Handle, OldHandle)) return;
  if (same_size && bits != nullptr && fresh.bmBitsPixel > 8) {
    DeselectBitmap(OldHandle);
    ScreenDC screen;
    BitmapInfo request = info;
    GetDIBits(screen.dc, OldHandle, 0, static_cast<UINT>(fresh.bmHeight), bits, request.Info(),
              DIB_RGB_COLORS);
    return;
  }
  MemoryDC target;
  HGDIOBJ old_target = SelectObject(target.dc, image.Handle);
  HPALETTE old_target_palette = nullptr;
  if (image.Palette != nullptr) {
    old_target_palette = SelectPalette(target.dc, image.Palette, FALSE);
    RealizePalette(target.dc);
  }
  const RECT all{0, 0, fresh.bmWidth, fresh.bmHeight};
  if (canvas_) {
    FillRect(target.dc, &all, canvas_->Brush().Handle());
    SetTextColor(target.dc, ColorToRGB(canvas_->Font().Color()));
    SetBkColor(target.dc, ColorToRGB(canvas_->Brush().Color()));
    if (bits != nullptr && fresh.bmBitsPixel == 1) {
      const uint32_t font = ColorToRGB(canvas_->Font().Color());
      const uint32_t brush = ColorToRGB(canvas_->Brush().Color());
      const RGBQUAD mono[2] = {{GetBValue(font), GetGValue(font), GetRValue(font), 0},
                               {GetBValue(brush), GetGValue(brush), GetRValue(brush), 0}};
      SetDIBColorTable(target.dc, 0, 2, mono);
    }
  } else {
    PatBlt(target.dc, 0, 0, fresh.bmWidth, fresh.bmHeight, WHITENESS);
  }
  if (OldHandle != nullptr) {
    DeselectBitmap(OldHandle);
    MemoryDC source;
    HGDIOBJ old_source = SelectObject(source.dc, OldHandle);
    HPALETTE old_source_palette = nullptr;
    if (Colors != nullptr) {
      old_source_palette = SelectPalette(source.dc, Colors, TRUE);
      RealizePalette(source.dc);
    }
    BitBlt(target.dc, 0, 0, old.bmWidth, old.bmHeight, source.dc, 0, 0, SRCCOPY);
    if (old_source_palette != nullptr) SelectPalette(source.dc, old_source_palette, TRUE);
    SelectObject(source.dc, old_source);
  }
  if (old_target_palette != nullptr) SelectPalette(target.dc, old_target_palette, TRUE);
  SelectObject(target.dc, old_target);
}

// Between DIB sections of the same layout the rows are copied as they are (palette images keep
// their indices; the colour table is the new image's own).
bool TBitmap::CopySameLayout(HBITMAP Target, HBITMAP Source) {
  DIBSECTION to{};
  DIBSECTION from{};
  if (!IsDIBSection(Target) || !IsDIBSection(Source)) return false;
  GetObjectA(Target, sizeof(DIBSECTION), &to);
  GetObjectA(Source, sizeof(DIBSECTION), &from);
  if (to.dsBm.bmBitsPixel != from.dsBm.bmBitsPixel || to.dsBm.bmWidth != from.dsBm.bmWidth ||
      to.dsBm.bmHeight != from.dsBm.bmHeight || to.dsBmih.biCompression != from.dsBmih.biCompression ||
      std::memcmp(to.dsBitfields, from.dsBitfields, sizeof(to.dsBitfields)) != 0)
    return false;
  GdiFlush();
  int to_stride = 0;
  int from_stride = 0;
  auto* to_row = static_cast<uint8_t*>(BitmapPixels(Target, &to_stride));
  auto* from_row = static_cast<const uint8_t*>(BitmapPixels(Source, &from_stride));
  if (to_row == nullptr || from_row == nullptr) return false;
  const size_t row_bytes = static_cast<size_t>(std::min(std::abs(to_stride), std::abs(from_stride)));
  for (int y = 0; y < to.dsBm.bmHeight; ++y) {
    std::memcpy(to_row, from_row, row_bytes);
    to_row += to_stride;
    from_row += from_stride;
  }
  return true;
}

// The image as a DIB section (a device bitmap is converted).
void TBitmap::DIBNeeded() {
  if (image_->Handle == nullptr || image_->DIBHandle != nullptr) return;
  PaletteNeeded();
  DIBSECTION description = image_->DIB;
  if (description.dsBmih.biSize == 0) {
    const BITMAP bm = BitmapRecord(image_->Handle);
    description.dsBm = bm;
    description.dsBmih.biSize = kInfoHeaderSize;
    description.dsBmih.biWidth = bm.bmWidth;
    description.dsBmih.biHeight = bm.bmHeight;
    description.dsBmih.biPlanes = 1;
    description.dsBmih.biBitCount = static_cast<WORD>(bm.bmPlanes * bm.bmBitsPixel);
    description.dsBmih.biCompression = BI_RGB;
  }
  ReplaceImage(BuildImage(image_->Handle, image_->Palette, description));
}

// ---------------------------------------------------------------------------------------------
// size, pixel format, storage

void TBitmap::SetSize(int Width, int Height) {
  Width = std::max(Width, 0);
  Height = std::max(Height, 0);
  const DIBSECTION& current = image_->DIB;
  if (current.dsBm.bmWidth == Width && std::abs(current.dsBm.bmHeight) == Height) return;
  HandleNeeded();
  DIBSECTION description = current;
  description.dsBm.bmWidth = Width;
  description.dsBm.bmHeight = Height;
  description.dsBmih.biWidth = Width;
  description.dsBmih.biHeight = Height;
  ReplaceImage(BuildImage(image_->Handle, image_->Palette, description));
  SignalChange(this);
}

void TBitmap::SetSizeForWriting(int Width, int Height) {
  Width = std::max(Width, 0);
  Height = std::max(Height, 0);
  HandleNeeded();
  DIBSECTION description = image_->DIB;
  description.dsBm.bmWidth = Width;
  description.dsBm.bmHeight = Height;
  description.dsBmih.biWidth = Width;
  description.dsBmih.biHeight = description.dsBmih.biHeight < 0 ? -Height : Height;
  ReplaceImage(BuildImage(image_->Handle, image_->Palette, description, true));
  SignalChange(this);
}

void TBitmap::SetImageWidth(int Value) { SetSize(Value, ImageHeight()); }

void TBitmap::SetImageHeight(int Value) { SetSize(ImageWidth(), Value); }

TStorageKind TBitmap::StorageKind() {
  if (image_->DIBHandle != nullptr) return skDIB;
  if (image_->Handle != nullptr) return skDevice;
  return image_->DIB.dsBmih.biSize == 0 ? skDevice : skDIB;
}

void TBitmap::SetStorageKind(TStorageKind Value) {
  if (Value == StorageKind()) return;
  if (image_->Handle == nullptr && image_->DIBHandle == nullptr) {
    // Nothing to convert: only the wish is recorded in the description.
    MakeImagePrivate();
    image_->DIB.dsBmih.biSize = Value == skDevice ? 0 : kInfoHeaderSize;
    return;
  }
  if (Value == skDIB) {
    DIBNeeded();
  } else {
    HandleNeeded();
    DIBSECTION description = image_->DIB;
    description.dsBmih.biSize = 0;
    ReplaceImage(BuildImage(image_->Handle, image_->Palette, description));
  }
  SignalChange(this);
}

bool TBitmap::Monochrome() {
  const BITMAP& bm = image_->DIB.dsBm;
  return bm.bmPlanes == 1 && bm.bmBitsPixel == 1;
}

void TBitmap::SetMonochrome(bool Value) {
  if (Value == Monochrome()) return;
  HandleNeeded();
  DIBSECTION description = image_->DIB;
  const WORD depth = Value ? 1 : 0;  // 0: the screen's format
  description.dsBmih.biSize = 0;
  description.dsBmih.biPlanes = depth;
  description.dsBmih.biBitCount = depth;
  description.dsBm.bmPlanes = depth;
  description.dsBm.bmBitsPixel = depth;
  ReplaceImage(BuildImage(image_->Handle, image_->Palette, description));
  SignalChange(this);
}

TPixelFormat TBitmap::PixelFormat() {
  if (StorageKind() == skDevice) return pfDevice;
  const BITMAPINFOHEADER& header = image_->DIB.dsBmih;
  switch (header.biBitCount) {
    case 1:
      return pf1bit;
    case 4:
      return pf4bit;
    case 8:
      return pf8bit;
    case 16:
      if (header.biCompression == BI_RGB) return pf15bit;
      if (header.biCompression == BI_BITFIELDS && image_->DIB.dsBitfields[1] == 0x7E0) return pf16bit;
      return pfCustom;
    case 24:
      return pf24bit;
    case 32:
      return header.biCompression == BI_RGB ? pf32bit : pfCustom;
    default:
      return pfCustom;
  }
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == PixelFormat()) return;
  if (Value == pfDevice) {
    SetStorageKind(skDevice);
    return;
  }
  if (Value == pfCustom) throw EInvalidGraphic(SInvalidPixelFormat);
  static constexpr WORD kDepths[] = {0, 1, 4, 8, 16, 16, 24, 32};
  const WORD depth = kDepths[Value];
  HandleNeeded();
  DIBSECTION description{};
  description.dsBm.bmWidth = image_->DIB.dsBm.bmWidth;
  description.dsBm.bmHeight = image_->DIB.dsBm.bmHeight;
  description.dsBm.bmPlanes = 1;
  description.dsBm.bmBitsPixel = depth;
  description.dsBmih.biSize = kInfoHeaderSize;
  description.dsBmih.biWidth = image_->DIB.dsBm.bmWidth;
  description.dsBmih.biHeight = image_->DIB.dsBm.bmHeight;
  description.dsBmih.biPlanes = 1;
  description.dsBmih.biBitCount = depth;
  if (Value == pf16bit) {
    description.dsBmih.biCompression = BI_BITFIELDS;
    description.dsBitfields[0] = 0xF800;
    description.dsBitfields[1] = 0x07E0;
    description.dsBitfields[2] = 0x001F;
  }
  HPALETTE palette = nullptr;
  bool temporary = false;
  if (Value == pf4bit) {
    palette = CreateSystemPalette16();
    temporary = true;
  } else if (Value == pf8bit) {
    ScreenDC screen;
    palette = CreateHalftonePalette(screen.dc);
    temporary = true;
  } else {
    palette = image_->Palette;
  }
  try {
    ReplaceImage(BuildImage(image_->Handle, palette, description));
  } catch (...) {
    if (temporary && palette != nullptr) DeleteObject(palette);
    throw;
  }
  if (temporary && palette != nullptr) DeleteObject(palette);
  PaletteModified = palette != nullptr;
  SignalChange(this);
}

void* TBitmap::ScanLine(int Row) {
  Changing();
  if (Row < 0 || Row >= ImageHeight()) throw EInvalidGraphicOperation(SScanLine);
  DIBNeeded();
  if (image_->DIBHandle == nullptr) throw EInvalidGraphicOperation(SScanLine);
  GdiFlush();
  int stride = 0;
  auto* top = static_cast<uint8_t*>(BitmapPixels(image_->DIBHandle, &stride));
  return top + static_cast<ptrdiff_t>(Row) * stride;
}

// ---------------------------------------------------------------------------------------------
// transparency

TColor TBitmap::TransparentColor() {
  TColor color;
  if (transparent_color_ == clDefault) {
    if (Monochrome()) {
      color = clWhite;
    } else {
      const COLORREF pixel = GetPixel(Canvas().Handle(), 0, ImageHeight() - 1);
      color = pixel == CLR_INVALID ? clBlack : static_cast<TColor>(pixel & 0xFFFFFF);
    }
  } else {
    color = static_cast<TColor>(ColorToRGB(transparent_color_));
  }
  return color | 0x02000000;
}

void TBitmap::SetTransparentColor(TColor Value) {
  if (Value == transparent_color_) return;
  transparent_mode_ = Value == clDefault ? tmAuto : tmFixed;
  transparent_color_ = Value;
  SignalChange(this);
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  if (Value == transparent_mode_) return;
  if (Value == tmAuto)
    SetTransparentColor(clDefault);
  else
    SetTransparentColor(TransparentColor());
}

HBITMAP TBitmap::MaskImageHandle() {
  if (!mask_valid_ || !mask_bits_valid_) BuildMask();
  return image_->MaskHandle;
}

// The monochrome mask: 1 where the pixel has the transparent colour, 0 elsewhere.
void TBitmap::BuildMask() {
  TBitmapImage* image = image_;
  if (image->MaskHandle != nullptr) {
    DeselectBitmap(image->MaskHandle);
    DeleteObject(image->MaskHandle);
    image->MaskHandle = nullptr;
  }
  const int width = ImageWidth();
  const int height = ImageHeight();
  if (IsEmpty() || width <= 0 || height <= 0) return;
  const COLORREF key = static_cast<COLORREF>(TransparentColor()) & 0xFFFFFF;
  HDC source = Canvas().Handle();
  image = image_;  // the canvas may have made the image ready; it is still this bitmap's
  HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
  if (mask == nullptr) throw EOutOfResources(SOutOfResources);
  MemoryDC target;
  HGDIOBJ old = SelectObject(target.dc, mask);
  const COLORREF old_background = SetBkColor(source, key);
  BitBlt(target.dc, 0, 0, width, height, source, 0, 0, SRCCOPY);
  SetBkColor(source, old_background);
  SelectObject(target.dc, old);
  image->MaskHandle = mask;
  mask_valid_ = true;
  mask_bits_valid_ = true;
}

// ---------------------------------------------------------------------------------------------
// drawing

void TBitmap::DrawInto(TCanvas& Canvas, const TRect& Rect) {
  TLockedDrawing locked_drawing(*this);
  if (IsEmpty()) return;
  HDC target = Canvas.Handle();
  PaletteNeeded();
  HPALETTE palette = image_->Palette;
  HPALETTE old_palette = nullptr;
  if (palette != nullptr) {
    old_palette = SelectPalette(target, palette, TRUE);
    RealizePalette(target);
  }
  try {
    const int target_depth = GetDeviceCaps(target, BITSPIXEL) * GetDeviceCaps(target, PLANES);
    const int own_depth = image_->DIB.dsBm.bmBitsPixel * image_->DIB.dsBm.bmPlanes;
    if (target_depth <= 8 && target_depth < own_depth) {
      POINT origin{};
      SetBrushOrgEx(target, 0, 0, &origin);
      SetStretchBltMode(target, HALFTONE);
      SetBrushOrgEx(target, origin.x, origin.y, nullptr);
    } else if (!Monochrome() && GetStretchBltMode(target) != HALFTONE) {
      // A target that asks for area averaging (a filtered copy of a shrunk picture) keeps it.
      SetStretchBltMode(target, COLORONCOLOR);
    }
    const int width = ImageWidth();
    const int height = ImageHeight();
    HDC source = this->Canvas().Handle();
    if (Transparent()) {
      const COLORREF key = static_cast<COLORREF>(TransparentColor()) & 0xFFFFFF;
      TransparentBlt(target, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), source, 0, 0, width, height,
                     key);
    } else if (!DrawFilledRows(target, Rect, source, Canvas.CopyMode())) {
      StretchBlt(target, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), source, 0, 0, width, height,
                 Canvas.CopyMode());
    }
  } catch (...) {
    if (palette != nullptr) SelectPalette(target, old_palette, TRUE);
    throw;
  }
  if (palette != nullptr) SelectPalette(target, old_palette, TRUE);
}

// An image whose decoder wrote only some rows is drawn as its written rows plus black, so that
// the rows never written (untouched memory) are never read. The destination rows each source row
// covers are those of the whole stretch. False when every row holds pixels.
bool TBitmap::DrawFilledRows(HDC Target, const TRect& Rect, HDC Source, uint32_t CopyMode) {
  const int filled = image_->FilledRows;
  const int64_t width = ImageWidth();
  const int64_t height = ImageHeight();
  const int64_t target_height = Rect.Height();
  if (filled < 0 || filled >= height || Rect.Width() <= 0 || target_height <= 0) return false;
  const bool bottom_up = image_->DIB.dsBmih.biHeight > 0;
  // Picture rows [first, last) hold the data: the bottom rows of a bottom-up image.
  const int64_t first = bottom_up ? height - filled : 0;
  const int64_t last = bottom_up ? height : filled;
  // The first destination row whose source row (the one under its centre) is at least y.
  auto target_row = [&](int64_t y) -> int64_t {
    const int64_t numerator = 2 * target_height * y - height;
    if (numerator <= 0) return 0;
    return std::min<int64_t>((numerator + 2 * height - 1) / (2 * height), target_height);
  };
  const int64_t top = target_row(first);
  const int64_t bottom = target_row(last);
  if (top > 0) PatBlt(Target, Rect.Left, Rect.Top, Rect.Width(), static_cast<int>(top), BLACKNESS);
  if (bottom < target_height)
    PatBlt(Target, Rect.Left, Rect.Top + static_cast<int>(bottom), Rect.Width(),
           static_cast<int>(target_height - bottom), BLACKNESS);
  if (bottom > top)
    StretchBlt(Target, Rect.Left, Rect.Top + static_cast<int>(top), Rect.Width(),
               static_cast<int>(bottom - top), Source, 0, static_cast<int>(first), static_cast<int>(width),
               static_cast<int>(last - first), CopyMode);
  return true;
}

// ---------------------------------------------------------------------------------------------
// reading

void TBitmap::ReadFromStream(TStream& Stream) { ReadFileData(Stream, Stream.Size() - Stream.Position()); }

void TBitmap::ReadFileData(TStream& Stream, int64_t Size) {
  FreeCanvasContext();
  if (Size <= 0) {
    ReplaceImage(new TBitmapImage());
    return;
  }
  BITMAPFILEHEADER file_header{};
  uint8_t raw[14];
  Stream.ReadBuffer(raw, sizeof(raw));
  std::memcpy(&file_header, raw, sizeof(raw));
  if (file_header.bfType != kBitmapSignature) InvalidBitmap();
  ReadDIB(Stream, Size - static_cast<int64_t>(sizeof(raw)), &file_header);
}

void TBitmap::ReadFromResourceData(const void* Data, int64_t Size) {
  TMemoryStream stream;
  const auto* bytes = static_cast<const uint8_t*>(Data);
  stream.Assign(std::vector<uint8_t>(bytes, bytes + std::max<int64_t>(Size, 0)));
  FreeCanvasContext();
  ReadDIB(stream, stream.Size(), nullptr);
}

void TBitmap::LoadFromResourceName(const std::string& Name) {
  std::optional<std::vector<uint8_t>> bytes = ReadLumivaneResource(":/lumivane/bitmaps/" + Name + ".bmp");
  if (!bytes) throw EFOpenError(Format(SResourceNotFound, Name.c_str()));
  TMemoryStream stream;
  stream.Assign(std::move(*bytes));
  ReadFromStream(stream);
}

void TBitmap::ReadDIB(TStream& Stream, int64_t ImageSize, const BITMAPFILEHEADER* FileHeader) {
  TDIBReader::Result result = TDIBReader::Read(Stream, ImageSize, FileHeader);
  auto* image = new TBitmapImage();
  image->Handle = result.Handle;
  image->DIBHandle = result.IsSection ? result.Handle : nullptr;
  image->Palette = result.Palette;
  image->SaveStream = std::move(result.SaveStream);
  image->OS2Format = result.OS2Format;
  image->FilledRows = result.FilledRows;
  GetObjectA(result.Handle, sizeof(DIBSECTION), &image->DIB);
  // The raster device does not keep these fields.
  image->DIB.dsBmih.biXPelsPerMeter = result.Header.biXPelsPerMeter;
  image->DIB.dsBmih.biYPelsPerMeter = result.Header.biYPelsPerMeter;
  image->DIB.dsBmih.biClrUsed = result.Header.biClrUsed;
  image->DIB.dsBmih.biClrImportant = result.Header.biClrImportant;
  ReplaceImage(image);
  PaletteModified = image->Palette != nullptr;
  SignalChange(this);
}

// ---------------------------------------------------------------------------------------------
// writing

void TBitmap::WriteToStream(TStream& Stream) {
  if (image_->SaveStream) {
    Stream.WriteBuffer(image_->SaveStream->Memory(), image_->SaveStream->Size());
    return;
  }
  HandleNeeded();
  if (image_->Handle == nullptr) return;
  TDIBWriter::Write(Stream, image_->Handle, image_->DIB);
}

void TBitmap::ReadStoredData(TStream& Stream) {
  const int64_t size = static_cast<int64_t>(Stream.ReadDWord());
  const int64_t start = Stream.Position();
  if (size > Stream.Size() - start) throw EReadError(SReadError);
  ReadFileData(Stream, size);
  Stream.SetPosition(start + size);
}

void TBitmap::WriteStoredData(TStream& Stream) {
  TMemoryStream data;
  WriteToStream(data);
  Stream.WriteDWord(static_cast<uint32_t>(data.Size()));
  Stream.WriteBuffer(data.Memory(), data.Size());
}

}  // namespace lumivane
