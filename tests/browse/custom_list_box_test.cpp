#include "framework/custom_list_box.h"

#include <gtest/gtest.h>

#include <QtCore/QCollator>
#include <QtCore/QLocale>
#include <QtCore/QString>
#include <QtGui/QHelpEvent>
#include <QtGui/QImage>
#include <QtGui/QMouseEvent>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QToolTip>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "framework/exception.h"
#include "framework/form.h"
#include "framework/scroll_bar.h"

namespace lumivane {
namespace {

// Records every item drawn and the canvas colours prepared for it.
class TRecordingListBox : public TCustomListBox {
 public:
  using TCustomListBox::TCustomListBox;

  struct TDrawn {
    int Index;
    TRect Rect;
    TOwnerDrawState State;
    TColor Brush;
    TColor Text;
  };
  std::vector<TDrawn> Drawn;

  void PressKey(uint16_t key) { DispatchKeyDown(key, {}); }

 protected:
  void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override {
    Drawn.push_back({Index, Rect, State, Canvas().Brush().Color(), Canvas().Font().Color()});
    TCustomListBox::DrawItem(Index, Rect, State);
  }
};

// A shown form holding one list box 100 wide with room for exactly ten 13-pixel items.
class ListBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 300, 300);
    list = new TRecordingListBox(&form);
    list->SetParent(&form);
    list->SetBounds(0, 0, 100, 130);
    list->SetItemHeight(13);
    list->HandleNeeded();
    list->OnClick = [this](TObject*) { ++clicks; };
    list->OnDblClick = [this](TObject*) { ++doubleClicks; };
  }
  void AddNumbered(int count) {
    for (int i = 0; i < count; ++i) list->AddItem("item" + std::to_string(i), nullptr);
  }

  TForm form{nullptr};
  TRecordingListBox* list = nullptr;
  int clicks = 0;
  int doubleClicks = 0;
};

// A Qt pixel as red + green * 256 + blue * 65536.
uint32_t AsColorRef(QRgb pixel) {
  return static_cast<uint32_t>(qRed(pixel)) | static_cast<uint32_t>(qGreen(pixel)) << 8 |
         static_cast<uint32_t>(qBlue(pixel)) << 16;
}

// The reference order: case-blind, in the user's locale.
bool ReferenceLess(const std::string& a, const std::string& b) {
  static QCollator collator = [] {
    QCollator c(QLocale::system());
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
  }();
  return collator.compare(QString::fromStdString(a).toLower(), QString::fromStdString(b).toLower()) < 0;
}

TEST_F(ListBoxTest, MouseWheelScrollsThreeItemsPerNotchWithinTheList) {
  AddNumbered(30);
  QWidget* widget = list->Widget();
  auto wheel = [&](int delta) {
    QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
  };
  wheel(-120);  // towards the user: down the list
  EXPECT_EQ(list->TopIndex(), 3);
  wheel(-240);
  EXPECT_EQ(list->TopIndex(), 9);
  for (int i = 0; i < 10; ++i) wheel(-120);
  EXPECT_EQ(list->TopIndex(), 20) << "stops with the last item at the bottom";
  wheel(120 * 10);
  EXPECT_EQ(list->TopIndex(), 0);
  EXPECT_EQ(list->ItemIndex(), -1) << "scrolling does not select";
}

TEST_F(ListBoxTest, SortedInsertionReturnsTheReferenceIndex) {
  list->SetSorted(true);
  std::mt19937 random(1234);
  const std::string alphabet = "aAbBcCxyZ019_-. ";
  std::vector<std::string> reference;
  // Enough items to split the storage blocks many times, with deletions in between.
  for (int i = 0; i < 6000; ++i) {
    std::string name;
    for (int n = 1 + static_cast<int>(random() % 8); n > 0; --n) name += alphabet[random() % alphabet.size()];
    const auto place = std::upper_bound(reference.begin(), reference.end(), name, ReferenceLess);
    const int expected = static_cast<int>(place - reference.begin());
    reference.insert(place, name);
    ASSERT_EQ(list->AddItem(name, nullptr), expected) << "insertion " << i << " of " << name;
    if (i % 7 == 6) {
      const int victim = static_cast<int>(random() % reference.size());
      reference.erase(reference.begin() + victim);
      list->Delete(victim);
    }
  }
  ASSERT_EQ(list->Count(), static_cast<int>(reference.size()));
  for (int i = 0; i < list->Count(); ++i) ASSERT_EQ(list->Items(i), reference[i]) << i;
}

