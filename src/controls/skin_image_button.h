#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace zv {

// A flat bitmap button drawn over its parent's background: one face image
// for every state, black pixels transparent, the face shifted by one pixel
// while pressed and lightened while the mouse is over it.
class SkinImageButton : public QAbstractButton {
  Q_OBJECT
 public:
  explicit SkinImageButton(QWidget* parent = nullptr);
  void SetFaceImageId(int image_id);
  int FaceImageId() const { return m_image_id; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  int m_image_id = 0;
  QPixmap m_face;
  bool m_hover = false;
};

}  // namespace zv
