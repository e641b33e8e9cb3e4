// Runs the animation suite on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "framework/application.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lumivane::Application->Initialize();
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  lumivane::Application->DestroyForms();
  return result;
}
