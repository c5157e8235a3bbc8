#include "matrix/matrix_connection_page.h"

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPainter>
#include <QRadioButton>

#include "controls/serial_settings.h"
#include "controls/ip_address_ctrl.h"
#include "controls/shade_button_st.h"
#include "link/device_link.h"
#include "matrix/matrix_panel.h"
#include "platform/platform.h"
#include "res/template_builder.h"
#include "res/skin.h"

namespace zv {
namespace {

constexpr QColor kConnectTextColour{0, 128, 0};
constexpr QColor kConnectHoverTextColour{178, 0, 0};

}  // namespace

CClass_matrix_child_setting::CClass_matrix_child_setting(QWidget* parent,
                                                         CClass_matrix_control& panel)
    : CChildDialog(parent, kResource, ControlColours::kDarkFields), m_panel(panel) {
  OnInitDialog();
}

void CClass_matrix_child_setting::OnInitDialog() {
  DeviceLink& link = m_panel.Link();
  IpField()->SetAddressText(QString::fromStdString(link.Device().IpText()));
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
  const int32_t mode = link.Mode();
  ModeList()->setCurrentIndex(mode == kModeNetwork || mode == kModeSerial ? mode : -1);
  // A port left open shows as its own line of the list.
  if (link.SerialPortOpen()) {
    const int line = PortList()->findText(QString::fromStdString(link.SerialPortName()));
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
            [this, m = mode_of_button] { m_panel.Link().SetMode(m); });
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
  const DeviceLink& link = m_panel.Link();
  const SerialGroupLook look = SerialGroupFor(link.Mode(), link.SerialPortOpen());
  PortList()->setEnabled(look.lists_enabled);
  BaudList()->setEnabled(look.lists_enabled);
  ConnectButton()->setEnabled(look.connect_enabled);
  IpField()->setEnabled(look.address_enabled);
  if (look.connected == m_com_connected) return;
  m_com_connected = look.connected;
  ConnectButton()->setText(
      QString::fromLatin1(m_com_connected ? kMatrixDisconnectCaption : kMatrixConnectCaption));
  if (auto* icon = qobject_cast<QLabel*>(Item(kIdMatrixLinkIcon))) {
    icon->setPixmap(SkinBitmap(LinkIconId()));
    DescribeLamp(icon, LinkIconId());
  }
  update(m_icon_rect);
}

void CClass_matrix_child_setting::OnModeChanged(int line) {
  // The serial port stays as it is.
  if (line == kModeNetwork)
    m_panel.Link().SetMode(kModeNetwork);
  else if (line == kModeSerial)
    m_panel.Link().SetMode(kModeSerial);
  else
    return;
  ShowSerialState();
}

void CClass_matrix_child_setting::OnConnect() {
  DeviceLink& link = m_panel.Link();
  // The port opens and closes on the link worker; the button waits for the
  // outcome so that a second click cannot cross the first.
  ConnectButton()->setEnabled(false);
  QPointer<CClass_matrix_child_setting> self(this);
  if (m_com_connected) {
    link.CloseSerialPort([self] {
      if (self) self->ShowSerialState();
    });
  } else {
    const SerialChoice choice = ChosenSerialPort(PortList(), BaudList());
    link.OpenSerialPort(choice.name, choice.baud, [self](bool) {
      if (self) self->ShowSerialState();
    });
  }
}

void CClass_matrix_child_setting::CheckSerialLine() {
  QPointer<CClass_matrix_child_setting> self(this);
  m_panel.Link().CloseSerialPortIfLineLost([self](bool lost) {
    if (!self) return;
    self->ShowSerialState();
    if (lost) ShowMessageBox(kSerialLineLostText, "Err");
  });
}

void CClass_matrix_child_setting::paintEvent(QPaintEvent* event) {
  CChildDialog::paintEvent(event);
  QPainter p(this);
  p.setPen(QPen(Qt::black));
  p.drawLine(20, 80, 460, 80);
  p.drawLine(20, 190, 460, 190);
}

}  // namespace zv
