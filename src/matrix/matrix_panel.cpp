#include "matrix/matrix_panel.h"

#include "app/main_window.h"
#include "controls/button_st.h"
#include "matrix/matrix_connection_page.h"
#include "matrix/matrix_function_page.h"
#include "matrix/matrix_state.h"
#include "platform/platform.h"

namespace zv {

CZELVIKState* MatrixSharedState() { return m_p_glo_main_set_or_get_dlg; }

CClass_matrix_control::CClass_matrix_control(QWidget* parent)
    : CChildDialog(parent, kResource, ControlColours::kDefault) {
  OnInitDialog();
}

void CClass_matrix_control::OnInitDialog() {
  // The template placed the rows with their normal faces, see-through,
  // borderless and flat.
  for (int k = 1; k <= kMatrixPortCount; ++k) {
    for (CButtonST* button : {InputButton(k), OutputButton(k)})
      button->SetFaceImageIds(MatrixNormalFace(k), MatrixSelectedFace(k));
    connect(InputButton(k), &QAbstractButton::clicked, this, [this, k] { OnSelectInput(k); });
    connect(OutputButton(k), &QAbstractButton::clicked, this, [this, k] { OnToggleOutput(k); });
  }
  m_page_rect = Item(kIdMatrixPageArea)->geometry();
  PageButton(kMatrixFunctionPage)
      ->SetFaceImageIds(kMatrixFunctionPageFace, kMatrixFunctionPageSelectedFace);
  PageButton(kMatrixConnectionPage)
      ->SetFaceImageIds(kMatrixConnectionPageFace, kMatrixConnectionPageSelectedFace);
  connect(PageButton(kMatrixFunctionPage), &QAbstractButton::clicked, this,
          [this] { SwitchPage(kMatrixFunctionPage); });
  connect(PageButton(kMatrixConnectionPage), &QAbstractButton::clicked, this,
          [this] { SwitchPage(kMatrixConnectionPage); });
  // A reopened panel shows the input the model still holds, and the outputs
  // it feeds; with all buttons normal a click on that input would be ignored
  // without a sign.
  ShowRouting();
  SwitchPage(kMatrixFunctionPage);
}

CButtonST* CClass_matrix_control::InputButton(int k) const {
  return qobject_cast<CButtonST*>(Item(kIdMatrixInput1 + k - 1));
}

CButtonST* CClass_matrix_control::OutputButton(int o) const {
  return qobject_cast<CButtonST*>(Item(kIdMatrixOutput1 + o - 1));
}

CButtonST* CClass_matrix_control::PageButton(int page) const {
  return qobject_cast<CButtonST*>(Item(
      page == kMatrixFunctionPage ? kIdMatrixFunctionPageButton : kIdMatrixConnectionPageButton));
}

void CClass_matrix_control::ShowRouting() {
  const CZELVIKState* state = MatrixSharedState();
  if (!state) return;
  const MatrixButtonLook look = MatrixButtons(*state);
  for (int k = 1; k <= kMatrixPortCount; ++k) {
    InputButton(k)->SetSelected(look.input_selected[k - 1]);
    OutputButton(k)->SetSelected(look.output_selected[k - 1]);
    InputButton(k)->setEnabled(look.routing_enabled);
    OutputButton(k)->setEnabled(look.routing_enabled);
  }
}

void CClass_matrix_control::OnSelectInput(int k) {
  CZELVIKState* state = MatrixSharedState();
  if (state && MatrixSelectInput(*state, k)) ShowRouting();
}

void CClass_matrix_control::OnToggleOutput(int o) {
  CZELVIKState* state = MatrixSharedState();
  if (state && MatrixToggleOutput(*state, o)) ShowRouting();
}

void CClass_matrix_control::SwitchPage(int page) {
  if (page == m_cur_page) return;
  if (page != kMatrixFunctionPage && page != kMatrixConnectionPage) return;
  if (m_cur_page != kMatrixNoPage) PageButton(m_cur_page)->SetSelected(false);
  if (m_page) {
    m_page->hide();
    delete m_page.data();
    m_page = nullptr;
  }
  if (page == kMatrixFunctionPage)
    m_page = new CClass_matrix_child_function(this);
  else
    m_page = new CClass_matrix_child_setting(this);
  PageButton(page)->SetSelected(true);
  m_page->setGeometry(m_page_rect);
  m_page->show();
  m_cur_page = page;
}

}  // namespace zv
