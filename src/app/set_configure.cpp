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
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);

  m_icon_rect = Item(kIdLinkStatusIcon)->geometry();
  FillSerialPortList(PortList());
  PortList()->setCurrentIndex(PortList()->count() > 0 ? 0 : -1);
  FillBaudList(BaudList());
  ModeList()->addItem(QStringLiteral("LAN Port"));
  // In serial mode no line matches: the list has only the network line.
  ModeList()->setCurrentIndex(m_owner->m_eState < ModeList()->count() ? m_owner->m_eState : -1);
  IpField()->SetAddressText(QString::fromStdString(m_owner->ChosenDevice().IpText()));
  ConnectButton()->setEnabled(false);
  PortList()->setEnabled(false);
  BaudList()->setEnabled(false);
  UpdateStatusIcon();

  connect(ModeList(), &QComboBox::activated, this, &CSetConfigure::OnModeChanged);
  connect(ConnectButton(), &QPushButton::clicked, this, &CSetConfigure::OnConnect);
  connect(ChangeIpButton(), &QPushButton::clicked, this, &CSetConfigure::OnChangeIp);
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

void CSetConfigure::OnModeChanged(int line) {
  if (line == kModeNetwork) {
    ConnectButton()->setEnabled(false);
    PortList()->setEnabled(false);
    BaudList()->setEnabled(false);
    IpField()->setEnabled(true);
    ChangeIpButton()->setEnabled(true);
    m_owner->m_eState = kModeNetwork;
    // An open serial port stays open; only this window forgets it opened it.
    m_connected = 0;
    UpdateStatusIcon();
  } else if (line == kModeSerial) {
    ConnectButton()->setEnabled(true);
    PortList()->setEnabled(true);
    BaudList()->setEnabled(true);
    IpField()->setEnabled(false);
    ChangeIpButton()->setEnabled(false);
    m_owner->m_eState = kModeSerial;
  }
}

void CSetConfigure::OnConnect() {
  // The port opens and closes on the link worker; the button waits for the
  // outcome so that a second click cannot cross the first.
  ConnectButton()->setEnabled(false);
  QPointer<CSetConfigure> self(this);
  if (m_connected) {
    Trace("close the com");
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
  ConnectButton()->setEnabled(m_owner->m_eState == kModeSerial);
  if (open == (m_connected != 0)) return;
  ConnectButton()->setText(open ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
  PortList()->setEnabled(!open);
  BaudList()->setEnabled(!open);
  m_connected = open ? ~0 : 0;
  UpdateStatusIcon();
}

void CSetConfigure::OnChangeIp() {
  if (!m_p_glo_main_set_or_get_dlg) {
    Trace("main dlg p is null ,return");
    return;
  }
  std::fill(std::begin(m_owner->m_set_ip_params), std::end(m_owner->m_set_ip_params), 0);
  std::array<uint8_t, 4> ip{};
  IpField()->GetAddress(&ip);
  std::copy(ip.begin(), ip.end(), m_owner->m_set_ip_params);
  m_owner->SendSetIpFrameToChosen();
}

void CSetConfigure::reject() {
  Trace(" close");
  hide();
  setResult(QDialog::Rejected);
}

void CSetConfigure::UpdateStatusIcon() {
  if (auto* icon = qobject_cast<QLabel*>(Item(kIdLinkStatusIcon)))
    icon->setPixmap(SkinBitmap(StatusIconId()));
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

void CSetConfigure::keyPressEvent(QKeyEvent* event) {
  // Enter presses nothing here; Escape cancels (hides) as the close box does.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace zv
