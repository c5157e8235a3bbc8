// The frame that groups controls on the dark panels: a thin grey rounded
// rectangle over the panel's own background, with an optional caption.
#pragma once

#include <QColor>
#include <QGroupBox>
#include <QRect>

namespace zv {

inline constexpr QColor kGroupFrameColour{168, 168, 168};
inline constexpr QColor kGroupCaptionColour{128, 128, 128};
inline constexpr int kGroupCaptionLeft = 10;

class CMyGroupBox : public QGroupBox {
  Q_OBJECT
 public:
  explicit CMyGroupBox(const QString& caption = QString(), QWidget* parent = nullptr);
  explicit CMyGroupBox(QWidget* parent) : CMyGroupBox(QString(), parent) {}

  // The rounded frame: 2 pixels in from the left, 8 from the top, right and
  // bottom, both ends included.
  QRect FrameRect() const;
  // The strip at the top left that the caption covers; empty without one.
  QRect CaptionRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace zv
