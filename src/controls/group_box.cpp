#include "controls/group_box.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace zv {

CMyGroupBox::CMyGroupBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {
  // Only a picture: the controls it groups are its siblings, and clicks on
  // the frame belong to whatever lies under it.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

QRect CMyGroupBox::FrameRect() const {
  return QRect(QPoint(2, 8), QPoint(width() - 9, height() - 9));
}

QRect CMyGroupBox::CaptionRect() const {
  if (title().isEmpty()) return QRect();
  const QFontMetrics metrics(font());
  return QRect(kGroupCaptionLeft, 0, metrics.horizontalAdvance(title()), metrics.height());
}

void CMyGroupBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // Nothing is filled: the widget is not opaque, so inside the frame and
  // behind the caption the panel's own background shows. The frame line is
  // kept out of the whole caption strip, measured in the caption's own font.
  const QRect caption = CaptionRect();
  if (!caption.isEmpty()) {
    QRegion clip(rect());
    p.setClipRegion(clip.subtracted(caption));
  }
  p.setPen(QPen(kGroupFrameColour, 1));
  p.setBrush(Qt::NoBrush);
  const QRect frame = FrameRect();
  // The outline of a 1-pixel pen covers the far edge too, hence the -1.
  p.drawRoundedRect(QRect(frame.topLeft(), frame.size() - QSize(1, 1)), 6, 6);
  if (caption.isEmpty()) return;
  p.setClipping(false);
  p.setFont(font());
  p.setPen(kGroupCaptionColour);
  p.drawText(caption, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title());
}

}  // namespace zv
