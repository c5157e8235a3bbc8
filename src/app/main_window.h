// The main window: a borderless 1280 x 720 skinned window with the device
// list, the scan button and the panel area holding exactly one device panel.
// It owns the state every panel shares (CZELVIKState).
#pragma once

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QRect>

#include "app/main_state.h"
#include "controls/child_dialog.h"

class QComboBox;

namespace zv {

class CSetConfigure;

class CZELVIKDlg;
// The one main window, valid from its initialisation to its destruction.
extern CZELVIKDlg* m_p_glo_main_set_or_get_dlg;

inline constexpr const char* kVersionText = "Ver 1.0.1.5";
inline constexpr QPoint kVersionTextAt{1160, 690};
inline constexpr const char* kSettingsFileName = "Configure.ini";

class CZELVIKDlg : public QDialog, public CZELVIKState {
  Q_OBJECT
 public:
  explicit CZELVIKDlg(const LinkConfig& link_config = LinkConfig(), QWidget* parent = nullptr);
  ~CZELVIKDlg() override;

  // Destroys the current panel and creates the one for the chosen device.
  void OpenDevicePanel();

  // The scan button's searches (network or serial by m_eState).
  void NetworkSearch();
  void SerialSearch();
  // Opens the connection settings window, creating it on first use.
  void OnSetButton();
  void OnScanButton();

  QWidget* Item(int id) const;
  QComboBox* DeviceCombo() const;

  QRect m_panel_rect;
  // The four-channel panel's preview area, repainted after a mode change.
  QRect m_rc_plenn_show_mode_type;
  QPointer<CChildDialog> m_p_mian_show_dlg;
  QPointer<CSetConfigure> m_pSetConfigure;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void OnInitDialog();
  void OnDeviceSelected(int index);
  void DestroyPanel();
  // The settings window, when shown, follows the chosen device.
  void ShowChosenDeviceInSettings();

  // Set while the window is dragged by hand (when the window system does
  // not move it for us): the press point relative to the window's corner.
  bool m_dragging = false;
  QPoint m_drag_offset;
};

// Creates the panel of a kind as a child of `parent`; nullptr for kNone.
CChildDialog* CreateDevicePanel(PanelKind kind, QWidget* parent);

}  // namespace zv
