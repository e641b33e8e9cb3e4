// The animated GIF control: composed frames and disposal, delays, stepping and looping, image
// changes, auto-size and the pixels it paints.
#include <gtest/gtest.h>

#include <QWidget>
#include <atomic>
#include <memory>
#include <vector>

#include "framework/application.h"
#include "framework/form.h"
#include "gif/gif_animator.h"
#include "gif/gif_frame.h"
#include "gif/stretch_transparent.h"
#include "picture/bitmap.h"
#include "picture/locked_drawing.h"
#include "tests/gif_animator/gif_bytes.h"

namespace lumivane {
namespace {

using namespace test;

constexpr TColor kFormColour = 0x00336699;
constexpr uint32_t kFormRgb = 0x996633;
constexpr uint32_t kRedRgb = 0xFF0000, kGreenRgb = 0x00FF00, kBlueRgb = 0x0000FF;

// A square frame of one colour.
FrameDesc Solid(int Left, int Top, int Size, uint8_t Colour, int Disposal = 0, int Delay = 5) {
  return FrameDesc{Left, Top, Size, Size, {Colour}, Disposal, Delay};
}

class GIFAnimatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(0, 0, 200, 150);
    form_->SetColor(kFormColour);
    animator_ = new TGIFAnimator(form_.get());
    animator_->SetBounds(10, 10, 105, 105);
    animator_->SetParent(form_.get());
    form_->Show();
  }
  void TearDown() override { form_.reset(); }

  void Load(const Bytes& Data) { LoadGif(*animator_->Image(), Data); }
  uint32_t Composed(int Index, int X, int Y) {
    TColor trans = clNone;
    return PixelOf(animator_->ComposeFrame(Index, trans)->ImageHandle(), X, Y);
  }
  uint32_t Shown(int X, int Y) {
    animator_->Widget()->grab();
    return PixelOf(animator_->PaintBitmap(), X, Y);
  }

  std::unique_ptr<TForm> form_;
  TGIFAnimator* animator_ = nullptr;  // owned by the form
};

TEST_F(GIFAnimatorTest, FrameDelaysAreClampedAndGoToTheTimer) {
  Load(BuildGif(2, 2, {Solid(0, 0, 2, kRed), Solid(0, 0, 2, kGreen)}));
  animator_->SetFrameIndex(1);
  const std::pair<uint16_t, uint32_t> cases[] = {{0, 50},    {10, 50},       {49, 50},       {50, 50},
                                                 {777, 777}, {10000, 10000}, {10001, 10000}, {65535, 10000}};
  for (const auto& [stored, expected] : cases) {
    animator_->Image()->FrameAt(1)->DelayTime = stored;
    EXPECT_EQ(expected, animator_->FrameDelay()) << "stored " << stored;
  }
  animator_->Image()->FrameAt(0)->DelayTime = 70;
  animator_->SetFrameIndex(0);
  EXPECT_EQ(70u, animator_->FrameTimer().Interval());
}

TEST_F(GIFAnimatorTest, ASingleFrameNeverTicksAndAnEmptyImageKeepsTheInterval) {
  animator_->SetAnimate(true);
  EXPECT_EQ(1000u, animator_->FrameTimer().Interval());
  int changes = 0;
  animator_->OnFrameChanged = [&](TObject*) { ++changes; };
  animator_->TimerTick(nullptr);
  EXPECT_EQ(0, changes) << "a tick over an empty image does nothing";
  EXPECT_EQ(kFormRgb, Shown(50, 50)) << "an empty image shows the background";

  Load(BuildGif(3, 3, {Solid(0, 0, 3, kRed, 0, 20)}));
  EXPECT_EQ(0u, animator_->FrameTimer().Interval());
  EXPECT_TRUE(animator_->FrameTimer().TimerThread().Suspended());
  EXPECT_TRUE(animator_->Animate());
}

