// Canvases over raster-device contexts, and controls painting through their off-screen bitmap.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>

#include "framework/canvas.h"
#include "framework/custom_control.h"
#include "framework/exception.h"
#include "framework/form.h"
#include "framework/label.h"
#include "framework/status_bar.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_qt_bridge.h"

namespace lumivane {
namespace {

// A canvas over a 32-bit memory bitmap.
class BitmapCanvas : public TCanvas {
 public:
  BitmapCanvas(int w, int h) {
    HDC screen = GetDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~BitmapCanvas() override {
    SetHandle(nullptr);
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }

 protected:
  void CreateHandle() override { SetHandle(dc_); }

 private:
  HBITMAP bitmap_;
  HDC dc_;
  HGDIOBJ old_;
};

int CountPixels(TCanvas& canvas, const TRect& r, TColor color) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) n += canvas.Pixels(x, y) == color ? 1 : 0;
  return n;
}

TEST(Canvas, WithoutAContextItRefusesToDraw) {
  TCanvas canvas;
  try {
    canvas.FillRect(Rect(0, 0, 2, 2));
    FAIL() << "drawing without a context must raise";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ("Canvas does not allow drawing", e.Message);
  }
  EXPECT_FALSE(canvas.HandleAllocated());
  EXPECT_EQ(SRCCOPY, canvas.CopyMode());
  EXPECT_EQ("MS Sans Serif", canvas.Font().Name());
  EXPECT_EQ(-11, canvas.Font().Height());
  EXPECT_EQ(8, canvas.Font().Size());
  EXPECT_EQ(clWhite, canvas.Brush().Color());
}

TEST(Canvas, FillTextPixelsAndChangeEvents) {
  BitmapCanvas canvas(60, 30);
  int changing = 0, changed = 0;
  canvas.OnChanging = [&](TObject*) { ++changing; };
  canvas.OnChange = [&](TObject*) { ++changed; };
  canvas.Brush().SetColor(clRed);
  canvas.FillRect(Rect(0, 0, 60, 30));
  EXPECT_EQ(1, changing);
  EXPECT_EQ(1, changed);
  EXPECT_EQ(clRed, canvas.Pixels(0, 0));
  EXPECT_EQ(clRed, canvas.Pixels(59, 29));

  canvas.Brush().SetColor(clYellow);
  canvas.Font().SetColor(clBlue);
  canvas.TextOut(2, 2, "Hg");
  const TRect textCell = Bounds(2, 2, canvas.TextWidth("Hg"), canvas.TextHeight("Hg"));
  EXPECT_GT(textCell.Width(), 4);
  EXPECT_GT(CountPixels(canvas, textCell, clBlue), 0) << "text in the font colour";
  EXPECT_GT(CountPixels(canvas, textCell, clYellow), 0) << "opaque brush behind the text";
  EXPECT_EQ(clRed, canvas.Pixels(textCell.Right + 2, 2)) << "nothing drawn beyond the text";

  // A clear brush leaves the background showing through.
  canvas.Brush().SetColor(clRed);
  canvas.FillRect(Rect(0, 0, 60, 30));
  canvas.Brush().SetStyle(bsClear);
  canvas.TextOut(2, 2, "Hg");
  EXPECT_EQ(0, CountPixels(canvas, textCell, clYellow));
  EXPECT_GT(CountPixels(canvas, textCell, clBlue), 0);

  canvas.SetPixels(5, 25, clLime);
  EXPECT_EQ(clLime, canvas.Pixels(5, 25));
}

TEST(Canvas, CopyRectStretchesAndBrushCopySkipsTheTransparentColour) {
  BitmapCanvas source(4, 4);
  source.Brush().SetColor(clGreen);
  source.FillRect(Rect(0, 0, 4, 4));
  source.SetPixels(0, 0, clFuchsia);

  BitmapCanvas target(8, 8);
  target.Brush().SetColor(clWhite);
  target.FillRect(Rect(0, 0, 8, 8));
  target.CopyRect(Rect(0, 0, 8, 8), source, Rect(0, 0, 4, 4));
  EXPECT_EQ(clFuchsia, target.Pixels(1, 1));
  EXPECT_EQ(clGreen, target.Pixels(7, 7));

  target.FillRect(Rect(0, 0, 8, 8));
  target.BrushCopy(Rect(0, 0, 4, 4), source, Rect(0, 0, 4, 4), clFuchsia);
  EXPECT_EQ(clWhite, target.Pixels(0, 0));
  EXPECT_EQ(clGreen, target.Pixels(1, 0));
}

TEST(Canvas, LockIsReentrantAndExcludesOtherThreads) {
  TCanvas canvas;
  canvas.Lock();
  EXPECT_TRUE(canvas.TryLock());
  EXPECT_EQ(2, canvas.LockCount());
  std::atomic<bool> otherGotIt{true};
  std::thread([&] { otherGotIt = canvas.TryLock(); }).join();
  EXPECT_FALSE(otherGotIt);
  canvas.Unlock();
  canvas.Unlock();
  EXPECT_EQ(0, canvas.LockCount());
  std::thread([&] {
    otherGotIt = canvas.TryLock();
    if (otherGotIt) canvas.Unlock();
  }).join();
  EXPECT_TRUE(otherGotIt);
}

// Paints a fill and a word, to see them on the control's off-screen bitmap and on screen.
class PaintedControl : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    Canvas().Brush().SetColor(clNavy);
    Canvas().FillRect(Rect(0, 0, 20, 10));
    Canvas().Brush().SetStyle(bsClear);
    Canvas().Font().SetColor(clYellow);
    Canvas().TextOut(25, 2, "Lumivane");
  }
};

