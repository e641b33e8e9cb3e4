#include "framework/custom_combo_box.h"

#include <gtest/gtest.h>

#include <QtCore/QCoreApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QWidget>

#include <string>
#include <vector>

#include "framework/exception.h"
#include "framework/form.h"

namespace lumivane {
namespace {

// Records the handlers in the order they run and every owner-drawn item.
class TRecordingCombo : public TCustomComboBox {
 public:
  using TCustomComboBox::TCustomComboBox;
  struct TDrawn {
    int Index;
    TRect Rect;
    bool Selected;
  };
  std::vector<std::string> Events;
  std::vector<TDrawn> Drawn;

 protected:
  void Click() override {
    Events.push_back("click:" + Text());
    TCustomComboBox::Click();
  }
  void Change() override {
    Events.push_back("change");
    TCustomComboBox::Change();
  }
  void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override {
    Drawn.push_back({Index, Rect, State.Contains(odSelected)});
    TCustomComboBox::DrawItem(Index, Rect, State);
  }
};

class ComboBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 300, 200);
    combo = new TRecordingCombo(&form);
    combo->SetParent(&form);
    for (const char* text : {"alpha", "beta", "gamma", "Bravo"}) combo->AddItem(text);
  }
  void Press(uint16_t key, TShiftState shift = {}) { combo->DispatchKeyDown(key, shift); }
  template <typename Event>
  void Send(Event event) {
    QCoreApplication::sendEvent(combo->DropDownList(), &event);
  }
  QMouseEvent Mouse(QEvent::Type type, QPoint at) {
    return QMouseEvent(type, QPointF(at), QPointF(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  }

  TForm form{nullptr};
  TRecordingCombo* combo = nullptr;
  using Texts = std::vector<std::string>;
};

TEST_F(ComboBoxTest, SelectionRunsNoHandlersAndTheHeightFollowsTheItems) {
  combo->SetText("BRAVO");  // any letter case finds the item
  EXPECT_EQ(combo->ItemIndex(), 3);
  EXPECT_EQ(combo->Text(), "Bravo");
  combo->Delete(1);
  EXPECT_EQ(combo->ItemIndex(), 2);  // the selection follows its item
  EXPECT_THROW(combo->Items(5), EListError);
  EXPECT_TRUE(combo->Events.empty());

  EXPECT_EQ(combo->Height(), combo->ItemHeight() + 8);
  combo->SetStyle(csOwnerDrawFixed);
  combo->SetItemHeight(13);
  combo->SetBounds(0, 0, 120, 60);  // the height asked for is ignored
  EXPECT_EQ(combo->Height(), 19);
  EXPECT_EQ(combo->Width(), 120);
}

TEST_F(ComboBoxTest, KeysChooseAndRunTheClickThenTheSelectStep) {
  Press(VK_DOWN);  // nothing selected: the first item
  Press(VK_DOWN);
  Press(VK_END);
  Press(VK_DOWN);  // already at the end: no choice, no handlers
  char letter = 'b';
  combo->DispatchKeyPress(letter);  // the next item starting with the letter, wrapping round
  EXPECT_EQ(combo->Events, (Texts{"click:alpha", "change", "click:beta", "change", "click:Bravo", "change",
                                  "click:beta", "change"}));
  uint16_t key = VK_HOME;
  combo->DispatchKeyDown(key, {});
  EXPECT_EQ(key, 0);  // consumed
  EXPECT_EQ(combo->ItemIndex(), 0);
}

TEST_F(ComboBoxTest, PopupPaintsTheItemsAndAReleaseOnOneChoosesIt) {
  combo->SetStyle(csOwnerDrawFixed);
  combo->SetItemHeight(14);
  combo->SetItemIndex(0);
  form.Show();
  Press(VK_DOWN, {ssAlt});
  ASSERT_TRUE(combo->DroppedDown());
  QWidget* popup = combo->DropDownList();
  EXPECT_EQ(popup->height(), 4 * 14 + 2);
  EXPECT_TRUE(combo->Events.empty());  // opening chooses nothing

  combo->Drawn.clear();
  popup->grab();
  ASSERT_EQ(combo->Drawn.size(), 4u);
  EXPECT_TRUE(combo->Drawn[0].Selected);
  EXPECT_EQ(combo->Drawn[2].Rect.Top, 1 + 2 * 14);
  EXPECT_EQ(combo->Drawn[2].Rect.Height(), 14);
  EXPECT_FALSE(combo->Drawn[2].Selected);

  const QPoint third(20, 1 + 2 * 14 + 5);
  Send(Mouse(QEvent::MouseMove, third));
  Send(Mouse(QEvent::MouseButtonRelease, third));
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Events, (Texts{"click:gamma", "change"}));

  // Keys in the open list move the highlight; Escape closes without a choice, Enter chooses.
  combo->SetDroppedDown(true);
  Send(QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
  Send(QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  EXPECT_EQ(combo->ItemIndex(), 2);
  combo->SetDroppedDown(true);
  Send(QKeyEvent(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier));
  Send(QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Events, (Texts{"click:gamma", "change", "click:beta", "change"}));
}

TEST_F(ComboBoxTest, ClosedBoxDrawsTheSelectedItemInsideFrameAndBesideTheButton) {
  combo->SetStyle(csOwnerDrawFixed);
  combo->SetItemHeight(13);
  combo->SetItemIndex(1);
  form.Show();
  combo->Drawn.clear();
  combo->Widget()->grab();
  ASSERT_EQ(combo->Drawn.size(), 1u);
  EXPECT_EQ(combo->Drawn[0].Index, 1);
  const TRect& r = combo->Drawn[0].Rect;
  EXPECT_EQ(r.Left, 3);
  EXPECT_EQ(r.Top, 3);
  EXPECT_EQ(r.Bottom, 16);
  EXPECT_EQ(r.Right, combo->Width() - 2 - 16 - 1);
}

TEST_F(ComboBoxTest, ALongPopupListScrollsWithItsBarWithoutMovingTheHighlight) {
  combo->SetStyle(csOwnerDrawFixed);
  combo->SetItemHeight(14);
  for (int i = 0; i < 8; ++i) combo->AddItem("more" + std::to_string(i));  // 12 items, 8 rows
  combo->SetItemIndex(1);
  form.Show();
  combo->SetDroppedDown(true);
  QWidget* popup = combo->DropDownList();
  ASSERT_NE(popup, nullptr);
  const QList<QWidget*> children = popup->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  ASSERT_EQ(children.size(), 1);
  QWidget* bar = children.front();
  EXPECT_EQ(bar->geometry(), QRect(popup->width() - 1 - 16, 1, 16, 8 * 14));

  auto press = [&](QPoint at) {
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(at), QPointF(bar->mapToGlobal(at)), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(bar, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(at), QPointF(bar->mapToGlobal(at)), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(bar, &up);
  };
  press(QPoint(8, 8 * 14 - 4));  // the down arrow
  press(QPoint(8, 8 * 14 - 4));
  combo->Drawn.clear();
  popup->grab();
  ASSERT_EQ(combo->Drawn.size(), 8u);
  EXPECT_EQ(combo->Drawn[0].Index, 2) << "two rows scrolled";
  EXPECT_EQ(combo->Drawn[0].Rect.Right, popup->width() - 1 - 16) << "the items give the bar its width";
  EXPECT_TRUE(combo->DroppedDown()) << "scrolling chooses nothing";
  EXPECT_TRUE(combo->Events.empty());
  press(QPoint(8, 20));  // the track above the thumb: back up a page
  combo->Drawn.clear();
  popup->grab();
  ASSERT_FALSE(combo->Drawn.empty());
  EXPECT_EQ(combo->Drawn[0].Index, 0);
  EXPECT_TRUE(combo->Drawn[1].Selected) << "the highlight stays on its item";
  combo->SetDroppedDown(false);

  // A list that fits has no bar, and its items keep the whole width.
  while (combo->Count() > 8) combo->Delete(combo->Count() - 1);
  combo->SetDroppedDown(true);
  popup = combo->DropDownList();
  ASSERT_NE(popup, nullptr);
  for (QWidget* child : popup->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    EXPECT_FALSE(child->isVisible());
  combo->Drawn.clear();
  popup->grab();
  ASSERT_FALSE(combo->Drawn.empty());
  EXPECT_EQ(combo->Drawn[0].Rect.Right, popup->width() - 1);
}

}  // namespace
}  // namespace lumivane
