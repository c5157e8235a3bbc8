#include "multiview/multiview_layout.h"

namespace zv {
namespace {

using B = PreviewBox;
// Cell n of the 4 x 4 grid of 180 x 120 windows, counted row by row.
constexpr B Grid16(int n) { return B{180 * (n % 4), 120 * (n / 4), 180, 120}; }

constexpr std::array<MultiviewLayout, kMultiviewLayoutCount> kLayouts{{
    {1, 171, 172, {{B{0, 0, 720, 480}}}},
    {4,
     173,
     174,
     {{B{0, 0, 360, 240}, B{360, 0, 360, 240}, B{0, 240, 360, 240}, B{360, 240, 360, 240}}}},
    {6,
     175,
     176,
     {{B{0, 0, 480, 320}, B{480, 0, 240, 160}, B{480, 160, 240, 160}, B{0, 320, 240, 160},
       B{240, 320, 240, 160}, B{480, 320, 240, 160}}}},
    // Eight windows fill only the middle band; the top and bottom stay empty.
    {8,
     177,
     178,
     {{Grid16(4), Grid16(5), Grid16(6), Grid16(7), Grid16(8), Grid16(9), Grid16(10),
       Grid16(11)}}},
    {9,
     179,
     180,
     {{B{0, 0, 240, 160}, B{240, 0, 240, 160}, B{480, 0, 240, 160}, B{0, 160, 240, 160},
       B{240, 160, 240, 160}, B{480, 160, 240, 160}, B{0, 320, 240, 160},
       B{240, 320, 240, 160}, B{480, 320, 240, 160}}}},
    {10,
     181,
     182,
     {{B{0, 0, 360, 240}, B{360, 0, 360, 240}, Grid16(8), Grid16(9), Grid16(10), Grid16(11),
       Grid16(12), Grid16(13), Grid16(14), Grid16(15)}}},
    {16,
     183,
     184,
     {{Grid16(0), Grid16(1), Grid16(2), Grid16(3), Grid16(4), Grid16(5), Grid16(6),
       Grid16(7), Grid16(8), Grid16(9), Grid16(10), Grid16(11), Grid16(12), Grid16(13),
       Grid16(14), Grid16(15)}}},
}};

}  // namespace

const std::array<MultiviewLayout, kMultiviewLayoutCount>& MultiviewLayouts() { return kLayouts; }

std::array<MultiviewWindow, kMultiviewWindowCount> MultiviewLayoutWindows(int mode_type,
                                                                          int area_width,
                                                                          int area_height) {
  std::array<MultiviewWindow, kMultiviewWindowCount> slots{};
  if (mode_type < 0 || mode_type >= kMultiviewLayoutCount) return slots;
  const MultiviewLayout& layout = kLayouts[static_cast<size_t>(mode_type)];
  for (int n = 0; n < layout.window_count; ++n) {
    const PreviewBox& b = layout.windows[static_cast<size_t>(n)];
    const PreviewBox s = ScaleBoxEdges(b, kMultiviewPreviewWidth, kMultiviewPreviewHeight,
                                       area_width, area_height);
    slots[static_cast<size_t>(n)] = {s.x, s.y, s.width, s.height, n + 1};
  }
  return slots;
}

PreviewBox MultiviewAudioMeterBox(const MultiviewWindow& w) {
  return {w.x + w.width / 10, w.y + 3 * w.height / 5, w.width / 10, w.height / 4};
}

PreviewBox MultiviewLabelBox(const MultiviewWindow& w) {
  return {w.x + 3 * w.width / 8, w.y + 4 * w.height / 5, w.width / 4, w.height / 10};
}

PreviewBox MultiviewOverlayBox(const MultiviewWindow& w) {
  return {w.x + 4 * w.width / 5, w.y + w.height / 10, w.width / 6, w.height / 10};
}

}  // namespace zv
