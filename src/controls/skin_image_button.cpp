#include "controls/skin_image_button.h"

#include <QBitmap>
#include <QPainter>

#include "res/skin.h"

namespace zv {

SkinImageButton::SkinImageButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_NoSystemBackground);
}

void SkinImageButton::SetFaceImageId(int image_id) {
  m_image_id = image_id;
  m_face = SkinBitmap(image_id);
  if (!m_face.isNull() && !m_face.hasAlphaChannel())
    m_face.setMask(m_face.createMaskFromColor(Qt::black));
  update();
}

QSize SkinImageButton::sizeHint() const { return m_face.isNull() ? QSize(32, 32) : m_face.size(); }

void SkinImageButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int shift = isDown() ? 1 : 0;
  if (!m_face.isNull()) {
    const QPoint at((width() - m_face.width()) / 2 + shift, (height() - m_face.height()) / 2 + shift);
    p.drawPixmap(at, m_face);
  } else {
    p.setPen(QColor(220, 220, 220));
    p.drawText(rect().translated(shift, shift), Qt::AlignCenter, text());
  }
  if (m_hover && isEnabled()) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 36));
    p.drawRoundedRect(rect().adjusted(1, 1, -1, -1), 4, 4);
  }
}

void SkinImageButton::enterEvent(QEnterEvent* event) {
  m_hover = true;
  update();
  QAbstractButton::enterEvent(event);
}

void SkinImageButton::leaveEvent(QEvent* event) {
  m_hover = false;
  update();
  QAbstractButton::leaveEvent(event);
}

}  // namespace zv