TEST_F(ListBoxTest, SortedOrderIgnoresCaseAndKeepsObjects) {
  list->SetSorted(true);
  TObject tagB;
  list->AddItem("b", &tagB);
  list->AddItem("C", nullptr);
  EXPECT_EQ(list->AddItem("a", nullptr), 0);
  EXPECT_EQ(list->AddItem("B2", nullptr), 2);
  EXPECT_EQ(list->AddItem("A", nullptr), 1);  // after the equal "a"
  EXPECT_EQ(list->Items(3), "B2");
  EXPECT_EQ(list->Objects(2), &tagB);
  EXPECT_THROW(list->Items(5), EListError);
  EXPECT_THROW(list->Items(-1), EListError);
}

TEST_F(ListBoxTest, SelectionFollowsItsItemThroughInsertDeleteAndSorting) {
  list->AddItem("zeta", nullptr);
  list->AddItem("alpha", nullptr);
  list->AddItem("mid", nullptr);
  list->SetItemIndex(1);
  list->InsertItem(0, "first", nullptr);
  EXPECT_EQ(list->ItemIndex(), 2);
  list->SetSorted(true);  // alpha, first, mid, zeta
  EXPECT_EQ(list->Items(list->ItemIndex()), "alpha");
  list->Delete(0);
  EXPECT_EQ(list->ItemIndex(), -1);
  list->SetItemIndex(2);
  list->Delete(0);
  EXPECT_EQ(list->ItemIndex(), 1);
  list->SetItemIndex(99);
  EXPECT_EQ(list->ItemIndex(), -1);
  list->Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(clicks, 0);  // changes made by code never run the click handling
}

TEST_F(ListBoxTest, FindStringExactStartsAfterTheStartAndWraps) {
  for (const char* text : {"x", "a", "X", "b"}) list->AddItem(text, nullptr);
  EXPECT_EQ(list->FindStringExact(0, "x"), 2);   // item 0 is tried last
  EXPECT_EQ(list->FindStringExact(2, "X"), 0);   // wraps to the beginning
  EXPECT_EQ(list->FindStringExact(3, "b"), 3);   // the start item itself comes last
  EXPECT_EQ(list->FindStringExact(-1, "x"), 0);  // outside the list: from item 0
  EXPECT_EQ(list->FindStringExact(0, "x "), -1);
  EXPECT_EQ(list->FindStringExact(0, ""), -1);
  list->Clear();
  EXPECT_EQ(list->FindStringExact(0, "x"), -1);
}

