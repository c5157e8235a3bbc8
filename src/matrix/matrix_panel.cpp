#include "matrix/matrix_panel.h"

namespace zv {

CClass_matrix_control::CClass_matrix_control(QWidget* parent) : CChildDialog(parent, kResource) {}

}  // namespace zv
