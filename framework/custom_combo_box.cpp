#include "framework/custom_combo_box.h"

#include <QtCore/QString>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QScreen>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <cctype>

#include "framework/application.h"
#include "framework/exception.h"
#include "framework/panel.h"
#include "framework/scroll_bar.h"
#include "framework/sys_utils.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_qt_bridge.h"

namespace lumivane {

namespace {

constexpr int kFrameWidth = 2;    // the sunken edge around the box
constexpr int kButtonWidth = 16;  // the drop-down button inside the frame
constexpr int kDefaultWidth = 145;
constexpr uint16_t kVkF4 = VK_F1 + 3;

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
             .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())), Qt::CaseInsensitive) ==
         0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The popup list: a window of its own that grabs mouse and keyboard while it is open. It keeps
// the highlighted ("hot") item and the first visible one; the combo box paints the items. When
// there are more items than rows, a scroll bar inside the border takes its width from the items.

class TComboDropDown : public QWidget {
 public:
  TComboDropDown(TCustomComboBox* combo, QWidget* parent) : QWidget(parent, Qt::Popup), combo_(combo) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Scrolling moves the rows only; the highlighted item stays.
    bar_.OnScroll = [this](int Position) { SetTop(Position); };
  }

  // Forgets the combo box (when it goes before the popup).
  void Detach() { combo_ = nullptr; }

  void Open(QPoint below, QPoint above, int width) {
    rows_ = std::clamp(combo_->Count(), 1, std::max(1, combo_->DropDownCount()));
    hot_ = combo_->ItemIndex();
    top_ = 0;
    ScrollTo(hot_);
    const int height = rows_ * combo_->ItemHeight() + 2;
    QPoint origin = below;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      if (below.y() + height > screen->geometry().bottom() && above.y() - height >= 0) {
        origin = QPoint(above.x(), above.y() - height);
      }
    }
    setGeometry(origin.x(), origin.y(), std::max(width, 1), height);
    UpdateScrollBar();
    show();
    setFocus(Qt::PopupFocusReason);
  }

  int Hot() const { return hot_; }
  int TopItem() const { return top_; }
  // The width of the bar while it is shown, else 0.
  int BarWidth() const { return bar_shown_ ? TScrollBar::DefaultWidth : 0; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (combo_ == nullptr || width() <= 0 || height() <= 0) return;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width(), height());
    ReleaseDC(nullptr, screen);
    if (bitmap == nullptr) return;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    Application->Guard(combo_, [&] { combo_->PaintDropDown(dc, width(), height(), hot_, top_, BarWidth()); });
    {
      QPainter painter(this);
      painter.drawImage(0, 0, BitmapAsQImage(bitmap));
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }

  void mouseMoveEvent(QMouseEvent* event) override {
    const int index = ItemAt(event->position().toPoint());
    if (index >= 0 && index != hot_) {
      hot_ = index;
      update();
    }
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (!rect().contains(event->position().toPoint())) {
      close();  // a press outside the list closes it without a choice
      return;
    }
    mouseMoveEvent(event);
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    // The release of the press that opened the list lands on the box, outside: no choice.
    const int index = ItemAt(event->position().toPoint());
    if (index >= 0) Choose(index);
  }

  void wheelEvent(QWheelEvent* event) override {
    const int steps = event->angleDelta().y() / 120;
    SetTop(top_ - steps);
  }

  void keyPressEvent(QKeyEvent* event) override {
    if (combo_ == nullptr) return;
    const bool alt = (event->modifiers() & Qt::AltModifier) != 0;
    const int last = combo_->Count() - 1;
    switch (event->key()) {
      case Qt::Key_Escape:
        close();
        return;
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_F4:
        Choose(hot_);
        return;
      case Qt::Key_Up:
        if (alt) {
          Choose(hot_);
        } else {
          MoveHot(hot_ < 0 ? 0 : hot_ - 1);
        }
        return;
      case Qt::Key_Down:
        if (alt) {
          Choose(hot_);
        } else {
          MoveHot(hot_ < 0 ? 0 : hot_ + 1);
        }
        return;
      case Qt::Key_PageUp:
        MoveHot(hot_ - (rows_ - 1));
        return;
      case Qt::Key_PageDown:
        MoveHot(hot_ + (rows_ - 1));
        return;
      case Qt::Key_Home:
        MoveHot(0);
        return;
      case Qt::Key_End:
        MoveHot(last);
        return;
      default:
        QWidget::keyPressEvent(event);
        return;
    }
  }

  void hideEvent(QHideEvent* event) override {
    QWidget::hideEvent(event);
    if (combo_ != nullptr) combo_->DropDownClosed();
  }

 private:
  int ItemAt(QPoint p) const {
    if (combo_ == nullptr || !rect().contains(p) || p.x() >= width() - 1 - BarWidth()) return -1;
    const int row = (p.y() - 1) / std::max(1, combo_->ItemHeight());
    const int index = top_ + std::clamp(row, 0, rows_ - 1);
    return index < combo_->Count() ? index : -1;
  }

  void MoveHot(int index) {
    if (combo_ == nullptr || combo_->Count() == 0) return;
    hot_ = std::clamp(index, 0, combo_->Count() - 1);
    ScrollTo(hot_);
    update();
  }

  void ScrollTo(int index) {
    if (index < 0) return;
    if (index < top_) SetTop(index);
    if (index >= top_ + rows_) SetTop(index - rows_ + 1);
  }

  void SetTop(int top) {
    if (combo_ == nullptr) return;
    const int maxTop = std::max(0, combo_->Count() - rows_);
    top_ = std::clamp(top, 0, maxTop);
    bar_.SetParams(combo_->Count(), rows_, top_);
    update();
  }

  void UpdateScrollBar() {
    bar_shown_ = combo_ != nullptr && combo_->Count() > rows_;
    if (!bar_shown_) {
      bar_.Hide();
      return;
    }
    bar_.SetParams(combo_->Count(), rows_, top_);
    const int right = width() - 1;
    bar_.Place(this, Rect(right - TScrollBar::DefaultWidth, 1, right, height() - 1));
  }

  // Closes the list, then runs the choice as the user's (errors go to the error report).
  void Choose(int index) {
    TCustomComboBox* combo = combo_;
    close();
    if (combo == nullptr || index < 0) return;
    Application->Guard(combo, [&] { combo->ChooseItem(index); });
  }

  TCustomComboBox* combo_;
  int rows_ = 1;
  int hot_ = -1;
  int top_ = 0;
  TScrollBar bar_;
  bool bar_shown_ = false;
};

