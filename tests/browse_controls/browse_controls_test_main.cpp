// The browsing-control suites run on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "framework/application.h"
#include "resources/resources.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("LUMIVANE_SCREEN_SIZE", "1024x768");
  QApplication app(argc, argv);
  lumivane::Application->Initialize();
  lumivane::InitLumivaneResources();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
