#include "framework/font.h"

#include <cmath>
#include <cstring>

#include "platform/gdi/gdi.h"

namespace lumivane {

TFont::~TFont() {
  if (handle_ != nullptr) DeleteObject(handle_);
}

void TFont::DescriptionChanged() {
  {
    std::lock_guard<std::mutex> guard(handle_mutex_);
    // A font still selected somewhere is freed by the device once it is deselected.
    if (handle_ != nullptr) DeleteObject(handle_);
    handle_ = nullptr;
  }
  Changed();
}

void TFont::SetName(const std::string& name) {
  if (name == name_) return;
  name_ = name;
  DescriptionChanged();
}

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  DescriptionChanged();
}

int TFont::Size() const {
  return static_cast<int>(std::lround(-static_cast<double>(height_) * 72 / PixelsPerInch));
}

void TFont::SetSize(int points) {
  SetHeight(-static_cast<int>(std::lround(static_cast<double>(points) * PixelsPerInch / 72)));
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();  // the colour is applied per drawing call, the handle stays
}

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  DescriptionChanged();
}

HFONT TFont::Handle() {
  std::lock_guard<std::mutex> guard(handle_mutex_);
  if (handle_ == nullptr) {
    LOGFONTA log{};
    log.lfHeight = height_;
    log.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    log.lfItalic = style_.Contains(fsItalic) ? 1 : 0;
    log.lfUnderline = style_.Contains(fsUnderline) ? 1 : 0;
    log.lfStrikeOut = style_.Contains(fsStrikeOut) ? 1 : 0;
    log.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(log.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
    handle_ = CreateFontIndirectA(&log);
  }
  return handle_;
}

void TFont::AssignFrom(TPersistent* Source) {
  if (auto* other = dynamic_cast<TFont*>(Source)) {
    if (other == this) return;
    const bool same = other->name_ == name_ && other->height_ == height_ && other->style_ == style_;
    name_ = other->name_;
    height_ = other->height_;
    style_ = other->style_;
    color_ = other->color_;
    if (same) {
      Changed();
    } else {
      DescriptionChanged();
    }
    return;
  }
  TPersistent::AssignFrom(Source);
}

int FontLineHeight(TFont& font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, font.Handle());
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, previous);
  ReleaseDC(nullptr, dc);
  return metrics.tmHeight;
}

}  // namespace lumivane
