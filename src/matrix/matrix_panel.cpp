#include "matrix/matrix_panel.h"

#include <QAction>
#include <algorithm>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "controls/button_st.h"
#include "link/device_link.h"
#include "matrix/matrix_connection_page.h"
#include "matrix/matrix_function_page.h"
#include "matrix/matrix_salvo.h"
#include "matrix/matrix_state.h"
#include "platform/platform.h"
#include "platform/small_file.h"

namespace zv {

CClass_matrix_control::CClass_matrix_control(QWidget* parent, DeviceLink& link, MatrixModel& model)
    : CChildDialog(parent, kResource, ControlColours::kDefault), m_link(link), m_model(model) {
  OnInitDialog();
}

// The door may outlive the panel for a moment.
CClass_matrix_control::~CClass_matrix_control() { m_link.OnRequestsDropped(nullptr); }

bool CClass_matrix_control::SendText(std::string_view text) {
  const int32_t mode = m_link.Mode();
  if (mode != kModeNetwork && mode != kModeSerial) return false;
  if (mode == kModeSerial && !m_link.SerialPortOpen()) return false;
  const std::string what = "Route " + std::string(text) + " to " + m_link.DeviceName();
  // The door runs nothing here once the panel is gone, so the outcome may
  // come back to `this`.
  m_link.Request("Sending: " + what,
                 [this, t = std::string(text), what](LinkState& link) -> std::function<void()> {
    const bool serial = link.m_eState == kModeSerial;
    const bool sent = SendMatrixText(link, t);
    return [this, t, what, sent, serial] { TextDone(t, what, sent, serial); };
  });
  return true;
}

void CClass_matrix_control::TextDone(const std::string& text, const std::string& what, bool sent,
                                     bool serial) {
  if (sent) {
    MatrixTextTaken(m_model, text);
    m_link.ShowStatus("Sent: " + what);
  } else {
    MatrixForgetUnsent(m_model);
    m_link.ShowStatus("Not sent: " + what +
                          (serial ? " (the serial line did not take it)" : ""),
                      true);
  }
  ShowRouting();
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
  AddSalvoMenu();
  // Texts dropped before they left (the port closed under them) never
  // reached the router: their routes go off the buttons.
  m_link.OnRequestsDropped([this](int) {
    MatrixForgetUnsent(m_model);
    ShowRouting();
  });
}

void CClass_matrix_control::AddSalvoMenu() {
  // The file dialogs open without a loop of their own: the panel keeps
  // painting and the link keeps working while one is up.
  const auto ask = [this](QFileDialog::AcceptMode mode, void (CClass_matrix_control::*then)(const QString&)) {
    auto* dialog = new QFileDialog(this, mode == QFileDialog::AcceptSave ? tr("Save salvo") : tr("Recall salvo"),
                                   QString(), tr("Salvos (*.json)"));
    dialog->setAcceptMode(mode);
    dialog->setDefaultSuffix(QStringLiteral("json"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, then);
    dialog->open();
  };
  auto* save = new QAction(tr("Save salvo..."), this);
  connect(save, &QAction::triggered, this,
          [ask] { ask(QFileDialog::AcceptSave, &CClass_matrix_control::SaveSalvo); });
  auto* recall = new QAction(tr("Recall salvo..."), this);
  connect(recall, &QAction::triggered, this,
          [ask] { ask(QFileDialog::AcceptOpen, &CClass_matrix_control::RecallSalvo); });
  addAction(save);
  addAction(recall);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CClass_matrix_control::SaveSalvo(const QString& path) {
  MatrixSalvo salvo;
  salvo.name = QFileInfo(path).completeBaseName().toStdString();
  std::copy(std::begin(m_model.m_matrix_route), std::end(m_model.m_matrix_route), salvo.outputs.begin());
  QFile file(path);
  const QByteArray text = QByteArray::fromStdString(EncodeSalvoJson(salvo));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
    m_link.ShowStatus("Cannot write " + path.toStdString(), true);
    return;
  }
  m_link.ShowStatus("Saved salvo \"" + salvo.name + "\"");
}

void CClass_matrix_control::RecallSalvo(const QString& path) {
  MatrixSalvo salvo;
  std::string text;
  std::string error;
  if (!ReadSmallFile(path.toStdString(), &text, &error) || !DecodeSalvoJson(text, &salvo, &error)) {
    m_link.ShowStatus(path.toStdString() + ": " + error, true);
    return;
  }
  if (m_model.m_matrix_lock) {
    m_link.ShowStatus("The panel is locked: salvo not recalled", true);
    return;
  }
  const bool sent = MatrixRecallSalvo(m_model, salvo, [this](std::string_view text) { return SendText(text); });
  ShowRouting();
  if (!sent) m_link.ShowStatus("Salvo \"" + salvo.name + "\" not sent", true);
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
  const MatrixButtonLook look = MatrixButtons(m_model);
  for (int k = 1; k <= kMatrixPortCount; ++k) {
    InputButton(k)->SetSelected(look.input_selected[k - 1]);
    OutputButton(k)->SetSelected(look.output_selected[k - 1]);
    InputButton(k)->setEnabled(look.routing_enabled);
    OutputButton(k)->setEnabled(look.routing_enabled);
  }
}

void CClass_matrix_control::OnSelectInput(int k) {
  if (MatrixSelectInput(m_model, k)) ShowRouting();
}

void CClass_matrix_control::OnToggleOutput(int o) {
  if (MatrixToggleOutput(m_model, o)) ShowRouting();
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
    m_page = new CClass_matrix_child_function(this, *this);
  else
    m_page = new CClass_matrix_child_setting(this, *this);
  PageButton(page)->SetSelected(true);
  m_page->setGeometry(m_page_rect);
  m_page->show();
  m_cur_page = page;
}

}  // namespace zv
