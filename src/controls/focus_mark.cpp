#include "controls/focus_mark.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>

namespace zv {
namespace {

class FocusRing : public QWidget {
 public:
  explicit FocusRing(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("focus_mark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    // Whole device-independent pixels only: at density 2 each bar is four
    // device pixels wide and lies on whole device pixels, never blurred.
    QPainter p(this);
    const QRect r = rect();
    auto ring = [&p](const QRect& outer, int width, const QColor& colour) {
      p.fillRect(QRect(outer.left(), outer.top(), outer.width(), width), colour);
      p.fillRect(QRect(outer.left(), outer.bottom() - width + 1, outer.width(), width), colour);
      p.fillRect(QRect(outer.left(), outer.top(), width, outer.height()), colour);
      p.fillRect(QRect(outer.right() - width + 1, outer.top(), width, outer.height()), colour);
    };
    ring(r, kFocusMarkWidth, QColor::fromRgb(kFocusMarkColour));
    ring(r.adjusted(kFocusMarkWidth, kFocusMarkWidth, -kFocusMarkWidth, -kFocusMarkWidth), 1,
         QColor(20, 20, 20));
  }
};

// Follows the application's focus and keeps the one ring around the
// focused control: moved, resized and hidden with it.
class FocusMarker : public QObject {
 public:
  explicit FocusMarker(QObject* parent) : QObject(parent) {
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { Follow(now); });
  }

  QWidget* RingAround(const QWidget* control) const {
    return m_ring && m_ring->isVisible() && m_target == control ? m_ring.data() : nullptr;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == m_target) {
      switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ParentChange:
          Place();
          break;
        default:
          break;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  static bool Marked(const QWidget* w) {
    // A control inside a popup (an open list) is the popup's business, and a
    // window has no parent to draw the ring on.
    return w && !w->isWindow() && (w->focusPolicy() & Qt::TabFocus) &&
           w->window()->windowType() != Qt::Popup && w->parentWidget();
  }

  void Follow(QWidget* now) {
    if (m_target) m_target->removeEventFilter(this);
    m_target = Marked(now) ? now : nullptr;
    if (m_target) m_target->installEventFilter(this);
    Place();
  }

  void Place() {
    QWidget* target = m_target;
    if (!target || !target->isVisible() || !target->parentWidget()) {
      if (m_ring) m_ring->hide();
      return;
    }
    QWidget* parent = target->parentWidget();
    if (!m_ring)
      m_ring = new FocusRing(parent);
    else if (m_ring->parentWidget() != parent)
      m_ring->setParent(parent);
    const int out = kFocusMarkOutset;
    m_ring->setGeometry(target->geometry().adjusted(-out, -out, out, out) & parent->rect());
    m_ring->raise();
    m_ring->show();
    m_ring->update();
  }

  QPointer<QWidget> m_target;
  // Owned by the widget it is drawn on; goes with it.
  QPointer<FocusRing> m_ring;
};

FocusMarker* g_marker = nullptr;

}  // namespace

void InstallFocusMarks() {
  if (!qApp || g_marker) return;
  g_marker = new FocusMarker(qApp);
  QObject::connect(g_marker, &QObject::destroyed, [] { g_marker = nullptr; });
}

QWidget* FocusMarkAround(const QWidget* control) {
  return g_marker ? g_marker->RingAround(control) : nullptr;
}

}  // namespace zv