TEST_F(ListBoxTest, KeysMoveTheSelectionScrollAndClickOnlyOnChange) {
  AddNumbered(50);
  ASSERT_EQ(list->VisibleItemCount(), 10);
  list->PressKey(VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(clicks, 1);
  list->PressKey(VK_UP);  // already at the top
  EXPECT_EQ(clicks, 1);
  list->PressKey(VK_NEXT);  // to the bottom of the page
  EXPECT_EQ(list->ItemIndex(), 9);
  EXPECT_EQ(list->TopIndex(), 0);
  list->PressKey(VK_NEXT);  // then a page further
  EXPECT_EQ(list->ItemIndex(), 18);
  EXPECT_EQ(list->TopIndex(), 9);
  list->PressKey(VK_PRIOR);  // to the top of the page
  EXPECT_EQ(list->ItemIndex(), 9);
  list->PressKey(VK_END);
  EXPECT_EQ(list->ItemIndex(), 49);
  EXPECT_EQ(list->TopIndex(), 40);
  list->PressKey(VK_DOWN);
  list->PressKey(VK_HOME);
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(list->TopIndex(), 0);
  EXPECT_EQ(clicks, 6);
  list->SetItemIndex(25);  // set by code: scrolled into view, no click
  EXPECT_EQ(list->TopIndex(), 16);
  EXPECT_EQ(clicks, 6);
  list->SetTopIndex(100);
  EXPECT_EQ(list->TopIndex(), 40);  // the last page stays full

  // A key handler that consumes the key stops the list from acting on it.
  list->OnKeyDown = [](TObject*, uint16_t& key, TShiftState) { key = 0; };
  list->PressKey(VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 25);
}

TEST_F(ListBoxTest, MouseSelectsAndClicksEveryTimeDoubleClickFires) {
  AddNumbered(5);
  list->DispatchMouseDown(mbLeft, {}, 10, 13 * 3 + 2, false);
  list->DispatchMouseUp(mbLeft, {}, 10, 13 * 3 + 2);
  EXPECT_EQ(list->ItemIndex(), 3);
  EXPECT_EQ(clicks, 1);
  list->DispatchMouseDown(mbLeft, {}, 10, 13 * 3 + 2, true);
  list->DispatchMouseUp(mbLeft, {}, 10, 13 * 3 + 2);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(doubleClicks, 1);
  list->DispatchMouseDown(mbLeft, {}, 10, 13 * 8, false);  // below the last item
  EXPECT_EQ(list->ItemIndex(), 3);
  EXPECT_EQ(clicks, 2);
}

TEST_F(ListBoxTest, PaintingPreparesTheCanvasPerItemState) {
  list->SetStyle(lbOwnerDrawFixed);
  AddNumbered(20);
  list->SetItemIndex(12);  // scrolls to 3..12
  form.Show();
  list->SetFocus();
  list->Drawn.clear();
  list->Widget()->grab();  // paints into the off-screen image
  ASSERT_FALSE(list->Drawn.empty());
  EXPECT_EQ(list->Drawn.front().Index, 3);
  EXPECT_EQ(list->Drawn.front().Rect, Rect(0, 0, list->ClientWidth(), 13));
  int selectedSeen = 0;
  for (const auto& drawn : list->Drawn) {
    const bool selected = drawn.Index == 12;
    EXPECT_EQ(drawn.State.Contains(odSelected), selected) << drawn.Index;
    EXPECT_EQ(drawn.Brush, selected ? clHighlight : list->Color()) << drawn.Index;
    EXPECT_EQ(drawn.Text, selected ? clHighlightText : list->Font().Color()) << drawn.Index;
    if (selected) {
      ++selectedSeen;
      EXPECT_EQ(drawn.State.Contains(odFocused), list->Focused());
    }
  }
  EXPECT_EQ(selectedSeen, 1);

  // The default drawing fills the selected row with the highlight colour.
  const QImage shown = list->Widget()->grab().toImage();
  const TRect selectedRow = list->ItemRect(12);
  const int x = list->ClientWidth() - 3;
  EXPECT_EQ(AsColorRef(shown.pixel(x, selectedRow.Top + 6)), ColorToRGB(clHighlight));
  EXPECT_EQ(AsColorRef(shown.pixel(x, selectedRow.Top - 6)), ColorToRGB(list->Color()));
}

// ---- the scroll bar ----------------------------------------------------------------------------

// The 130-pixel list has 16-pixel arrows, so its track is 98 pixels long from y 16 on.
class ListScrollBarTest : public ListBoxTest {
 protected:
  TScrollBar& Bar() { return list->ScrollBar(); }
  // Sends the left button's press (or double click), move or release to the bar's window.
  void Mouse(QEvent::Type type, int x, int y) {
    QWidget* widget = Bar().Widget();
    ASSERT_NE(widget, nullptr);
    const bool down = type != QEvent::MouseButtonRelease;
    QMouseEvent event(type, QPointF(x, y), widget->mapToGlobal(QPointF(x, y)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
  }
  void ClickBar(int x, int y) {
    Mouse(QEvent::MouseButtonPress, x, y);
    Mouse(QEvent::MouseButtonRelease, x, y);
  }
  static constexpr int kTrackTop = 16;
  static constexpr int kTrackLength = 98;
};

TEST_F(ListScrollBarTest, TheBarShowsOnlyWhileTheItemsOverflowAndTakesItsWidthFromTheItems) {
  AddNumbered(10);  // exactly the ten that fit
  EXPECT_FALSE(list->ScrollBarShown());
  EXPECT_EQ(Bar().Widget(), nullptr);
  EXPECT_EQ(list->ClientWidth(), 100);
  EXPECT_EQ(list->ItemRect(0), Rect(0, 0, 100, 13));

  list->AddItem("one more", nullptr);
  ASSERT_TRUE(list->ScrollBarShown());
  ASSERT_NE(Bar().Widget(), nullptr);
  EXPECT_EQ(Bar().Widget()->geometry(), QRect(84, 0, 16, 130));
  EXPECT_EQ(list->ClientWidth(), 84);
  EXPECT_EQ(list->ItemRect(0), Rect(0, 0, 84, 13));
  EXPECT_EQ(list->ItemAtPos(TPoint{90, 5}), -1) << "the bar's strip holds no item";

  list->SetBounds(0, 0, 100, 13 * 11);  // taller: everything fits again
  EXPECT_FALSE(list->ScrollBarShown());
  EXPECT_EQ(Bar().Widget(), nullptr);
  list->SetBounds(0, 0, 100, 130);
  list->Delete(0);
  EXPECT_FALSE(list->ScrollBarShown());
  list->AddItem("again", nullptr);
  list->Clear();
  EXPECT_FALSE(list->ScrollBarShown());
  EXPECT_EQ(list->ClientWidth(), 100);
}

TEST_F(ListScrollBarTest, TheThumbIsTheVisibleShareAndSitsWhereTheTopItemIs) {
  AddNumbered(20);
  TRect thumb = Bar().ThumbRect();
  EXPECT_EQ(thumb.Height(), kTrackLength * 10 / 20);
  EXPECT_EQ(thumb.Top, kTrackTop);
  list->SetTopIndex(10);  // the last page
  thumb = Bar().ThumbRect();
  EXPECT_EQ(thumb.Bottom, kTrackTop + kTrackLength);

  list->Clear();
  AddNumbered(100);
  list->SetTopIndex(45);  // half way
  thumb = Bar().ThumbRect();
  EXPECT_NEAR(thumb.Height(), kTrackLength * 10 / 100.0, 1.0);
  const double room = kTrackLength - thumb.Height();
  EXPECT_NEAR(thumb.Top, kTrackTop + room / 2, 1.0);

  list->Clear();
  AddNumbered(5000);
  EXPECT_EQ(Bar().ThumbRect().Height(), TScrollBar::MinThumbLength) << "a long list keeps a thumb to grab";

  // The thumb is drawn where it is said to be: raised (light top-left, black bottom edge) over
  // the checkered track.
  form.Show();
  list->SetTopIndex(2500);
  thumb = Bar().ThumbRect();
  const QImage shown = list->Widget()->grab().toImage();
  const int left = list->ClientWidth();
  EXPECT_EQ(AsColorRef(shown.pixel(left + 3, thumb.Top + 1)), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(AsColorRef(shown.pixel(left + 7, thumb.Top + 4)), ColorToRGB(clBtnFace));
  EXPECT_EQ(AsColorRef(shown.pixel(left + 7, thumb.Bottom - 1)), ColorToRGB(clBlack));
  const int trackY = kTrackTop + 4;
  EXPECT_NE(shown.pixel(left + 6, trackY), shown.pixel(left + 7, trackY)) << "checkered track";
  EXPECT_EQ(shown.pixel(left + 6, trackY), shown.pixel(left + 7, trackY + 1));
}

TEST_F(ListScrollBarTest, ArrowsAndTrackScrollButNeverSelectOrClick) {
  AddNumbered(50);
  list->SetItemIndex(2);
  ClickBar(8, 5);  // the up arrow, already at the top
  EXPECT_EQ(list->TopIndex(), 0);
  ClickBar(8, 125);  // the down arrow
  EXPECT_EQ(list->TopIndex(), 1);
  Mouse(QEvent::MouseButtonDblClick, 8, 125);  // the second press of a double click steps again
  Mouse(QEvent::MouseButtonRelease, 8, 125);
  EXPECT_EQ(list->TopIndex(), 2);
  ClickBar(8, Bar().ThumbRect().Bottom + 2);  // the track below the thumb: a page down
  EXPECT_EQ(list->TopIndex(), 11);
  ClickBar(8, Bar().ThumbRect().Top - 2);  // above it: a page up
  EXPECT_EQ(list->TopIndex(), 2);
  for (int i = 0; i < 10; ++i) ClickBar(8, 110);
  EXPECT_EQ(list->TopIndex(), 40) << "the last page stays full";

  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(doubleClicks, 0);
  // The selection scrolled out of view stays where it was, and the keys go on from it.
  list->PressKey(VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 3);
  EXPECT_EQ(list->TopIndex(), 3);
}

TEST_F(ListScrollBarTest, DraggingTheThumbScrollsAlongAndStopsAtTheEnds) {
  AddNumbered(100);
  list->SetItemIndex(7);
  const TRect thumb = Bar().ThumbRect();
  const int grabY = thumb.Top + thumb.Height() / 2;
  const int room = kTrackLength - thumb.Height();
  Mouse(QEvent::MouseButtonPress, 8, grabY);
  EXPECT_EQ(list->TopIndex(), 0) << "grabbing the thumb does not move it";
  Mouse(QEvent::MouseMove, 8, grabY + room / 2);
  EXPECT_NEAR(list->TopIndex(), 45, 1);
  EXPECT_EQ(Bar().ThumbRect().Top, thumb.Top + room / 2) << "the thumb follows the pointer";
  Mouse(QEvent::MouseMove, 40, grabY + 500);  // far past the end, beside the bar
  EXPECT_EQ(list->TopIndex(), 90);
  Mouse(QEvent::MouseMove, 8, grabY - 500);
  EXPECT_EQ(list->TopIndex(), 0);
  Mouse(QEvent::MouseMove, 8, grabY + room);
  Mouse(QEvent::MouseButtonRelease, 8, grabY + room);
  EXPECT_EQ(list->TopIndex(), 90);
  Mouse(QEvent::MouseMove, 8, grabY);  // the button is up: moving does nothing
  EXPECT_EQ(list->TopIndex(), 90);
  EXPECT_EQ(list->ItemIndex(), 7);
  EXPECT_EQ(clicks, 0);
}

TEST_F(ListScrollBarTest, TheBarFollowsKeysAndWheel) {
  AddNumbered(30);
  list->PressKey(VK_END);
  EXPECT_EQ(Bar().Position(), 20);
  EXPECT_EQ(Bar().ThumbRect().Bottom, kTrackTop + kTrackLength);
  QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(list->Widget(), &wheel);
  EXPECT_EQ(list->TopIndex(), 17);
  EXPECT_EQ(Bar().Position(), 17);
}

TEST_F(ListScrollBarTest, ACutItemShowsItsFullTextAsATooltip) {
  const std::string longName(60, 'w');
  list->AddItem("short", nullptr);
  list->AddItem(longName, nullptr);
  form.Show();
  auto hover = [&](int y) {
    const QPoint at(20, y);
    QHelpEvent event(QEvent::ToolTip, at, list->Widget()->mapToGlobal(at));
    QApplication::sendEvent(list->Widget(), &event);
  };
  hover(5);  // "short" fits
  EXPECT_FALSE(QToolTip::isVisible());
  hover(13 + 5);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text().toStdString(), longName);
  QToolTip::hideText();
}

}  // namespace
}  // namespace lumivane
