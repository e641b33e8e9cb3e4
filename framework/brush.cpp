#include "framework/brush.h"

#include "platform/gdi/gdi.h"

namespace lumivane {

TBrush::~TBrush() {
  if (handle_ != nullptr) DeleteObject(handle_);
}

void TBrush::DescriptionChanged() {
  {
    std::lock_guard<std::mutex> guard(handle_mutex_);
    if (handle_ != nullptr) DeleteObject(handle_);
    handle_ = nullptr;
  }
  Changed();
}

void TBrush::SetColor(TColor color) {
  if (color == color_ && style_ != bsClear) return;
  color_ = color;
  // Giving a clear brush a colour makes it solid again.
  if (style_ == bsClear) style_ = bsSolid;
  DescriptionChanged();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_) return;
  style_ = style;
  DescriptionChanged();
}

HBRUSH TBrush::Handle() {
  std::lock_guard<std::mutex> guard(handle_mutex_);
  if (handle_ == nullptr) {
    if (style_ == bsClear) {
      handle_ = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    } else {
      handle_ = CreateSolidBrush(ColorToRGB(color_));
    }
  }
  return handle_;
}

void TBrush::AssignFrom(TPersistent* Source) {
  if (auto* other = dynamic_cast<TBrush*>(Source)) {
    if (other == this) return;
    color_ = other->color_;
    style_ = other->style_;
    DescriptionChanged();
    return;
  }
  TPersistent::AssignFrom(Source);
}

}  // namespace lumivane
