// The mouse wheel turned over a widget, as the window system delivers it.
#pragma once

#include <QApplication>
#include <QWheelEvent>
#include <QWidget>

namespace zv::test {

// `notches` > 0 turns the wheel away from the operator (up), < 0 towards.
inline void TurnWheel(QWidget* widget, int notches) {
  const QPointF at = QRectF(widget->rect()).center();
  QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &event);
}

}  // namespace zv::test
