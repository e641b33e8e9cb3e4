// The image-control base: buffered painting, the parent background copy, palette announcement
// and the locked bitmap drawing switch.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/application.h"
#include "framework/exception.h"
#include "framework/form.h"
#include "framework/panel.h"
#include "framework/screen.h"
#include "gif/image_control_base.h"
#include "picture/bitmap.h"
#include "picture/locked_drawing.h"
#include "platform/gdi/gdi.h"
#include "tests/gif_animator/gif_bytes.h"

namespace lumivane {
namespace {

using test::PixelOf;

constexpr TColor kFormColour = 0x00336699;  // shows as 0x996633
constexpr uint32_t kFormRgb = 0x996633;

// A canvas over a bitmap of its own.
struct Surface {
  explicit Surface(int Size) { bitmap.SetSize(Size, Size); }
  uint32_t Pixel(int X, int Y) { return PixelOf(bitmap.ImageHandle(), X, Y); }
  TBitmap bitmap;
};

// Draws a blue 2 x 2 square; may paint itself once more from inside its drawing.
class ProbeControl : public TImageControlBase {
 public:
  using TImageControlBase::TImageControlBase;
  using TImageControlBase::WatchedGraphic;
  int draws = 0;
  bool nestOnce = false;
  bool drawingAfterInnerPaint = false;
  HPALETTE palette = nullptr;

 protected:
  void Paint() override { PaintContents(); }
  void DrawImage() override {
    ++draws;
    if (nestOnce) {
      nestOnce = false;
      PaintContents();
      drawingAfterInnerPaint = Drawing;
    }
    Canvas().Brush().SetColor(clBlue);
    Canvas().FillRect(Rect(0, 0, 2, 2));
  }
  HPALETTE GetPalette() override { return palette; }
};

// A windowless control filled with red; counts its paints as a copy.
class Swatch : public TGraphicControl {
 public:
  Swatch(TWinControl* Parent, TRect R) : TGraphicControl(Parent) {
    SetBounds(R.Left, R.Top, R.Width(), R.Height());
    SetParent(Parent);
  }
  int copies = 0;

 protected:
  void Paint() override {
    copies += ControlState.Contains(csPaintCopy) ? 1 : 0;
    Canvas().Brush().SetColor(clRed);
    Canvas().FillRect(ClientRect());
  }
};

TEST(ImageControlBase, BufferedPaintNeedsAContextAndKeepsDrawingSetThroughNestedPaints) {
  TForm form(nullptr);
  form.SetColor(kFormColour);
  auto* probe = new ProbeControl(&form);
  probe->SetParent(&form);
  EXPECT_EQ(105, probe->Width());
  EXPECT_EQ(kFormColour, probe->Color()) << "the parent's colour";
  probe->SetBounds(0, 0, 8, 6);

  probe->PaintWindow(nullptr);
  EXPECT_EQ(0, probe->draws) << "a paint message without a context paints nothing";
  Surface surface(8);
  probe->nestOnce = true;
  probe->PaintWindow(surface.bitmap.Canvas().Handle());
  EXPECT_EQ(2, probe->draws);
  EXPECT_TRUE(probe->drawingAfterInnerPaint) << "the inner paint must not clear Drawing";
  EXPECT_FALSE(probe->IsDrawing());
  EXPECT_FALSE(probe->IsPaintBuffered());
  EXPECT_EQ(0x0000FFu, surface.Pixel(1, 1));
  EXPECT_EQ(kFormRgb, surface.Pixel(7, 5)) << "the client area is filled with Color first";
}

TEST(ImageControlBase, ParentBackgroundCopyPaintsOnlyVisibleOverlappingWindowlessSiblingsBelow) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 100, 100);
  form.SetColor(kFormColour);
  auto* below = new Swatch(&form, Bounds(0, 0, 20, 20));
  auto* apart = new Swatch(&form, Bounds(60, 60, 10, 10));
  auto* hidden = new Swatch(&form, Bounds(10, 25, 5, 5));
  hidden->SetVisible(false);
  auto* windowed = new TPanel(&form);
  windowed->SetBounds(28, 28, 10, 10);
  windowed->SetParent(&form);
  auto* probe = new ProbeControl(&form);
  probe->SetBounds(10, 10, 20, 20);
  probe->SetParent(&form);
  auto* above = new Swatch(&form, Bounds(20, 12, 5, 5));

