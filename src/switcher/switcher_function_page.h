#pragma once

#include "controls/child_dialog.h"
#include "switcher/switcher_page_host.h"

namespace zv {

// Transition settings page (240): a grid of nine wipe pattern buttons. The
// template's time fields and source lists stay hidden and empty.
class CClass_switcher_function : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = 240;
  CClass_switcher_function(QWidget* parent, SwitcherPageHost& host);

 private:

  SwitcherPageHost& m_host;
};

}  // namespace zv