TEST_F(GIFAnimatorTest, SteppingForwardKeepsOrDisposesThePreviousFrame) {
  // Frame 0 covers the screen, frame 1 only its top-left corner; (3, 3) shows what frame 0 left.
  const std::pair<int, uint32_t> cases[] = {
      {DisposalUnspecified, kRedRgb}, {DisposalLeave, kRedRgb}, {DisposalBackground, 0xFFFFFF}};
  for (const auto& [disposal, uncovered] : cases) {
    Load(BuildGif(4, 4, {Solid(0, 0, 4, kRed, disposal), Solid(0, 0, 2, kBlue)}));
    TColor trans = clNone;
    TBitmap* first = animator_->ComposeFrame(0, trans);
    TBitmap* second = animator_->ComposeFrame(1, trans);
    EXPECT_EQ(first, second) << "one step forward reuses the kept bitmap";
    EXPECT_EQ(kBlueRgb, PixelOf(second->ImageHandle(), 0, 0));
    EXPECT_EQ(uncovered, PixelOf(second->ImageHandle(), 3, 3)) << "disposal " << disposal;
  }
  // A frame that restores what was before it forces a rebuild in which it is not drawn.
  Load(BuildGif(4, 4,
                {Solid(0, 0, 4, kRed, DisposalLeave), Solid(0, 0, 2, kBlue, DisposalPrevious),
                 Solid(2, 2, 2, kGreen)}));
  EXPECT_EQ(kBlueRgb, Composed(1, 0, 0));
  EXPECT_EQ(kRedRgb, Composed(2, 0, 0));
  EXPECT_EQ(kGreenRgb, Composed(2, 3, 3));
}

TEST_F(GIFAnimatorTest, AJumpRebuildsFromTheLatestFrameThatHidesEverythingBefore) {
  Load(BuildGif(4, 4,
                {Solid(0, 0, 4, kRed, 1), Solid(0, 0, 2, kBlue, 1), Solid(0, 0, 4, kGreen, 1),
                 Solid(2, 2, 2, kYellow, 1)}));
  EXPECT_EQ(kGreenRgb, Composed(3, 0, 0));
  EXPECT_EQ(0xFFFF00u, Composed(3, 3, 3));
  TBitmap* skipped = animator_->Image()->FrameAt(1)->BitmapIfAny();
  EXPECT_TRUE(skipped == nullptr || skipped->IsEmpty()) << "frame 1, hidden by frame 2, was drawn";

  // A full frame with a transparent colour hides the earlier ones only when it is cleared before
  // the frame composed. The active frame has no transparent colour and the image is transparent,
  // so the background is the image's background colour (cyan).
  FrameDesc cleared = Solid(0, 0, 4, kGreen, DisposalBackground);
  cleared.TransparentIndex = kMagenta;
  Load(BuildGif(4, 4, {Solid(0, 0, 4, kRed, 1), cleared, Solid(2, 2, 2, kYellow)}, kCyan));
  EXPECT_EQ(0x00FFFFu, Composed(2, 0, 0));
  EXPECT_EQ(0xFFFF00u, Composed(2, 3, 3));
}

TEST_F(GIFAnimatorTest, FrameIndexIgnoresValuesOutOfRangeAndTheCurrentOne) {
  Load(BuildGif(2, 2, {Solid(0, 0, 2, kRed), Solid(0, 0, 2, kGreen), Solid(0, 0, 2, kBlue, 0, 7)}));
  int changes = 0;
  animator_->OnFrameChanged = [&](TObject*) { ++changes; };
  for (int ignored : {-1, 3, 0}) animator_->SetFrameIndex(ignored);
  EXPECT_EQ(0, changes);
  animator_->SetFrameIndex(2);
  EXPECT_EQ(1, changes);
  EXPECT_EQ(70u, animator_->FrameTimer().Interval());
  EXPECT_EQ(0, animator_->Image()->ActiveFrameIndex) << "the image's own frame is untouched";
}

TEST_F(GIFAnimatorTest, WithoutLoopOnePassEndsBackOnFrameZeroWhateverTheFileSays) {
  Load(BuildGif(2, 2, {Solid(0, 0, 2, kRed), Solid(0, 0, 2, kGreen), Solid(0, 0, 2, kBlue)}, 0, 5));
  std::vector<int> shown;
  int starts = 0, stops = 0;
  animator_->OnFrameChanged = [&](TObject*) { shown.push_back(animator_->FrameIndex()); };
  animator_->OnStart = [&](TObject*) { ++starts; };
  animator_->OnStop = [&](TObject*) { ++stops; };
  animator_->Loop = false;
  animator_->SetAnimate(true);
  ASSERT_TRUE(PumpUntil([&] { return !animator_->Animate(); }));
  EXPECT_EQ((std::vector<int>{1, 2, 0}), shown);
  EXPECT_EQ(1, starts);
  EXPECT_EQ(1, stops);
  PumpFor(120);
  EXPECT_EQ(3u, shown.size()) << "no ticks after the stop";

  animator_->Loop = true;
  animator_->SetAnimate(true);
  ASSERT_TRUE(PumpUntil([&] { return shown.size() >= 7; }));
  EXPECT_EQ(1, shown[6]) << "the pass starts again";
}

