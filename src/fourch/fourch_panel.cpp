#include "fourch/fourch_panel.h"

namespace zv {

CClass_trisk_main_dlg::CClass_trisk_main_dlg(QWidget* parent) : CChildDialog(parent, kResource) {}

}  // namespace zv
