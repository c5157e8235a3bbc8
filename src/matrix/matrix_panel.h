#pragma once

#include "controls/child_dialog.h"

namespace zv {

// The 8x8 matrix switcher's routing panel (device types 0x81, 0x82).
class CClass_matrix_control : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = 206;
  explicit CClass_matrix_control(QWidget* parent);
};

}  // namespace zv
