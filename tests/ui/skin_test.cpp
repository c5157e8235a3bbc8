// The default skin: every bitmap and icon id the panels use resolves to a
// pixmap of the size its control expects, shows no see-through black where it
// must be seen, and tells a selected face from its normal one.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>

#include "res/skin.h"
#include "res/skin_table.h"

namespace zv {
namespace {

// What each control needs, written out from the panels' control tables (the
// size of the button, static or slider that shows the image).
struct Expected {
  int first, last, width, height;
  enum Look { kBackground, kFace, kIcon } look;
};

constexpr Expected kExpected[] = {
    {128, 128, 32, 32, Expected::kIcon},          // application icon
    {171, 184, 80, 57, Expected::kFace},          // layout buttons
    {185, 186, 80, 75, Expected::kFace},          // audio page tab (never placed)
    {187, 187, 1280, 585, Expected::kBackground},  // multiviewer and four-channel panels
    {188, 188, 42, 35, Expected::kFace},          // close
    {189, 190, 72, 75, Expected::kFace},          // colour page tab
    {191, 191, 480, 400, Expected::kBackground},  // settings window
    {192, 193, 80, 75, Expected::kFace},          // layout / matrix function tab
    {194, 194, 490, 420, Expected::kBackground},  // pages
    {195, 195, 1280, 720, Expected::kBackground},  // main window
    {196, 196, 138, 50, Expected::kFace},         // scan
    {197, 197, 34, 35, Expected::kFace},          // maximise
    {198, 198, 47, 35, Expected::kFace},          // minimise
    {199, 199, 25, 30, Expected::kFace},          // set
    {200, 201, 92, 75, Expected::kFace},          // settings tab (92) / matrix connection (90)
    {202, 205, 80, 75, Expected::kFace},          // status (never placed) and labels tabs
    {211, 212, 32, 32, Expected::kIcon},          // serial link state
    {213, 228, 60, 65, Expected::kFace},          // matrix inputs and outputs
    {229, 229, 1240, 580, Expected::kBackground},  // matrix panel
    {230, 230, 490, 420, Expected::kBackground},  // matrix function page
    {231, 232, 140, 65, Expected::kFace},         // lock
    {233, 233, 220, 60, Expected::kFace},         // one to all
    {234, 234, 220, 65, Expected::kFace},         // one to one
    {235, 235, 140, 65, Expected::kFace},         // apply
    {245, 245, 80, 80, Expected::kFace},          // Auto
    {246, 247, 70, 70, Expected::kFace},          // BKGD
    {248, 283, 70, 70, Expected::kFace},          // bus sources 1 to 12
    {285, 285, 80, 80, Expected::kFace},          // Cut
    {286, 287, 70, 70, Expected::kFace},          // DIP
    {288, 289, 80, 80, Expected::kFace},          // FTB
    {290, 293, 70, 70, Expected::kFace},          // KEY 1, KEY 2
    {294, 294, 1240, 580, Expected::kBackground},  // switcher panel
    {295, 300, 70, 70, Expected::kFace},          // MIX, ON AIR, PIP
    {301, 301, 164, 420, Expected::kBackground},  // T-bar channel
    {302, 302, 144, 41, Expected::kFace},         // T-bar thumb
    {303, 304, 70, 70, Expected::kFace},          // WIPE
    {305, 305, 80, 80, Expected::kFace},          // Auto lit
    {309, 310, 68, 48, Expected::kFace},          // show mode 0
    {311, 314, 68, 50, Expected::kFace},          // show modes 1 and 2
    {315, 340, 68, 48, Expected::kFace},          // show modes 3 to 15
    {341, 346, 70, 70, Expected::kFace},          // Auto rates
    {347, 347, 80, 80, Expected::kFace},          // STREAM
    {353, 370, 50, 50, Expected::kFace},          // wipe patterns
    {371, 372, 68, 50, Expected::kFace},          // show mode 16
    {373, 374, 70, 45, Expected::kFace},          // loop
    {375, 376, 32, 32, Expected::kIcon},          // signal, no signal
};

QImage Image(int id) { return SkinBitmap(id).toImage().convertToFormat(QImage::Format_ARGB32); }

// Pixels that are shown but pure black, which a face would lose to its mask.
int ShownBlackPixels(const QImage& img, int inset) {
  int black = 0;
  for (int y = inset; y < img.height() - inset; ++y)
    for (int x = inset; x < img.width() - inset; ++x) {
      const QRgb px = img.pixel(x, y);
      if (qAlpha(px) == 255 && (px & 0xFFFFFF) == 0) ++black;
    }
  return black;
}

TEST(DefaultSkinTest, EveryIdHasItsSizeAndShowsNoBlack) {
  for (const Expected& x : kExpected) {
    for (int id = x.first; id <= x.last; ++id) {
      const QImage img = Image(id);
      ASSERT_FALSE(img.isNull()) << id;
      EXPECT_EQ(img.size(), QSize(x.width, x.height)) << id;
      // Faces keep a see-through margin round their rounded body; inside it
      // every pixel must show.
      const int inset = x.look == Expected::kFace ? 4 : 0;
      EXPECT_EQ(ShownBlackPixels(img, inset), 0) << id;
    }
  }
}

TEST(DefaultSkinTest, TheSkinPaintsNoIdThatNoControlShows) {
  QSet<int> expected;
  for (const Expected& x : kExpected)
    for (int id = x.first; id <= x.last; ++id) expected.insert(id);
  QSet<int> seen;
  for (const SkinEntry& e : SkinEntries()) {
    EXPECT_TRUE(expected.contains(e.id)) << e.id;
    EXPECT_FALSE(seen.contains(e.id)) << "two rows for " << e.id;
    seen.insert(e.id);
  }
  EXPECT_EQ(seen.size(), expected.size());
}

// Corners of a face are black so that the panel shows through them; an icon's
// surround is transparent instead.
TEST(DefaultSkinTest, FaceCornersAreSeeThrough) {
  for (int id : {171, 196, 213, 232, 250, 249, 285, 305, 309, 347, 360, 373, 193}) {
    const QImage img = Image(id);
    EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, 0u) << id;
    EXPECT_EQ(img.pixel(img.width() - 1, img.height() - 1) & 0xFFFFFF, 0u) << id;
  }
  for (int id : {128, 211, 212, 375, 376}) EXPECT_EQ(qAlpha(Image(id).pixel(0, 0)), 0) << id;
  // The slider keys the thumb on its top-left pixel: that colour must not be
  // the handle's own.
  const QImage thumb = Image(302);
  EXPECT_NE(thumb.pixel(0, 0), thumb.pixel(thumb.width() / 2, thumb.height() / 2));
  EXPECT_NE(thumb.pixel(0, 0), thumb.pixel(thumb.width() / 2, 6));
}

// 200/201 also face the matrix panel's 90-pixel connection tab, which
// centres the 92-pixel face and so trims one column at each side: those
// columns must be see-through, not part of the face.
TEST(DefaultSkinTest, SettingsTabFitsTheNarrowerMatrixTab) {
  for (int id : {200, 201}) {
    const QImage img = Image(id);
    for (int y = 0; y < img.height(); ++y) {
      EXPECT_EQ(img.pixel(0, y) & 0xFFFFFF, 0u) << id << " row " << y;
      EXPECT_EQ(img.pixel(img.width() - 1, y) & 0xFFFFFF, 0u) << id << " row " << y;
    }
  }
}

double MeanLightness(const QImage& img) {
  double sum = 0;
  for (int y = 4; y < img.height() - 4; ++y)
    for (int x = 4; x < img.width() - 4; ++x) sum += QColor(img.pixel(x, y)).lightnessF();
  return sum / ((img.width() - 8) * (img.height() - 8));
}

double MeanHueShift(const QImage& a, const QImage& b) {
  double diff = 0;
  for (int y = 4; y < a.height() - 4; ++y)
    for (int x = 4; x < a.width() - 4; ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      diff += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
              std::abs(qBlue(p) - qBlue(q));
    }
  return diff / ((a.width() - 8) * (a.height() - 8)) / 3;
}

// A lit face must be told from its unlit one across the room: on average each
// colour channel moves by a fifth of its range or more.
TEST(DefaultSkinTest, SelectedFacesStandOutFromNormalOnes) {
  struct Pair {
    int normal, selected;
  };
  const Pair pairs[] = {
      {171, 172}, {183, 184}, {185, 186}, {189, 190}, {192, 193}, {200, 201}, {202, 203},
      {204, 205}, {213, 214}, {227, 228}, {231, 232}, {246, 247}, {250, 248}, {250, 249},
      {283, 281}, {283, 282}, {248, 249}, {286, 287}, {289, 288}, {290, 291}, {292, 293},
      {295, 296}, {298, 297}, {299, 300}, {303, 304}, {245, 305}, {309, 310}, {339, 340},
      {371, 372}, {341, 342}, {343, 344}, {345, 346}, {361, 360}, {370, 369}, {368, 363},
      {362, 355}, {359, 358}, {367, 366}, {357, 356}, {354, 353}, {365, 364}, {373, 374},
  };
  for (const Pair& p : pairs) {
    const QImage a = Image(p.normal), b = Image(p.selected);
    ASSERT_EQ(a.size(), b.size()) << p.normal;
    EXPECT_GT(MeanHueShift(a, b), 51) << p.normal << " / " << p.selected;
  }
  // Signal and link lamps: the lit one is the brighter.
  EXPECT_GT(MeanLightness(Image(375)), MeanLightness(Image(376)));
  EXPECT_GT(MeanLightness(Image(212)), MeanLightness(Image(211)));
}

// Pictograms are drawn from the layout and show-mode geometry, so no two of
// a family may look alike.
TEST(DefaultSkinTest, PictogramsOfAFamilyAreAllDifferent) {
  const std::vector<std::vector<int>> families = {
      {171, 173, 175, 177, 179, 181, 183},
      {309, 311, 313, 315, 317, 319, 321, 323, 325, 327, 329, 331, 333, 335, 337, 339, 371},
      {361, 370, 368, 362, 359, 367, 357, 354, 365},
  };
  for (const auto& family : families)
    for (size_t i = 0; i < family.size(); ++i)
      for (size_t j = i + 1; j < family.size(); ++j) {
        const QImage a = Image(family[i]), b = Image(family[j]);
        if (a.size() != b.size()) continue;
        EXPECT_NE(a, b) << family[i] << " looks like " << family[j];
      }
}

TEST(DefaultSkinTest, OverridePngReplacesAPictogramAtItsSize) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage green(160, 114, QImage::Format_RGB32);
  green.fill(QColor(0, 160, 0));
  ASSERT_TRUE(green.save(dir.filePath("177.png")));
  SetSkinOverrideDir(dir.path());
  const QImage overridden = Image(177);
  const QImage untouched = Image(178);
  SetSkinOverrideDir(QString());
  EXPECT_EQ(overridden.size(), QSize(80, 57));
  EXPECT_EQ(QColor(overridden.pixel(40, 28)), QColor(0, 160, 0));
  EXPECT_EQ(untouched, Image(178));
  EXPECT_NE(Image(177), overridden);
}

}  // namespace
}  // namespace zv
