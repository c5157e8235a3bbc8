// Pieces the switcher's key and PIP pages share: the source list, the
// trackbars with their number fields, and the release watch.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>

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

}  // namespace zv
