#include "controls/dib_draw.h"

#include <QImage>
#include <QPainter>
#include <cstring>

#include "controls/dib_core.h"

namespace zv {

QImage DibImage(const CCeXDib& dib) {
  if (!dib.IsValid()) return QImage();
  const std::vector<uint32_t> pixels = dib.ToArgb32();
  QImage image(dib.Width(), dib.Height(), QImage::Format_RGB32);
  if (image.isNull()) return image;
  for (int y = 0; y < dib.Height(); ++y)
    std::memcpy(image.scanLine(y), pixels.data() + static_cast<size_t>(y) * dib.Width(),
                static_cast<size_t>(dib.Width()) * sizeof(uint32_t));
  return image;
}

void DrawDib(QPainter& painter, const CCeXDib& dib, int x, int y) {
  const QImage image = DibImage(dib);
  if (!image.isNull()) painter.drawImage(x, y, image);
}

}  // namespace zv
