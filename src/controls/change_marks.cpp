#include "controls/change_marks.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

#include "controls/button_st.h"

namespace zv {
namespace {

// What a control shows, as one text; empty for a widget that shows no value.
QString Shown(const QWidget* w) {
  if (const auto* combo = qobject_cast<const QComboBox*>(w))
    return combo->count() > 0 ? QStringLiteral("list:") + combo->currentText() : QString();
  if (const auto* edit = qobject_cast<const QLineEdit*>(w)) return QStringLiteral("text:") + edit->text();
  if (const auto* button = qobject_cast<const CButtonST*>(w))
    return QStringLiteral("face:%1 %2 %3").arg(button->FaceImageId()).arg(button->IsSelected()).arg(button->isChecked());
  if (const auto* button = qobject_cast<const QAbstractButton*>(w))
    return button->isCheckable() ? QStringLiteral("check:%1").arg(button->isChecked()) : QString();
  return {};
}

constexpr QColor kMarkColour{255, 176, 0};  // amber: stands out on the dark skin
constexpr int kMarkWidth = 2;
constexpr int kMarkGap = 2;

class ChangeMark : public QWidget {
 public:
  ChangeMark(QWidget* control, int duration_ms) : QWidget(control->parentWidget()), m_control(control) {
    setObjectName(QString::fromLatin1(kChangeMarkName));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    const int out = kMarkWidth + kMarkGap;
    setGeometry(control->geometry().adjusted(-out, -out, out, out));
    setAccessibleName(control->accessibleName().isEmpty() ? control->objectName() : control->accessibleName());
    setAccessibleDescription(QStringLiteral("changed at the device"));
    show();
    raise();
    QTimer::singleShot(duration_ms, this, [this] { deleteLater(); });
  }
  const QWidget* Control() const { return m_control; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QPen pen(kMarkColour, kMarkWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // The pen is centred on the path: half of it inside the rectangle.
    p.drawRect(QRectF(rect()).adjusted(kMarkWidth / 2.0, kMarkWidth / 2.0, -kMarkWidth / 2.0, -kMarkWidth / 2.0));
  }

 private:
  QPointer<QWidget> m_control;
};

class LeaveWatch : public QObject {
 public:
  LeaveWatch(QWidget* control, QObject* owner, std::function<void()> then)
      : QObject(owner), m_control(control), m_then(std::move(then)) {
    m_watched = control;
    if (auto* combo = qobject_cast<QComboBox*>(control)) m_watched = combo->view();
    m_watched->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == m_watched && (event->type() == QEvent::Hide || event->type() == QEvent::FocusOut)) {
      if (m_done) return false;
      m_done = true;
      m_watched->removeEventFilter(this);
      // After the control's own handling of the event (a list's choice).
      QTimer::singleShot(0, parent(), m_then);
      deleteLater();
    }
    return false;
  }

 private:
  QPointer<QWidget> m_control;
  QPointer<QObject> m_watched;
  std::function<void()> m_then;
  bool m_done = false;
};

}  // namespace

ChangeMarks::ChangeMarks(QWidget* root) : m_root(root) {
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (w->objectName() == QLatin1String(kChangeMarkName)) continue;
    QString shown = Shown(w);
    if (!shown.isEmpty()) m_before.emplace(w, std::move(shown));
  }
}

int ChangeMarks::MarkChanged(int duration_ms) const {
  int marked = 0;
  for (QWidget* w : m_root->findChildren<QWidget*>()) {
    const auto it = m_before.find(w);
    // A control that showed nothing before (a list filled for the first
    // time) is no change.
    if (it == m_before.end() || Shown(w) == it->second) continue;
    if (!w->isVisible()) continue;
    MarkChangedControl(w, duration_ms);
    ++marked;
  }
  return marked;
}

void MarkChangedControl(QWidget* control, int duration_ms) {
  if (!control->parentWidget()) return;
  if (QWidget* old = ChangeMarkOf(control)) delete old;
  new ChangeMark(control, duration_ms);
}

QWidget* ChangeMarkOf(const QWidget* control) {
  if (!control->parentWidget()) return nullptr;
  for (QWidget* w : control->parentWidget()->findChildren<QWidget*>(QString::fromLatin1(kChangeMarkName),
                                                                    Qt::FindDirectChildrenOnly))
    if (auto* mark = dynamic_cast<ChangeMark*>(w); mark && mark->Control() == control) return mark;
  return nullptr;
}

bool BeingEdited(const QWidget* control) {
  if (const auto* combo = qobject_cast<const QComboBox*>(control)) return combo->view() && combo->view()->isVisible();
  if (const auto* edit = qobject_cast<const QLineEdit*>(control))
    return edit->hasFocus() && !edit->isReadOnly();
  return false;
}

void WhenLeft(QWidget* control, QObject* owner, std::function<void()> then) {
  new LeaveWatch(control, owner, std::move(then));
}

}  // namespace zv
