#pragma once
// The GIF picture: every frame of a GIF file kept in coded form, the first one decoded at load,
// the others when their bitmap is first asked for.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/string_list.h"
#include "gif/gif_data.h"
#include "gif/gif_frame.h"
#include "picture/graphic.h"

namespace lumivane {

class TBitmap;
class TMemoryStream;

// Whether corrupt frame data is tolerated (the frame is marked DataCorrupt) rather than refused.
extern bool AcceptCorruptData;

// Registers "gif" with the picture format registry and the "GIF Image" clipboard format; a second
// call does nothing. UnregisterGifFormat undoes it.
void RegisterGifFormat();
void UnregisterGifFormat();
// The id of the "GIF Image" clipboard format (0 before RegisterGifFormat).
uint16_t GIFClipboardFormat();

enum TGIFFormatVersion : uint8_t { GIFVersionNone = 0, GIFVersion87a = 1, GIFVersion89a = 2 };

class TGIFImage : public TGraphic {
  LUMIVANE_GRAPHIC_CLASS(TGIFImage, TGraphic)

 public:
  TGIFImage();
  ~TGIFImage() override;

  // From another image (sharing its data and frames' coded data), a frame, a bitmap, or null.
  void AssignFrom(TPersistent* Source) override;

  // ---- TGraphic ----
  void DrawInto(TCanvas& Canvas, const TRect& Rect) override;
  bool SameImageAs(TGraphic* Other) override;
  bool IsEmpty() override;
  // The active frame's size (decoding it if need be); 0 when empty or no frame is active.
  int ImageWidth() override;
  int ImageHeight() override;
  // Raise EInvalidGraphicOperation "Cannot change the Size of a GIF image".
  void SetImageWidth(int Value) override;
  void SetImageHeight(int Value) override;
  HPALETTE PaletteHandle() override;
  // True when the stored flag is set and some frame has a transparent colour.
  bool Transparent() override;
  void ReadFromStream(TStream& Stream) override;
  // A 32-bit length, then that many bytes of GIF data.
  void ReadStoredData(TStream& Stream) override;
  // Writing GIF data is not supported: EInvalidGraphicOperation.
  void WriteToStream(TStream& Stream) override;
  void WriteStoredData(TStream& Stream) override;
  // Format "GIF Image": Data is the clipboard block as a TStream (a 32-bit length, then GIF
  // data); any other format is read through a bitmap.
  void ReadFromClipboard(uint16_t Format, HANDLE Data, HPALETTE Palette) override;
  void WriteToClipboard(uint16_t& Format, HANDLE& Data, HPALETTE& Palette) override;

  // ---- frames ----
  // Appends a frame copied from Graphic, makes it active and returns its index.
  virtual int AddFrame(TGraphic* Graphic);
  int FrameCount() const { return static_cast<int>(frames_.size()); }
  // EListError "List index out of bounds (%d)" outside 0 .. FrameCount - 1.
  TGIFFrame* FrameAt(int Index) const;
  // The bitmap of the active frame (frame 0 when the index is out of range), decoded on demand;
  // an image without frames gets one empty frame first.
  TBitmap& ActiveBitmap();
  // The logical screen size as the union of the frames' rectangles.
  void RecomputeLogicalSize();

  // Releases the data for a new empty one and frees the frames; keeps the logical size.
  void ResetImage();
  // Reads Length bytes of GIF data from Stream (copied first); DecodeFirst decodes frame 0.
  void ParseGIFData(int64_t Length, TStream& Stream, bool DecodeFirst);

  int ActiveFrameIndex = -1;  // -1 when no frame is chosen

  uint16_t LogicalWidth();   // 0 while empty
  uint16_t LogicalHeight();  // 0 while empty
  // The logical screen size as stored, also while empty.
  uint16_t ScreenWidth() const { return logical_width_; }
  uint16_t ScreenHeight() const { return logical_height_; }
  bool LoopEnabled() const { return loop_enabled_; }
  uint16_t LoopCount() const { return loop_count_; }
  TColor BackColor() const { return back_color_; }
  uint8_t FormatVersion() const { return format_version_; }
  bool DataCorrupt() const { return data_corrupt_; }
  TGIFData& Data() const { return *data_; }
  TStringList& CommentLines() const { return data_->CommentLines; }

 protected:
  void AssignInto(TPersistent* Target) override;

 private:
  friend class TGIFFrame;
  friend class TGIFReader;

  void TakeData(TGIFData* data);
  void FreeFrames();
  TGIFFrame& AppendNewFrame();
  void CopyImage(TGIFImage& source);
  void CopyFrame(TGIFFrame& source);

  TGIFData* data_ = nullptr;  // one reference held
  uint8_t format_version_ = GIFVersionNone;
  std::vector<std::unique_ptr<TGIFFrame>> frames_;
  uint16_t logical_width_ = 0;
  uint16_t logical_height_ = 0;
  TColor back_color_ = clNone;
  bool loop_enabled_ = false;
  bool data_corrupt_ = false;
  uint16_t loop_count_ = 1;
  bool suppress_recompute_ = false;  // set while frames are copied from another image
};

}  // namespace lumivane
