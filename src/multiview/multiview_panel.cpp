#include "multiview/multiview_panel.h"

namespace zv {

CClass_16view_dlg::CClass_16view_dlg(QWidget* parent) : CChildDialog(parent, kResource) {}

}  // namespace zv