TEST_F(GIFAnimatorTest, LoadingANewImageWhileRunningStartsItAfreshAtItsOwnSize) {
  Load(BuildGif(4, 4, {Solid(0, 0, 4, kRed), Solid(0, 0, 4, kGreen), Solid(0, 0, 4, kBlue)}));
  EXPECT_EQ(4, animator_->Width());
  animator_->SetAnimate(true);
  animator_->SetFrameIndex(2);
  Composed(2, 0, 0);
  int changes = 0;
  animator_->OnChange = [&](TObject*) { ++changes; };
  Load(BuildGif(6, 5, {FrameDesc{0, 0, 6, 5, {kYellow}, 0, 30}, FrameDesc{0, 0, 6, 5, {kCyan}}}));
  EXPECT_EQ(1, changes);
  EXPECT_EQ(nullptr, animator_->CachedFrame());
  EXPECT_EQ(-1, animator_->CachedIndex());
  EXPECT_EQ(0, animator_->FrameIndex());
  EXPECT_EQ(300u, animator_->FrameTimer().Interval());
  EXPECT_EQ(6, animator_->Width());
  EXPECT_EQ(5, animator_->Height());
  EXPECT_TRUE(animator_->Animate());

  animator_->SetAutoSize(false);
  Load(BuildGif(9, 9, {Solid(0, 0, 9, kRed)}));
  EXPECT_EQ(6, animator_->Width()) << "without auto-size the bounds stay";
}

TEST_F(GIFAnimatorTest, TransparentPixelsShowTheParentAndOpaqueOnesTheFrame) {
  FrameDesc half{0, 0, 4, 2, {kRed, kRed, kGreen, kGreen, kRed, kRed, kGreen, kGreen}};
  half.TransparentIndex = kGreen;
  Load(BuildGif(4, 2, {half}));
  EXPECT_EQ(kRedRgb, Shown(0, 0));
  EXPECT_EQ(kFormRgb, Shown(3, 1)) << "the transparent colour shows the form behind";
  animator_->SetTransparent(false);
  EXPECT_EQ(kGreenRgb, Shown(3, 1));
}

TEST_F(GIFAnimatorTest, CenteringCutsALargerFrameEvenlyAndStretchingWins) {
  FrameDesc marked{0, 0, 7, 7, Bytes(49, kRed)};
  marked.Pixels[1 * 7 + 1] = kBlue;
  Load(BuildGif(7, 7, {marked}));
  animator_->SetAutoSize(false);
  animator_->SetBounds(10, 10, 4, 4);
  EXPECT_EQ(kBlueRgb, Shown(1, 1));
  animator_->SetCenter(true);
  EXPECT_EQ(kBlueRgb, Shown(0, 0)) << "(4 - 7) / 2 is -1";
  animator_->SetStretch(true);
  EXPECT_EQ(kRedRgb, Shown(0, 0));
}

