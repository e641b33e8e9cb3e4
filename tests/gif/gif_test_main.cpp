// The GIF suite needs a GUI application for the raster device's text and screen services.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "gif/gif_image.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  lumivane::RegisterGifFormat();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
