// CSetConfigure: the small "Configure" window of the set button. It offers
// the connection mode ("LAN Port" or "Serial Port"), the chosen device's
// address with "Change  IP", and the serial group (port, baud rate, connect)
// through which serial mode is reached. Cancel only hides it; each time it
// is shown it shows the mode and the chosen device as they are now.
#pragma once

#include <QDialog>
#include <QRect>
#include <QTimer>
#include <cstdint>

#include "res/dialog_templates.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace zv {

class CIpAddressCtrl;
class CZELVIKDlg;

class CSetConfigure : public QDialog {
  Q_OBJECT
 public:
  explicit CSetConfigure(CZELVIKDlg* owner);
  ~CSetConfigure() override;

  QWidget* Item(int id) const;
  QComboBox* ModeList() const;
  CIpAddressCtrl* IpField() const;
  QComboBox* PortList() const;
  QComboBox* BaudList() const;
  QPushButton* ConnectButton() const;
  QPushButton* ChangeIpButton() const;
  // "This machine: 192.168.1.10/24, ..." under the device's address.
  QLabel* LocalAddressesLabel() const;
  // The icon id the status icon shows now.
  int StatusIconId() const { return m_connected ? kIconLinkUp : kIconLinkDown; }

  // 0: the port was not opened here; all bits set: it was.
  int32_t m_connected = 0;
  QRect m_icon_rect;

  void OnModeChanged(int line);
  void OnConnect();
  // Shows the port as open or closed once the link worker has opened or
  // closed it.
  void ShowPortState(bool open);
  void OnChangeIp();
  // Closes a port whose line was lost and tells the operator (once).
  void CheckSerialLine();
  // The mode, the chosen device's address and the serial group as they are
  // now; the window shows this each time it appears.
  void ShowCurrentState();

 public slots:
  void reject() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void OnInitDialog();
  void UpdateStatusIcon();
  // Enables the groups by the mode and captions the connect button.
  void ShowSerialGroup();
  CZELVIKDlg* m_owner;
  QTimer m_line_check;
};

}  // namespace zv
