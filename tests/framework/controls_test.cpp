// Buttons, edits, panels, fonts and auto-size behaviour of the small controls.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTimer>
#include <memory>

#include "framework/button.h"
#include "framework/edit.h"
#include "framework/font.h"
#include "framework/form.h"
#include "framework/panel.h"

namespace lumivane {
namespace {

TEST(Font, SizeAndHeightConvertAtNinetySixPixelsPerInch) {
  TFont font;
  int changes = 0;
  font.OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(8, font.Size());
  HFONT first = font.Handle();
  EXPECT_EQ(first, font.Handle()) << "the handle is kept while nothing changes";
  font.SetSize(12);
  EXPECT_EQ(-16, font.Height());
  EXPECT_EQ(1, changes);
  font.SetStyle({fsBold});
  EXPECT_TRUE(font.Style().Contains(fsBold));
  EXPECT_NE(nullptr, font.Handle());
  font.SetStyle({fsBold});
  EXPECT_EQ(2, changes) << "setting the same value fires nothing";
}

TEST(Controls, ChildrenTakeTheParentFontUntilGivenTheirOwn) {
  TForm form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  form.Font().SetHeight(-14);
  EXPECT_EQ(-14, panel->Font().Height());
  panel->Font().SetName("Arial");
  EXPECT_FALSE(panel->ParentFont());
  form.Font().SetHeight(-20);
  EXPECT_EQ(-14, panel->Font().Height());
  EXPECT_EQ(clBtnFace, panel->Color());
  EXPECT_EQ(bvRaised, panel->BevelOuter());
}

TEST(Controls, ButtonWithModalResultEndsAModalShow) {
  TForm dialog(nullptr);
  dialog.SetBounds(0, 0, 200, 100);
  auto* ok = new TButton(&dialog);
  ok->SetCaption("&OK");
  ok->ModalResult = mrOk;
  ok->SetParent(&dialog);
  int clicks = 0;
  ok->OnClick = [&](TObject*) { ++clicks; };
  QTimer::singleShot(20, [&] {
    ok->DispatchMouseDown(mbLeft, {ssLeft}, 5, 5, false);
    ok->DispatchMouseUp(mbLeft, {}, 5, 5);
  });
  EXPECT_EQ(mrOk, dialog.ShowModal());
  EXPECT_EQ(1, clicks);

  // A release outside the button is no click; Close on a modal form answers mrCancel.
  ok->DispatchMouseDown(mbLeft, {ssLeft}, 5, 5, false);
  ok->DispatchMouseUp(mbLeft, {}, 500, 5);
  EXPECT_EQ(1, clicks);
  QTimer::singleShot(20, [&] { dialog.Close(); });
  EXPECT_EQ(mrCancel, dialog.ShowModal());
}

TEST(Controls, EditKeepsItsTextAcrossItsWindowAndReportsChanges) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->SetText("before window");
  EXPECT_EQ(1, changes);
  edit->SetParent(&form);
  form.Show();
  auto* line = static_cast<QLineEdit*>(edit->Widget());
  EXPECT_EQ("before window", line->text().toStdString());
  edit->SelectAll();
  EXPECT_EQ(13, edit->SelLength());
  edit->SetText("before window");
  EXPECT_EQ(1, changes) << "the same text is no change";
  line->selectAll();
  line->insert("typed");  // as the user would
  EXPECT_EQ("typed", edit->Text());
  EXPECT_EQ(2, changes);
  edit->SetText("x");
  EXPECT_EQ("x", line->text().toStdString());
}

TEST(Controls, DoubleClickFiresDblClickThenAPressWithDoubleShift) {
  TPanel panel(nullptr);
  std::string log;
  panel.OnDblClick = [&](TObject*) { log += "dbl "; };
  panel.OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
    log += s.Contains(ssDouble) ? "down2 " : "down ";
    EXPECT_EQ(mbLeft, b);
    EXPECT_EQ(3, x);
    EXPECT_EQ(4, y);
  };
  panel.OnClick = [&](TObject*) { log += "click "; };
  panel.OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { log += "up "; };
  panel.DispatchMouseDown(mbLeft, {ssLeft}, 3, 4, false);
  panel.DispatchMouseUp(mbLeft, {}, 3, 4);
  panel.DispatchMouseDown(mbLeft, {ssLeft}, 3, 4, true);
  panel.DispatchMouseUp(mbLeft, {}, 3, 4);
  EXPECT_EQ("down click up dbl down2 up ", log);
}

}  // namespace
}  // namespace lumivane
