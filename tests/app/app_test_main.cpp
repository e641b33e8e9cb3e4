// The main window's suites run on Qt's offscreen platform with a 1024 x 768 screen.
#include <gtest/gtest.h>

#include <QApplication>

#include "framework/application.h"
#include "gif/gif_image.h"
#include "picture/jpeg_image.h"
#include "resources/resources.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("LUMIVANE_SCREEN_SIZE", "1024x768");
  QApplication app(argc, argv);
  lumivane::Application->Initialize();
  lumivane::Application->SetTitle("Lumivane");
  lumivane::InitLumivaneResources();
  lumivane::RegisterJpegFormat();
  lumivane::RegisterGifFormat();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
