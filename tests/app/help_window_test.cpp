#include "app/help_window.h"

#include <gtest/gtest.h>

#include "framework/button.h"
#include "framework/label.h"

namespace lumivane {
namespace {

TEST(HelpWindowTest, ListsTheKeysInTwoColumns) {
  TForm2 help(nullptr);
  EXPECT_EQ(help.Caption(), "Lumivane");
  EXPECT_EQ(help.ClientWidth(), 375);
  EXPECT_EQ(help.ClientHeight(), 292);
  EXPECT_EQ(help.Label1->Caption(), "Help");
  EXPECT_EQ(help.Labels[18]->Caption(), "+  Zoon In");
  EXPECT_EQ(help.Labels[18]->BoundsRect(), Bounds(192, 124, 180, 14));
  EXPECT_EQ(help.Labels[27]->Caption(), "Ctrl S - File Size - Hide / Show");
  EXPECT_EQ(help.Labels[27]->Top(), 236);
  EXPECT_EQ(help.Labels[2]->Left(), 8);
  int shown = 0;
  for (TLabel* label : help.Labels) shown += label != nullptr;
  EXPECT_EQ(shown, 28);
  EXPECT_TRUE(help.cmdOk->Default);
  EXPECT_EQ(help.cmdOk->BoundsRect(), Bounds(152, 260, 75, 25));
}

TEST(HelpWindowTest, IsCentredOnTheMainWindowEvenWhenLarger) {
  TForm main(nullptr);
  main.SetBounds(0, 438, 320, 300);  // the reduced window of F9
  TForm2 help(nullptr);
  help.MainWindow = &main;
  help.FormShow(&help);
  EXPECT_EQ(help.Top(), 438 + (300 - 292) / 2);
  EXPECT_EQ(help.Left(), (320 - 375) / 2);  // -27: truncated toward zero
}

}  // namespace
}  // namespace lumivane
