#pragma once

#include "controls/child_dialog.h"

namespace zv {

// The four-channel switcher's panel (device type 0x60).
class CClass_trisk_main_dlg : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = 308;
  explicit CClass_trisk_main_dlg(QWidget* parent);
};

}  // namespace zv
