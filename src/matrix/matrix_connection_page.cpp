#include "matrix/matrix_connection_page.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>

#include "app/main_state.h"
#include "app/serial_settings.h"
#include "controls/ip_address_ctrl.h"
#include "controls/shade_button_st.h"
#include "matrix/matrix_panel.h"
#include "platform/platform.h"
#include "res/skin.h"

namespace zv {
namespace {

constexpr QColor kConnectTextColour{0, 128, 0};
constexpr QColor kConnectHoverTextColour{178, 0, 0};

}  // namespace

CClass_matrix_child_setting::CClass_matrix_child_setting(QWidget* parent)
    : CChildDialog(parent, kResource, ControlColours::kDarkFields) {
  OnInitDialog();
}

void CClass_matrix_child_setting::OnInitDialog() {
  CZELVIKState* state = MatrixSharedState();
  if (state) IpField()->SetAddressText(QString::fromStdString(state->ChosenDevice().IpText()));
  FillSerialPortList(PortList());
  PortList()->setCurrentIndex(PortList()->count() > 0 ? 0 : -1);
  FillBaudList(BaudList());
  m_icon_rect = Item(kIdMatrixLinkIcon)->geometry();

  // The only button of the program whose shade is computed; its caption is
  // green, and red while the mouse is over it.
  CShadeButtonST* connect_button = ConnectButton();
  connect_button->SetSeeThrough(false);
  connect_button->BuildShade();
  connect_button->SetFaceColor(CButtonST::FaceColor::kTextOut, kConnectTextColour);
  connect_button->SetFaceColor(CButtonST::FaceColor::kTextHot, kConnectHoverTextColour);

  ModeList()->addItem(QStringLiteral("LAN Port"));
  ModeList()->addItem(QStringLiteral("Serial Port"));
  const int32_t mode = state ? state->m_eState : kModeNetwork;
  ModeList()->setCurrentIndex(mode == kModeNetwork || mode == kModeSerial ? mode : -1);
  // A port left open shows as its own line of the list.
  if (state && state->m_serial_port.IsOpen()) {
    const int line = PortList()->findText(QString::fromStdU16String(state->m_serial_port.PortName()));
    if (line >= 0) PortList()->setCurrentIndex(line);
  }
  ShowSerialState();
  connect(&m_line_check, &QTimer::timeout, this, &CClass_matrix_child_setting::CheckSerialLine);
  m_line_check.start(kSerialLineCheckMs);

  connect(ModeList(), &QComboBox::activated, this, &CClass_matrix_child_setting::OnModeChanged);
  connect(connect_button, &QAbstractButton::clicked, this, &CClass_matrix_child_setting::OnConnect);
  for (const auto& [id, mode_of_button] :
       {std::pair{kIdMatrixLanRadio, kModeNetwork}, std::pair{kIdMatrixSerialRadio, kModeSerial}}) {
    connect(static_cast<QRadioButton*>(Item(id)), &QAbstractButton::clicked, this,
            [m = mode_of_button] {
              if (CZELVIKState* s = MatrixSharedState()) s->m_eState = m;
            });
  }
}

QComboBox* CClass_matrix_child_setting::ModeList() const {
  return static_cast<QComboBox*>(Item(kIdMatrixModeList));
}
CIpAddressCtrl* CClass_matrix_child_setting::IpField() const {
  return static_cast<CIpAddressCtrl*>(Item(kIdMatrixDeviceIpField));
}
QComboBox* CClass_matrix_child_setting::PortList() const {
  return static_cast<QComboBox*>(Item(kIdMatrixPortList));
}
QComboBox* CClass_matrix_child_setting::BaudList() const {
  return static_cast<QComboBox*>(Item(kIdMatrixBaudList));
}
CShadeButtonST* CClass_matrix_child_setting::ConnectButton() const {
  return static_cast<CShadeButtonST*>(Item(kIdMatrixConnect));
}

void CClass_matrix_child_setting::SetSerialControlsEnabled(bool enabled) {
  PortList()->setEnabled(enabled);
  BaudList()->setEnabled(enabled);
  ConnectButton()->setEnabled(enabled);
  IpField()->setEnabled(!enabled);
}

void CClass_matrix_child_setting::ShowSerialState() {
  CZELVIKState* state = MatrixSharedState();
  if (!state) {
    SetSerialControlsEnabled(false);
    return;
  }
  const SerialGroupLook look = SerialGroupFor(state->m_eState, state->m_serial_port.IsOpen());
  PortList()->setEnabled(look.lists_enabled);
  BaudList()->setEnabled(look.lists_enabled);
  ConnectButton()->setEnabled(look.connect_enabled);
  IpField()->setEnabled(look.address_enabled);
  if (look.connected == m_com_connected) return;
  m_com_connected = look.connected;
  ConnectButton()->setText(
      QString::fromLatin1(m_com_connected ? kMatrixDisconnectCaption : kMatrixConnectCaption));
  if (auto* icon = qobject_cast<QLabel*>(Item(kIdMatrixLinkIcon)))
    icon->setPixmap(SkinBitmap(LinkIconId()));
  update(m_icon_rect);
}

void CClass_matrix_child_setting::OnModeChanged(int line) {
  CZELVIKState* state = MatrixSharedState();
  if (!state) return;
  // The serial port stays as it is.
  if (line == kModeNetwork)
    state->m_eState = kModeNetwork;
  else if (line == kModeSerial)
    state->m_eState = kModeSerial;
  else
    return;
  ShowSerialState();
}

void CClass_matrix_child_setting::OnConnect() {
  CZELVIKState* state = MatrixSharedState();
  if (!state) return;
  CnComm& port = state->m_serial_port;
  if (m_com_connected) {
    port.Close(CnComm::kDefaultCloseWaitMs);
  } else {
    // The page shows the outcome itself and writes no trace lines about it.
    ConnectSerialPort(port, PortList(), BaudList(), false);
  }
  ShowSerialState();
}

void CClass_matrix_child_setting::CheckSerialLine() {
  CZELVIKState* state = MatrixSharedState();
  if (!state) return;
  const bool lost = state->m_serial_port.CloseIfLineLost();
  ShowSerialState();
  if (lost) ShowMessageBox(kSerialLineLostText, "Err");
}

void CClass_matrix_child_setting::paintEvent(QPaintEvent* event) {
  CChildDialog::paintEvent(event);
  QPainter p(this);
  p.setPen(QPen(Qt::black));
  p.drawLine(20, 80, 460, 80);
  p.drawLine(20, 190, 460, 190);
}

}  // namespace zv