// ---------------------------------------------------------------------------------------------
// The combo box.

TCustomComboBox::TCustomComboBox(TComponent* AOwner) : TCustomControl(AOwner) {
  TabStop = true;
  SetColor(clWindow);
  ControlStyle.Exclude(csClickEvents);  // the box runs its click handling itself
  text_height_ = FontLineHeight(Font());
  SetBounds(Left(), Top(), kDefaultWidth, BoxHeight());
}

TCustomComboBox::~TCustomComboBox() { CloseDropDown(); }

const std::string& TCustomComboBox::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(Format(SListIndexError, Index));
  return items_[static_cast<size_t>(Index)].Text;
}

TObject* TCustomComboBox::Objects(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(Format(SListIndexError, Index));
  return items_[static_cast<size_t>(Index)].Object;
}

void TCustomComboBox::SetObjects(int Index, TObject* Object) {
  if (Index < 0 || Index >= Count()) throw EListError(Format(SListIndexError, Index));
  items_[static_cast<size_t>(Index)].Object = Object;
  Invalidate();
}

int TCustomComboBox::AddItem(const std::string& Text, TObject* Object) {
  items_.push_back(TComboItem{Text, Object});
  Invalidate();
  return Count() - 1;
}

void TCustomComboBox::Delete(int Index) {
  if (Index < 0 || Index >= Count()) throw EListError(Format(SListIndexError, Index));
  items_.erase(items_.begin() + Index);
  if (item_index_ == Index) {
    SetItemIndex(-1);
  } else if (item_index_ > Index) {
    --item_index_;
  }
  Invalidate();
}

void TCustomComboBox::Clear() {
  CloseDropDown();
  items_.clear();
  item_index_ = -1;
  text_.clear();
  Invalidate();
}

int TCustomComboBox::IndexOf(const std::string& Text) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameTextIgnoringCase(items_[static_cast<size_t>(i)].Text, Text)) return i;
  }
  return -1;
}

void TCustomComboBox::SetItemIndex(int Value) {
  item_index_ = (Value >= 0 && Value < Count()) ? Value : -1;
  text_ = item_index_ >= 0 ? items_[static_cast<size_t>(item_index_)].Text : std::string();
  Invalidate();
}

void TCustomComboBox::SetText(const std::string& Value) { SetItemIndex(IndexOf(Value)); }

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  AdjustBoxHeight();
  Invalidate();
}

int TCustomComboBox::ItemHeight() const { return style_ == csOwnerDrawFixed ? item_height_ : text_height_; }

void TCustomComboBox::SetItemHeight(int Value) {
  if (Value <= 0 || Value == item_height_) return;
  item_height_ = Value;
  AdjustBoxHeight();
  Invalidate();
}

void TCustomComboBox::SetDropDownCount(int Value) { drop_down_count_ = std::max(1, Value); }

