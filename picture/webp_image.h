#pragma once
// The WebP picture: lossy, lossless and animated files (an animation shows its first frame),
// decoded through libwebp at load into a 32-bit bitmap. Pixels that are partly or wholly
// transparent are blended over the background colour (by default that of the panel the
// still-image control sits on), so the bitmap draws like any other.
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/types.h"
#include "picture/bitmap.h"
#include "picture/graphic.h"

namespace lumivane {

inline constexpr const char* SWebPImageFile = "WebP Image File";
inline constexpr const char* SInvalidWebP = "WebP image is not valid";
inline constexpr const char* SChangeWebPSize = "Cannot change the size of a WebP image";

// The background new WebP pictures are blended over (the still-image panel's colour).
extern TColor WebPBackgroundColor;

// Registers "webp" ("WebP Image File") with the picture registry. Runs once; later calls do
// nothing.
void RegisterWebpFormat();
// Removes the WebP entry from the registry (the registration may then run again).
void UnregisterWebpFormat();

class TWebPImage : public TGraphic {
  LUMIVANE_GRAPHIC_CLASS(TWebPImage, TGraphic)

 public:
  TWebPImage();
  ~TWebPImage() override;

  // From another TWebPImage: its file bytes and its decoded bitmap (shared); null empties.
  void AssignFrom(TPersistent* Source) override;

  // ---- TGraphic ----
  void DrawInto(TCanvas& Canvas, const TRect& Rect) override;
  bool IsEmpty() override;
  int ImageWidth() override;
  int ImageHeight() override;
  // Always EInvalidGraphicOperation "Cannot change the size of a WebP image".
  void SetImageWidth(int Value) override;
  void SetImageHeight(int Value) override;
  // Reads a WebP file from the stream's position to its end and decodes it. EInvalidGraphic
  // "WebP image is not valid" for data libwebp refuses or a picture the file's size cannot
  // account for; the previous picture stays then. A file cut short shows the rows it holds and
  // the background colour below them.
  void ReadFromStream(TStream& Stream) override;
  // Writes the file bytes as read (nothing for an empty picture).
  void WriteToStream(TStream& Stream) override;

  // The colour transparent pixels are blended over; setting a new one decodes the file again.
  TColor BackgroundColor() const { return background_; }
  void SetBackgroundColor(TColor Value);

  // The decoded picture (empty before a load).
  TBitmap* Bitmap() { return bitmap_.get(); }

 protected:
  void AssignInto(TPersistent* Target) override;

 private:
  std::unique_ptr<TBitmap> Decode(const std::vector<uint8_t>& Bytes) const;

  std::vector<uint8_t> bytes_;
  std::unique_ptr<TBitmap> bitmap_;
  TColor background_;
};

}  // namespace lumivane