TEST(ControlPainting, PaintGoesThroughTheOffscreenBitmapToTheWidget) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* control = new PaintedControl(&form);
  control->SetBounds(10, 10, 120, 30);
  control->SetColor(clSilver);
  control->SetParent(&form);
  form.Show();

  const QImage shown = control->Widget()->grab().toImage();
  EXPECT_GE(control->paints, 1);
  ASSERT_EQ(120, shown.width());
  EXPECT_EQ(QColor(0, 0, 128).rgb(), shown.pixel(5, 5) | 0xFF000000u);
  EXPECT_EQ(QColor(192, 192, 192).rgb(), shown.pixel(110, 25) | 0xFF000000u);  // erased with Color
  int yellow = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 25; x < 120; ++x) {
      const QRgb p = shown.pixel(x, y);
      yellow += qRed(p) > 220 && qGreen(p) > 220 && qBlue(p) < 100 ? 1 : 0;  // glyph cores
    }
  EXPECT_GT(yellow, 10) << "the caption's pixels reach the screen";

  // The same pixels are in the off-screen bitmap.
  const QImage buffer = BitmapAsQImage(control->PaintBitmap());
  ASSERT_FALSE(buffer.isNull());
  EXPECT_EQ(shown.pixel(5, 5) & 0xFFFFFF, buffer.pixel(5, 5) & 0xFFFFFF);
}

// A control far larger than its window (a picture at its natural size) is painted through an
// off-screen image of the part that is shown, at the right place.
TEST(ControlPainting, AControlLargerThanItsWindowBuffersOnlyWhatIsShown) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* control = new PaintedControl(&form);
  control->SetBounds(10, 10, 3000, 2000);
  control->SetColor(clSilver);
  control->SetParent(&form);
  form.Show();
  // What the window shows of the control: the toolkit asks for that part only.
  const QImage shown = control->Widget()->grab(QRect(0, 0, 190, 90)).toImage();

  BITMAP buffer{};
  ASSERT_NE(0, GetObjectA(control->PaintBitmap(), sizeof(buffer), &buffer));
  EXPECT_EQ(190, buffer.bmWidth);
  EXPECT_EQ(90, buffer.bmHeight);
  EXPECT_EQ(QColor(0, 0, 128).rgb(), shown.pixel(5, 5) | 0xFF000000u);
  // The image holds the shown part at its place: the control's (5, 5) is navy, the far corner of
  // what the window shows is the erased background.
  const QImage image = BitmapAsQImage(control->PaintBitmap());
  const TPoint origin = control->PaintOrigin();
  EXPECT_EQ(QColor(0, 0, 128).rgb(), image.pixel(5 - origin.X, 5 - origin.Y) | 0xFF000000u);
  EXPECT_EQ(QColor(192, 192, 192).rgb(), image.pixel(buffer.bmWidth - 1, buffer.bmHeight - 1) | 0xFF000000u);
}

TEST(ControlPainting, PaintDcFromAWorkerThreadIsShownWithoutPaintingAgain) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* control = new PaintedControl(&form);
  control->SetBounds(0, 0, 40, 20);
  control->SetParent(&form);
  form.Show();
  control->Widget()->grab();
  const int paintsBefore = control->paints;
  std::thread([&] {
    HDC dc = control->AcquirePaintDC();
    ASSERT_NE(nullptr, dc);
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    RECT r{0, 0, 40, 20};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    control->ReleasePaintDC(dc);
  }).join();
  const QImage shown = control->Widget()->grab().toImage();
  EXPECT_EQ(0x00FF00u, shown.pixel(30, 15) & 0xFFFFFF);
  EXPECT_EQ(paintsBefore, control->paints);
}

TEST(ControlPainting, LabelSizesToItsCaptionAndStatusPanelsRepaint) {
  TForm form(nullptr);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetCaption("A longer caption");
  const int longWidth = label->Width();
  label->SetCaption("Short");
  EXPECT_GT(longWidth, label->Width());
  EXPECT_GT(label->Height(), 5);

  auto* bar = new TStatusBar(&form);
  bar->SetParent(&form);
  EXPECT_EQ(19, bar->Height());
  EXPECT_EQ(alBottom, bar->Align());
  TStatusPanel* first = bar->Panels().Add();
  first->SetWidth(100);
  first->SetAlignment(taCenter);
  bar->Panels().Add()->SetWidth(100);
  EXPECT_EQ(Rect(100, 2, form.ClientWidth(), 19), bar->PanelRect(1));
  EXPECT_THROW(bar->Panels().Items(2), EListError);
  form.Show();
  bar->Widget()->grab();
  first->SetText("800 x 600");
  const QImage shown = bar->Widget()->grab().toImage();
  int dark = 0;
  for (int y = 3; y < 18; ++y)
    for (int x = 2; x < 98; ++x) dark += qGray(shown.pixel(x, y)) < 100 ? 1 : 0;
  EXPECT_GT(dark, 10) << "the new text is drawn in panel 0";
}

}  // namespace
}  // namespace lumivane
