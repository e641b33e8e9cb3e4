#include "picture/bitmap_canvas.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "framework/exception.h"
#include "picture/bitmap.h"
#include "picture/bitmap_image.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

// Every bitmap canvas that holds a context, so that a bitmap can be taken out of all of them.
struct CanvasList {
  std::recursive_mutex lock;
  std::vector<TBitmapCanvas*> items;
};

CanvasList& Canvases() {
  static CanvasList* list = new CanvasList();
  return *list;
}

}  // namespace

TBitmapCanvas::TBitmapCanvas(TBitmap* Bitmap) : bitmap_(Bitmap) {}

TBitmapCanvas::~TBitmapCanvas() { FreeContext(); }

void TBitmapCanvas::CreateHandle() {
  Lock();
  try {
    bitmap_->HandleNeeded();
    TBitmapImage* image = bitmap_->image_;
    DeselectBitmap(image->Handle);
    DeselectBitmap(image->MaskHandle);
    bitmap_->PaletteNeeded();
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) throw EOutOfResources(SOutOfResources);
    old_bitmap_ = image->Handle ? SelectObject(dc, image->Handle) : nullptr;
    selected_ = image->Handle;
    if (image->Palette != nullptr) {
      old_palette_ = SelectPalette(dc, image->Palette, TRUE);
      RealizePalette(dc);
    } else {
      old_palette_ = nullptr;
    }
    SetHandle(dc);
    auto& list = Canvases();
    std::lock_guard<std::recursive_mutex> guard(list.lock);
    list.items.push_back(this);
  } catch (...) {
    Unlock();
    throw;
  }
  Unlock();
}

void TBitmapCanvas::FreeContext() {
  if (!HandleAllocated()) return;
  Lock();
  HDC dc = Handle();
  SetHandle(nullptr);
  if (old_bitmap_ != nullptr) SelectObject(dc, old_bitmap_);
  if (old_palette_ != nullptr) SelectPalette(dc, old_palette_, TRUE);
  DeleteDC(dc);
  old_bitmap_ = nullptr;
  old_palette_ = nullptr;
  selected_ = nullptr;
  {
    auto& list = Canvases();
    std::lock_guard<std::recursive_mutex> guard(list.lock);
    std::erase(list.items, this);
  }
  Unlock();
}

void DeselectBitmap(HBITMAP Bitmap) {
  if (Bitmap == nullptr) return;
  // The holders are collected under the list lock and freed after it is released: freeing takes
  // each canvas's own lock, and a canvas creating its context takes its lock before the list's,
  // so holding the list lock here while freeing could deadlock two drawing threads.
  std::vector<TBitmapCanvas*> holders;
  {
    auto& list = Canvases();
    std::lock_guard<std::recursive_mutex> guard(list.lock);
    for (TBitmapCanvas* canvas : list.items)
      if (canvas->selected_ == Bitmap) holders.push_back(canvas);
  }
  for (TBitmapCanvas* canvas : holders) canvas->FreeContext();
}

}  // namespace lumivane
