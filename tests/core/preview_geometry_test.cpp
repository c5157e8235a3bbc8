// The layout and show-mode tables that the previews and the button
// pictograms share. Expected rectangles are worked out by hand from the
// documented layouts and box formulas.
#include <gtest/gtest.h>

#include <tuple>

#include "fourch/fourch_show_modes.h"
#include "multiview/multiview_layout.h"

namespace zv {
namespace {

auto Tie(const MultiviewWindow& w) { return std::tie(w.x, w.y, w.width, w.height, w.number); }
auto Tie(const TriskPreviewWindow& w) { return std::tie(w.x, w.y, w.width, w.height, w.label); }
auto Tie(const PreviewBox& b) { return std::tie(b.x, b.y, b.width, b.height); }

TEST(MultiviewLayoutTest, WindowsOfEveryLayoutInThePreview) {
  struct Case {
    int mode_type, slot;
    MultiviewWindow expected;
  };
  const Case cases[] = {
      {0, 0, {0, 0, 720, 480, 1}},
      {1, 1, {360, 0, 360, 240, 2}},
      {1, 3, {360, 240, 360, 240, 4}},
      {2, 0, {0, 0, 480, 320, 1}},
      {2, 2, {480, 160, 240, 160, 3}},
      {2, 3, {0, 320, 240, 160, 4}},
      {2, 5, {480, 320, 240, 160, 6}},
      // Eight windows fill the middle band only.
      {3, 0, {0, 120, 180, 120, 1}},
      {3, 3, {540, 120, 180, 120, 4}},
      {3, 7, {540, 240, 180, 120, 8}},
      {4, 4, {240, 160, 240, 160, 5}},
      {4, 8, {480, 320, 240, 160, 9}},
      {5, 1, {360, 0, 360, 240, 2}},
      {5, 2, {0, 240, 180, 120, 3}},
      {5, 6, {0, 360, 180, 120, 7}},
      {5, 9, {540, 360, 180, 120, 10}},
      {6, 5, {180, 120, 180, 120, 6}},
      {6, 15, {540, 360, 180, 120, 16}},
  };
  for (const Case& c : cases) {
    const auto windows = MultiviewLayoutWindows(c.mode_type);
    EXPECT_EQ(Tie(windows[static_cast<size_t>(c.slot)]), Tie(c.expected))
        << "layout " << c.mode_type << " slot " << c.slot;
  }
}

TEST(MultiviewLayoutTest, WindowCountsImagesAndEmptySlots) {
  struct Case {
    int mode_type, windows, normal_image, selected_image;
  };
  const Case cases[] = {{0, 1, 171, 172},  {1, 4, 173, 174},  {2, 6, 175, 176},
                        {3, 8, 177, 178},  {4, 9, 179, 180},  {5, 10, 181, 182},
                        {6, 16, 183, 184}, {-1, 0, 0, 0},     {7, 0, 0, 0},
                        {255, 0, 0, 0}};
  for (const Case& c : cases) {
    const auto windows = MultiviewLayoutWindows(c.mode_type);
    for (int n = 0; n < kMultiviewWindowCount; ++n) {
      const MultiviewWindow& w = windows[static_cast<size_t>(n)];
      if (n < c.windows) {
        EXPECT_GT(w.width, 0) << c.mode_type << " " << n;
        EXPECT_EQ(w.number, n + 1);
      } else {
        EXPECT_EQ(Tie(w), Tie(MultiviewWindow{0, 0, 0, 0, 0})) << c.mode_type << " " << n;
      }
    }
    if (c.normal_image == 0) continue;
    const MultiviewLayout& layout = MultiviewLayouts()[static_cast<size_t>(c.mode_type)];
    EXPECT_EQ(layout.window_count, c.windows);
    EXPECT_EQ(layout.normal_image, c.normal_image);
    EXPECT_EQ(layout.selected_image, c.selected_image);
  }
}

// Scaling drops remainders on the edges, so neighbours keep sharing an edge
// and the windows still fill the picture.
TEST(MultiviewLayoutTest, ScaledLayoutsKeepTheirEdges) {
  // Nine windows in 64 x 43: columns at 0, 21 (21.3), 42 (42.7), rows at 0,
  // 14 (14.3), 28 (28.7).
  const auto nine = MultiviewLayoutWindows(4, 64, 43);
  EXPECT_EQ(Tie(nine[0]), Tie(MultiviewWindow{0, 0, 21, 14, 1}));
  EXPECT_EQ(Tie(nine[1]), Tie(MultiviewWindow{21, 0, 21, 14, 2}));
  EXPECT_EQ(Tie(nine[2]), Tie(MultiviewWindow{42, 0, 22, 14, 3}));
  EXPECT_EQ(Tie(nine[8]), Tie(MultiviewWindow{42, 28, 22, 15, 9}));
  const auto four = MultiviewLayoutWindows(1, 66, 44);
  EXPECT_EQ(Tie(four[3]), Tie(MultiviewWindow{33, 22, 33, 22, 4}));
  // Every layout tiles its scaled picture without overlap: the window areas
  // add up to the picture (less the empty bands of the eight-window layout).
  for (int mode = 0; mode < kMultiviewLayoutCount; ++mode) {
    int area = 0;
    for (const MultiviewWindow& w : MultiviewLayoutWindows(mode, 66, 44)) area += w.width * w.height;
    EXPECT_EQ(area, mode == 3 ? 66 * (33 - 11) : 66 * 44) << "layout " << mode;
  }
}

TEST(MultiviewLayoutTest, BoxesInsideAWindow) {
  struct Case {
    MultiviewWindow window;
    PreviewBox audio, label, overlay;
  };
  const Case cases[] = {
      // The documented 180 x 120 example, and the single-window layout.
      {{0, 0, 180, 120, 1}, {18, 72, 18, 30}, {67, 96, 45, 12}, {144, 12, 30, 12}},
      {{0, 0, 720, 480, 1}, {72, 288, 72, 120}, {270, 384, 180, 48}, {576, 48, 120, 48}},
      // Window 9 of the nine-window layout: offsets add to the position.
      {{480, 320, 240, 160, 9}, {504, 416, 24, 40}, {570, 448, 60, 16}, {672, 336, 40, 16}},
      // Products before the division: 3 x 14 / 5 is 8, where 3 x (14 / 5) would be 6.
      {{0, 0, 21, 14, 1}, {2, 8, 2, 3}, {7, 11, 5, 1}, {16, 1, 3, 1}},
      {{0, 0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Tie(MultiviewAudioMeterBox(c.window)), Tie(c.audio)) << c.window.width;
    EXPECT_EQ(Tie(MultiviewLabelBox(c.window)), Tie(c.label)) << c.window.width;
    EXPECT_EQ(Tie(MultiviewOverlayBox(c.window)), Tie(c.overlay)) << c.window.width;
  }
}

TEST(TriskShowModeTest, SlotsOfShowModes) {
  struct Case {
    int mode, slot;
    TriskPreviewWindow expected;
  };
  const Case cases[] = {
      {0, 3, {360, 240, 360, 240, 4}},
      {1, 0, {100, 160, 520, 320, 1}},
      {1, 3, {480, 0, 240, 160, 4}},
      {2, 1, {0, 320, 240, 160, 2}},
      {3, 0, {0, 80, 480, 320, 1}},
      {4, 3, {0, 320, 240, 160, 4}},
      {5, 2, {500, 330, 180, 120, 3}},
      {5, 3, {0, 0, 0, 0, 0}},
      {6, 0, {180, 0, 360, 240, 1}},
      {7, 1, {500, 30, 180, 120, 2}},
      {8, 1, {40, 30, 180, 120, 2}},
      {9, 1, {40, 330, 180, 120, 2}},
      {10, 1, {500, 330, 180, 120, 2}},
      {10, 2, {0, 0, 0, 0, 0}},
      {11, 1, {360, 0, 360, 480, 2}},
      // Single-channel modes keep the window in the slot of its channel.
      {12, 0, {0, 0, 0, 0, 0}},
      {12, 3, {0, 0, 720, 480, 4}},
      {13, 2, {0, 0, 720, 480, 3}},
      {14, 1, {0, 0, 720, 480, 2}},
      {14, 0, {0, 0, 0, 0, 0}},
      {15, 0, {0, 0, 720, 480, 1}},
      {16, 1, {180, 240, 360, 240, 2}},
      {17, 0, {0, 0, 0, 0, 0}},
      {255, 0, {0, 0, 0, 0, 0}},
      {-1, 0, {0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Tie(TriskPreviewWindows(c.mode)[static_cast<size_t>(c.slot)]), Tie(c.expected))
        << "mode " << c.mode << " slot " << c.slot;
}

TEST(TriskShowModeTest, ScaledIntoAPictogram) {
  // Mode 1 in 60 x 40: 100 x 60 / 720 = 8.3, 620 x 60 / 720 = 51.7.
  const auto w = TriskPreviewWindows(1, 60, 40);
  EXPECT_EQ(Tie(w[0]), Tie(TriskPreviewWindow{8, 13, 43, 27, 1}));
  EXPECT_EQ(Tie(w[1]), Tie(TriskPreviewWindow{0, 0, 20, 13, 2}));
  EXPECT_EQ(Tie(w[3]), Tie(TriskPreviewWindow{40, 0, 20, 13, 4}));
}

TEST(TriskShowModeTest, ButtonImages) {
  struct Case {
    int mode, normal, selected;
  };
  const Case cases[] = {{0, 309, 310},  {1, 311, 312}, {7, 323, 324}, {15, 339, 340},
                        {16, 371, 372}, {17, 0, 0},    {-1, 0, 0},    {255, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(TriskShowModeNormalImage(c.mode), c.normal) << c.mode;
    EXPECT_EQ(TriskShowModeSelectedImage(c.mode), c.selected) << c.mode;
  }
}

}  // namespace
}  // namespace zv
