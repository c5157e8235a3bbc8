#pragma once

#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <optional>

#include "controls/slider_travel.h"

namespace zv {

// The slider's two notices to its parent, by their message numbers.
constexpr int kSliderMovingMessage = 0x28D1;    // during a drag, position changed
constexpr int kSliderReleasedMessage = 0x28D2;  // button up, or a navigation key

// Posted to the slider's parent after the input that caused it; the parent
// handles it in its event(). Carries the slider's control id and position.
class SliderMessageEvent : public QEvent {
 public:
  SliderMessageEvent(int message, int control_id, int position)
      : QEvent(static_cast<QEvent::Type>(message)), m_control_id(control_id), m_position(position) {}
  int ControlId() const { return m_control_id; }
  int Position() const { return m_position; }
  static bool IsSliderMessage(const QEvent* event) {
    return event->type() == kSliderMovingMessage || event->type() == kSliderReleasedMessage;
  }

 private:
  int m_control_id;
  int m_position;
};

// Paints through an off-screen pixmap that is copied to the target in one
// piece when this closes, so a repaint never shows half a picture. Drawing
// keeps the target's coordinates. A printer is drawn on directly.
class CMemSliderDC {
 public:
  CMemSliderDC(QPainter* target, const QRect& rect);
  ~CMemSliderDC();
  CMemSliderDC(const CMemSliderDC&) = delete;
  CMemSliderDC& operator=(const CMemSliderDC&) = delete;
  QPainter& Painter() { return m_painter ? *m_painter : *m_target; }

 private:
  QPainter* m_target;
  QRect m_rect;
  QPixmap m_buffer;
  std::optional<QPainter> m_painter;
};

// A slider drawn from two bitmaps: a channel image that is the whole control
// and a thumb image that moves along it. Every change the operator makes is
// posted to the parent as kSliderMovingMessage / kSliderReleasedMessage;
// positions set by the program post nothing.
class CBitmapSlider : public QWidget {
  Q_OBJECT
 public:
  explicit CBitmapSlider(QWidget* parent = nullptr, int control_id = 0);

  int ControlId() const { return m_control_id; }

  // By skin bitmap id, or from a picture at hand. The control takes the
  // channel's size without moving. The thumb is keyed on its top-left pixel:
  // pixels of that colour show the channel through. Return 1 on success, 0
  // when there is no picture (nothing changes then).
  bool LoadChannelImage(int bitmap_id);
  bool LoadChannelImage(const QPixmap& image);
  bool LoadThumbImage(int bitmap_id);
  bool LoadThumbImage(const QPixmap& image);

  void SetMargins(int left, int top, int right, int bottom);
  void SetVertical(bool on);
  void SetLimits(int minimum, int maximum);
  void SetPosition(int position);
  int GetPosition() const { return m_travel.GetPosition(); }
  // Ends a drag without reporting it: the parent took the thumb from the
  // hand. The held mouse moves nothing until it is pressed again.
  void CancelDrag() { m_travel.CancelDrag(); }
  // Draw the focus rectangle while focused (on by default).
  void SetFocusRectOption(bool on);

  // The value a screen reader reads, worked out from the position (the
  // T-bar tells how far the transition has come), between `minimum` and
  // `maximum`; without it, the position between the limits.
  void SetValueForPeople(int minimum, int maximum, std::function<int(int position)> value);
  int ValueForPeople() const;
  int MinimumForPeople() const;
  int MaximumForPeople() const;

  const SliderTravel& Travel() const { return m_travel; }
  bool IsChannelLoaded() const { return !m_channel.isNull(); }
  bool IsThumbLoaded() const { return !m_thumb.isNull(); }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void PostToParent(int message);
  // Tells a screen reader when the value it reads changed.
  void AnnounceValue();

  int m_control_id;
  SliderTravel m_travel;
  bool m_focus_rect_option = true;
  QPixmap m_channel;
  QPixmap m_thumb;  // the keyed colour already made transparent
  std::function<int(int)> m_value_for_people;
  int m_people_minimum = 0;
  int m_people_maximum = 0;
  std::optional<int> m_announced_value;
};

}  // namespace zv
