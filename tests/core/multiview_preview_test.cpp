// The multiviewer's preview model: the window slots of every layout, the
// boxes inside each window and their colours. Expected values are worked out
// by hand from the layout table and the box formulas.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "multiview/multiview_state.h"

namespace zv {
namespace {

struct Box {
  int x, y, w, h;
};
auto Tie(const MultiviewWindow& w) { return std::tie(w.x, w.y, w.width, w.height); }
auto Tie(const PreviewBox& b) { return std::tie(b.x, b.y, b.width, b.height); }
auto Tie(const Box& b) { return std::tie(b.x, b.y, b.w, b.h); }

TEST(MultiviewPreviewTest, SlotsOfEveryLayout) {
  const std::vector<std::vector<Box>> layouts = {
      {{0, 0, 720, 480}},
      {{0, 0, 360, 240}, {360, 0, 360, 240}, {0, 240, 360, 240}, {360, 240, 360, 240}},
      {{0, 0, 480, 320}, {480, 0, 240, 160}, {480, 160, 240, 160}, {0, 320, 240, 160},
       {240, 320, 240, 160}, {480, 320, 240, 160}},
      {{0, 120, 180, 120}, {180, 120, 180, 120}, {360, 120, 180, 120}, {540, 120, 180, 120},
       {0, 240, 180, 120}, {180, 240, 180, 120}, {360, 240, 180, 120}, {540, 240, 180, 120}},
      {{0, 0, 240, 160}, {240, 0, 240, 160}, {480, 0, 240, 160}, {0, 160, 240, 160},
       {240, 160, 240, 160}, {480, 160, 240, 160}, {0, 320, 240, 160}, {240, 320, 240, 160},
       {480, 320, 240, 160}},
      {{0, 0, 360, 240}, {360, 0, 360, 240}, {0, 240, 180, 120}, {180, 240, 180, 120},
       {360, 240, 180, 120}, {540, 240, 180, 120}, {0, 360, 180, 120}, {180, 360, 180, 120},
       {360, 360, 180, 120}, {540, 360, 180, 120}},
      {{0, 0, 180, 120}, {180, 0, 180, 120}, {360, 0, 180, 120}, {540, 0, 180, 120},
       {0, 120, 180, 120}, {180, 120, 180, 120}, {360, 120, 180, 120}, {540, 120, 180, 120},
       {0, 240, 180, 120}, {180, 240, 180, 120}, {360, 240, 180, 120}, {540, 240, 180, 120},
       {0, 360, 180, 120}, {180, 360, 180, 120}, {360, 360, 180, 120}, {540, 360, 180, 120}},
  };
  for (size_t index = 0; index < layouts.size(); ++index) {
    MultiviewerState s;
    s.m_all_16_view_page_data.zv_16_view_mode_type = static_cast<uint8_t>(index);
    s.RecomputeWindows();
    const std::vector<Box>& expected = layouts[index];
    for (size_t n = 0; n < kMultiviewWindowCount; ++n) {
      SCOPED_TRACE(testing::Message() << "layout " << index << " slot " << n);
      const MultiviewWindow& w = s.m_16_view_windows[n];
      if (n < expected.size()) {
        EXPECT_EQ(Tie(w), Tie(expected[n]));
        EXPECT_EQ(w.number, static_cast<int>(n + 1));
      } else {
        EXPECT_EQ(Tie(w), Tie(Box{0, 0, 0, 0}));
        EXPECT_EQ(w.number, 0);
      }
    }
  }
}

TEST(MultiviewPreviewTest, BoxesInsideWindows) {
  struct Case {
    int mode_type, slot;
    Box audio, label, overlay;
  };
  const Case cases[] = {
      // A 180 x 120 window at (540, 360): 18 x 30 at (18, 72), 45 x 12 at
      // (67, 96) and 30 x 12 at (144, 12) relative to it.
      {6, 15, {558, 432, 18, 30}, {607, 456, 45, 12}, {684, 372, 30, 12}},
      {3, 0, {18, 192, 18, 30}, {67, 216, 45, 12}, {144, 132, 30, 12}},
      // The single window.
      {0, 0, {72, 288, 72, 120}, {270, 384, 180, 48}, {576, 48, 120, 48}},
      // 480 x 320: 3 x 320 / 5 = 192, 3 x 480 / 8 = 180.
      {2, 0, {48, 192, 48, 80}, {180, 256, 120, 32}, {384, 32, 80, 32}},
      // 240 x 160 at (240, 320): 4 x 240 / 5 = 192, 240 / 6 = 40.
      {2, 4, {264, 416, 24, 40}, {330, 448, 60, 16}, {432, 336, 40, 16}},
      // An empty slot gives empty boxes.
      {1, 4, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "layout " << c.mode_type << " slot " << c.slot);
    MultiviewerState s;
    s.m_all_16_view_page_data.zv_16_view_mode_type = static_cast<uint8_t>(c.mode_type);
    s.RecomputeWindows();
    s.RecomputeAudioMeters();
    s.RecomputeLabels();
    s.RecomputeOverlays();
    EXPECT_EQ(Tie(s.m_16_view_audio_rects[c.slot]), Tie(c.audio));
    EXPECT_EQ(Tie(s.m_16_view_umd_rects[c.slot]), Tie(c.label));
    EXPECT_EQ(Tie(s.m_16_view_resolution_rects[c.slot]), Tie(c.overlay));
  }
}

TEST(MultiviewPreviewTest, BoxColoursByIndex) {
  struct Step {
    uint8_t index;
    Rgb expected;
  };
  // Each step follows the one before on the same window: an index above 15
  // keeps what the box had.
  const Step steps[] = {{2, {255, 0, 0}},      {20, {255, 0, 0}},     {14, {255, 255, 255}},
                        {8, {186, 183, 186}},  {16, {186, 183, 186}}, {15, {245, 245, 245}},
                        {9, {219, 112, 147}},  {0, {0, 0, 0}},        {255, {0, 0, 0}},
                        {13, {255, 255, 224}}};
  MultiviewerState s;
  s.m_all_16_view_page_data.zv_16_view_mode_type = 6;
  s.RecomputeWindows();
  for (const Step& step : steps) {
    SCOPED_TRACE(int(step.index));
    s.m_all_16_view_page_data.zv_16_view_umd_back_color[4] = step.index;
    s.m_all_16_view_page_data.zv_16_view_resolution_back_color[4] = step.index;
    s.RecomputeLabels();
    s.RecomputeOverlays();
    EXPECT_EQ(s.m_16_view_umd_rgb[4], step.expected);
    EXPECT_EQ(s.m_16_view_resolution_rgb[4], step.expected);
  }
}

TEST(MultiviewPreviewTest, LayoutIndexAboveSixEmptiesThePreview) {
  for (uint8_t index : {7, 8, 200, 255}) {
    MultiviewerState s;
    s.m_all_16_view_page_data.zv_16_view_mode_type = 6;
    s.RecomputeWindows();
    s.m_all_16_view_page_data.zv_16_view_mode_type = index;
    s.RecomputeWindows();
    s.RecomputeAudioMeters();
    s.RecomputeLabels();
    for (int n = 0; n < kMultiviewWindowCount; ++n) {
      EXPECT_EQ(s.m_16_view_windows[n].width, 0) << int(index) << " " << n;
      EXPECT_EQ(s.m_16_view_audio_rects[n].width, 0);
      EXPECT_EQ(s.m_16_view_umd_rects[n].height, 0);
    }
  }
}

TEST(MultiviewPreviewTest, TargetColourRule) {
  struct Case {
    int target;
    uint8_t k;
    int changed_first, changed_last;  // entries set to k, inclusive; -1 none
  };
  const Case cases[] = {{0, 2, 0, 15}, {1, 3, 0, 0}, {16, 4, 15, 15}, {9, 5, 8, 8},
                        {17, 6, -1, -1}, {-1, 7, -1, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    uint8_t colours[16] = {};
    for (auto& v : colours) v = 11;
    MultiviewerState::SetTargetColour(colours, c.target, c.k);
    for (int n = 0; n < 16; ++n)
      EXPECT_EQ(colours[n], n >= c.changed_first && n <= c.changed_last ? c.k : 11) << n;
  }
  uint8_t colours[16] = {1, 2, 3};
  EXPECT_EQ(MultiviewerState::TargetColour(colours, 0), 1);
  EXPECT_EQ(MultiviewerState::TargetColour(colours, 3), 3);
}

}  // namespace
}  // namespace zv
