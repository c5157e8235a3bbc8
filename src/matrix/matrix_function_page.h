// CClass_matrix_child_function: page 1 of the matrix panel, with apply, one
// to all, one to one and the lock that freezes every routing button. The
// page keeps nothing of its own: the lock is the router session's.
#pragma once

#include "controls/child_dialog.h"
#include "matrix/matrix_ids.h"

namespace zv {

class CButtonST;
class CClass_matrix_control;

class CClass_matrix_child_function : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = kMatrixFunctionPageResource;
  CClass_matrix_child_function(QWidget* parent, CClass_matrix_control& panel);

  void OnOneToAll();
  void OnOneToOne();
  void OnApply();
  void OnLock();

  CButtonST* Button(int id) const;
  // The lock's face, and the routing buttons enabled only while unlocked.
  void ShowLock();

 private:
  void OnInitDialog();
  CClass_matrix_control& m_panel;
};

}  // namespace zv
