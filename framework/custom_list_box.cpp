#include "framework/custom_list_box.h"

#include <QtCore/QCollator>
#include <QtCore/QLocale>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtGui/QHelpEvent>
#include <QtWidgets/QToolTip>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "framework/exception.h"
#include "framework/scroll_bar.h"
#include "framework/sys_utils.h"

namespace lumivane {

// ---------------------------------------------------------------------------------------------
// Item storage. Items live behind small handles in blocks of bounded size, with the index of each
// block's first item kept alongside. Sorted insertion finds the block by binary search over the
// blocks' last keys and the place inside it by binary search, so an insertion moves at most one
// block's handles and touches one counter per block; a list of 80,000 names fills in
// O(n (log n + n / kMaxBlock)) with a tiny constant instead of moving whole strings.

namespace {

constexpr size_t kMaxBlock = 512;

QCollator MakeItemCollator() {
  QCollator collator(QLocale::system());
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  return collator;
}

}  // namespace

struct TCustomListBox::TListItem {
  std::string Text;
  TObject* Object = nullptr;
  std::optional<QCollatorSortKey> Key;  // present while the list is sorted
};

class TCustomListBox::TItemStore {
 public:
  using ItemPtr = std::unique_ptr<TListItem>;

  TItemStore() : collator_(MakeItemCollator()) {}

  int Count() const { return count_; }

  TListItem& At(int index) {
    const auto [block, offset] = Locate(index);
    return *blocks_[block][offset];
  }

  // The case-insensitive locale order key of a text, computed once per item.
  QCollatorSortKey KeyOf(const std::string& text) const {
    const QString name = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    // Lower-casing first keeps the order case-blind even where the collator compares raw code
    // points (the C locale).
    return collator_.sortKey(name.toLower());
  }

  // Inserts after every item whose key is not greater; returns the new item's index.
  int InsertSorted(ItemPtr item) {
    if (blocks_.empty()) return InsertInto(0, 0, std::move(item));
    const QCollatorSortKey& key = *item->Key;
    size_t block = FirstBlockEndingAfter(key);
    if (block == blocks_.size()) block = blocks_.size() - 1;
    Block& items = blocks_[block];
    const auto place = std::upper_bound(
        items.begin(), items.end(), key,
        [](const QCollatorSortKey& k, const ItemPtr& other) { return k.compare(*other->Key) < 0; });
    return InsertInto(block, static_cast<size_t>(place - items.begin()), std::move(item));
  }

  // Inserts at a position (Count() appends); returns it.
  int InsertAt(int index, ItemPtr item) {
    if (blocks_.empty() || index >= count_) {
      if (blocks_.empty()) return InsertInto(0, 0, std::move(item));
      return InsertInto(blocks_.size() - 1, blocks_.back().size(), std::move(item));
    }
    const auto [block, offset] = Locate(index);
    return InsertInto(block, offset, std::move(item));
  }

  void Delete(int index) {
    auto [block, offset] = Locate(index);
    blocks_[block].erase(blocks_[block].begin() + static_cast<ptrdiff_t>(offset));
    --count_;
    if (blocks_[block].empty()) {
      blocks_.erase(blocks_.begin() + static_cast<ptrdiff_t>(block));
      starts_.erase(starts_.begin() + static_cast<ptrdiff_t>(block));
    } else {
      ++block;
    }
    for (size_t b = block; b < starts_.size(); ++b) --starts_[b];
  }

  void Clear() {
    blocks_.clear();
    starts_.clear();
    count_ = 0;
  }

  // Gives every item its key (or drops the keys) and, when sorting, puts the items in order;
  // items that compare equal keep their relative order.
  void SetSorted(bool sorted) {
    std::vector<ItemPtr> all = TakeAll();
    for (ItemPtr& item : all) {
      if (sorted) {
        item->Key = KeyOf(item->Text);
      } else {
        item->Key.reset();
      }
    }
    if (sorted) {
      std::stable_sort(all.begin(), all.end(),
                       [](const ItemPtr& a, const ItemPtr& b) { return a->Key->compare(*b->Key) < 0; });
    }
    for (ItemPtr& item : all) InsertAt(count_, std::move(item));
  }

 private:
  using Block = std::vector<ItemPtr>;

