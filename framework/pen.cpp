#include "framework/pen.h"

#include "platform/gdi/gdi.h"

namespace lumivane {

TPen::~TPen() {
  if (handle_ != nullptr) DeleteObject(handle_);
}

void TPen::DescriptionChanged() {
  {
    std::lock_guard<std::mutex> guard(handle_mutex_);
    if (handle_ != nullptr) DeleteObject(handle_);
    handle_ = nullptr;
  }
  Changed();
}

void TPen::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  DescriptionChanged();
}

void TPen::SetWidth(int width) {
  if (width == width_) return;
  width_ = width;
  DescriptionChanged();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  style_ = style;
  DescriptionChanged();
}

HPEN TPen::Handle() {
  std::lock_guard<std::mutex> guard(handle_mutex_);
  if (handle_ == nullptr) {
    int style = PS_SOLID;
    if (style_ == psClear)
      style = PS_NULL;
    else if (style_ != psSolid)
      style = PS_DOT;
    handle_ = CreatePen(style, width_, ColorToRGB(color_));
  }
  return handle_;
}

void TPen::AssignFrom(TPersistent* Source) {
  if (auto* other = dynamic_cast<TPen*>(Source)) {
    if (other == this) return;
    color_ = other->color_;
    width_ = other->width_;
    style_ = other->style_;
    DescriptionChanged();
    return;
  }
  TPersistent::AssignFrom(Source);
}

}  // namespace lumivane
