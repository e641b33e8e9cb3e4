#pragma once
// The device-independent bitmap picture: reads bitmap files and resources, draws itself stretched
// (optionally leaving its transparent colour undrawn), and is the in-memory image type of the
// whole program (JPEG output, GIF frames, control glyphs and buffers).
//
// Pixel memory policy. A picture file costs memory and time in proportion to what it holds, not
// to what its header claims, while every picture up to the pixel limit (kMaxBitmapPixels) still
// opens at its declared size:
// - Fresh pixel memory comes zeroed from the system and is never pre-filled or cleared; a decoder
//   writes only what the file gives. A bitmap whose every pixel the caller is about to write is
//   made with SetSizeForWriting, which leaves out the background fill of SetSize.
// - Uncompressed images are bounded by the data present: the rows the file lacks are left as the
//   untouched zero memory they came as (black), and are marked unwritten (LeaveDIBUnwritten) so
//   that reading them maps the system's zero page instead of materialising memory.
// - Run-length images are decoded into a section in which only the pixels the runs give are
//   written; icons decode only the pixels that land on the icon's own size.
// - Decode at most what can be drawn, and drawing clips the destination before it touches any
//   source pixel. Reading untouched memory is not free on every system (some map a fresh page
//   even for a read), so an image also records how many of its rows a decoder wrote and drawing
//   shows the rest as black without reading them.
#include <cstdint>
#include <memory>
#include <string>

#include "framework/canvas.h"
#include "framework/types.h"
#include "picture/graphic.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/gdi_types.h"

namespace lumivane {

class BitmapInfo;
class TBitmapCanvas;
class TBitmapImage;
class TMemoryStream;

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
// How the image is held: a device bitmap (screen format or monochrome) or a DIB section.
enum TStorageKind { skDevice, skDIB };
// Automatic: the transparent colour is the bottom-left pixel; fixed: the stored colour.
enum TTransparentMode { tmAuto, tmFixed };

class TBitmap : public TGraphic {
  LUMIVANE_GRAPHIC_CLASS(TBitmap, TGraphic)

 public:
  // An empty bitmap; sizing it without choosing a pixel format gives a device bitmap.
  TBitmap();
  ~TBitmap() override;

  // From another TBitmap: shares its image and takes its Transparent flag, transparent colour and
  // mode. Null empties the bitmap. Anything else asks the source to copy itself in.
  void AssignFrom(TPersistent* Source) override;

  // ---- TGraphic ----
  void SignalChange(TObject* Sender) override;
  // Stretches the whole bitmap onto Rect with the canvas's copy mode; a transparent bitmap leaves
  // the pixels of its transparent colour undrawn.
  void DrawInto(TCanvas& Canvas, const TRect& Rect) override;
  bool IsEmpty() override;
  int ImageWidth() override;
  int ImageHeight() override;  // the absolute height
  void SetImageWidth(int Value) override;
  void SetImageHeight(int Value) override;
  HPALETTE PaletteHandle() override;
  // Rebuilds the image with the palette (the bitmap owns it from now on) and updates the colour
  // table from it.
  void SetPaletteHandle(HPALETTE Value) override;
  // Reads a bitmap file from the stream's position to its end. An empty stream empties the
  // bitmap. EInvalidGraphic "Bitmap image is not valid" for bad data, EReadError "Stream read
  // error" when the headers or colour table are cut short; the previous image stays then.
  void ReadFromStream(TStream& Stream) override;
  // Writes a bitmap file (nothing for an empty bitmap).
  void WriteToStream(TStream& Stream) override;
  // Form data: a 32-bit byte count, then that many bytes of bitmap file.
  void ReadStoredData(TStream& Stream) override;
  void WriteStoredData(TStream& Stream) override;

  // ---- own operations ----
  // Reads the bitmap file ":/lumivane/bitmaps/<Name>.bmp" from the program's resources.
  void LoadFromResourceName(const std::string& Name);
  // Reads a bitmap resource: the data of a bitmap file without its 14-byte file header.
  void ReadFromResourceData(const void* Data, int64_t Size);

  void SetSize(int Width, int Height);
  // Gives the bitmap a new image of this size and the current pixel format whose pixels the
  // caller is going to write in full: the memory is left as it comes (zero), neither filled with
  // the canvas brush nor given the old pixels.
  void SetSizeForWriting(int Width, int Height);
  TPixelFormat PixelFormat();
  // Rebuilds the image at the given depth (pfDevice: a device bitmap; pfCustom: EInvalidGraphic
  // "Invalid pixel format").
  void SetPixelFormat(TPixelFormat Value);
  // Address of row Row (0 = top) of the pixel memory; the image becomes a private DIB section.
  // EInvalidGraphicOperation "Scan line index out of range" outside 0 .. height - 1.
  void* ScanLine(int Row);

  TStorageKind StorageKind();
  virtual void SetStorageKind(TStorageKind Value);
  bool Monochrome();
  void SetMonochrome(bool Value);

  // The bitmap's own canvas (a memory device context with the bitmap selected), made on first use.
  TCanvas& Canvas();
  bool HasCanvas() const { return canvas_ != nullptr; }

  // The stored colour (as a palette-relative RGB) in fixed mode; otherwise white for a monochrome
  // bitmap, else the bottom-left pixel (palette-relative).
  TColor TransparentColor();
  // Stores the colour; clDefault selects the automatic mode, any other value the fixed mode.
  void SetTransparentColor(TColor Value);
  TTransparentMode TransparentMode() const { return transparent_mode_; }
  void SetTransparentMode(TTransparentMode Value);

  // The device bitmap handle (the section handle for a DIB section); null when empty.
  virtual HBITMAP ImageHandle();
  // The monochrome mask built from the transparent colour (1 where that colour is).
  virtual HBITMAP MaskImageHandle();
  // Takes ownership of a bitmap handle as the new image (null empties).
  void SetImageHandle(HBITMAP Value);
  // The bitmap becomes empty (a new empty image). Nothing happens when it holds no image.
  void DropImage();

  // The image description (bitmap record and info header) of the current image.
  const DIBSECTION& ImageDescription() const;

  bool IgnorePalette = false;

 protected:
  friend class TBitmapCanvas;

  TBitmapImage* image_ = nullptr;  // shared, counted
  std::unique_ptr<TBitmapCanvas> canvas_;
  bool mask_bits_valid_ = false;
  bool mask_valid_ = false;
  TColor transparent_color_ = clDefault;
  TTransparentMode transparent_mode_ = tmAuto;

 private:
  void ReadFileData(TStream& Stream, int64_t Size);
  void ReadDIB(TStream& Stream, int64_t ImageSize, const BITMAPFILEHEADER* FileHeader);
  void ReplaceImage(TBitmapImage* NewImage);
  void MakeImagePrivate();
  void Changing();
  void HandleNeeded();
  void PaletteNeeded();
  void DIBNeeded();
  void UpdateColorTableFromPalette();
  TBitmapImage* BuildImage(HBITMAP OldHandle, HPALETTE Colors, const DIBSECTION& Description,
                           bool Unfilled = false);
  void CopyPixelsInto(TBitmapImage& Image, void* Bits, const BitmapInfo& Info, HBITMAP OldHandle,
                      HPALETTE Colors);
  static bool CopySameLayout(HBITMAP Target, HBITMAP Source);
  void FreeCanvasContext();
  void BuildMask();
  bool DrawFilledRows(HDC Target, const TRect& Rect, HDC Source, uint32_t CopyMode);
};

}  // namespace lumivane