  std::pair<size_t, size_t> Locate(int index) const {
    if (index < 0 || index >= count_) throw EListError(Format(SListIndexError, index));
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), index);
    const size_t block = static_cast<size_t>(after - starts_.begin()) - 1;
    return {block, static_cast<size_t>(index - starts_[block])};
  }

  size_t FirstBlockEndingAfter(const QCollatorSortKey& key) const {
    size_t low = 0;
    size_t high = blocks_.size();
    while (low < high) {
      const size_t mid = (low + high) / 2;
      if (key.compare(*blocks_[mid].back()->Key) < 0) {
        high = mid;
      } else {
        low = mid + 1;
      }
    }
    return low;
  }

  int InsertInto(size_t block, size_t offset, ItemPtr item) {
    if (blocks_.empty()) {
      blocks_.emplace_back();
      starts_.push_back(0);
    }
    Block& items = blocks_[block];
    items.insert(items.begin() + static_cast<ptrdiff_t>(offset), std::move(item));
    ++count_;
    for (size_t b = block + 1; b < starts_.size(); ++b) ++starts_[b];
    const int index = starts_[block] + static_cast<int>(offset);
    if (items.size() > kMaxBlock) SplitBlock(block);
    return index;
  }

  void SplitBlock(size_t block) {
    Block& full = blocks_[block];
    const size_t half = full.size() / 2;
    Block upper;
    upper.reserve(kMaxBlock + 1);
    std::move(full.begin() + static_cast<ptrdiff_t>(half), full.end(), std::back_inserter(upper));
    full.resize(half);
    const int upperStart = starts_[block] + static_cast<int>(half);
    blocks_.insert(blocks_.begin() + static_cast<ptrdiff_t>(block) + 1, std::move(upper));
    starts_.insert(starts_.begin() + static_cast<ptrdiff_t>(block) + 1, upperStart);
  }

  std::vector<ItemPtr> TakeAll() {
    std::vector<ItemPtr> all;
    all.reserve(static_cast<size_t>(count_));
    for (Block& items : blocks_) {
      for (ItemPtr& item : items) all.push_back(std::move(item));
    }
    Clear();
    return all;
  }

  QCollator collator_;
  std::vector<Block> blocks_;
  std::vector<int> starts_;  // index of each block's first item
  int count_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Tooltips: when the pointer rests on an item cut at the list's edge, its full text shows over it
// until the pointer leaves the item.

class TCustomListBox::TTipFilter : public QObject {
 public:
  explicit TTipFilter(TCustomListBox* list) : list_(list) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    TRect item;
    std::string tip;
    try {
      tip = list_->TipAt(TPoint{help->pos().x(), help->pos().y()}, item);
    } catch (const std::exception&) {
      tip.clear();  // a tip that cannot be worked out is simply not shown
    }
    if (tip.empty() || widget == nullptr) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size())),
                         widget, QRect(item.Left, item.Top, item.Width(), item.Height()));
    }
    return true;
  }

 private:
  TCustomListBox* list_;
};

// ---------------------------------------------------------------------------------------------
// The list box.

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TCustomControl(AOwner),
      items_(std::make_unique<TItemStore>()),
      scroll_bar_(std::make_unique<TScrollBar>()),
      tip_filter_(std::make_unique<TTipFilter>(this)) {
  // Scrolling with the bar moves the view only; the selection stays.
  scroll_bar_->OnScroll = [this](int Position) { SetTopIndex(Position); };
  SetBounds(Left(), Top(), 121, 97);
  TabStop = true;
  SetColor(clWindow);
  ControlStyle.Exclude(csClickEvents);  // the list runs its click handling itself
  ControlStyle.Include(csDoubleClicks);
}

TCustomListBox::~TCustomListBox() = default;

int TCustomListBox::Count() const { return items_->Count(); }

const std::string& TCustomListBox::Items(int Index) const { return items_->At(Index).Text; }

TObject* TCustomListBox::Objects(int Index) const { return items_->At(Index).Object; }

void TCustomListBox::SetObjects(int Index, TObject* Object) {
  items_->At(Index).Object = Object;
  Invalidate();
}

int TCustomListBox::AddItem(const std::string& Text, TObject* Object) {
  if (!sorted_) {
    InsertItem(Count(), Text, Object);
    return Count() - 1;
  }
  auto item = std::make_unique<TListItem>();
  item->Text = Text;
  item->Object = Object;
  item->Key = items_->KeyOf(Text);
  const int index = items_->InsertSorted(std::move(item));
  if (item_index_ >= index) ++item_index_;
  Invalidate();
  UpdateScrollBar();
  return index;
}

void TCustomListBox::InsertItem(int Index, const std::string& Text, TObject* Object) {
  if (Index < 0 || Index > Count()) throw EListError(Format(SListIndexError, Index));
  auto item = std::make_unique<TListItem>();
  item->Text = Text;
  item->Object = Object;
  if (sorted_) item->Key = items_->KeyOf(Text);
  items_->InsertAt(Index, std::move(item));
  if (item_index_ >= Index) ++item_index_;
  Invalidate();
  UpdateScrollBar();
}

