#include "controls/heap_trim.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPixmapCache>
#include <QWidget>

#include "controls/heap_policy.h"

namespace zv {

HeapTrimAfterClose::HeapTrimAfterClose(QObject* parent) : QObject(parent) {
  m_timer.setSingleShot(true);
  m_timer.setInterval(kDelayMs);
  connect(&m_timer, &QTimer::timeout, this, [this] {
    // The style's pictures of the windows that are gone: the windows still
    // open draw theirs again (a few small pictures) at their next paint.
    QPixmapCache::clear();
    GiveFreeHeapBack();
    ++m_trims;
  });
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

HeapTrimAfterClose::~HeapTrimAfterClose() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool HeapTrimAfterClose::eventFilter(QObject* watched, QEvent* event) {
  // Hidden rather than closed: every window that goes away is hidden first,
  // whether closed, answered, deleted or only hidden to be shown again.
  if (event->type() == QEvent::Hide && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->isWindow() && !m_timer.isActive())
    m_timer.start();
  return false;
}

}  // namespace zv
