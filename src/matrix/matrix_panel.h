// CClass_matrix_control: the 8x8 matrix router's panel (device types 0x81,
// 0x82): a row of eight input buttons above a row of eight output buttons,
// two page buttons, and the page area holding the function page or the
// connection page. The routing model lives in the main window; the panel
// only shows it on its buttons.
#pragma once

#include <QPointer>
#include <QRect>
#include <string_view>

#include "controls/child_dialog.h"
#include "matrix/matrix_ids.h"

namespace zv {

class CButtonST;
class DeviceLink;
struct MatrixModel;

class CClass_matrix_control : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = kMatrixPanelResource;
  // `model` is the routing model the main window keeps; `link` reaches the
  // device the panel is opened for.
  CClass_matrix_control(QWidget* parent, DeviceLink& link, MatrixModel& model);
  ~CClass_matrix_control() override;

  DeviceLink& Link() const { return m_link; }
  MatrixModel& Model() const { return m_model; }
  // Queues a text for the router; false (nothing queued) when it cannot
  // leave: serial mode with the port closed, or a mode that is neither.
  // The status strip says "Sending: ..." until the link has tried, then
  // "Sent: ..." or, in red, "Not sent: ..."; a text that did not leave takes
  // its routing back off the buttons.
  bool SendText(std::string_view text);

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
  // file's name, and a saved salvo recalled, one route text per input.
  // Each says in the status strip what it did.
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
  // A text's outcome, back from the link worker.
  void TextDone(const std::string& text, const std::string& what, bool sent, bool serial);

  DeviceLink& m_link;
  MatrixModel& m_model;
  int m_cur_page = kMatrixNoPage;
  QPointer<CChildDialog> m_page;
  QRect m_page_rect;
};

}  // namespace zv
