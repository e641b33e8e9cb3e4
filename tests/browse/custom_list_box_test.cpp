#include "framework/custom_list_box.h"

#include <gtest/gtest.h>

#include <QtCore/QCollator>
#include <QtCore/QLocale>
#include <QtCore/QString>
#include <QtGui/QImage>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "framework/exception.h"
#include "framework/form.h"

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

}  // namespace
}  // namespace lumivane
