#pragma once
// The framework's list box: a single column of text items, each with one object reference, drawn
// by the control itself one fixed-height item at a time. A sorted list keeps its items in the
// user's case-insensitive locale order; insertion stays fast for lists of many thousand items.
// While the items overflow the list, a vertical scroll bar takes its width from the client area;
// an item whose drawing is cut at the edge shows its full text as a tooltip.
#include <cstdint>
#include <memory>
#include <string>

#include "framework/custom_control.h"
#include "framework/set.h"

namespace lumivane {

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

enum TOwnerDrawStateKind { odSelected, odGrayed, odDisabled, odChecked, odFocused };
using TOwnerDrawState = TSet<TOwnerDrawStateKind>;

class TScrollBar;

class TCustomListBox : public TCustomControl {
 public:
  explicit TCustomListBox(TComponent* AOwner);
  ~TCustomListBox() override;

  // ---- items ----------------------------------------------------------------------------------
  int Count() const;
  // The item's text and object; EListError "List index out of bounds (%d)" outside the list.
  const std::string& Items(int Index) const;
  TObject* Objects(int Index) const;
  void SetObjects(int Index, TObject* Object);
  // Adds an item: in order when the list is sorted, else at the end. Returns the new item's index.
  virtual int AddItem(const std::string& Text, TObject* Object);
  // Inserts at a position (Count() appends), sorted or not.
  void InsertItem(int Index, const std::string& Text, TObject* Object);
  void Delete(int Index);
  void Clear();
  // The first item after StartIndex whose text equals Text without regard to case, searching to
  // the end and then from the beginning up to StartIndex; -1 when there is none. A StartIndex
  // outside the list searches the whole list from item 0.
  int FindStringExact(int StartIndex, const std::string& Text) const;

  // ---- selection and scrolling ---------------------------------------------------------------
  // The selected item, -1 for none. Setting it does not fire the click handling; an index outside
  // the list clears the selection.
  int ItemIndex() const { return item_index_; }
  void SetItemIndex(int Value);
  bool Selected(int Index) const { return Index >= 0 && Index == item_index_; }
  // The first visible item.
  int TopIndex() const { return top_index_; }
  void SetTopIndex(int Value);
  // How many whole items fit in the client area (at least 1).
  int VisibleItemCount() const;
  // The item under a client point, or -1.
  int ItemAtPos(TPoint Pos) const;
  // The rectangle of an item in client coordinates (it may lie outside the client area).
  TRect ItemRect(int Index) const;

  // ---- scroll bar -----------------------------------------------------------------------------
  // Whether the vertical scroll bar is shown: the items do not all fit (TopIndex can move).
  bool ScrollBarShown() const { return MaxTopIndex() > 0; }
  // The bar; it follows TopIndex and sets it when the user scrolls, never the selection.
  TScrollBar& ScrollBar() const { return *scroll_bar_; }
  // The control's width less the scroll bar's while it is shown.
  int ClientWidth() const override;

  // ---- style ----------------------------------------------------------------------------------
  bool Sorted() const { return sorted_; }
  void SetSorted(bool Value);
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle Value);
  int ItemHeight() const { return item_height_; }
  void SetItemHeight(int Value);
  bool IntegralHeight() const { return integral_height_; }
  void SetIntegralHeight(bool Value) { integral_height_ = Value; }
  bool MultiSelect() const { return multi_select_; }
  void SetMultiSelect(bool Value) { multi_select_ = Value; }
  bool ExtendedSelect() const { return extended_select_; }
  void SetExtendedSelect(bool Value) { extended_select_ = Value; }

 protected:
  // The wheel scrolls three items per notch.
  bool MouseWheel(TShiftState Shift, int WheelDelta, int X, int Y) override;
  // The click handling: fires OnClick. Runs when the user changes the selection by mouse or key.
  void Click() override;
  // Draws one item; the canvas already holds the font, brush and colours for its state.
  virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
  // How far from the item's left edge its drawing reaches (the end of its text); an item reaching
  // past its rectangle shows its text as a tooltip. The base measures the default drawing.
  virtual int ItemContentWidth(int Index);

  void Paint() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Resize() override;
  void ApplyGeometry() override;

 private:
  struct TListItem;
  class TItemStore;
  class TTipFilter;

  // Moves the selection to Index (clamped) as the user does, scrolls it into view and runs the
  // click handling when the selection changed.
  void MoveSelectionByUser(int Index);
  void ScrollIntoView(int Index);
  int MaxTopIndex() const;
  void PrepareCanvasForItem(bool selected);
  // Shows, hides and places the scroll bar and hands it the range; repaints the items when their
  // width changed.
  void UpdateScrollBar();
  // The text to show as a tooltip at a client point, empty when the item there is not cut.
  std::string TipAt(TPoint Pos, TRect& ItemBounds);

  std::unique_ptr<TItemStore> items_;
  std::unique_ptr<TScrollBar> scroll_bar_;
  std::unique_ptr<TTipFilter> tip_filter_;
  bool bar_shown_ = false;
  int item_index_ = -1;
  int top_index_ = 0;
  bool sorted_ = false;
  TListBoxStyle style_ = lbStandard;
  int item_height_ = 13;
  bool integral_height_ = false;
  bool multi_select_ = false;
  bool extended_select_ = true;
};

}  // namespace lumivane