// Painting composes only the screen pixels it shows (a single frame in bands of rows). They must be
// the pixels that stretching the whole composed screen onto the control shows, for every layout,
// with and without transparency, and on steps that build on the kept composition.
TEST_F(GIFAnimatorTest, PaintingShowsWhatTheWholeScreenDrawnOntoTheControlShows) {
  const auto pattern = [](int Width, int Height, int Seed) {
    Bytes pixels(static_cast<size_t>(Width * Height));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i * 5 + Seed + i / 3) % 8);
    return pixels;
  };
  struct Layout {
    int Width, Height;
    bool Stretch, Center;
  };
  // The widest layout is drawn in several bands when the picture is a single frame.
  const Layout layouts[] = {{5, 4, true, false},     {31, 20, true, false}, {13, 9, true, false},
                            {6, 5, false, true},     {9, 7, false, false},  {4, 11, true, false},
                            {1500, 150, true, false}};
  for (const auto& [animated, firstTransparent] :
       std::vector<std::pair<bool, int>>{{true, -1}, {true, kCyan}, {false, -1}, {false, kCyan}}) {
    FrameDesc full{0, 0, 13, 9, pattern(13, 9, 0), DisposalLeave};
    full.TransparentIndex = firstTransparent;
    FrameDesc inner{3, 2, 6, 4, pattern(6, 4, 3), DisposalBackground};
    inner.TransparentIndex = kGreen;
    FrameDesc corner{5, 1, 8, 8, pattern(8, 8, 6)};
    corner.TransparentIndex = kBlack;
    Load(animated ? BuildGif(13, 9, {full, inner, corner}) : BuildGif(13, 9, {full}));
    animator_->SetAutoSize(false);
    for (const Layout& layout : layouts) {
      animator_->SetStretch(layout.Stretch);
      animator_->SetCenter(layout.Center);
      animator_->SetBounds(10, 10, layout.Width, layout.Height);
      for (int index = 0; index < (animated ? 3 : 1); ++index) {
        animator_->SetFrameIndex(index);
        animator_->Widget()->grab();

        // The whole screen, drawn as a stretch onto a bitmap of the form's colour.
        TColor trans = clNone;
        TBitmap* whole = animator_->ComposeFrame(index, trans);
        TBitmap expected;
        expected.SetSize(layout.Width, layout.Height);
        expected.Canvas().Brush().SetColor(kFormColour);
        expected.Canvas().FillRect(Rect(0, 0, layout.Width, layout.Height));
        TRect dest = Rect(0, 0, 13, 9);
        if (layout.Stretch) {
          dest = Rect(0, 0, layout.Width, layout.Height);
        } else if (layout.Center) {
          dest = Bounds((layout.Width - 13) / 2, (layout.Height - 9) / 2, 13, 9);
        }
        if (trans != clNone) {
          StretchTransparent(expected.Canvas(), dest.Left, dest.Top, dest.Width(), dest.Height(), *whole,
                             Rect(0, 0, 13, 9), trans);
        } else {
          whole->DrawInto(expected.Canvas(), dest);
        }
        for (int y = 0; y < layout.Height; ++y) {
          for (int x = 0; x < layout.Width; ++x) {
            ASSERT_EQ(PixelOf(expected.ImageHandle(), x, y), PixelOf(animator_->PaintBitmap(), x, y))
                << "frame " << index << " at " << x << "," << y << " in " << layout.Width << "x"
                << layout.Height
                << (layout.Stretch  ? " stretched"
                    : layout.Center ? " centred"
                                    : "")
                << (full.TransparentIndex >= 0 ? ", transparent" : "") << (animated ? ", animated" : "");
          }
        }
      }
    }
  }
}

// A small frame on a huge screen costs what is shown: the screen is never composed whole.
TEST_F(GIFAnimatorTest, AHugeScreenShownSmallIsNeverComposedWhole) {
  Load(BuildGif(16000, 16000, {Solid(0, 0, 2000, kBlue)}));
  animator_->SetAutoSize(false);
  animator_->SetStretch(true);
  animator_->SetBounds(10, 10, 100, 100);
  EXPECT_EQ(kBlueRgb, Shown(5, 5));
  EXPECT_EQ(0xFFFFFFu, Shown(90, 90)) << "the rest of the screen has the window colour";
  EXPECT_EQ(nullptr, animator_->CachedFrame());

  // At natural size only the visible corner is composed.
  animator_->SetStretch(false);
  EXPECT_EQ(kBlueRgb, Shown(99, 99));
  EXPECT_EQ(nullptr, animator_->CachedFrame());
}

TEST_F(GIFAnimatorTest, AsynchronousDrawingPaintsOnTheTimerThreadAndNotifiesOnTheMainThread) {
  Load(BuildGif(4, 4, {Solid(0, 0, 4, kRed), Solid(0, 0, 4, kGreen), Solid(0, 0, 4, kBlue)}));
  animator_->SetAsyncDrawing(true);
  EXPECT_TRUE(LockedDrawingOn());
  EXPECT_FALSE(animator_->FrameTimer().SyncEvent());
  std::atomic<int> changes{0}, offMain{0};
  animator_->OnFrameChanged = [&](TObject*) {
    offMain += Application->IsMainThread() ? 0 : 1;
    ++changes;
  };
  animator_->SetAnimate(true);
  for (int i = 0; i < 4; ++i) {  // setters on the main thread meet ticks holding the state lock
    animator_->SetCenter(i % 2 == 0);
    PumpFor(30);
  }
  ASSERT_TRUE(PumpUntil([&] { return changes >= 4; }));
  EXPECT_EQ(0, offMain.load());
  const uint32_t pixel = PixelOf(animator_->PaintBitmap(), 1, 1);
  EXPECT_TRUE(pixel == kRedRgb || pixel == kGreenRgb || pixel == kBlueRgb) << std::hex << pixel;
  // TearDown destroys the control while it is still animating.
}

}  // namespace
}  // namespace lumivane
