#pragma once
// One frame of a GIF image: its coded data (shared), its position and timing, its extension
// blocks, and the bitmap decoded from it on first use.
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/persistent.h"
#include "framework/string_list.h"
#include "framework/types.h"
#include "gif/extension.h"
#include "gif/gif_item.h"

namespace lumivane {

class TBitmap;
class TCanvas;
class TGIFImage;

using TExtensionList = std::vector<std::unique_ptr<TExtension>>;

enum TDisposalMethod : uint8_t {
  DisposalUnspecified = 0,
  DisposalLeave = 1,       // leave the frame in place
  DisposalBackground = 2,  // restore the frame's area to the background
  DisposalPrevious = 3,    // restore what was there before
};

class TGIFFrame : public TPersistent {
 public:
  explicit TGIFFrame(TGIFImage* Owner);
  ~TGIFFrame() override;

  // Copies a frame (sharing its coded data), the active frame of an image, or any other graphic
  // (through the frame's bitmap); null resets the frame.
  void AssignFrom(TPersistent* Source) override;

  // Releases the coded data for a new empty item and resets position, timing and flags.
  void ResetFrameData();

  // The decoded bitmap, built on first use. A failed decode raises and leaves an empty bitmap, so
  // the next request decodes again.
  TBitmap& FrameBitmap();
  // The bitmap as it stands, without decoding; null when none was made.
  TBitmap* BitmapIfAny() const { return bitmap_.get(); }
  // Replaces the bitmap by a new empty one.
  void RenewBitmap();
  // Frees the bitmap (the frame has none afterwards).
  void FreeBitmap();

  // The frame's size: 0 when it has neither bitmap nor coded data, else its bitmap's size.
  int FrameWidth();
  int FrameHeight();

  // The lines of the frame's comment block (the last one), created when missing.
  TStringList& Comments();
  void SetComments(const TStringList& Lines);
  // The last block of the kind; a new one is appended when there is none.
  TExtension& FindExtensionOfKind(TExtensionKind Kind);

  // Draws the bitmap stretched into Rect, leaving TransparentColor undrawn when UseTransparency.
  void DrawFrame(TCanvas& Canvas, const TRect& Rect, bool UseTransparency);

  TGIFImage* OwnerImage;                          // not owned
  TGIFItem* SharedItem = nullptr;                 // one reference held
  std::unique_ptr<TExtensionList> ExtensionList;  // owned with its blocks; null when none
  TPoint Origin;                                  // left and top in the logical screen
  bool InterlaceFlag = false;
  bool DataCorrupt = false;    // corrupt data was found and tolerated
  bool GrayscaleFlag = false;  // used only when writing
  TColor TransparentColor = clNone;
  // The colour-table index that TransparentColor came from; -1 when none is known.
  int TransparentIndex = -1;
  uint16_t DelayTime = 0;                        // milliseconds
  uint8_t DisposalMethod = DisposalUnspecified;  // 0..7 as stored
  bool HasLocalColors = false;

 protected:
  // Copies the frame into another frame or image, or its bitmap into any other graphic.
  void AssignInto(TPersistent* Target) override;

 private:
  void TakeItem(TGIFItem* item);
  void CopyFrame(TGIFFrame& source);
  void CopyGraphic(class TGraphic& graphic);
  void OwnerChanged();

  std::unique_ptr<TBitmap> bitmap_;
};

}  // namespace lumivane
