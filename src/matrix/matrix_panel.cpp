#include "matrix/matrix_panel.h"

#include "controls/panel_place.h"

#include <QAction>
#include <QDir>
#include <algorithm>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "controls/button_st.h"
#include "link/device_link.h"
#include "matrix/matrix_connection_page.h"
#include "matrix/matrix_function_page.h"
#include "matrix/matrix_salvo.h"
#include "matrix/salvo_folder.h"
#include "matrix/matrix_state.h"
#include "platform/platform.h"

namespace zv {

CClass_matrix_control::CClass_matrix_control(QWidget* parent, DeviceLink& link, MatrixSession& session)
    : CChildDialog(parent, kResource, ControlColours::kDefault), m_link(link), m_session(session) {
  OnInitDialog();
}

// The door may outlive the panel for a moment.
CClass_matrix_control::~CClass_matrix_control() {
  m_link.OnRequestsDropped(nullptr);
  m_session.Unsubscribe(m_changed_token);
}

ActionOutcome CClass_matrix_control::Act(const std::string& action, const ActionArgs& args) {
  // Every refusal is said, what the router's state does not allow too.
  return m_session.InvokeFromView(action, args, true);
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
  // without a sign. The lock is read again: zvctl may have changed it.
  m_session.RefreshLock();
  m_changed_token = m_session.Subscribe([this] {
    ShowRouting();
    if (auto* page = qobject_cast<CClass_matrix_child_function*>(m_page.data())) page->ShowLock();
  });
  ShowRouting();
  SwitchPage(kMatrixFunctionPage);
  AddSalvoMenu();
  // Texts dropped before they left (the port closed under them) never
  // reached the router: their routes go off the buttons.
  m_link.OnRequestsDropped([this](int) { m_session.ForgetUnsent(); });
}

void CClass_matrix_control::AddSalvoMenu() {
  // The file dialogs open without a loop of their own: the panel keeps
  // painting and the link keeps working while one is up.
  // They open in the salvo folder, where the service finds salvos by
  // name (made on the way when it is not there yet); any other folder can
  // still be chosen.
  const auto ask = [this](QFileDialog::AcceptMode mode, void (CClass_matrix_control::*then)(const QString&)) {
    const QString folder = QString::fromStdString(SalvoFolder());
    if (!folder.isEmpty()) QDir().mkpath(folder);
    auto* dialog = new QFileDialog(this, mode == QFileDialog::AcceptSave ? tr("Save salvo") : tr("Recall salvo"),
                                   folder, tr("Salvos (*.json)"));
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
  std::copy(std::begin(Model().m_matrix_route), std::end(Model().m_matrix_route), salvo.outputs.begin());
  QFile file(path);
  const QByteArray text = QByteArray::fromStdString(EncodeSalvoJson(salvo));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
    m_link.ShowStatus("Cannot write " + path.toStdString(), true);
    return;
  }
  m_link.ShowStatus("Saved salvo \"" + salvo.name + "\"");
}

void CClass_matrix_control::RecallSalvo(const QString& path) {
  Act("matrix.salvo", {{"file", path.toStdString()}});
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
  const MatrixButtonLook look = MatrixButtons(Model());
  for (int k = 1; k <= kMatrixPortCount; ++k) {
    InputButton(k)->SetSelected(look.input_selected[k - 1]);
    OutputButton(k)->SetSelected(look.output_selected[k - 1]);
    InputButton(k)->setEnabled(look.routing_enabled);
    OutputButton(k)->setEnabled(look.routing_enabled);
  }
}

void CClass_matrix_control::OnSelectInput(int k) { m_session.SelectInput(k); }

void CClass_matrix_control::OnToggleOutput(int o) { m_session.ToggleOutput(o); }

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

CChildDialog* MakeMatrixPanel(const PanelPlace& place) {
  return new CClass_matrix_control(place.parent, place.link, static_cast<MatrixSession&>(place.session));
}

}  // namespace zv
