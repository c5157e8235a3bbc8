// Pieces the switcher's key and PIP pages share: the source list, the
// trackbars with their number fields, and the release watch.
#pragma once

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <array>
#include <functional>
#include <optional>

#include "switcher/switcher_page_host.h"
#include "switcher/switcher_state.h"

namespace zv {

// "Cam 01" .. "Cam 10", "MP", with `selected` chosen (index 0 when outside).
inline void FillSourceList(QComboBox* combo, int selected) {
  if (!combo) return;
  for (int i = 0; i < kSourceListCount; ++i)
    combo->addItem(QString::fromStdString(SourceListText(i)));
  combo->setCurrentIndex(selected >= 0 && selected < kSourceListCount ? selected : 0);
}

template <size_t N>
inline void FillList(QComboBox* combo, const std::array<const char*, N>& texts, int selected) {
  if (!combo) return;
  for (const char* text : texts) combo->addItem(QString::fromUtf8(text));
  combo->setCurrentIndex(selected >= 0 && selected < static_cast<int>(N) ? selected : 0);
}

inline void SetUpTrackbar(QSlider* slider, int maximum, int step, int position) {
  if (!slider) return;
  slider->setRange(0, maximum);
  slider->setSingleStep(step);
  slider->setTickInterval(step);
  slider->setValue(position);
}

inline void ShowNumber(QLineEdit* edit, const std::string& text) {
  if (edit) edit->setText(QString::fromStdString(text));
}

// The left button coming up over a watched trackbar (the one that had the
// press keeps the mouse until then).
inline bool IsLeftRelease(const QEvent* event) {
  return event->type() == QEvent::MouseButtonRelease &&
         static_cast<const QMouseEvent*>(event)->button() == Qt::LeftButton;
}

// A trackbar moved by the keyboard or the wheel sends its value once it
// settles: a short pause after the last step, the focus leaving it, or its
// page going away (a page is hidden before it is deleted). The
// mouse sends on release (the page does that), which drops a pending settle,
// so what a trackbar shows is what the device was sent.
class TrackbarSettle : public QObject {
 public:
  static constexpr int kSettleMs = 300;
  TrackbarSettle(QSlider* slider, std::function<void()> send)
      : QObject(slider), m_send(std::move(send)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(kSettleMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_send(); });
    // Keys, the wheel and clicks on the groove trigger actions with the
    // thumb not held; a drag holds it.
    connect(slider, &QAbstractSlider::actionTriggered, this, [this, slider](int) {
      if (!slider->isSliderDown()) m_timer.start();
    });
    slider->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    // Not while the whole window goes (it is hidden first, and the link
    // behind the panel may already be gone): only a page or a focus that
    // leaves a window still shown.
    const auto* slider = static_cast<const QWidget*>(parent());
    if ((event->type() == QEvent::FocusOut || event->type() == QEvent::Hide) &&
        m_timer.isActive() && slider->window()->isVisible()) {
      m_timer.stop();
      m_send();
    } else if (event->type() == QEvent::MouseButtonRelease) {
      m_timer.stop();
    }
    return false;
  }

 private:
  QTimer m_timer;
  std::function<void()> m_send;
};

// Sends a key page's three levels (red, green, blue) with `action`.
inline void SendLevels(SwitcherPageHost& host, const char* action, const std::array<int, 3>& levels) {
  host.Act(action, {{"red", levels[0]}, {"green", levels[1]}, {"blue", levels[2]}});
}

// The three levels of a key page when the left button comes up over one of
// its trackbars, in trackbar order; nothing for any other event.
inline std::optional<std::array<int, 3>> LevelsOnRelease(const QObject* watched, const QEvent* event,
                                                         const std::array<QSlider*, 3>& trackbars) {
  if (!IsLeftRelease(event) || !watched) return std::nullopt;
  if (std::find(trackbars.begin(), trackbars.end(), watched) == trackbars.end()) return std::nullopt;
  std::array<int, 3> levels{};
  for (size_t i = 0; i < 3; ++i) levels[i] = trackbars[i] ? trackbars[i]->value() : 0;
  return levels;
}

// An entry typed into a list's edit field is no choice: when the field is
// confirmed (Enter) or left, it goes back to the entry chosen last, so the
// list finds nothing new to choose and sends nothing.
inline void DropTypedEntry(QComboBox* combo, const QEvent* event) {
  if (!combo || !combo->lineEdit()) return;
  const bool confirmed =
      event->type() == QEvent::KeyPress &&
      (static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Return ||
       static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Enter);
  if (!confirmed && event->type() != QEvent::FocusOut) return;
  const QString chosen = combo->itemText(combo->currentIndex());
  if (combo->lineEdit()->text() != chosen) combo->lineEdit()->setText(chosen);
}

}  // namespace zv
