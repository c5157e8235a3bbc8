#include "controls/shade_palette.h"

#include <algorithm>

namespace zv {
namespace {

uint8_t Mix(uint8_t a, int weight_a, uint8_t b, int weight_b) {
  return static_cast<uint8_t>((a * weight_a + b * weight_b) / 128);
}

DibRgb Mix(DibRgb a, int weight_a, DibRgb b, int weight_b) {
  return {Mix(a.red, weight_a, b.red, weight_b), Mix(a.green, weight_a, b.green, weight_b),
          Mix(a.blue, weight_a, b.blue, weight_b)};
}

}  // namespace

std::array<DibRgb, 256> ShadeBasePalette(const ShadeColours& c) {
  std::array<DibRgb, 256> palette{};
  for (int i = 0; i <= 128; ++i) palette[i] = Mix(c.shadow, 128 - i, c.face, i);
  for (int h = 1; h <= 128; ++h) palette[127 + h] = Mix(c.highlight, h, c.face, 128 - h);
  return palette;
}

uint8_t ShadePixel(int x, int stored_row, int width, int height, int random) {
  const int value =
      119 * (width - x) / width + 119 * stored_row / height + 8 + (random / 2047 - 8);
  // In range for every pixel of the picture; held there for any other input.
  return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

int BuildShadeFaces(CCeXDib& normal, CCeXDib& hover, int width, int height,
                    const ShadeColours& colours, const std::function<int()>& random) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (!normal.Create(width, height, 8)) {
    hover.Free();
    return 0;
  }
  const std::array<DibRgb, 256> palette = ShadeBasePalette(colours);
  for (int i = 0; i < 256; ++i) normal.SetPaletteColour(i, palette[i]);
  normal.BlendPalette(kShadeTintPercent, kShadeTint);
  for (int r = 0; r < height; ++r) {
    uint8_t* row = normal.Row(r);
    for (int x = 0; x < width; ++x) row[x] = ShadePixel(x, r, width, height, random());
  }
  if (!hover.Clone(normal)) return 0;
  hover.BlendPalette(kHoverTintPercent, colours.highlight);
  return 1;
}

}  // namespace zv
