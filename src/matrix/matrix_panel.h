// CClass_matrix_control: the 8x8 matrix router's panel (device types 0x81,
// 0x82): a row of eight input buttons above a row of eight output buttons,
// two page buttons, and the page area holding the function page or the
// connection page. The routing model and the lock live in the router's
// session; the panel shows them on its buttons and routes through the
// session's actions.
#pragma once

#include <QPointer>
#include <QRect>
#include <string_view>

#include "controls/child_dialog.h"
#include "matrix/matrix_ids.h"
#include "matrix/matrix_session.h"

namespace zv {

class CButtonST;
class DeviceLink;

class CClass_matrix_control : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = kMatrixPanelResource;
  // `session` is the router's, kept by the main window; `link` is the
  // panel's door to the device (the connection page changes its mode and
  // opens the serial port through it).
  CClass_matrix_control(QWidget* parent, DeviceLink& link, MatrixSession& session);
  ~CClass_matrix_control() override;

  DeviceLink& Link() const { return m_link; }
  MatrixSession& Session() const { return m_session; }
  const MatrixModel& Model() const { return m_session.Model(); }
  // Runs an action of the session; a refusal is said in red in the status
  // strip.
  ActionOutcome Act(const std::string& action, const ActionArgs& args = {});

  // Click handlers, by the number on the button (1 to 8).
  void OnSelectInput(int k);
  void OnToggleOutput(int o);
  // 1: the function page; 2: the connection page. The shown page is not
  // built again.
  void SwitchPage(int page);
  // Makes the sixteen row buttons show the model: the chosen input, and the
  // outputs that take it.
  void ShowRouting();

  // Salvos (right-click menu): the routes the model holds saved under the
  // file's name, and a saved salvo recalled (the session's matrix.salvo).
  // Both dialogs open in the salvo folder (matrix/salvo_folder.h). Each
  // says in the status strip what it did.
  void SaveSalvo(const QString& path);
  void RecallSalvo(const QString& path);

  CButtonST* InputButton(int k) const;
  CButtonST* OutputButton(int o) const;
  CButtonST* PageButton(int page) const;
  int CurrentPage() const { return m_cur_page; }
  QWidget* Page() const { return m_page; }
  const QRect& PageRect() const { return m_page_rect; }

 private:
  void OnInitDialog();
  void AddSalvoMenu();

  DeviceLink& m_link;
  MatrixSession& m_session;
  int m_changed_token = 0;
  int m_cur_page = kMatrixNoPage;
  QPointer<CChildDialog> m_page;
  QRect m_page_rect;
};

}  // namespace zv
