// The bitmap button whose face background can be a computed, slightly noisy
// diagonal shade instead of a flat colour.
#pragma once

#include "controls/button_st.h"
#include "controls/dib_core.h"

namespace zv {

class CShadeButtonST : public CButtonST {
  Q_OBJECT
 public:
  explicit CShadeButtonST(QWidget* parent = nullptr);

  // Computes the normal and hover shades for the button's present size.
  // Returns 1 on success, 0 when the pictures cannot be made.
  int BuildShade();
  bool HasShade() const { return m_normal_shade.IsValid(); }
  const CCeXDib& NormalShade() const { return m_normal_shade; }
  const CCeXDib& HoverShade() const { return m_hover_shade; }

 protected:
  void PaintFaceBackground(QPainter& painter, const QRect& face) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  CCeXDib m_normal_shade;
  CCeXDib m_hover_shade;
};

}  // namespace zv
