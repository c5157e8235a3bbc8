// Geometry of the multiviewer's seven layouts: where each window of the
// output picture sits, and the audio meter, label and resolution overlay
// boxes inside a window. The preview and the layout buttons' pictograms both
// draw from here, so a button always shows the picture the preview will.
#pragma once

#include <array>

#include "multiview/multiview_state.h"
#include "res/preview_box.h"

namespace zv {

// The output picture scaled down, the space the layout table is written in.
inline constexpr int kMultiviewPreviewWidth = 720;
inline constexpr int kMultiviewPreviewHeight = 480;
inline constexpr int kMultiviewLayoutCount = 7;

// One layout of zv_16_view_mode_map, by zv_16_view_mode_type.
struct MultiviewLayout {
  int window_count;  // the device code, and m_cur_window_count
  int normal_image;  // face of layout button k = index + 1
  int selected_image;
  std::array<PreviewBox, kMultiviewWindowCount> windows;  // window n + 1 in entry n
};

// The layouts, by zv_16_view_mode_type 0 to 6.
const std::array<MultiviewLayout, kMultiviewLayoutCount>& MultiviewLayouts();

// The window slots of layout mode_type scaled into an area_width x
// area_height picture (720 x 480 gives the table's values). Edges are scaled,
// not sizes, so windows that touch in the table still touch after scaling.
// A mode_type outside 0 to 6 gives sixteen empty slots.
std::array<MultiviewWindow, kMultiviewWindowCount> MultiviewLayoutWindows(
    int mode_type, int area_width = kMultiviewPreviewWidth,
    int area_height = kMultiviewPreviewHeight);

// The boxes drawn inside a window, in the preview's coordinates. Products are
// taken before the division and the remainder is dropped, as the device's own
// preview does; an empty window gives an empty box.
PreviewBox MultiviewAudioMeterBox(const MultiviewWindow& window);
PreviewBox MultiviewLabelBox(const MultiviewWindow& window);
PreviewBox MultiviewOverlayBox(const MultiviewWindow& window);

}  // namespace zv
