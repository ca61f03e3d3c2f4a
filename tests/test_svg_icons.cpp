#include <gtest/gtest.h>

#include <QPushButton>
#include <QSvgRenderer>

#include "ui/uSvgIcons.h"

namespace {

TEST(SvgIcons, SixNamedIconsInTheirOrder) {
  TSVGIconImageCollection icons;
  const QStringList names{"BookmarksAdd-WF", "Add-New", "Info", "Media Play", "Stop", "Trash can - 02"};
  ASSERT_EQ(icons.Count(), names.size());
  for (int i = 0; i < icons.Count(); ++i) {
    EXPECT_EQ(icons.Name(i), names[i]);
    EXPECT_EQ(icons.IndexOf(names[i]), i);
    EXPECT_TRUE(QSvgRenderer(icons.ResourcePath(i)).isValid()) << icons.ResourcePath(i).toStdString();
  }
  EXPECT_EQ(icons.IndexOf("Play"), -1);
}

// Every icon is a shape in the tint colour on a transparent ground.
TEST(SvgIcons, RenderTintedAtTwentyPixels) {
  TSVGIconImageCollection icons;
  for (TColor tint : {clBlack, clWhite, RGBColor(0, 120, 212)}) {
    for (int i = 0; i < icons.Count(); ++i) {
      SCOPED_TRACE(icons.Name(i).toStdString());
      const QImage img = RenderTintedSvg(icons.ResourcePath(i), QSize(20, 20), tint);
      ASSERT_EQ(img.size(), QSize(20, 20));
      int opaque = 0, clear = 0;
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
          const QColor px = img.pixelColor(x, y);
          if (px.alpha() == 255) {
            ++opaque;
            EXPECT_EQ(px.rgb() & 0xFFFFFF, qRgb(RedOf(tint), GreenOf(tint), BlueOf(tint)) & 0xFFFFFF);
          }
          clear += px.alpha() == 0;
        }
      EXPECT_GT(opaque, 20);
      EXPECT_GT(clear, 100);
    }
  }
}

TEST(SvgIcons, ListRetintsItsButtons) {
  TSVGIconImageCollection icons;
  TSVGIconVirtualImageList list(&icons);
  QPushButton button;
  list.Assign(&button, "Stop");
  EXPECT_EQ(button.iconSize(), QSize(20, 20));
  const auto centre = [&] { return button.icon().pixmap(QSize(20, 20)).toImage().pixelColor(10, 10); };
  EXPECT_EQ(centre(), QColor(Qt::black));
  list.SetFixedColor(clWhite);
  EXPECT_EQ(centre(), QColor(Qt::white));
}

}  // namespace
