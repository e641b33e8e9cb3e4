// The align pass, anchors, visibility changes and the splitter.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/form.h"
#include "framework/panel.h"
#include "framework/splitter.h"
#include "framework/status_bar.h"

namespace lumivane {
namespace {

// A form laid out like a browsing window: left panel, splitter, client panel, status bar.
struct BrowsingLayout {
  std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
  TPanel* left = new TPanel(form.get());
  TSplitter* splitter = new TSplitter(form.get());
  TPanel* client = new TPanel(form.get());
  TStatusBar* status = new TStatusBar(form.get());
  std::vector<std::string> resized;

  BrowsingLayout() {
    form->SetBounds(0, 0, 544, 400);
    left->SetBounds(0, 0, 157, 354);
    left->SetAlign(alLeft);
    left->SetParent(form.get());
    splitter->SetBounds(157, 0, 3, 354);
    splitter->SetParent(form.get());
    client->SetAlign(alClient);
    client->SetParent(form.get());
    status->SetParent(form.get());
    auto log = [this](const char* name) { return [this, name](TObject*) { resized.push_back(name); }; };
    left->OnResize = log("left");
    splitter->OnResize = log("splitter");
    client->OnResize = log("client");
    status->OnResize = log("status");
    form->OnResize = log("form");
  }
};

TEST(AlignPass, PlacesLeftSplitterClientAndBottomBar) {
  BrowsingLayout l;
  // No window manager here: the client area is the whole 544 x 400.
  EXPECT_EQ(Bounds(0, 381, 544, 19), l.status->BoundsRect());
  EXPECT_EQ(Bounds(0, 0, 157, 381), l.left->BoundsRect());
  EXPECT_EQ(Bounds(157, 0, 3, 381), l.splitter->BoundsRect());
  EXPECT_EQ(Bounds(160, 0, 384, 381), l.client->BoundsRect());
}

TEST(AlignPass, ResizeEventsComeInAlignOrderBeforeTheParents) {
  BrowsingLayout l;
  l.resized.clear();
  l.form->SetHeight(500);
  EXPECT_EQ((std::vector<std::string>{"left", "splitter", "client", "form"}), l.resized);
  EXPECT_EQ(Bounds(0, 481, 544, 19), l.status->BoundsRect());

  l.resized.clear();
  l.form->SetWidth(644);
  EXPECT_EQ((std::vector<std::string>{"status", "client", "form"}), l.resized);
  EXPECT_EQ(484, l.client->Width());

  // A move alone resizes nothing.
  l.resized.clear();
  l.form->SetTop(30);
  EXPECT_TRUE(l.resized.empty());
}

TEST(AlignPass, HidingTheLeftPanelWidensTheClientOnceAndShowingRestores) {
  BrowsingLayout l;
  l.resized.clear();
  l.left->Hide();
  EXPECT_EQ((std::vector<std::string>{"client"}), l.resized);
  EXPECT_EQ(Bounds(0, 0, 3, 381), l.splitter->BoundsRect());
  EXPECT_EQ(Bounds(3, 0, 541, 381), l.client->BoundsRect());

  l.splitter->Hide();
  EXPECT_EQ(Bounds(0, 0, 544, 381), l.client->BoundsRect());

  // Shown again splitter first, then the panel: the panel goes back before the splitter.
  l.splitter->Show();
  l.left->Show();
  EXPECT_EQ(Bounds(0, 0, 157, 381), l.left->BoundsRect());
  EXPECT_EQ(Bounds(157, 0, 3, 381), l.splitter->BoundsRect());
  EXPECT_EQ(Bounds(160, 0, 384, 381), l.client->BoundsRect());
}

TEST(AlignPass, WindowSystemResizeRunsTheSamePass) {
  BrowsingLayout l;
  l.resized.clear();
  l.form->WindowSystemGeometry(10, 20, 600, 420, 0, 0, 0, 0);
  EXPECT_EQ(Bounds(10, 20, 600, 420), l.form->BoundsRect());
  EXPECT_EQ(Bounds(160, 0, 440, 401), l.client->BoundsRect());
  EXPECT_EQ("form", l.resized.back());
  // A frame reported by the window manager keeps the outer bounds and shrinks the client area.
  l.form->WindowSystemGeometry(14, 44, 592, 396, 4, 24, 4, 4);
  EXPECT_EQ(Bounds(10, 20, 600, 420), l.form->BoundsRect());
  EXPECT_EQ(592, l.form->ClientWidth());
  EXPECT_EQ(Bounds(0, 373, 592, 19), l.status->BoundsRect());
}

TEST(Splitter, DragResizesThePanelBeforeItWithinLimits) {
  BrowsingLayout l;
  EXPECT_EQ(crHSplit, l.splitter->Cursor());
  EXPECT_EQ(3, l.splitter->Width());
  EXPECT_EQ(l.left, l.splitter->FindControl());

  l.splitter->DispatchMouseDown(mbLeft, {ssLeft}, 1, 10, false);
  l.splitter->DispatchMouseMove({ssLeft}, 41, 12);
  EXPECT_EQ(157, l.left->Width()) << "the pattern style resizes on release";
  l.resized.clear();
  l.splitter->DispatchMouseUp(mbLeft, {}, 41, 12);
  EXPECT_EQ(197, l.left->Width());
  EXPECT_EQ(197, l.splitter->Left());
  EXPECT_EQ(Bounds(200, 0, 344, 381), l.client->BoundsRect());
  EXPECT_EQ((std::vector<std::string>{"left", "client"}), l.resized);

  // Dragged far to the left the panel stops at MinSize; far to the right it leaves MinSize.
  l.splitter->DispatchMouseDown(mbLeft, {ssLeft}, 1, 10, false);
  l.splitter->DispatchMouseUp(mbLeft, {}, -500, 10);
  EXPECT_EQ(30, l.left->Width());
  l.splitter->DispatchMouseDown(mbLeft, {ssLeft}, 1, 10, false);
  l.splitter->DispatchMouseUp(mbLeft, {}, 2000, 10);
  EXPECT_EQ(544 - 30 - 3, l.left->Width());
}

TEST(Anchors, RightAndBottomAnchorsKeepTheirDistances) {
  TPanel parent(nullptr);
  parent.SetBounds(0, 0, 200, 100);
  auto* stretched = new TPanel(&parent);
  stretched->SetBounds(10, 10, 150, 20);
  stretched->SetAnchors({akLeft, akTop, akRight});
  stretched->SetParent(&parent);
  auto* pinned = new TPanel(&parent);
  pinned->SetBounds(120, 60, 50, 25);
  pinned->SetAnchors({akRight, akBottom});
  pinned->SetParent(&parent);
  auto* plain = new TPanel(&parent);
  plain->SetBounds(5, 50, 20, 20);
  plain->SetParent(&parent);

  parent.SetBounds(0, 0, 260, 140);
  EXPECT_EQ(Bounds(10, 10, 210, 20), stretched->BoundsRect());
  EXPECT_EQ(Bounds(180, 100, 50, 25), pinned->BoundsRect());
  EXPECT_EQ(Bounds(5, 50, 20, 20), plain->BoundsRect());

  // Bounds set while the parent has its new size are the new reference.
  pinned->SetLeft(100);
  parent.SetBounds(0, 0, 250, 140);
  EXPECT_EQ(90, pinned->Left());
  EXPECT_EQ(200, stretched->Width());
}

}  // namespace
}  // namespace lumivane