void TCustomListBox::Delete(int Index) {
  items_->Delete(Index);
  if (item_index_ == Index) {
    item_index_ = -1;
  } else if (item_index_ > Index) {
    --item_index_;
  }
  top_index_ = std::min(top_index_, MaxTopIndex());
  Invalidate();
  UpdateScrollBar();
}

void TCustomListBox::Clear() {
  items_->Clear();
  item_index_ = -1;
  top_index_ = 0;
  Invalidate();
  UpdateScrollBar();
}

int TCustomListBox::FindStringExact(int StartIndex, const std::string& Text) const {
  const int count = Count();
  if (count == 0) return -1;
  const QString wanted = QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
  const int first = (StartIndex < 0 || StartIndex >= count) ? 0 : StartIndex + 1;
  for (int step = 0; step < count; ++step) {
    const int index = (first + step) % count;
    const std::string& text = items_->At(index).Text;
    const QString candidate = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (candidate.compare(wanted, Qt::CaseInsensitive) == 0) return index;
  }
  return -1;
}

void TCustomListBox::SetItemIndex(int Value) {
  const int index = (Value >= 0 && Value < Count()) ? Value : -1;
  if (index == item_index_) return;
  item_index_ = index;
  if (index >= 0) ScrollIntoView(index);
  Invalidate();
}

bool TCustomListBox::MouseWheel(TShiftState, int WheelDelta, int, int) {
  const int notches = WheelDelta / 120;
  if (notches == 0) return false;
  SetTopIndex(top_index_ - notches * 3);
  return true;
}

void TCustomListBox::SetTopIndex(int Value) {
  const int top = std::clamp(Value, 0, MaxTopIndex());
  if (top == top_index_) return;
  top_index_ = top;
  Invalidate();
  UpdateScrollBar();
}

int TCustomListBox::VisibleItemCount() const {
  return std::max(1, ClientHeight() / std::max(1, item_height_));
}

int TCustomListBox::MaxTopIndex() const { return std::max(0, Count() - VisibleItemCount()); }

int TCustomListBox::ItemAtPos(TPoint Pos) const {
  if (Pos.X < 0 || Pos.X >= ClientWidth() || Pos.Y < 0 || Pos.Y >= ClientHeight()) return -1;
  const int index = top_index_ + Pos.Y / std::max(1, item_height_);
  return index < Count() ? index : -1;
}

TRect TCustomListBox::ItemRect(int Index) const {
  const int top = (Index - top_index_) * item_height_;
  return Rect(0, top, ClientWidth(), top + item_height_);
}

void TCustomListBox::SetSorted(bool Value) {
  if (Value == sorted_) return;
  sorted_ = Value;
  // The selection follows its item through the reordering.
  TObject* selectedObject = nullptr;
  std::string selectedText;
  if (item_index_ >= 0) {
    selectedText = Items(item_index_);
    selectedObject = Objects(item_index_);
  }
  items_->SetSorted(Value);
  if (item_index_ >= 0) {
    item_index_ = -1;
    for (int i = 0; i < Count(); ++i) {
      const TListItem& item = items_->At(i);
      if (item.Object == selectedObject && item.Text == selectedText) {
        item_index_ = i;
        break;
      }
    }
  }
  Invalidate();
}

void TCustomListBox::SetStyle(TListBoxStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  Invalidate();
}

void TCustomListBox::SetItemHeight(int Value) {
  if (Value <= 0 || Value == item_height_) return;
  item_height_ = Value;
  top_index_ = std::min(top_index_, MaxTopIndex());
  Invalidate();
  UpdateScrollBar();
}

void TCustomListBox::Click() { Fire(OnClick, this); }

void TCustomListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  TCanvas& canvas = Canvas();
  canvas.FillRect(Rect);
  if (Index < Count()) canvas.TextOut(Rect.Left + 2, Rect.Top, Items(Index));
}

int TCustomListBox::ItemContentWidth(int Index) {
  TCanvas& canvas = Canvas();
  canvas.Font().AssignFrom(&Font());
  return 2 + canvas.TextWidth(Items(Index));
}

std::string TCustomListBox::TipAt(TPoint Pos, TRect& ItemBounds) {
  const int index = ItemAtPos(Pos);
  if (index < 0) return std::string();
  ItemBounds = ItemRect(index);
  // The standard style draws every item the default way, whatever a descendant draws.
  const int needed = style_ == lbStandard ? TCustomListBox::ItemContentWidth(index) : ItemContentWidth(index);
  return needed > ItemBounds.Width() ? Items(index) : std::string();
}

