#include "app/set_configure.h"

#include <QPointer>

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "app/main_window.h"
#include "controls/serial_settings.h"
#include "controls/child_dialog.h"
#include "controls/ip_address_ctrl.h"
#include "platform/platform.h"
#include "res/skin.h"
#include "res/template_builder.h"

namespace zv {

CSetConfigure::CSetConfigure(CZELVIKDlg* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_owner(owner) {
  setObjectName(QStringLiteral("dialog_%1").arg(kSetConfigureResource));
  setModal(false);
  OnInitDialog();
}

CSetConfigure::~CSetConfigure() { Trace("free the p"); }

void CSetConfigure::OnInitDialog() {
  const DialogTemplate* t = FindDialogTemplate(kSetConfigureResource);
  setWindowTitle(QString::fromUtf8(t->title));
  resize(t->width, t->height);
  ApplyControlColours(this, ControlColours::kDarkFields);
  BuildTemplateControls(this, *t);
  LocalAddressesLabel()->setWordWrap(true);
  LocalAddressesLabel()->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);

  m_icon_rect = Item(kIdLinkStatusIcon)->geometry();
  FillSerialPortList(PortList());
  PortList()->setCurrentIndex(PortList()->count() > 0 ? 0 : -1);
  FillBaudList(BaudList());
  ModeList()->addItem(QStringLiteral("LAN Port"));
  ModeList()->addItem(QStringLiteral("Serial Port"));
  ShowCurrentState();

  connect(ModeList(), &QComboBox::activated, this, &CSetConfigure::OnModeChanged);
  connect(ConnectButton(), &QPushButton::clicked, this, &CSetConfigure::OnConnect);
  connect(ChangeIpButton(), &QPushButton::clicked, this, &CSetConfigure::OnChangeIp);
  connect(&m_line_check, &QTimer::timeout, this, &CSetConfigure::CheckSerialLine);
}

void CSetConfigure::ShowCurrentState() {
  const int32_t mode = m_owner->m_eState;
  ModeList()->setCurrentIndex(mode == kModeNetwork || mode == kModeSerial ? mode : -1);
  // The address shown is the one "Change  IP" replaces: always the chosen
  // device's, never one left from a device chosen before.
  IpField()->SetAddressText(QString::fromStdString(m_owner->ChosenDevice().IpText()));
  // The machine's own addresses beside it, so the operator sees whether the
  // device shares a subnet with one of them.
  const std::vector<NetInterface> interfaces = m_owner->m_read_local_interfaces();
  const std::string notice = SubnetNotice(m_owner->ChosenDevice().IpText(), interfaces);
  QLabel* own = LocalAddressesLabel();
  own->setText(QString::fromStdString("This machine: " + LocalAddressesText(interfaces) +
                                      (notice.empty() ? "" : "; the device is " + notice)));
  own->setToolTip(own->text());
  // A port closed elsewhere (the matrix connection page, a lost line) is
  // not open here either.
  if (m_connected && !m_owner->m_serial_port.IsOpen()) m_connected = 0;
  ShowSerialGroup();
}

void CSetConfigure::ShowSerialGroup() {
  const SerialGroupLook look = SerialGroupFor(m_owner->m_eState, m_connected != 0);
  ConnectButton()->setEnabled(look.connect_enabled);
  PortList()->setEnabled(look.lists_enabled);
  BaudList()->setEnabled(look.lists_enabled);
  IpField()->setEnabled(look.address_enabled);
  ChangeIpButton()->setEnabled(look.address_enabled);
  ConnectButton()->setText(m_connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
  UpdateStatusIcon();
}

QWidget* CSetConfigure::Item(int id) const { return FindItem(this, id); }
QComboBox* CSetConfigure::ModeList() const {
  return static_cast<QComboBox*>(Item(kIdConnectionModeList));
}
CIpAddressCtrl* CSetConfigure::IpField() const {
  return static_cast<CIpAddressCtrl*>(Item(kIdDeviceIpField));
}
QComboBox* CSetConfigure::PortList() const {
  return static_cast<QComboBox*>(Item(kIdSerialPortList));
}
QComboBox* CSetConfigure::BaudList() const {
  return static_cast<QComboBox*>(Item(kIdSerialBaudList));
}
QPushButton* CSetConfigure::ConnectButton() const {
  return static_cast<QPushButton*>(Item(kIdSerialConnect));
}
QPushButton* CSetConfigure::ChangeIpButton() const {
  return static_cast<QPushButton*>(Item(kIdChangeIp));
}
QLabel* CSetConfigure::LocalAddressesLabel() const {
  return static_cast<QLabel*>(Item(kIdLocalAddresses));
}

void CSetConfigure::OnModeChanged(int line) {
  if (line == kModeNetwork) {
    m_owner->m_eState = kModeNetwork;
    // An open serial port stays open; only this window forgets it opened it.
    m_connected = 0;
  } else if (line == kModeSerial) {
    m_owner->m_eState = kModeSerial;
  } else {
    return;
  }
  ShowSerialGroup();
}

void CSetConfigure::OnConnect() {
  // The port opens and closes on the link worker; the button waits for the
  // outcome so that a second click cannot cross the first.
  ConnectButton()->setEnabled(false);
  QPointer<CSetConfigure> self(this);
  if (m_connected) {
    m_owner->CloseSerialPort([self] {
      if (self) self->ShowPortState(false);
    });
  } else {
    const SerialChoice choice = ChosenSerialPort(PortList(), BaudList());
    m_owner->OpenSerialPort(choice.name, choice.baud, [self](bool open) {
      Trace("%s", open ? "com open success" : "com open failed");
      if (self) self->ShowPortState(open);
    });
  }
}

void CSetConfigure::ShowPortState(bool open) {
  m_connected = open ? ~0 : 0;
  ShowSerialGroup();
}

void CSetConfigure::CheckSerialLine() {
  QPointer<CSetConfigure> self(this);
  m_owner->CloseSerialPortIfLineLost([self](bool lost) {
    if (!self) return;
    if (self->m_connected && !self->m_owner->SerialPortOpen()) {
      self->m_connected = 0;
      self->ShowSerialGroup();
    }
    if (lost) ShowMessageBox(kSerialLineLostText, "Err");
  });
}

void CSetConfigure::OnChangeIp() {
  if (!m_p_glo_main_set_or_get_dlg) {
    Trace("main dlg p is null ,return");
    return;
  }
  std::array<uint8_t, 4> ip{};
  const int filled = IpField()->GetAddress(&ip);
  const std::string problem = m_owner->SetIpProblem(ip, filled);
  if (!problem.empty()) {
    ShowMessageBox(problem, "Err");
    return;
  }
  // The operator sees which device is to take the address before it goes.
  const std::string line =
      m_owner->DeviceCombo()->itemText(m_owner->m_device_index).toStdString();
  if (ShowMessageBox(SetIpQuestion(line, m_owner->ChosenDevice(), ip), "Change  IP",
                     MessageBoxButtons::kOkCancel) != MessageBoxAnswer::kOk)
    return;
  m_owner->SendSetIpFrameToChosen(NewAddressFor(ip));
}

void CSetConfigure::reject() {
  Trace(" close");
  hide();
  setResult(QDialog::Rejected);
}

void CSetConfigure::UpdateStatusIcon() {
  if (auto* icon = qobject_cast<QLabel*>(Item(kIdLinkStatusIcon))) {
    icon->setPixmap(SkinBitmap(StatusIconId()));
    DescribeLamp(icon, StatusIconId());
  }
  update(m_icon_rect);
}

void CSetConfigure::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(rect(), SkinBitmap(FindDialogTemplate(kSetConfigureResource)->background_id));
  // Two rules divide the mode, the address and the serial group.
  p.setPen(QPen(Qt::black));
  p.drawLine(20, 80, 460, 80);
  p.drawLine(20, 190, 460, 190);
}

void CSetConfigure::showEvent(QShowEvent* event) {
  ShowCurrentState();
  m_line_check.start(kSerialLineCheckMs);
  QDialog::showEvent(event);
}

void CSetConfigure::hideEvent(QHideEvent* event) {
  m_line_check.stop();
  QDialog::hideEvent(event);
}

void CSetConfigure::keyPressEvent(QKeyEvent* event) {
  // Enter presses nothing here; Escape cancels (hides) as the close box does.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace zv
