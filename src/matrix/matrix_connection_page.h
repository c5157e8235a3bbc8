// CClass_matrix_child_setting: page 2 of the matrix panel. It chooses how
// routing texts travel (local network or serial port), shows the chosen
// device's address and opens or closes the serial port. A smaller sibling of
// the connection settings window: both modes are offered, there is no
// change-address function, a mode change leaves the port and the link icon
// alone, and after a disconnect the button reads "Conect".
#pragma once

#include <QRect>

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
// The caption after a disconnect; the page has always spelt it so.
inline constexpr const char* kMatrixReconnectCaption = "Conect";

class CClass_matrix_child_setting : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = kMatrixConnectionPageResource;
  CClass_matrix_child_setting(QWidget* parent, CClass_matrix_control& panel);

  void OnModeChanged(int line);
  void OnConnect();

  QComboBox* ModeList() const;
  CIpAddressCtrl* IpField() const;
  QComboBox* PortList() const;
  QComboBox* BaudList() const;
  CShadeButtonST* ConnectButton() const;
  // The icon id the link icon shows now.
  int LinkIconId() const { return m_com_connected ? kIconLinkUp : kIconLinkDown; }

  // Whether this page last opened the serial port.
  bool m_com_connected = false;
  QRect m_icon_rect;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void OnInitDialog();
  // Shows the port as open or closed: captions, lists and the link icon.
  void ShowPortState(bool open);
  CClass_matrix_control& m_panel;
  void SetSerialControlsEnabled(bool enabled);
};

}  // namespace zv
