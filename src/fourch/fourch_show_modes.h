// Geometry of the four-channel switcher's seventeen show modes. The preview
// (the session's preview) and the mode buttons' pictograms both draw from
// this table.
#pragma once

#include <array>

#include "res/preview_box.h"

namespace zv {

// One slot of the preview picture. A slot with width or height 0 is
// empty; label is the channel number drawn in the window.
struct TriskPreviewWindow {
  int x, y, width, height, label;
};

inline constexpr int kTriskPreviewWidth = 720;
inline constexpr int kTriskPreviewHeight = 480;
inline constexpr int kTriskShowModeCount = 17;
inline constexpr int kTriskSlotCount = 4;

using TriskWindowBox = PreviewBox;

// One show mode, by zv_trisk_show_mode_type. Slot n is labelled n + 1; in the
// single-channel modes the window sits in the slot of its own channel.
struct TriskShowMode {
  const char* picture;
  std::array<TriskWindowBox, kTriskSlotCount> windows;
};

const std::array<TriskShowMode, kTriskShowModeCount>& TriskShowModes();

// The preview slots of show mode `mode` scaled into an area_width x
// area_height picture (720 x 480 gives the table's values). Edges are scaled,
// not sizes, so windows that touch in the table still touch after scaling.
// A mode outside 0 to 16 gives four empty slots.
std::array<TriskPreviewWindow, kTriskSlotCount> TriskPreviewWindows(
    int mode, int area_width = kTriskPreviewWidth, int area_height = kTriskPreviewHeight);

// Bitmap ids of a mode button: 309 + 2m for modes 0 to 15 and 371 for mode
// 16, the selected face one above. 0 for a mode without a button.
int TriskShowModeNormalImage(int mode);
int TriskShowModeSelectedImage(int mode);

}  // namespace zv
