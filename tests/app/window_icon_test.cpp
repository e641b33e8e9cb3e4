#include "app/window_icon.h"

#include <gtest/gtest.h>

#include <QImage>

namespace lumivane {
namespace {

TEST(WindowIconTest, DecodesBothImagesWithTheirMasks) {
  const QIcon icon = LoadWindowIcon();
  ASSERT_FALSE(icon.isNull());
  for (int size : {32, 16}) {
    const QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.width(), size);
    int transparent = 0, opaque = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) (qAlpha(image.pixel(x, y)) == 0 ? transparent : opaque)++;
    EXPECT_GT(opaque, size * size / 4) << size;
    EXPECT_GT(transparent, 0) << "the mask leaves the corners see-through at " << size;
  }
}

}  // namespace
}  // namespace lumivane