// The owner-drawn box holds the item with a one-pixel margin inside the frame; the plain box adds
// one more pixel above and below the text, as the platform's own combo boxes do.
int TCustomComboBox::BoxHeight() const {
  const int margin = style_ == csOwnerDrawFixed ? 1 : 2;
  return ItemHeight() + 2 * (kFrameWidth + margin);
}

void TCustomComboBox::AdjustBoxHeight() { SetBounds(Left(), Top(), Width(), Height()); }

void TCustomComboBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  TCustomControl::SetBounds(ALeft, ATop, AWidth, BoxHeight());
}

void TCustomComboBox::FontChanged() {
  TCustomControl::FontChanged();
  text_height_ = FontLineHeight(Font());
  AdjustBoxHeight();
}

// ---- user's choice --------------------------------------------------------------------------

void TCustomComboBox::Click() { Fire(OnClick, this); }

void TCustomComboBox::Change() { Fire(OnChange, this); }

void TCustomComboBox::Select() { Change(); }

void TCustomComboBox::ChooseItem(int Index) {
  if (Index < 0 || Index >= Count() || Index == item_index_) return;
  SetItemIndex(Index);
  Click();
  Select();
}

void TCustomComboBox::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  const bool alt = Shift.Contains(ssAlt);
  if (Key == kVkF4 || (alt && (Key == VK_DOWN || Key == VK_UP))) {
    SetDroppedDown(!DroppedDown());
    Key = 0;
    return;
  }
  if (Count() == 0) return;
  const int current = item_index_;
  const int page = std::max(1, drop_down_count_ - 1);
  switch (Key) {
    case VK_UP:
    case VK_LEFT:
      ChooseItem(current < 0 ? 0 : std::max(0, current - 1));
      break;
    case VK_DOWN:
    case VK_RIGHT:
      ChooseItem(current < 0 ? 0 : std::min(Count() - 1, current + 1));
      break;
    case VK_PRIOR:
      ChooseItem(std::max(0, current - page));
      break;
    case VK_NEXT:
      ChooseItem(std::min(Count() - 1, std::max(0, current) + page));
      break;
    case VK_HOME:
      ChooseItem(0);
      break;
    case VK_END:
      ChooseItem(Count() - 1);
      break;
    default:
      return;
  }
  Key = 0;
}

void TCustomComboBox::KeyPress(char& Key) {
  TCustomControl::KeyPress(Key);
  if (static_cast<unsigned char>(Key) <= ' ') return;
  const int index = NextItemStartingWith(Key);
  if (index >= 0) ChooseItem(index);
}

int TCustomComboBox::NextItemStartingWith(char Key) const {
  const int wanted = std::tolower(static_cast<unsigned char>(Key));
  for (int step = 1; step <= Count(); ++step) {
    const int index = (std::max(item_index_, -1) + step) % Count();
    const std::string& text = items_[static_cast<size_t>(index)].Text;
    if (!text.empty() && std::tolower(static_cast<unsigned char>(text[0])) == wanted) return index;
  }
  return -1;
}

void TCustomComboBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    SetDroppedDown(!DroppedDown());
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

// ---- popup ----------------------------------------------------------------------------------

bool TCustomComboBox::DroppedDown() const { return drop_down_ != nullptr && drop_down_->isVisible(); }

QWidget* TCustomComboBox::DropDownList() const { return DroppedDown() ? drop_down_ : nullptr; }

void TCustomComboBox::SetDroppedDown(bool Value) {
  if (Value == DroppedDown()) return;
  if (!Value) {
    CloseDropDown();
    return;
  }
  if (widget_ == nullptr || !widget_->isVisible()) return;
  if (drop_down_ == nullptr) drop_down_ = new TComboDropDown(this, widget_);
  drop_down_->Open(widget_->mapToGlobal(QPoint(0, Height())), widget_->mapToGlobal(QPoint(0, 0)), Width());
  Invalidate();
}

void TCustomComboBox::CloseDropDown() {
  if (drop_down_ == nullptr) return;
  TComboDropDown* popup = drop_down_;
  drop_down_ = nullptr;
  popup->Detach();
  popup->hide();
  // The popup may be running the very event that closes it (a choice whose handler refills the
  // items), so it goes once that event is over.
  popup->deleteLater();
  Invalidate();
}

void TCustomComboBox::DropDownClosed() { Invalidate(); }

void TCustomComboBox::DestroyWnd() {
  CloseDropDown();  // the popup is a child of the window going away
  TCustomControl::DestroyWnd();
}

// ---- drawing --------------------------------------------------------------------------------

TRect TCustomComboBox::ButtonRect() const {
  const int right = Width() - kFrameWidth;
  return Rect(std::max(kFrameWidth, right - kButtonWidth), kFrameWidth, right, Height() - kFrameWidth);
}

