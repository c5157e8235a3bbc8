// CSetConfigure: the small "Configure" window of the set button. Its visible
// part offers the connection mode and the chosen device's address with
// "Change  IP"; the serial group below it is built and kept up to date but
// stays hidden in this window. Cancel only hides it, so it comes back with
// its state.
#pragma once

#include <QDialog>
#include <QRect>
#include <cstdint>

#include "res/dialog_templates.h"

class QComboBox;
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

 public slots:
  void reject() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnInitDialog();
  void UpdateStatusIcon();
  CZELVIKDlg* m_owner;
};

}  // namespace zv
