// CClass_matrix_child_setting: page 2 of the matrix panel. It chooses how
// routing texts travel (local network or serial port), shows the chosen
// device's address and opens or closes the serial port. A smaller sibling of
// the connection settings window: both modes are offered, there is no
// change-address function, and a mode change leaves the port and the link
// icon alone. The page always shows the port as it is: a page built again
// shows an open port as connected, and a line that is lost (the other end
// gone, the adapter pulled) is closed and shown so, once.
#pragma once

#include <QRect>
#include <QTimer>

#include "controls/child_dialog.h"
#include "matrix/matrix_ids.h"
#include "res/dialog_templates.h"

class QComboBox;

namespace zv {

class CIpAddressCtrl;
class CShadeButtonST;
class CClass_matrix_control;

inline constexpr const char* kMatrixConnectCaption = "Connect";
inline constexpr const char* kMatrixDisconnectCaption = "Disconnect";

class CClass_matrix_child_setting : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = kMatrixConnectionPageResource;
  CClass_matrix_child_setting(QWidget* parent, CClass_matrix_control& panel);

  void OnModeChanged(int line);
  void OnConnect();
  // Closes a port whose line was lost and tells the operator (once); then
  // shows the port as it is.
  void CheckSerialLine();

  QComboBox* ModeList() const;
  CIpAddressCtrl* IpField() const;
  QComboBox* PortList() const;
  QComboBox* BaudList() const;
  CShadeButtonST* ConnectButton() const;
  // The icon id the link icon shows now.
  int LinkIconId() const { return m_com_connected ? kIconLinkUp : kIconLinkDown; }

  // Whether the page shows the serial port open.
  bool m_com_connected = false;
  QRect m_icon_rect;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void OnInitDialog();
  void SetSerialControlsEnabled(bool enabled);
  // The serial group, the address and the link icon from the mode and the port.
  void ShowSerialState();

  CClass_matrix_control& m_panel;
  QTimer m_line_check;
};

}  // namespace zv
