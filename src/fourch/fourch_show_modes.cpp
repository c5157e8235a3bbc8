#include "fourch/fourch_show_modes.h"

#include <cstddef>

namespace zv {
namespace {

using B = TriskWindowBox;
constexpr B kNo{0, 0, 0, 0};
constexpr B kFull{0, 0, 720, 480};

constexpr std::array<TriskShowMode, kTriskShowModeCount> kModes{{
    {"quad split",
     {{B{0, 0, 360, 240}, B{360, 0, 360, 240}, B{0, 240, 360, 240}, B{360, 240, 360, 240}}}},
    {"three small on top, large below",
     {{B{100, 160, 520, 320}, B{0, 0, 240, 160}, B{240, 0, 240, 160}, B{480, 0, 240, 160}}}},
    {"large on top, three small below",
     {{B{100, 0, 520, 320}, B{0, 320, 240, 160}, B{240, 320, 240, 160}, B{480, 320, 240, 160}}}},
    {"large left, three small stacked right",
     {{B{0, 80, 480, 320}, B{480, 0, 240, 160}, B{480, 160, 240, 160}, B{480, 320, 240, 160}}}},
    {"three small stacked left, large right",
     {{B{240, 80, 480, 320}, B{0, 0, 240, 160}, B{0, 160, 240, 160}, B{0, 320, 240, 160}}}},
    {"full screen with two insets at the bottom",
     {{kFull, B{40, 330, 180, 120}, B{500, 330, 180, 120}, kNo}}},
    {"one window top centre, two below",
     {{B{180, 0, 360, 240}, B{0, 240, 360, 240}, B{360, 240, 360, 240}, kNo}}},
    {"picture-in-picture, inset top right", {{kFull, B{500, 30, 180, 120}, kNo, kNo}}},
    {"picture-in-picture, inset top left", {{kFull, B{40, 30, 180, 120}, kNo, kNo}}},
    {"picture-in-picture, inset bottom left", {{kFull, B{40, 330, 180, 120}, kNo, kNo}}},
    {"picture-in-picture, inset bottom right", {{kFull, B{500, 330, 180, 120}, kNo, kNo}}},
    {"two windows side by side", {{B{0, 0, 360, 480}, B{360, 0, 360, 480}, kNo, kNo}}},
    {"channel 4 full screen", {{kNo, kNo, kNo, kFull}}},
    {"channel 3 full screen", {{kNo, kNo, kFull, kNo}}},
    {"channel 2 full screen", {{kNo, kFull, kNo, kNo}}},
    {"channel 1 full screen", {{kFull, kNo, kNo, kNo}}},
    {"two windows, one above the other, centred",
     {{B{180, 0, 360, 240}, B{180, 240, 360, 240}, kNo, kNo}}},
}};

constexpr int kLastRegularMode = 15;
constexpr int kFirstModeImage = 309;
constexpr int kMode16Image = 371;

}  // namespace

const std::array<TriskShowMode, kTriskShowModeCount>& TriskShowModes() { return kModes; }

std::array<TriskPreviewWindow, kTriskSlotCount> TriskPreviewWindows(int mode, int area_width,
                                                                     int area_height) {
  std::array<TriskPreviewWindow, kTriskSlotCount> slots{};
  if (mode < 0 || mode >= kTriskShowModeCount) return slots;
  for (int n = 0; n < kTriskSlotCount; ++n) {
    const B& b = kModes[static_cast<size_t>(mode)].windows[static_cast<size_t>(n)];
    if (b.width <= 0 || b.height <= 0) continue;
    const PreviewBox s =
        ScaleBoxEdges(b, kTriskPreviewWidth, kTriskPreviewHeight, area_width, area_height);
    slots[static_cast<size_t>(n)] = {s.x, s.y, s.width, s.height, n + 1};
  }
  return slots;
}

int TriskShowModeNormalImage(int mode) {
  if (mode < 0 || mode >= kTriskShowModeCount) return 0;
  return mode <= kLastRegularMode ? kFirstModeImage + 2 * mode : kMode16Image;
}

int TriskShowModeSelectedImage(int mode) {
  const int normal = TriskShowModeNormalImage(mode);
  return normal ? normal + 1 : 0;
}

}  // namespace zv
