#pragma once
// The framework's combo box: a closed box that shows the selected item beside a drop-down button,
// and a popup list of the items opened with the mouse, Alt+Down or F4. Items are texts with one
// object reference each. In the owner-drawn style every item, in the box and in the popup, is
// drawn by DrawItem through the control's canvas; the drop-down-list style draws plain text.
//
// When the user chooses an item (popup, arrow keys, first letter) the box takes the item's text,
// runs the click handling and then the select step, which runs the change handling.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/custom_control.h"
#include "framework/custom_list_box.h"

class QWidget;

namespace lumivane {

// csDropDownList: a list without typing, drawn as text. csOwnerDrawFixed: the same list with
// items of one fixed height drawn by the control itself.
enum TComboBoxStyle { csDropDownList, csOwnerDrawFixed };

class TComboDropDown;

class TCustomComboBox : public TCustomControl {
 public:
  explicit TCustomComboBox(TComponent* AOwner);
  ~TCustomComboBox() override;

  // ---- items ----------------------------------------------------------------------------------
  int Count() const { return static_cast<int>(items_.size()); }
  // The item's text and object; EListError "List index out of bounds (%d)" outside the list.
  const std::string& Items(int Index) const;
  TObject* Objects(int Index) const;
  void SetObjects(int Index, TObject* Object);
  // Appends an item and returns its index.
  int AddItem(const std::string& Text, TObject* Object = nullptr);
  void Delete(int Index);
  // Removes every item; nothing is selected afterwards.
  void Clear();
  // The first item whose text equals Text without regard to case, or -1.
  int IndexOf(const std::string& Text) const;

  // ---- selection ------------------------------------------------------------------------------
  // The selected item, -1 for none. Setting it runs no handler; an index outside the list clears
  // the selection.
  int ItemIndex() const { return item_index_; }
  void SetItemIndex(int Value);
  // The text of the box: the selected item's text, empty when nothing is selected. Setting it
  // selects the first item with that text (any letter case), or clears the selection.
  const std::string& Text() const { return text_; }
  void SetText(const std::string& Value);

  // ---- style ----------------------------------------------------------------------------------
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle Value);
  // The height of one item. In the drop-down-list style it follows the font; in the owner-drawn
  // style it is what was set (16 at first). The box is always the item height plus its frame.
  int ItemHeight() const;
  void SetItemHeight(int Value);
  // How many items the popup shows before it scrolls.
  int DropDownCount() const { return drop_down_count_; }
  void SetDropDownCount(int Value);

  // ---- popup ----------------------------------------------------------------------------------
  bool DroppedDown() const;
  // Opens the popup below the box (above it when there is no room) or closes it. Opening needs a
  // visible window.
  void SetDroppedDown(bool Value);
  // The popup window while it is open, else null.
  QWidget* DropDownList() const;

  // The height is fixed by the item height; a requested height is ignored.
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

  TNotifyEvent OnChange;

 protected:
  // The click handling: fires OnClick.
  void Click() override;
  // The change handling: fires OnChange.
  virtual void Change();
  // The select step after a user's choice; there is no select event, so it runs Change.
  virtual void Select();
  // Draws one item into Rect; the canvas already holds the font, brush and colours for its state.
  // Called for every item in the owner-drawn style; the base draws the text.
  virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);

  // Runs a user's choice of an item: the box takes its text, then the click handling and the
  // select step run. Choosing the item already selected does nothing.
  void ChooseItem(int Index);

  void Paint() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void FontChanged() override;
  void DestroyWnd() override;

 private:
  friend class TComboDropDown;

  struct TComboItem {
    std::string Text;
    TObject* Object = nullptr;
  };

  int BoxHeight() const;
  void AdjustBoxHeight();
  // The rectangle of the selection field inside the frame, and of the drop-down button.
  TRect FieldRect() const;
  TRect ButtonRect() const;
  void PrepareCanvasForItem(bool Selected);
  // Draws an item the way the style asks (owner-drawn or plain text).
  void DrawItemForStyle(int Index, const TRect& Rect, TOwnerDrawState State);
  void PaintButton(TCanvas& Canvas, const TRect& Rect);
  // Paints the popup's items into DC (Width x Height pixels), Hot highlighted, from Top on, leaving
  // a strip of BarWidth pixels inside the right border to the scroll bar.
  void PaintDropDown(HDC DC, int Width, int Height, int Hot, int Top, int BarWidth);
  void DropDownClosed();
  void CloseDropDown();
  // The next item after the selection whose text begins with Key (any letter case), or -1.
  int NextItemStartingWith(char Key) const;

  std::vector<TComboItem> items_;
  int item_index_ = -1;
  std::string text_;
  TComboBoxStyle style_ = csDropDownList;
  int item_height_ = 16;
  int text_height_ = 13;
  int drop_down_count_ = 8;
  TComboDropDown* drop_down_ = nullptr;
};

}  // namespace lumivane
