#pragma once

#include "controls/child_dialog.h"

namespace zv {

// The 16-window multiviewer's panel (device type 0xA1).
class CClass_16view_dlg : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = 129;
  explicit CClass_16view_dlg(QWidget* parent);
};

}  // namespace zv
