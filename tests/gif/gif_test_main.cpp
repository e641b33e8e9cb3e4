// The GIF suite needs a GUI application for the raster device's text and screen services, and
// the animated control for composed frames.
#include <gtest/gtest.h>

#include <QApplication>

#include "framework/application.h"
#include "gif/gif_image.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lumivane::Application->Initialize();
  lumivane::RegisterGifFormat();
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  lumivane::Application->DestroyForms();
  return result;
}
