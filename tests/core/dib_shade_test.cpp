#include <gtest/gtest.h>

#include <cstdint>

#include "controls/dib_core.h"
#include "controls/shade_palette.h"

namespace zv {
namespace {

uint32_t Le32(std::span<const uint8_t> d, size_t at) {
  return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (uint32_t{d[at + 3]} << 24);
}
uint16_t Le16(std::span<const uint8_t> d, size_t at) {
  return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}

TEST(DibTest, HeaderStrideAndPaletteOfEachDepth) {
  struct Case {
    int32_t width, height;
    uint16_t bits;
    int32_t stride;
    uint16_t palette;
  };
  const Case cases[] = {
      {1, 3, 1, 4, 2},      {32, 2, 1, 4, 2},    {33, 2, 1, 8, 2},
      {7, 1, 4, 4, 16},     {8, 1, 4, 4, 16},    {9, 1, 4, 8, 16},
      {3, 2, 8, 4, 256},    {4, 2, 8, 4, 256},   {5, 2, 8, 8, 256},
      {1, 1, 24, 4, 0},     {2, 1, 24, 8, 0},    {4, 1, 24, 12, 0},
      {5, 2, 24, 16, 0},    {3, 1, 16, 8, 0},    {3, 1, 32, 12, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
    EXPECT_EQ(DibRowStride(c.width, c.bits), c.stride);
    CCeXDib dib;
    ASSERT_NE(dib.Create(c.width, c.height, c.bits), nullptr);
    EXPECT_EQ(dib.RowStride(), c.stride);
    EXPECT_EQ(dib.PaletteEntries(), c.palette);
    const auto d = dib.Data();
    ASSERT_EQ(d.size(), 40u + 4u * c.palette + size_t(c.stride) * c.height);
    EXPECT_EQ(Le32(d, 0), 40u);                                // header size
    EXPECT_EQ(Le32(d, 4), uint32_t(c.width));                  // width
    EXPECT_EQ(Le32(d, 8), uint32_t(c.height));                 // height, rows bottom-up
    EXPECT_EQ(Le16(d, 12), 1);                                 // planes
    EXPECT_EQ(Le16(d, 14), c.bits);                            // bits per pixel
    EXPECT_EQ(Le32(d, 16), 0u);                                // no compression
    EXPECT_EQ(Le32(d, 20), uint32_t(c.stride * c.height));     // image size
    for (size_t at = 24; at < 40; at += 4) EXPECT_EQ(Le32(d, at), 0u);  // resolution, colours
  }
}

TEST(DibTest, CreateRefusesWhatItCannotHoldAndKeepsNothing) {
  struct Case {
    int32_t width, height;
    uint16_t bits;
  };
  const Case cases[] = {
      {0, 4, 8}, {4, 0, 8}, {-3, 4, 8}, {4, -3, 24}, {4, 4, 0}, {4, 4, 3}, {4, 4, 12},
      // More bytes than the header's 32-bit image size can describe.
      {1 << 30, 1 << 30, 32}, {0x7FFFFFFF, 2, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
    CCeXDib dib;
    ASSERT_NE(dib.Create(2, 2, 8), nullptr);
    EXPECT_EQ(dib.Create(c.width, c.height, c.bits), nullptr);
    EXPECT_FALSE(dib.IsValid());
    EXPECT_EQ(dib.Width(), 0);
    EXPECT_EQ(dib.PaletteEntries(), 0);
    EXPECT_EQ(dib.Row(0), nullptr);
  }
}

TEST(DibTest, CloneCopiesHeaderPaletteAndPixelsAndStandsAlone) {
  CCeXDib source;
  ASSERT_NE(source.Create(3, 2, 8), nullptr);
  source.SetPaletteColour(7, {1, 2, 3});
  source.Row(1)[2] = 7;
  CCeXDib copy;
  ASSERT_NE(copy.Create(9, 9, 24), nullptr);
  ASSERT_NE(copy.Clone(source), nullptr);
  EXPECT_TRUE(std::equal(copy.Data().begin(), copy.Data().end(), source.Data().begin(),
                         source.Data().end()));
  copy.SetPaletteColour(7, {9, 9, 9});
  copy.Row(1)[2] = 0;
  EXPECT_EQ(source.PaletteColour(7), (DibRgb{1, 2, 3}));
  EXPECT_EQ(source.Row(1)[2], 7);

  CCeXDib empty;
  EXPECT_EQ(copy.Clone(empty), nullptr);
  EXPECT_FALSE(copy.IsValid());
}

TEST(DibTest, BlendPaletteUsesIntegerDivisionAndStaysInAByte) {
  struct Case {
    int percent;
    DibRgb colour, old, blended;
  };
  const Case cases[] = {
      // red (5*55 + 95*200)/100 = 192.75, green (5*255 + 95*100)/100 = 107.75,
      // blue (5*55 + 95*7)/100 = 9.4: each truncated.
      {5, {55, 255, 55}, {200, 100, 7}, {192, 107, 9}},
      {10, {255, 255, 255}, {0, 0, 1}, {25, 25, 26}},
      {0, {255, 255, 255}, {12, 34, 56}, {12, 34, 56}},
      {100, {1, 2, 3}, {200, 200, 200}, {1, 2, 3}},
      // Out-of-range shares are held to 0..100 instead of wrapping the byte.
      {150, {250, 250, 250}, {10, 10, 10}, {250, 250, 250}},
      {-20, {250, 250, 250}, {10, 10, 10}, {10, 10, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.percent);
    CCeXDib dib;
    ASSERT_NE(dib.Create(1, 1, 4), nullptr);
    for (int i = 0; i < 16; ++i) dib.SetPaletteColour(i, c.old);
    dib.BlendPalette(c.percent, c.colour);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(dib.PaletteColour(i), c.blended) << i;
  }
}

TEST(DibTest, PictureIsReadBottomUpThroughThePalette) {
  CCeXDib dib8;
  ASSERT_NE(dib8.Create(2, 2, 8), nullptr);
  for (int i = 1; i <= 4; ++i) dib8.SetPaletteColour(i, {uint8_t(i * 10), uint8_t(i), 0});
  dib8.Row(0)[0] = 1;  // bottom row
  dib8.Row(0)[1] = 2;
  dib8.Row(1)[0] = 3;  // top row
  dib8.Row(1)[1] = 4;
  EXPECT_EQ(dib8.ToArgb32(), (std::vector<uint32_t>{0xFF1E0300, 0xFF280400, 0xFF0A0100, 0xFF140200}));

  // One bit per pixel, most significant bit first, rows padded to 4 bytes.
  CCeXDib dib1;
  ASSERT_NE(dib1.Create(9, 1, 1), nullptr);
  dib1.SetPaletteColour(1, {255, 255, 255});
  dib1.Row(0)[0] = 0b10000001;
  dib1.Row(0)[1] = 0b10000000;
  const auto px1 = dib1.ToArgb32();
  for (int x = 0; x < 9; ++x)
    EXPECT_EQ(px1[x], (x == 0 || x == 7 || x == 8) ? 0xFFFFFFFFu : 0xFF000000u) << x;

  // Direct colour is stored blue, green, red.
  CCeXDib dib24;
  ASSERT_NE(dib24.Create(1, 1, 24), nullptr);
  dib24.Row(0)[0] = 0x33;
  dib24.Row(0)[1] = 0x22;
  dib24.Row(0)[2] = 0x11;
  EXPECT_EQ(dib24.ToArgb32(), (std::vector<uint32_t>{0xFF112233}));
}

constexpr ShadeColours kColours{{40, 80, 120}, {100, 100, 100}, {228, 228, 228}};

TEST(ShadeTest, BasePaletteRunsShadowToFaceToHighlight) {
  const auto palette = ShadeBasePalette(kColours);
  struct Case {
    int entry;
    DibRgb colour;
  };
  const Case cases[] = {
      {0, {40, 80, 120}},
      {64, {70, 90, 110}},  // halfway from shadow to face
      {127, {99, 99, 100}},
      // Written twice; the second run's (228 + 100*127)/128 = 101 stays,
      // not the first run's plain face colour.
      {128, {101, 101, 101}},
      {129, {102, 102, 102}},
      {255, {228, 228, 228}},
  };
  for (const Case& c : cases) EXPECT_EQ(palette[c.entry], c.colour) << c.entry;
}

TEST(ShadeTest, PixelIsDiagonalGradientWithEightStepsOfNoise) {
  struct Case {
    int x, row, width, height, random;
    int value;
  };
  const Case cases[] = {
      {0, 0, 4, 2, 16376, 127},  // 119*4/4 + 0 + 8 + (8 - 8)
      {3, 1, 4, 2, 16376, 96},   // 29 + 59 + 8
      {0, 1, 4, 2, 32767, 194},  // top left, most noise up: 119 + 59 + 8 + 8
      {3, 0, 4, 2, 0, 29},       // 29 + 0 + 8 - 8
      // Darkest corner of a wide face: the noise may take it to 0, never below.
      {199, 0, 200, 1, 0, 0},
      // Lightest corner of a tall face stays below 255.
      {0, 999, 1, 1000, 32767, 253},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShadePixel(c.x, c.row, c.width, c.height, c.random), c.value)
        << c.x << "," << c.row << " of " << c.width << "x" << c.height;
}

TEST(ShadeTest, FacesAreTintedFiveAndHoverTenPercent) {
  CCeXDib normal, hover;
  ASSERT_EQ(BuildShadeFaces(normal, hover, 5, 3, kColours, [] { return 16376; }), 1);
  EXPECT_EQ(normal.Width(), 5);
  EXPECT_EQ(normal.Height(), 3);
  EXPECT_EQ(normal.BitsPerPixel(), 8);
  // Entry 0, shadow (40,80,120), 5 % towards (55,255,55).
  EXPECT_EQ(normal.PaletteColour(0), (DibRgb{40, 88, 116}));
  // Entry 128, (101,101,101), 5 % towards (55,255,55).
  EXPECT_EQ(normal.PaletteColour(128), (DibRgb{98, 108, 98}));
  // The hover face: entry 0 of the normal face, 10 % towards the highlight.
  EXPECT_EQ(hover.PaletteColour(0), (DibRgb{58, 102, 127}));
  // Stored row 0 is the bottom of the face; the top left is lightest.
  EXPECT_EQ(normal.Row(0)[0], 127);  // 119 + 0 + 8
  EXPECT_EQ(normal.Row(2)[0], 206);  // 119 + 79 + 8
  EXPECT_EQ(normal.Row(0)[4], 31);   // 23 + 0 + 8
  for (int r = 0; r < 3; ++r)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(hover.Row(r)[x], normal.Row(r)[x]);

  // A button of no size still gets a face of one pixel.
  ASSERT_EQ(BuildShadeFaces(normal, hover, 0, -4, kColours, [] { return 0; }), 1);
  EXPECT_EQ(normal.Width(), 1);
  EXPECT_EQ(hover.Height(), 1);
}

TEST(ShadeTest, NoiseRepeatsForASeedAndStaysInRange) {
  ShadeNoise a, b;
  int lowest = 32767, highest = 0;
  for (int i = 0; i < 20000; ++i) {
    const int v = a.Next();
    ASSERT_EQ(v, b.Next());
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
  }
  EXPECT_GE(lowest, 0);
  EXPECT_LE(highest, 32767);
  EXPECT_GT(highest - lowest, 30000) << "noise should span its range";
}

}  // namespace
}  // namespace zv
