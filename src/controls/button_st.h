// The owner-drawn bitmap button behind every skinned button of the panels.
// A panel gives it a face image (by skin id), a few look options, and then
// receives ordinary clicked() signals from it. Selection is shown by swapping
// the face image between a normal and a selected id.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <array>

class QPainter;

namespace zv {

class CButtonST : public QAbstractButton {
  Q_OBJECT
 public:
  // Where the image sits relative to a non-empty caption.
  enum class ImageAlign : uint8_t { kLeft = 0, kAbove = 1, kRight = 2 };
  // The five colour slots of the face.
  enum class FaceColor : int {
    kBackgroundHot = 0,   // background while hovered or pressed
    kTextHot = 1,         // caption while hovered or pressed
    kBackgroundOut = 2,   // background otherwise
    kTextOut = 3,         // caption otherwise
    kBackgroundFocus = 4, // background while focused
  };
  static constexpr int kFaceColorCount = 5;

  explicit CButtonST(QWidget* parent = nullptr);

  // Takes the two faces (image 2 may be null) with black as their transparent
  // colour. Returns 0 on success, 1 when image 1 is null (its size cannot be
  // read), 2 when a mask cannot be built; on failure no image is kept.
  int SetFaceImages(const QPixmap& image1, const QPixmap& image2 = QPixmap());
  // Image 1 from the skin by id, no image 2; the id is what FaceImageId()
  // reports afterwards (0 when the skin has no such bitmap).
  int SetFaceImageId(int image_id);
  // Records the normal and selected face ids and shows the one that matches
  // the selection.
  void SetFaceImageIds(int normal_id, int selected_id);
  // Shows the selected or the normal face id given to SetFaceImageIds().
  void SetSelected(bool selected);
  bool IsSelected() const { return m_selected; }
  // The skin id of the face shown now; 0 for none or a face not from the skin.
  int FaceImageId() const { return m_face_image_id; }

  void SetSeeThrough(bool on);
  void SetBorderShown(bool on);
  void SetFlatLook(bool on);
  void SetFaceColor(FaceColor slot, const QColor& colour);
  QColor GetFaceColor(FaceColor slot) const;
  void SetImageAlign(ImageAlign align);
  void SetShowDisabledImage(bool on);
  void SetFocusRectWhenFlat(bool on);
  void SetAlwaysTrack(bool on) { m_always_track = on; }
  void SetDefaultButton(bool on);
  // A check box toggles on each click and looks pressed while checked.
  void SetCheckBox(bool on);
  // Checked and partially checked store 1, unchecked 0; ignored unless the
  // button is a check box.
  void SetCheck(Qt::CheckState state);
  int GetCheck() const { return isChecked() ? 1 : 0; }

  bool IsSeeThrough() const { return m_see_through; }
  bool IsBorderShown() const { return m_border_shown; }
  bool IsFlatLook() const { return m_flat; }
  bool IsHovered() const { return m_mouse_over; }
  bool IsCheckBox() const { return isCheckable(); }
  bool HasFaceImage() const { return !m_image1.isNull(); }
  // What a screen reader is told: a button whose face is one of a normal and
  // a lit pair holds a state, which is on while the lit face shows (the
  // source on air, the layout in use, the page shown). A check box holds its
  // check. Clicks stay plain clicks either way.
  bool HoldsState() const;
  bool IsOn() const;

  QSize sizeHint() const override;

 protected:
  // Fills the face behind image and caption when the button is not
  // see-through.
  virtual void PaintFaceBackground(QPainter& painter, const QRect& face);
  // The thin 3D border of a flat button: sunken while pressed, raised while
  // hovered.
  virtual void PaintFaceBorder(QPainter& painter, const QRect& face, bool sunken);

  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

  // What the current paint draws: taken once at the start of each paint.
  bool IsPressedLook() const;
  bool m_mouse_over = false;

 private:
  void ClearHover();
  // Tells a screen reader when the state it reads changed.
  void AnnounceState(bool held_before, bool on_before);
  QPixmap GreyedImage(bool second) const;

  bool m_show_disabled_image = true;
  bool m_flat = true;
  bool m_see_through = false;
  bool m_is_default = false;
  ImageAlign m_align = ImageAlign::kLeft;
  bool m_border_shown = true;
  bool m_focus_rect_when_flat = false;
  std::array<QColor, kFaceColorCount> m_colors;
  bool m_always_track = true;
  QPixmap m_image1;
  QPixmap m_image2;
  mutable QPixmap m_greyed1;
  mutable QPixmap m_greyed2;

  int m_face_image_id = 0;
  int m_normal_image_id = 0;
  int m_selected_image_id = 0;
  bool m_selected = false;
};

}  // namespace zv
