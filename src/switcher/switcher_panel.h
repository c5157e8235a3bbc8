#pragma once

#include "controls/child_dialog.h"

namespace zv {

// The production switcher's panel (device type 0xA5).
class CClass_switcher_dlg : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = 237;
  explicit CClass_switcher_dlg(QWidget* parent);
};

}  // namespace zv
