// The computed face of the shaded buttons: an 8-bit palette picture running
// from the shadow colour through the face colour to the highlight colour,
// lightest at the top left, with a little noise so the face does not band.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "controls/dib_core.h"

namespace zv {

// The three system colours the shade is made of.
struct ShadeColours {
  DibRgb shadow;
  DibRgb face;
  DibRgb highlight;
};

inline constexpr DibRgb kShadeTint{55, 255, 55};
inline constexpr int kShadeTintPercent = 5;
inline constexpr int kHoverTintPercent = 10;

// Entries 0..128 run from shadow to face, 128..255 from face to highlight;
// entry 128 belongs to the second run.
std::array<DibRgb, 256> ShadeBasePalette(const ShadeColours& colours);

// The pseudo-random source of the noise: 0..32767 per call, the same sequence
// for the same seed, so a face looks alike on every run.
class ShadeNoise {
 public:
  explicit ShadeNoise(uint32_t seed = 1) : m_state(seed) {}
  int Next() {
    m_state = m_state * 214013u + 2531011u;
    return static_cast<int>((m_state >> 16) & 0x7FFF);
  }

 private:
  uint32_t m_state;
};

// Palette index of one pixel: stored row r (0 at the bottom), column x, with
// `random` in 0..32767 giving -8..+8 steps of noise.
uint8_t ShadePixel(int x, int stored_row, int width, int height, int random);

// Fills `normal` and `hover` with the faces of a width x height button (each
// held to at least 1). Returns 1 on success, 0 when a picture cannot be made.
int BuildShadeFaces(CCeXDib& normal, CCeXDib& hover, int width, int height,
                    const ShadeColours& colours, const std::function<int()>& random);

}  // namespace zv