  Surface surface(20);
  CopyParentBackground(probe, surface.bitmap.Canvas());
  EXPECT_EQ(0xFF0000u, surface.Pixel(0, 0)) << "the overlapping sibling below shows";
  EXPECT_EQ(0xFF0000u, surface.Pixel(9, 9));
  EXPECT_EQ(kFormRgb, surface.Pixel(10, 10)) << "outside it, the parent's background";
  EXPECT_EQ(kFormRgb, surface.Pixel(2, 17)) << "an invisible sibling is skipped";
  EXPECT_EQ(kFormRgb, surface.Pixel(19, 19)) << "a windowed sibling is skipped";
  EXPECT_EQ(kFormRgb, surface.Pixel(12, 4)) << "a sibling above the control is skipped";
  EXPECT_EQ(1, below->copies);
  EXPECT_EQ(0, apart->copies + hidden->copies + above->copies);
  EXPECT_FALSE(below->ControlState.Contains(csPaintCopy));
  EXPECT_FALSE(form.ControlState.Contains(csPaintCopy));
}

TEST(ImageControlBase, PaletteChangesAreAnnouncedOnlyToAnActiveShownForm) {
  TForm form(nullptr);
  auto* probe = new ProbeControl(&form);
  probe->SetParent(&form);
  TBitmap graphic;
  probe->WatchedGraphic = &graphic;
  graphic.PaletteModified = true;
  EXPECT_FALSE(probe->NotifyPaletteChange());
  EXPECT_FALSE(graphic.PaletteModified) << "without a palette the flag is just cleared";

  LOGPALETTE entries{0x300, 1, {}};
  probe->palette = CreatePalette(&entries);
  ASSERT_NE(nullptr, probe->palette);
  graphic.PaletteModified = true;
  EXPECT_FALSE(probe->NotifyPaletteChange()) << "the form is neither shown nor active";
  form.Show();
  TForm* previous = Screen->ActiveForm();
  Screen->SetActiveForm(&form);
  probe->SetVisible(false);
  EXPECT_FALSE(probe->NotifyPaletteChange()) << "an invisible control announces nothing";
  EXPECT_TRUE(graphic.PaletteModified);
  probe->SetVisible(true);
  EXPECT_TRUE(probe->NotifyPaletteChange());
  EXPECT_FALSE(graphic.PaletteModified);
  Screen->SetActiveForm(previous);
  DeleteObject(probe->palette);
}

// A worker holds the state lock and calls the main thread (as an asynchronous animation step
// does), while the main thread waits for the lock: the wait runs the worker's call, so neither
// blocks the other.
TEST(ImageControlBase, MainThreadWaitingForTheStateLockServesAWorkerThatHoldsIt) {
  TForm form(nullptr);
  ProbeControl control(&form);
  std::atomic<bool> locked{false};
  std::atomic<bool> served{false};
  std::thread worker([&] {
    control.LockState();
    locked = true;
    Application->RunOnMainThread([&] { served = true; });
    control.UnlockState();
  });
  while (!locked) std::this_thread::yield();
  control.LockState();
  EXPECT_TRUE(served);
  control.UnlockState();
  worker.join();
}

TEST(LockedBitmapDrawing, OnceSwitchedOnADrawHoldsTheBitmapsCanvasLockAndAlwaysGivesItBack) {
  TBitmap empty, bitmap;
  bitmap.SetSize(3, 3);
  EnableLockedBitmapDrawing();
  EnableLockedBitmapDrawing();
  ASSERT_TRUE(LockedDrawingOn());
  {
    TLockedDrawing guard(bitmap);
    EXPECT_EQ(1, bitmap.Canvas().LockCount());
    EXPECT_FALSE(TLockedDrawing(empty).Locked()) << "an empty bitmap is not locked";
  }
  EXPECT_EQ(0, bitmap.Canvas().LockCount());
  try {
    TLockedDrawing guard(bitmap);
    bitmap.DropImage();  // emptied during the draw
    throw EInvalidOperation("draw failed");
  } catch (const EInvalidOperation&) {
  }
  EXPECT_EQ(0, bitmap.Canvas().LockCount());
}

}  // namespace
}  // namespace lumivane
