#include "switcher/switcher_panel.h"

namespace zv {

CClass_switcher_dlg::CClass_switcher_dlg(QWidget* parent) : CChildDialog(parent, kResource) {}

}  // namespace zv
