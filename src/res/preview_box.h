// A box of a preview picture, and the one way such boxes are scaled from the
// picture a geometry table is written in to the picture being drawn.
#pragma once

namespace zv {

struct PreviewBox {
  int x, y, width, height;
};

// Scales the box's edges, not its size (integer division, products first),
// so boxes that touch in the table still touch after scaling.
constexpr PreviewBox ScaleBoxEdges(const PreviewBox& b, int from_width, int from_height,
                                   int to_width, int to_height) {
  const int left = b.x * to_width / from_width;
  const int top = b.y * to_height / from_height;
  const int right = (b.x + b.width) * to_width / from_width;
  const int bottom = (b.y + b.height) * to_height / from_height;
  return {left, top, right - left, bottom - top};
}

}  // namespace zv
