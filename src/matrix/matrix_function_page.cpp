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

void CClass_matrix_child_function::RefreshPanel() {
  if (auto* panel = qobject_cast<CClass_matrix_control*>(parentWidget())) panel->ShowRouting();
}

void CClass_matrix_child_function::OnOneToAll() {
  MatrixModel& state = m_panel.Model();
  if (state.m_matrix_lock) return;
  if (MatrixOneToAll(state, [this](std::string_view t) { return m_panel.SendText(t); })) RefreshPanel();
}

void CClass_matrix_child_function::OnOneToOne() {
  MatrixModel& state = m_panel.Model();
  if (state.m_matrix_lock) return;
  if (MatrixOneToOne(state, [this](std::string_view t) { return m_panel.SendText(t); })) RefreshPanel();
}

void CClass_matrix_child_function::OnApply() {
  MatrixModel& state = m_panel.Model();
  if (state.m_matrix_lock || !state.m_matrix_input) return;
  // The buttons already show what apply sends.
  MatrixApply(state, [this](std::string_view t) { return m_panel.SendText(t); });
}

void CClass_matrix_child_function::OnLock() {
  MatrixModel& state = m_panel.Model();
  MatrixToggleLock(state);
  ShowLock();
  RefreshPanel();
}

void CClass_matrix_child_function::ShowLock() {
  const MatrixModel& state = m_panel.Model();
  Button(kIdMatrixLock)->SetSelected(state.m_matrix_lock != 0);
  const bool enabled = MatrixButtons(state).routing_enabled;
  for (int id : {kIdMatrixApply, kIdMatrixOneToAll, kIdMatrixOneToOne})
    Button(id)->setEnabled(enabled);
}

}  // namespace zv