TRect TCustomComboBox::FieldRect() const {
  return Rect(kFrameWidth, kFrameWidth, ButtonRect().Left, Height() - kFrameWidth);
}

void TCustomComboBox::PrepareCanvasForItem(bool Selected) {
  TCanvas& canvas = Canvas();
  canvas.Font().AssignFrom(&Font());
  canvas.Brush().SetStyle(bsSolid);
  if (Selected) {
    canvas.Brush().SetColor(clHighlight);
    canvas.Font().SetColor(clHighlightText);
  } else {
    canvas.Brush().SetColor(Color());
  }
}

void TCustomComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  TCanvas& canvas = Canvas();
  canvas.FillRect(Rect);
  if (Index < 0 || Index >= Count()) return;
  const std::string& text = Items(Index);
  canvas.RequiredState({csHandleValid, csFontValid, csBrushValid});
  RECT r{Rect.Left + 2, Rect.Top, Rect.Right, Rect.Bottom};
  DrawTextA(canvas.Handle(), text.c_str(), static_cast<int>(text.size()), &r,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void TCustomComboBox::DrawItemForStyle(int Index, const TRect& Rect, TOwnerDrawState State) {
  if (style_ == csOwnerDrawFixed) {
    DrawItem(Index, Rect, State);
  } else {
    TCustomComboBox::DrawItem(Index, Rect, State);
  }
}

void TCustomComboBox::PaintButton(TCanvas& canvas, const TRect& Rect) {
  TRect rect = Rect;
  Frame3D(canvas, rect, clBtnFace, clBlack, 1);
  Frame3D(canvas, rect, clBtnHighlight, clBtnShadow, 1);
  canvas.Brush().SetColor(clBtnFace);
  canvas.FillRect(rect);
  // A down-pointing triangle of 7, 5, 3 and 1 pixels, centred.
  canvas.Brush().SetColor(Enabled() ? clBtnText : clGrayText);
  const int centreX = (Rect.Left + Rect.Right) / 2;
  const int top = (Rect.Top + Rect.Bottom) / 2 - 2;
  for (int row = 0; row < 4; ++row) {
    canvas.FillRect(lumivane::Rect(centreX - 3 + row, top + row, centreX + 4 - row, top + row + 1));
  }
}

void TCustomComboBox::Paint() {
  TCanvas& canvas = Canvas();
  TRect frame = ClientRect();
  Frame3D(canvas, frame, clBtnShadow, clBtnHighlight, 1);
  Frame3D(canvas, frame, clBlack, clBtnFace, 1);

  const TRect field = FieldRect();
  canvas.Brush().SetColor(Color());
  canvas.FillRect(field);
  const TRect itemRect = Rect(field.Left + 1, field.Top + 1, field.Right - 1, field.Bottom - 1);
  const bool highlighted = Focused() && !DroppedDown();
  TOwnerDrawState state;
  if (highlighted) state = {odSelected, odFocused};
  if (!Enabled()) state.Include(odDisabled);
  PrepareCanvasForItem(highlighted);
  if (item_index_ >= 0) {
    DrawItemForStyle(item_index_, itemRect, state);
  } else {
    canvas.FillRect(itemRect);
  }
  if (highlighted) canvas.DrawFocusRect(itemRect);
  PaintButton(canvas, ButtonRect());
}

void TCustomComboBox::PaintDropDown(HDC DC, int Width, int Height, int Hot, int Top, int BarWidth) {
  TCanvas& canvas = Canvas();
  canvas.Lock();
  canvas.SetHandle(DC);
  try {
    TRect frame = Rect(0, 0, Width, Height);
    Frame3D(canvas, frame, clBlack, clBlack, 1);
    frame.Right = std::max(frame.Left, frame.Right - BarWidth);  // the scroll bar's strip
    const int itemHeight = ItemHeight();
    int y = frame.Top;
    for (int index = Top; index < Count() && y < frame.Bottom; ++index, y += itemHeight) {
      const TRect rect = Rect(frame.Left, y, frame.Right, y + itemHeight);
      const bool hot = index == Hot;
      TOwnerDrawState state;
      if (hot) state = {odSelected, odFocused};
      PrepareCanvasForItem(hot);
      DrawItemForStyle(index, rect, state);
      if (hot) canvas.DrawFocusRect(rect);
    }
    if (y < frame.Bottom) {
      canvas.Brush().SetColor(Color());
      canvas.FillRect(Rect(frame.Left, y, frame.Right, frame.Bottom));
    }
  } catch (...) {
    canvas.SetHandle(nullptr);
    canvas.Unlock();
    throw;
  }
  canvas.SetHandle(nullptr);
  canvas.Unlock();
}

}  // namespace lumivane
