#pragma once
// The JPEG picture: keeps the file's compressed bytes and decodes them through libjpeg into a
// TBitmap only when pixels are needed (the first draw, or a copy into a bitmap). Its size comes
// from the header read at load time. Pictures are shown upright: the orientation of the file's
// EXIF block turns the decoded rows, and the size reported before decoding is the upright one.
#include <cstdint>
#include <memory>

#include "picture/bitmap.h"
#include "picture/graphic.h"
#include "picture/jpeg_data.h"

namespace lumivane {

struct DecoderContext;
struct JpegProgressManager;
class PagePopulator;
}  // namespace lumivane
struct jpeg_decompress_struct;
namespace lumivane {

enum TJPEGOutputDepth { Depth24 = 0, Depth8 = 1 };
enum TJPEGDecodeSpeed { QualityFirst = 0, SpeedFirst = 1 };

// The settings every new TJPEGImage starts with.
struct TJPEGDefaults {
  int SaveQuality = 90;
  bool GrayOutput = false;
  TJPEGDecodeSpeed DecodeSpeed = QualityFirst;
  TJPEGOutputDepth OutputDepth = Depth24;
  bool ShowProgressive = false;
  bool SaveProgressive = false;
  int ScaleShift = 0;
  bool BlockSmoothing = true;
};

// Process-wide defaults, copied by every TJPEGImage constructor.
extern TJPEGDefaults DecodeDefaults;

// The millisecond clock that throttles progress reports (the platform's tick count unless a test
// puts its own clock here).
using TTickSource = uint32_t (*)();
extern TTickSource JpegTickSource;

// Sets DecodeDefaults.OutputDepth from the screen: Depth8 for 8 or fewer bits per pixel (bits times
// planes), else Depth24.
void DetectDisplayDepth();
// DetectDisplayDepth, then registers "jpeg" and "jpg" ("JPEG Image File") with the picture
// registry. Runs once; later calls do nothing.
void RegisterJpegFormat();
// Removes the JPEG entries from the registry (the registration may then run again).
void UnregisterJpegFormat();

inline constexpr const char* SJPEGImageFile = "JPEG Image File";
inline constexpr const char* SChangeJPGSize = "Cannot change the size of a JPEG image";

class TJPEGImage : public TGraphic {
  LUMIVANE_GRAPHIC_CLASS(TJPEGImage, TGraphic)

 public:
  TJPEGImage();
  ~TJPEGImage() override;

  // From a TJPEGImage: shares its compressed data (and copies its decoded bitmap, if any); from a
  // TBitmap: holds a copy of the bitmap and no compressed data. Settings are not copied and no
  // change is signalled.
  void AssignFrom(TPersistent* Source) override;

  // ---- TGraphic ----
  void SignalChange(TObject* Sender) override;
  // Stretch-draws the decoded bitmap (decoding it first if needed) into Rect.
  void DrawInto(TCanvas& Canvas, const TRect& Rect) override;
  bool SameImageAs(TGraphic* Other) override;
  bool IsEmpty() override;
  int ImageWidth() override;
  int ImageHeight() override;
  // Always EInvalidGraphicOperation "Cannot change the size of a JPEG image".
  void SetImageWidth(int Value) override;
  void SetImageHeight(int Value) override;
  HPALETTE PaletteHandle() override;
  void SetPaletteHandle(HPALETTE Value) override;
  // Takes every byte from the stream's position to its end and reads the header.
  void ReadFromStream(TStream& Stream) override;
  void WriteToStream(TStream& Stream) override;
  // Form data: a 32-bit little-endian byte count, then the file bytes.
  void ReadStoredData(TStream& Stream) override;
  void WriteStoredData(TStream& Stream) override;
  void ReadFromClipboard(uint16_t Format, HANDLE Data, HPALETTE Palette) override;
  void WriteToClipboard(uint16_t& Format, HANDLE& Data, HPALETTE& Palette) override;

  // ---- own operations ----
  // Replaces the data by Size bytes read from Stream and reads the JPEG header from them. A short
  // stream raises EReadError; a header that cannot be parsed, or that declares a picture the
  // file's size cannot account for (see the cost policy in the implementation), raises EJPEG,
  // and then the bytes stay attached and no change is signalled.
  void ReadJpegStream(int64_t Size, TStream& Stream);
  // The decoded picture, decoding it on first need. A cancelled decode (EAbort from a progress
  // handler) keeps the rows done so far; other failures propagate and leave the partial bitmap.
  TBitmap* DecodeBitmap();
  // Recomputes ScaledOutputWidth/ScaledOutputHeight from the header when RecalcNeeded.
  void OutputSize();
  // Drops the shared data and starts a new empty one.
  void ReplaceData();
  // Frees the decoded bitmap and creates an empty one.
  void ReplaceBitmap();

  // The data shared with copies (never null).
  const TJPEGData& Data() const { return *SharedData; }
  bool HasDecodedBitmap() const { return DecodedBitmap != nullptr; }

  // Called by libjpeg (through the progress manager) while decoding.
  void ProgressMonitor(JpegProgressManager& Progress);

  // Settings, copied from DecodeDefaults at construction.
  int ScaledOutputWidth = 0;
  int ScaledOutputHeight = 0;
  bool BlockSmoothing = true;
  bool GrayOutput = false;
  TJPEGOutputDepth OutputDepth = Depth24;
  int SaveQuality = 90;
  bool ShowProgressive = false;
  bool SaveProgressive = false;
  TJPEGDecodeSpeed DecodeSpeed = QualityFirst;
  int ScaleShift = 0;
  bool RecalcNeeded = false;

 protected:
  // To a TBitmap: the target copies the decoded bitmap.
  void AssignInto(TPersistent* Target) override;

 private:
  void OpenDecoder(DecoderContext& Context, bool ReportsProgress);
  void CloseDecoder(DecoderContext& Context);
  void ConfigureDecoder(DecoderContext& Context);
  void DecodeInto(DecoderContext& Context);
  void DecodePasses(DecoderContext& Context, bool& UseDecoderPalette);
  void RequireRowLayout(DecoderContext& Context);
  void PrepareBitmap(DecoderContext& Context, HPALETTE Colours);
  void LocateRows(DecoderContext& Context);
  PagePopulator PopulateAhead(const DecoderContext& Context);
  void ReadRows(DecoderContext& Context);
  void WriteStrip(DecoderContext& Context, unsigned char** Rows, int Y, int Count);
  static int OrientationOf(const jpeg_decompress_struct& Info);
  void LoadColorMap(DecoderContext& Context, HPALETTE Palette);
  HPALETTE BuildDecoderPalette(DecoderContext& Context);
  void UseBuiltPalette(DecoderContext& Context);
  void CompressBitmap();

  TJPEGData* SharedData = nullptr;
  std::unique_ptr<TBitmap> DecodedBitmap;
  HPALETTE QuantizePalette = nullptr;
};

}  // namespace lumivane
