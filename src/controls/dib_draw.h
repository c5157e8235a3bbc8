// Drawing a DIB holder with the toolkit: the one part of it that is not
// plain bytes.
#pragma once

class QImage;
class QPainter;

namespace zv {

class CCeXDib;

// The holder's picture as an image of its full size; a null image when it
// holds nothing.
QImage DibImage(const CCeXDib& dib);
// Draws the holder at full size with its top-left corner at (x, y); draws
// nothing when it holds nothing.
void DrawDib(QPainter& painter, const CCeXDib& dib, int x, int y);

}  // namespace zv