void TCustomListBox::PrepareCanvasForItem(bool selected) {
  TCanvas& canvas = Canvas();
  canvas.Font().AssignFrom(&Font());
  canvas.Brush().SetStyle(bsSolid);
  if (selected) {
    canvas.Brush().SetColor(clHighlight);
    canvas.Font().SetColor(clHighlightText);
  } else {
    canvas.Brush().SetColor(Color());
  }
}

void TCustomListBox::Paint() {
  const int count = Count();
  const int lastVisible = std::min(count, top_index_ + VisibleItemCount() + 1);
  const bool hasFocus = Focused();
  // Without a selection the keyboard caret sits on the first item.
  const int caret = item_index_ >= 0 ? item_index_ : 0;
  for (int index = top_index_; index < lastVisible; ++index) {
    const TRect rect = ItemRect(index);
    if (rect.Top >= ClientHeight()) break;
    TOwnerDrawState state;
    if (Selected(index)) state.Include(odSelected);
    if (hasFocus && index == caret) state.Include(odFocused);
    if (!Enabled()) state.Include(odDisabled);
    PrepareCanvasForItem(state.Contains(odSelected));
    if (style_ == lbStandard) {
      TCustomListBox::DrawItem(index, rect, state);
    } else {
      DrawItem(index, rect, state);
    }
    if (state.Contains(odFocused)) Canvas().DrawFocusRect(rect);
  }
}

void TCustomListBox::MoveSelectionByUser(int Index) {
  if (Count() == 0) return;
  const int index = std::clamp(Index, 0, Count() - 1);
  ScrollIntoView(index);
  if (index == item_index_) return;
  item_index_ = index;
  Invalidate();
  Click();
}

void TCustomListBox::ScrollIntoView(int Index) {
  if (Index < top_index_) {
    SetTopIndex(Index);
  } else if (Index >= top_index_ + VisibleItemCount()) {
    SetTopIndex(Index - VisibleItemCount() + 1);
  }
}

void TCustomListBox::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Count() == 0) return;
  const int page = VisibleItemCount();
  const int step = std::max(1, page - 1);
  const int current = item_index_;
  // The keyboard caret: the selected item, else the first one.
  const int caret = current < 0 ? 0 : current;
  switch (Key) {
    case VK_UP:
      MoveSelectionByUser(current < 0 ? 0 : current - 1);
      break;
    case VK_DOWN:
      MoveSelectionByUser(current < 0 ? 0 : current + 1);
      break;
    case VK_PRIOR:
      // First to the top of the visible page, then a page further each time.
      MoveSelectionByUser(caret > top_index_ ? top_index_ : caret - step);
      break;
    case VK_NEXT: {
      const int pageBottom = top_index_ + page - 1;
      MoveSelectionByUser(caret < pageBottom ? pageBottom : caret + step);
      break;
    }
    case VK_HOME:
      MoveSelectionByUser(0);
      break;
    case VK_END:
      MoveSelectionByUser(Count() - 1);
      break;
    default:
      break;
  }
}

void TCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    const int index = ItemAtPos(TPoint{X, Y});
    if (index >= 0) {
      // A click always runs the click handling, also on the item already selected.
      ScrollIntoView(index);
      if (index != item_index_) {
        item_index_ = index;
        Invalidate();
      }
      Click();
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomListBox::Resize() {
  top_index_ = std::min(top_index_, MaxTopIndex());
  UpdateScrollBar();
  TCustomControl::Resize();
}

int TCustomListBox::ClientWidth() const {
  return std::max(0, Width() - (ScrollBarShown() ? TScrollBar::DefaultWidth : 0));
}

void TCustomListBox::ApplyGeometry() {
  TCustomControl::ApplyGeometry();
  if (widget_ != nullptr) widget_->installEventFilter(tip_filter_.get());  // a new window needs it too
  UpdateScrollBar();
}

void TCustomListBox::UpdateScrollBar() {
  const bool shown = ScrollBarShown();
  if (shown != bar_shown_) {
    bar_shown_ = shown;
    Invalidate();  // the items change width
  }
  scroll_bar_->SetParams(Count(), VisibleItemCount(), top_index_);
  if (shown && widget_ != nullptr) {
    scroll_bar_->Place(widget_, Rect(ClientWidth(), 0, Width(), Height()));
  } else {
    scroll_bar_->Hide();
  }
}

}  // namespace lumivane
