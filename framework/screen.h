#pragma once
// The screen: its size (primary screen), the application-wide cursor and the active form.
#include <vector>

#include "framework/control_types.h"

namespace lumivane {

class TForm;

class TScreen {
 public:
  TScreen() = default;
  TScreen(const TScreen&) = delete;
  TScreen& operator=(const TScreen&) = delete;

  // The primary screen's size in pixels. On the offscreen platform (tests) it is a fixed
  // 1024 x 768; the environment variable LUMIVANE_SCREEN_SIZE ("WxH") or SetSize overrides it.
  int Width() const;
  int Height() const;
  // Forces the size (0 x 0 gives the platform's size back); also tells the raster device.
  void SetSize(int width, int height);
  static constexpr int PixelsPerInch = 96;

  // The application-wide cursor (crDefault: each control's own cursor applies).
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);

  TForm* ActiveForm() const { return active_form_; }
  int FormCount() const { return static_cast<int>(forms_.size()); }
  TForm* Forms(int index) const { return forms_.at(index); }

  // Bookkeeping of the forms (called by TForm).
  void AddForm(TForm* form);
  void RemoveForm(TForm* form);
  void SetActiveForm(TForm* form) { active_form_ = form; }

 private:
  TCursor cursor_ = crDefault;
  TForm* active_form_ = nullptr;
  std::vector<TForm*> forms_;
  int forced_width_ = 0;
  int forced_height_ = 0;
};

extern TScreen* const Screen;

}  // namespace lumivane
