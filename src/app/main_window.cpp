#include "app/main_window.h"

#include "app/set_configure.h"

#include <QAbstractButton>
#include <algorithm>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "fourch/fourch_panel.h"
#include "matrix/matrix_panel.h"
#include "multiview/multiview_panel.h"
#include "platform/platform.h"
#include "res/skin.h"
#include "res/template_builder.h"
#include "switcher/switcher_panel.h"

namespace zv {

CZELVIKDlg* m_p_glo_main_set_or_get_dlg = nullptr;

CChildDialog* CreateDevicePanel(PanelKind kind, QWidget* parent) {
  switch (kind) {
    case PanelKind::kFourChannel: return new CClass_trisk_main_dlg(parent);
    case PanelKind::kMatrix: return new CClass_matrix_control(parent);
    case PanelKind::kMultiviewer: return new CClass_16view_dlg(parent);
    case PanelKind::kSwitcher: return new CClass_switcher_dlg(parent);
    case PanelKind::kNone: break;
  }
  return nullptr;
}

CZELVIKDlg::CZELVIKDlg(const LinkConfig& link_config, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint) {
  m_link_config = link_config;
  setObjectName(QStringLiteral("dialog_%1").arg(kMainDialogResource));
  OnInitDialog();
}

CZELVIKDlg::~CZELVIKDlg() {
  // The panel goes first, while the shared state it may reach through the
  // global pointer still exists (Qt would delete it only after that state).
  DestroyPanel();
  if (m_p_glo_main_set_or_get_dlg == this) m_p_glo_main_set_or_get_dlg = nullptr;
}

void CZELVIKDlg::OnInitDialog() {
  const DialogTemplate* t = FindDialogTemplate(kMainDialogResource);
  setWindowIcon(SkinIcon(128));
  m_p_glo_main_set_or_get_dlg = this;

  move(0, 0);
  setFixedSize(t->width, t->height);
  setWindowTitle(QString::fromUtf8(t->title));
  const QRect client = rect();
  Trace("L = %d", client.left());
  Trace("T = %d", client.top());
  Trace("R = %d", client.right() + 1);
  Trace("B = %d", client.bottom() + 1);
  Trace("W = %d", client.width());
  Trace("H = %d", client.height());

  BuildTemplateControls(this, *t);
  ApplyControlColours(this, ControlColours::kDarkFieldsGreyStatics);
  m_panel_rect = Item(kIdPanelPlaceholder)->geometry();

  connect(static_cast<QAbstractButton*>(Item(kIdMinimise)), &QAbstractButton::clicked, this,
          [this] { showMinimized(); });
  // The maximise button does nothing: the window never changes size.
  connect(static_cast<QAbstractButton*>(Item(kIdClose)), &QAbstractButton::clicked, this,
          [this] { accept(); });
  connect(static_cast<QAbstractButton*>(Item(kIdScan)), &QAbstractButton::clicked, this,
          &CZELVIKDlg::OnScanButton);
  connect(static_cast<QAbstractButton*>(Item(kIdSet)), &QAbstractButton::clicked, this,
          &CZELVIKDlg::OnSetButton);
  connect(DeviceCombo(), &QComboBox::activated, this, &CZELVIKDlg::OnDeviceSelected);

  ResetWindowLabels();
  StartWinsock();
  WriteProfileString("Settings", "decode_state", "off", PathBesideExecutable(kSettingsFileName));
}

QWidget* CZELVIKDlg::Item(int id) const { return FindItem(this, id); }

QComboBox* CZELVIKDlg::DeviceCombo() const {
  return static_cast<QComboBox*>(Item(kIdDeviceCombo));
}

void CZELVIKDlg::OnDeviceSelected(int index) {
  // No selection, and the "No Device Found" line, choose no device.
  m_device_index = DeviceIndexForLine(index);
  OpenDevicePanel();
  ShowChosenDeviceInSettings();
}

void CZELVIKDlg::OnScanButton() {
  if (m_eState == kModeNetwork) {
    Trace("net search");
    NetworkSearch();
  } else if (m_eState == kModeSerial) {
    Trace("com search");
    SerialSearch();
  } else {
    return;
  }
  ShowChosenDeviceInSettings();
}

void CZELVIKDlg::ShowChosenDeviceInSettings() {
  if (m_pSetConfigure && m_pSetConfigure->isVisible()) m_pSetConfigure->ShowCurrentState();
}

void CZELVIKDlg::NetworkSearch() {
  DestroyPanel();
  QComboBox* combo = DeviceCombo();
  // The list is forgotten only when the combo box still shows lines.
  const bool forget_previous = combo->count() > 0;
  combo->clear();
  m_no_device_line = false;
  std::vector<std::string> lines;
  const int found = SearchNetworkDevices(&lines, forget_previous);
  if (found < 0) return;
  for (size_t i = 0; i < lines.size(); ++i)
    combo->insertItem(static_cast<int>(i), QString::fromLatin1(lines[i]));
  if (found > 0)
    m_device_index = 0;
  else
    combo->insertItem(0, QString::fromLatin1(kNoDeviceFoundText));
  m_no_device_line = found == 0;
  combo->setCurrentIndex(0);
  OpenDevicePanel();
  Trace("search  over");
}

void CZELVIKDlg::SerialSearch() {
  DestroyPanel();
  QComboBox* combo = DeviceCombo();
  combo->clear();
  m_no_device_line = false;
  if (!SearchSerialDevice()) return;
  // A reply naming several devices still lists its (last) name, so the
  // operator gets a line and a panel. Without a reply nothing opens: there
  // is no device to talk to.
  m_no_device_line = m_device_index < 0;
  combo->insertItem(0, m_no_device_line ? QString::fromLatin1(kNoDeviceFoundText)
                                        : QString::fromStdU16String(m_serial_device_name));
  combo->setCurrentIndex(0);
  OpenDevicePanel();
}

void CZELVIKDlg::OnSetButton() {
  if (!m_pSetConfigure) {
    m_pSetConfigure = new CSetConfigure(this);
    m_pSetConfigure->setGeometry(QRect(frameGeometry().topLeft() + QPoint(340, 100),
                                       m_pSetConfigure->size()));
  }
  m_pSetConfigure->show();
  m_pSetConfigure->raise();
}

void CZELVIKDlg::DestroyPanel() {
  if (!m_p_mian_show_dlg) return;
  m_p_mian_show_dlg->hide();
  delete m_p_mian_show_dlg.data();
  m_p_mian_show_dlg = nullptr;
}

void CZELVIKDlg::OpenDevicePanel() {
  if (!PrepareOpenDevicePanel(DeviceCombo()->count())) return;
  DestroyPanel();
  const PanelKind kind = ChoosePanel();
  m_p_mian_show_dlg = CreateDevicePanel(kind, this);
  if (!m_p_mian_show_dlg) {
    Trace("m_p_mian_show_dlg is null");
    return;
  }
  m_p_mian_show_dlg->setGeometry(m_panel_rect);
  m_p_mian_show_dlg->show();
}

void CZELVIKDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(rect(), SkinBitmap(195));
  p.setPen(palette().color(QPalette::WindowText));
  // Drawn with its top-left corner at the point, as a text-out would.
  const QFontMetrics metrics(font());
  p.drawText(kVersionTextAt + QPoint(0, metrics.ascent()), QString::fromUtf8(kVersionText));
}

void CZELVIKDlg::keyPressEvent(QKeyEvent* event) {
  // Neither Enter nor Escape closes the window or presses a button.
  if (IsDialogClosingKey(event->key())) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CZELVIKDlg::mousePressEvent(QMouseEvent* event) {
  QDialog::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  // The borderless window is dragged by its background.
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  m_dragging = true;
  m_drag_offset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CZELVIKDlg::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragging && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - m_drag_offset);
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void CZELVIKDlg::mouseReleaseEvent(QMouseEvent* event) {
  m_dragging = false;
  QDialog::mouseReleaseEvent(event);
}

}  // namespace zv
