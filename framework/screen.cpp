#include "framework/screen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "framework/control_widget.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

// The size the environment forces ("1024x768"), or false.
bool EnvironmentSize(int& width, int& height) {
  const char* text = std::getenv("LUMIVANE_SCREEN_SIZE");
  if (text == nullptr) return false;
  return std::sscanf(text, "%dx%d", &width, &height) == 2 && width > 0 && height > 0;
}

bool OffscreenPlatform() {
  return QGuiApplication::instance() != nullptr &&
         QGuiApplication::platformName() == QStringLiteral("offscreen");
}

QSize PlatformSize() {
  int w = 0, h = 0;
  if (EnvironmentSize(w, h)) return QSize(w, h);
  if (QGuiApplication::instance() == nullptr || OffscreenPlatform()) return QSize(1024, 768);
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return QSize(1024, 768);
  return screen->geometry().size();
}

}  // namespace

// The screen object itself is defined beside the application object, which fixes their order.

int TScreen::Width() const { return forced_width_ > 0 ? forced_width_ : PlatformSize().width(); }
int TScreen::Height() const { return forced_height_ > 0 ? forced_height_ : PlatformSize().height(); }

void TScreen::SetSize(int width, int height) {
  forced_width_ = std::max(width, 0);
  forced_height_ = std::max(height, 0);
  SetScreenMetrics(Width(), Height());
}

void TScreen::SetCursor(TCursor value) {
  if (value == cursor_) return;
  const TCursor old = cursor_;
  cursor_ = value;
  if (QGuiApplication::instance() == nullptr) return;
  if (old != crDefault) QGuiApplication::restoreOverrideCursor();
  if (value != crDefault) QGuiApplication::setOverrideCursor(QCursor(CursorShapeFor(value)));
}

void TScreen::AddForm(TForm* form) {
  if (std::find(forms_.begin(), forms_.end(), form) == forms_.end()) forms_.push_back(form);
}

void TScreen::RemoveForm(TForm* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  if (active_form_ == form) active_form_ = nullptr;
}

}  // namespace lumivane
