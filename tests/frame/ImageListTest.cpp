#include <gtest/gtest.h>
#include <QImage>
#include <QSet>

#include "frame/ImageList.h"

namespace bw {
namespace {

TEST(ImageList, ToolbarIconsHoldThirteenPicturesByIndexAndKey) {
  const ImageList list = ImageList::toolbarIcons();
  const QStringList keys{
      QStringLiteral("New"),        QStringLiteral("Open"),       QStringLiteral("Save"),
      QStringLiteral("Print"),      QStringLiteral("Cut"),        QStringLiteral("Copy"),
      QStringLiteral("Paste"),      QStringLiteral("Bold"),       QStringLiteral("Italic"),
      QStringLiteral("Underline"),  QStringLiteral("Align Left"), QStringLiteral("Center"),
      QStringLiteral("Align Right")};
  ASSERT_EQ(list.count(), keys.size());
  EXPECT_EQ(list.imageSize(), QSize(16, 16));
  for (int index = 1; index <= list.count(); ++index) {
    EXPECT_EQ(list.key(index), keys[index - 1]);
    EXPECT_EQ(list.picture(index).size(), QSize(16, 16)) << index;
    EXPECT_EQ(list.picture(keys[index - 1]).toImage(), list.picture(index).toImage());
  }
  EXPECT_TRUE(list.key(0).isEmpty());
  EXPECT_TRUE(list.picture(14).isNull());
  EXPECT_TRUE(list.picture(QStringLiteral("new")).isNull());
}

TEST(ImageList, PicturesUseTheSixteenColourPaletteWithLightGreyTransparent) {
  const QSet<QRgb> palette{0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                           0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                           0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  const ImageList list = ImageList::toolbarIcons();
  for (int index = 1; index <= list.count(); ++index) {
    const QImage image = list.picture(index).toImage().convertToFormat(QImage::Format_ARGB32);
    int transparent = 0, opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, y);
        if (qAlpha(pixel) == 0) {
          ++transparent;
          continue;
        }
        ++opaque;
        EXPECT_EQ(qAlpha(pixel), 255);
        EXPECT_TRUE(palette.contains(pixel & 0xFFFFFF)) << list.key(index).toStdString();
        EXPECT_NE(pixel & 0xFFFFFF, 0xC0C0C0u) << "light grey left opaque";
      }
    }
    // Each draws something on a see-through ground.
    EXPECT_GT(opaque, 20) << list.key(index).toStdString();
    EXPECT_GT(transparent, 16) << list.key(index).toStdString();
    EXPECT_EQ(qAlpha(image.pixel(0, 15)), 0) << list.key(index).toStdString();
  }
}

}  // namespace
}  // namespace bw
