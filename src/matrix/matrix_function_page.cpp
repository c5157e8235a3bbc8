#include "matrix/matrix_function_page.h"

#include "controls/button_st.h"
#include "matrix/matrix_panel.h"
#include "matrix/matrix_state.h"

namespace zv {

CClass_matrix_child_function::CClass_matrix_child_function(QWidget* parent,
                                                           CClass_matrix_control& panel)
    : CChildDialog(parent, kResource, ControlColours::kDefault), m_panel(panel) {
  OnInitDialog();
}

void CClass_matrix_child_function::OnInitDialog() {
  // A page built again shows the lock as it stands: it lives in the main window.
  Button(kIdMatrixLock)->SetFaceImageIds(kMatrixUnlockedFace, kMatrixLockedFace);
  ShowLock();
  connect(Button(kIdMatrixOneToAll), &QAbstractButton::clicked, this,
          &CClass_matrix_child_function::OnOneToAll);
  connect(Button(kIdMatrixOneToOne), &QAbstractButton::clicked, this,
          &CClass_matrix_child_function::OnOneToOne);
  connect(Button(kIdMatrixApply), &QAbstractButton::clicked, this,
          &CClass_matrix_child_function::OnApply);
  connect(Button(kIdMatrixLock), &QAbstractButton::clicked, this,
          &CClass_matrix_child_function::OnLock);
}

CButtonST* CClass_matrix_child_function::Button(int id) const {
  return qobject_cast<CButtonST*>(Item(id));
}

// Each routing button acts for the chosen input; the panel's rows and this
// page show what the session says changed.
void CClass_matrix_child_function::OnOneToAll() {
  const MatrixModel& model = m_panel.Model();
  if (model.m_matrix_lock || !model.m_matrix_input || model.m_eMatrixState != 1) return;
  m_panel.Act("matrix.all", {{"input", int{model.m_matrix_input}}});
}

void CClass_matrix_child_function::OnOneToOne() {
  if (m_panel.Model().m_matrix_lock) return;
  m_panel.Act("matrix.through");
}

void CClass_matrix_child_function::OnApply() {
  const MatrixModel& model = m_panel.Model();
  if (model.m_matrix_lock || !model.m_matrix_input || model.m_eMatrixState != 1) return;
  // The buttons already show what apply sends: the outputs that take the
  // chosen input.
  std::vector<int> outputs;
  for (int o = 1; o <= kMatrixPortCount; ++o)
    if (model.m_matrix_route[o - 1] == model.m_matrix_input) outputs.push_back(o);
  if (outputs.empty()) return;
  m_panel.Act("matrix.route", {{"input", int{model.m_matrix_input}}, {"outputs", outputs}});
}

void CClass_matrix_child_function::OnLock() {
  m_panel.Act("matrix.lock", {{"state", std::string(m_panel.Model().m_matrix_lock ? "off" : "on")}});
}

void CClass_matrix_child_function::ShowLock() {
  const MatrixModel& state = m_panel.Model();
  Button(kIdMatrixLock)->SetSelected(state.m_matrix_lock != 0);
  const bool enabled = MatrixButtons(state).routing_enabled;
  for (int id : {kIdMatrixApply, kIdMatrixOneToAll, kIdMatrixOneToOne})
    Button(id)->setEnabled(enabled);
}

}  // namespace zv
