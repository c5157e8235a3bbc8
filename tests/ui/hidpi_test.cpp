// The skin on a dense screen: this suite runs with QT_SCALE_FACTOR=2, so
// every window has a device pixel ratio of 2.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <cstdlib>

#include "controls/button_st.h"
#include "controls/focus_mark.h"
#include "res/skin.h"

namespace zv {
namespace {

TEST(HighDensityTest, AButtonFaceIsPaintedAtTheScreensDensityWithAHairlineRim) {
  // The SCAN face (196): 138 x 50, unlit, its rim one device pixel wide.
  QWidget parent;
  parent.setAutoFillBackground(true);
  parent.setPalette(QPalette(QColor(0x20, 0x20, 0x20)));
  CButtonST button(&parent);
  button.SetSeeThrough(true);
  button.SetBorderShown(false);
  button.SetFlatLook(true);
  button.SetFaceImageId(196);
  button.setGeometry(0, 0, 138, 50);
  parent.resize(138, 50);
  parent.show();
  const QImage shot = button.grab().toImage();
  ASSERT_EQ(shot.devicePixelRatio(), 2.0);
  ASSERT_EQ(shot.size(), QSize(276, 100));

  // Across the middle row from the left: the background (device pixels 0
  // and 1), the rim in exactly one device pixel (2), then the body. A face
  // painted at 1x and scaled up would give a rim two device pixels wide.
  const int y = shot.height() / 2;
  const QColor background(0x20, 0x20, 0x20);
  auto near = [](QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue()) <= 12;
  };
  EXPECT_TRUE(near(shot.pixelColor(1, y), background)) << shot.pixelColor(1, y).name().toStdString();
  const QColor rim = shot.pixelColor(2, y);
  const QColor body = shot.pixelColor(3, y);
  EXPECT_FALSE(near(rim, background)) << rim.name().toStdString();
  EXPECT_GT(rim.lightness(), body.lightness() + 30)
      << "rim " << rim.name().toStdString() << ", next " << body.name().toStdString();
  EXPECT_TRUE(near(body, shot.pixelColor(6, y))) << "the body starts one device pixel in";
}

TEST(HighDensityTest, TheFocusRingIsFourDevicePixelsWideAndSharp) {
  QWidget parent;
  parent.setAutoFillBackground(true);
  parent.setPalette(QPalette(QColor(0x20, 0x20, 0x20)));
  parent.resize(100, 100);
  InstallFocusMarks();
  CButtonST button(&parent);
  button.SetFaceImageId(196);
  button.setGeometry(20, 20, 60, 40);
  parent.show();
  QApplication::setActiveWindow(&parent);
  button.setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(button.hasFocus());
  const QImage shot = parent.grab().toImage();
  ASSERT_EQ(shot.devicePixelRatio(), 2.0);
  // Down the middle column from the top: the ring starts kFocusMarkOutset
  // pixels above the button, four device pixels of exactly its colour, then
  // the dark line; no blended pixel on either side.
  const int x = shot.width() / 2;
  const int top = (20 - kFocusMarkOutset) * 2;
  EXPECT_EQ(shot.pixel(x, top - 1), QColor(0x20, 0x20, 0x20).rgb());
  for (int y = top; y < top + 2 * kFocusMarkWidth; ++y) EXPECT_EQ(shot.pixel(x, y), kFocusMarkColour) << y;
  EXPECT_EQ(shot.pixel(x, top + 2 * kFocusMarkWidth), QColor(20, 20, 20).rgb());
}

TEST(HighDensityTest, APngOverrideWithA2xTwinIsUsedAt2x) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage plain(138, 50, QImage::Format_RGB32);
  plain.fill(Qt::red);
  ASSERT_TRUE(plain.save(dir.filePath("196.png")));
  QImage twin(276, 100, QImage::Format_RGB32);
  twin.fill(Qt::green);
  ASSERT_TRUE(twin.save(dir.filePath("196@2x.png")));
  QImage lone(68, 48, QImage::Format_RGB32);  // no twin: used as it is
  lone.fill(Qt::blue);
  ASSERT_TRUE(lone.save(dir.filePath("309.png")));
  SetSkinOverrideDir(dir.path());
  const QPixmap face = SkinBitmap(196);
  const QPixmap mode = SkinBitmap(309);
  SetSkinOverrideDir(QString());
  EXPECT_EQ(face.devicePixelRatio(), 2.0);
  EXPECT_EQ(face.size(), QSize(276, 100));
  EXPECT_EQ(face.toImage().pixelColor(10, 10), QColor(Qt::green));
  EXPECT_EQ(mode.devicePixelRatio(), 1.0);
  EXPECT_EQ(mode.deviceIndependentSize(), QSizeF(68, 48));
}

}  // namespace
}  // namespace zv

int main(int argc, char** argv) {
  // Set before the application object exists; test discovery runs this
  // binary at build time, outside ctest's environment.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_SCALE_FACTOR", "2", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
