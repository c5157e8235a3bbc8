#include "controls/shade_button_st.h"

#include <QPainter>
#include <QResizeEvent>

#include "controls/dib_draw.h"
#include "controls/shade_palette.h"

namespace zv {
namespace {

DibRgb ToRgb(const QColor& c) {
  return {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
          static_cast<uint8_t>(c.blue())};
}

}  // namespace

CShadeButtonST::CShadeButtonST(QWidget* parent) : CButtonST(parent) {}

int CShadeButtonST::BuildShade() {
  const QPalette& pal = palette();
  const ShadeColours colours{ToRgb(pal.color(QPalette::Dark)), ToRgb(pal.color(QPalette::Button)),
                             ToRgb(pal.color(QPalette::Light))};
  // A fresh source per build: the same size always gives the same face.
  ShadeNoise noise;
  const int result = BuildShadeFaces(m_normal_shade, m_hover_shade, width(), height(), colours,
                                     [&noise] { return noise.Next(); });
  update();
  return result;
}

void CShadeButtonST::PaintFaceBackground(QPainter& painter, const QRect& face) {
  // Until a shade is built the face is the plain colour of the slots.
  if (!HasShade()) {
    CButtonST::PaintFaceBackground(painter, face);
    return;
  }
  if (!m_mouse_over)
    DrawDib(painter, m_normal_shade, 0, 0);
  else if (IsPressedLook())
    DrawDib(painter, m_hover_shade, 1, 1);
  else
    DrawDib(painter, m_hover_shade, 0, 0);
}

void CShadeButtonST::resizeEvent(QResizeEvent* event) {
  CButtonST::resizeEvent(event);
  // A shade made for another size would leave part of the face bare.
  if (HasShade() && (m_normal_shade.Width() != width() || m_normal_shade.Height() != height()))
    BuildShade();
}

}  // namespace zv
