#include "app/main_window.h"

#include "app/set_configure.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcut>
#include <QToolButton>
#include <QWindow>
#include <algorithm>

#include "controls/panel_place.h"
#include "monitor/frame_monitor_window.h"
#include "platform/platform.h"
#include "res/skin.h"
#include "res/template_builder.h"

namespace zv {

CZELVIKDlg* m_p_glo_main_set_or_get_dlg = nullptr;

// The door a panel gets: the device chosen when it opened, the main
// window's connection mode and link worker. Requests made through it are
// cancelled when the panel goes.
class PanelDeviceLink : public DeviceLink {
 public:
  PanelDeviceLink(CZELVIKDlg& window, const DeviceEntry& device, bool chosen, std::string name)
      : DeviceLink(device), m_window(window), m_chosen(chosen), m_name(std::move(name)) {}

  LinkTarget Target() const override {
    LinkTarget target;
    target.device = m_device;
    target.chosen = m_chosen;
    target.mode = m_window.m_eState;
    return target;
  }
  std::string DeviceName() const override { return m_name; }
  int32_t Mode() const override { return m_window.m_eState; }
  void SetMode(int32_t mode) override { m_window.m_eState = mode; }
  void Request(const std::string& status, LinkWorker::Job job) override {
    if (!status.empty()) m_window.ShowStatus(status);
    m_window.SubmitLink(Target(), std::move(job));
  }
  bool SerialPortOpen() const override { return m_window.SerialPortOpen(); }
  bool SerialLineLost() const override { return m_window.SerialLineLost(); }
  void OpenSerialPort(const std::string& name, uint32_t baud,
                      std::function<void(bool)> done) override {
    m_window.OpenSerialPort(name, baud, std::move(done));
  }
  void CloseSerialPort(std::function<void()> done) override {
    m_window.CloseSerialPort(std::move(done));
  }
  std::string SerialPortName() const override { return m_window.SerialPortName(); }
  void CloseSerialPortIfLineLost(std::function<void(bool)> done) override {
    m_window.CloseSerialPortIfLineLost(std::move(done));
  }
  void ShowStatus(const std::string& text, bool error) override { m_window.ShowStatus(text, error); }

 private:
  CZELVIKDlg& m_window;
  bool m_chosen;
  std::string m_name;
};

CChildDialog* CreateDevicePanel(PanelKind kind, QWidget* parent, DeviceLink& link,
                                CZELVIKDlg& state) {
  // The panel is a view of the chosen device's session.
  DeviceSession* session =
      kind == PanelKind::kNone ? nullptr : state.ChosenDeviceSession(FamilyOf(FamilyKindOf(kind)));
  if (!session) return nullptr;
  const PanelPlace place{parent, link, *session, state.m_rc_plenn_show_mode_type};
  switch (kind) {
#define ZV_PANEL_CASE(Name) \
  case PanelKind::k##Name:  \
    return Make##Name##Panel(place);
    ZV_FAMILIES(ZV_PANEL_CASE)
#undef ZV_PANEL_CASE
    case PanelKind::kNone: break;
  }
  return nullptr;
}

CZELVIKDlg::CZELVIKDlg(const LinkConfig& link_config, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint) {
  m_link_config = link_config;
  setObjectName(QStringLiteral("dialog_%1").arg(kMainDialogResource));
  m_link_worker = std::make_unique<LinkWorker>(
      link_config, [this](std::function<void()> then) { Deliver(std::move(then)); },
      m_serial_port);
  m_hub = std::make_unique<DeviceHub>(
      *m_link_worker, m_session_clock, [this](std::function<void()> then) { Deliver(std::move(then)); },
      [this](const DeviceEntry& device, const std::string& name, bool) -> std::unique_ptr<DeviceLink> {
        return std::make_unique<PanelDeviceLink>(*this, device, true, name);
      });
  OnInitDialog();
}

CZELVIKDlg::~CZELVIKDlg() {
  // The panel goes first, while the shared state it may reach still exists
  // (Qt would delete it only after that state); then the worker, which
  // cancels what waits and ends its thread before the state it reports to.
  DestroyPanel();
  m_link_worker.reset();
  m_hub.reset();
  if (m_p_glo_main_set_or_get_dlg == this) m_p_glo_main_set_or_get_dlg = nullptr;
}

DeviceSession* CZELVIKDlg::ChosenDeviceSession(const FamilyInfo& family) {
  if (!family.make_session || m_device_index < 0) return nullptr;
  return m_hub->SessionFor(ChosenDevice(), family, ChosenDeviceName(), m_eState == kModeSerial);
}

void CZELVIKDlg::Deliver(std::function<void()> then) {
  // Runs on this window's thread; a window already gone drops it.
  QMetaObject::invokeMethod(this, std::move(then), Qt::QueuedConnection);
}

LinkTarget CZELVIKDlg::CurrentTarget() const {
  LinkTarget target;
  target.device = ChosenDevice();
  target.chosen = m_device_index >= 0;
  target.mode = m_eState;
  return target;
}

void CZELVIKDlg::SubmitLink(const LinkTarget& target, LinkWorker::Job job) {
  m_link_worker->Submit(target, std::move(job));
}

bool CZELVIKDlg::LinkIdle() const { return m_link_worker->Idle(); }

bool CZELVIKDlg::SerialPortOpen() const { return m_link_worker->SerialPortOpen(); }

bool CZELVIKDlg::SerialLineLost() const { return m_link_worker->SerialLineLost(); }

LinkTarget CZELVIKDlg::PortTarget() const {
  // Opening and closing the port are no traffic on the line: a disconnect,
  // which drops what waits for the line, never drops them.
  LinkTarget target = CurrentTarget();
  target.mode = kModeNetwork;
  return target;
}

void CZELVIKDlg::OpenSerialPort(const std::string& name, uint32_t baud,
                                std::function<void(bool)> done) {
  ShowStatus("Opening " + name);
  SubmitLink(PortTarget(), [name, baud, done = std::move(done), this](
                                  LinkState& link) -> std::function<void()> {
    if (link.m_serial_port.IsOpen()) link.m_serial_port.Close(CnComm::kDefaultCloseWaitMs);
    const bool open = link.m_serial_port.Open(name, baud);
    return [this, name, open, done] {
      if (open) m_serial_port_name = name;
      ShowStatus(open ? "Serial port " + name + " open" : "Serial port " + name + " could not be opened",
                 !open);
      if (done) done(open);
    };
  });
}

void CZELVIKDlg::CloseSerialPort(std::function<void()> done) {
  // What waits for the line goes first: on a line that takes no bytes each
  // queued write would wait out its time-out, and the close behind them
  // all. The running write gives up at once, the queued ones never start.
  const int dropped = m_link_worker->DropSerialRequests();
  const std::string lost = ": " + std::to_string(dropped) +
                           (dropped == 1 ? " command" : " commands") + " dropped, not sent";
  const std::string closed = "Serial port closed" + (dropped > 0 ? lost : std::string());
  if (dropped > 0) {
    ShowStatus("Closing the serial port" + lost, true);
    if (m_panel_link) m_panel_link->RequestsDropped(dropped);
  }
  SubmitLink(PortTarget(), [done = std::move(done), closed, dropped, this](
                               LinkState& link) -> std::function<void()> {
    link.m_serial_port.Close(CnComm::kDefaultCloseWaitMs);
    return [this, done, closed, dropped] {
      ShowStatus(closed, dropped > 0);
      if (done) done();
    };
  });
}

void CZELVIKDlg::CloseSerialPortIfLineLost(std::function<void(bool)> done) {
  // The line state is read here without asking the worker; only a lost
  // line costs a request.
  if (!SerialPortOpen() || !SerialLineLost()) {
    if (done) done(false);
    return;
  }
  SubmitLink(PortTarget(), [this, done = std::move(done)](LinkState& link) -> std::function<void()> {
    const bool closed = link.m_serial_port.CloseIfLineLost();
    return [this, done, closed] {
      if (closed) ShowStatus("Serial line lost", true);
      if (done) done(closed);
    };
  });
}

void CZELVIKDlg::SendSetIpFrameToChosen(const NewAddress& to) {
  ShowStatus("Sent: Set IP to " + ChosenDeviceName());
  SubmitLink(CurrentTarget(), SetIpJob(to));
}

void CZELVIKDlg::ShowStatus(const std::string& text, bool error) {
  if (error) Trace("%s", text.c_str());
  if (!m_status_strip) return;
  m_status_strip->setText(QString::fromStdString(text));
  m_status_is_error = error;
  ShowErrorText(m_status_strip, error);
}

QString CZELVIKDlg::StatusText() const { return m_status_strip ? m_status_strip->text() : QString(); }

std::string CZELVIKDlg::ChosenDeviceName() const {
  const QComboBox* combo = DeviceCombo();
  if (m_device_index >= 0 && m_device_index < combo->count())
    return combo->itemText(m_device_index).toStdString();
  return ChosenDevice().IpText();
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

  ApplyControlColours(this, ControlColours::kDarkFieldsGreyStatics);
  BuildTemplateControls(this, *t);
  m_panel_rect = Item(kIdPanelPlaceholder)->geometry();
  // Tab runs Scan, the device list, then the panel (which joins the chain
  // at its end when it opens), then the title-bar buttons and the settings;
  // the focus starts on Scan, so a first Space searches and never minimises.
  // (The title-bar buttons keep the head of the chain: Qt does not move the
  // widget that follows the window itself.)
  QWidget* previous = Item(kIdClose);
  for (int id : {kIdSet, kIdScan, kIdDeviceCombo}) {
    QWidget::setTabOrder(previous, Item(id));
    previous = Item(id);
  }
  Item(kIdScan)->setFocus(Qt::OtherFocusReason);

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

  // The status strip runs along the bottom edge, right of the set button
  // and left of the frame monitor's button and the version text.
  m_status_strip = new QLabel(this);
  m_status_strip->setObjectName(QStringLiteral("status_strip"));
  m_status_strip->setGeometry(32, 694, 1090, 22);
  m_status_strip->show();
  auto* monitor = new QToolButton(this);
  monitor->setObjectName(QStringLiteral("frame_monitor_button"));
  monitor->setText(QStringLiteral("\u2261"));  // three lines: a list
  monitor->setToolTip(tr("Frame monitor (Ctrl+L)"));
  monitor->setAccessibleName(tr("Frame monitor"));
  monitor->setAutoRaise(true);
  monitor->setFocusPolicy(Qt::NoFocus);
  monitor->setGeometry(1126, 694, 24, 22);
  monitor->show();
  m_frame_monitor_button = monitor;
  connect(monitor, &QToolButton::clicked, this, &CZELVIKDlg::ShowFrameMonitor);
  auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
  shortcut->setContext(Qt::WindowShortcut);
  connect(shortcut, &QShortcut::activated, this, &CZELVIKDlg::ShowFrameMonitor);

  StartWinsock();
  WriteProfileString("Settings", "decode_state", "off", SettingsFilePath(kSettingsFileName));
}

QWidget* CZELVIKDlg::Item(int id) const { return FindItem(this, id); }

void CZELVIKDlg::ShowFrameMonitor() {
  if (!m_frame_monitor) m_frame_monitor = new FrameMonitorWindow(this);
  m_frame_monitor->show();
  m_frame_monitor->raise();
  m_frame_monitor->activateWindow();
}

QComboBox* CZELVIKDlg::DeviceCombo() const {
  return static_cast<QComboBox*>(Item(kIdDeviceCombo));
}

void CZELVIKDlg::OnDeviceSelected(int index) {
  // No selection, and the "No Device Found" line, choose no device.
  m_device_index = DeviceIndexForLine(index);
  OpenDevicePanel();
  ShowSubnetOfChosenDevice(m_read_local_interfaces());
  ShowChosenDeviceInSettings();
}

void CZELVIKDlg::ShowSubnetOfChosenDevice(const std::vector<NetInterface>& interfaces) {
  QComboBox* combo = DeviceCombo();
  std::string notice;
  if (m_device_index >= 0 && m_device_index < combo->count()) {
    // A device found on the serial line has no address and gets no notice.
    notice = SubnetNotice(ChosenDevice().IpText(), interfaces);
    combo->setItemData(m_device_index, notice.empty() ? QVariant() : QVariant(QString::fromStdString(notice)),
                       Qt::ToolTipRole);
  }
  combo->setToolTip(QString::fromStdString(notice));
  // The strip shows it until the next action replaces it.
  if (!notice.empty()) ShowStatus(ChosenDeviceName() + ": " + notice, true);
}

void CZELVIKDlg::OnScanButton() {
  // A search runs already: the second click does not start another.
  if (m_searching) return;
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

void CZELVIKDlg::SetSearching(bool searching) {
  m_searching = searching;
  if (auto* scan = qobject_cast<QAbstractButton*>(Item(kIdScan))) scan->setEnabled(!searching);
}

void CZELVIKDlg::NetworkSearch() {
  DestroyPanel();
  QComboBox* combo = DeviceCombo();
  // The list is forgotten only when the combo box still shows lines.
  const bool forget_previous = combo->count() > 0;
  combo->clear();
  combo->setToolTip(QString());
  // As at the start of the blocking search: no device is chosen while it runs.
  m_device_index = -1;
  m_no_device_line = false;
  SetSearching(true);
  ShowStatus("Searching...");
  QPointer<CZELVIKDlg> self(this);
  LinkTarget target = CurrentTarget();
  target.mode = kModeNetwork;
  SubmitLink(target, [self, forget_previous](LinkState& link) -> std::function<void()> {
    // Each device shows in the list as soon as it has answered.
    link.m_search_progress = [self](const DeviceEntry& entry, const std::string& line) {
      QMetaObject::invokeMethod(
          self.data(),
          [self, entry, line] {
            if (!self || !self->m_searching) return;
            QComboBox* list = self->DeviceCombo();
            const int n = list->count();
            if (n < kDeviceListSize) self->m_device_list[n] = entry;
            list->addItem(QString::fromLatin1(line));
            self->ShowStatus("Searching... " + std::to_string(list->count()) + " found");
          },
          Qt::QueuedConnection);
    };
    std::vector<std::string> lines;
    const int found = link.SearchNetworkDevices(&lines, forget_previous);
    link.m_search_progress = nullptr;
    // Nothing found where the operator looked: virtual devices running on
    // this machine are asked for briefly, so the strip can say how to
    // reach them (the first run, zv_device_sim started beside the panel).
    const bool virtual_devices_answer = found == 0 && !link.SearchAsksLoopbackBroadcast() &&
                                        link.LoopbackDevicesAnswer(kLoopbackProbeWindowMs);
    std::vector<DeviceEntry> entries;
    for (int i = 0; i < std::max(found, 0); ++i) entries.push_back(link.m_device_list[i]);
    return [self, found, forget_previous, lines = std::move(lines), entries = std::move(entries),
            virtual_devices_answer] {
      if (!self) return;
      self->FinishNetworkSearch(found, forget_previous, lines, entries, virtual_devices_answer);
    };
  });
}

void CZELVIKDlg::FinishNetworkSearch(int found, bool forget_previous,
                                     const std::vector<std::string>& lines,
                                     const std::vector<DeviceEntry>& entries,
                                     bool virtual_devices_answer) {
  SetSearching(false);
  QComboBox* combo = DeviceCombo();
  combo->clear();
  if (found < 0) {
    ShowStatus("Search failed: the local port could not be opened", true);
    return;
  }
  if (forget_previous) std::fill(std::begin(m_device_list), std::end(m_device_list), DeviceEntry{});
  for (size_t i = 0; i < entries.size() && i < std::size(m_device_list); ++i) m_device_list[i] = entries[i];
  // The service's clients see what the window found.
  m_hub->Found(entries, lines, true);
  for (size_t i = 0; i < lines.size(); ++i)
    combo->insertItem(static_cast<int>(i), QString::fromLatin1(lines[i]));
  if (found > 0)
    m_device_index = 0;
  else
    combo->insertItem(0, QString::fromLatin1(kNoDeviceFoundText));
  // Each line of a device outside the machine's subnets says so when the
  // pointer rests on it.
  const std::vector<NetInterface> interfaces = m_read_local_interfaces();
  for (size_t i = 0; i < entries.size() && i < lines.size(); ++i) {
    const std::string notice = SubnetNotice(entries[i].IpText(), interfaces);
    if (!notice.empty())
      combo->setItemData(static_cast<int>(i), QString::fromStdString(notice), Qt::ToolTipRole);
  }
  m_no_device_line = found == 0;
  combo->setCurrentIndex(0);
  ShowStatus("");
  OpenDevicePanel();
  // Said after the panel opened, unless the panel already says what it reads.
  if (virtual_devices_answer)
    ShowStatus(std::string("No device found. Virtual devices (zv_device_sim) answer on ") +
               kLoopbackBroadcast + ": start with --search-address " + kLoopbackBroadcast);
  else if (StatusText().isEmpty())
    ShowStatus("Search over: " + std::to_string(found) + " found");
  ShowSubnetOfChosenDevice(interfaces);
  Trace("search  over");
}

void CZELVIKDlg::SerialSearch() {
  DestroyPanel();
  QComboBox* combo = DeviceCombo();
  combo->clear();
  combo->setToolTip(QString());
  m_no_device_line = false;
  SetSearching(true);
  ShowStatus("Searching the serial line...");
  QPointer<CZELVIKDlg> self(this);
  LinkTarget target = CurrentTarget();
  target.mode = kModeSerial;
  SubmitLink(target, [self](LinkState& link) -> std::function<void()> {
    bool query_written = false;
    const bool searched = link.SearchSerialDevice(&query_written);
    const int8_t index = link.m_device_index;
    const DeviceEntry entry = link.m_device_list[0];
    const uint8_t type = link.m_main_com_dev_type;
    const std::u16string name = link.m_serial_device_name;
    return [self, searched, query_written, index, entry, type, name] {
      if (!self) return;
      self->FinishSerialSearch(searched, query_written, index, entry, type, name);
    };
  });
}

void CZELVIKDlg::FinishSerialSearch(bool searched, bool query_written, int8_t index,
                                    const DeviceEntry& entry, uint8_t type,
                                    const std::u16string& name) {
  SetSearching(false);
  if (!searched) {
    ShowStatus("Serial port not open", true);
    return;
  }
  m_main_com_dev_type = type;
  m_serial_device_name = name;
  // The device on the cable, with the type and id it answered with, is the
  // list's only device. A reply naming several devices still lists its
  // (last) name, so the operator gets a line and a panel. Without a reply
  // nothing opens: there is no device to talk to.
  m_no_device_line = index < 0;
  if (!m_no_device_line) m_device_list[0] = entry;
  m_device_index = index;
  QComboBox* combo = DeviceCombo();
  combo->clear();
  combo->insertItem(0, m_no_device_line ? QString::fromLatin1(kNoDeviceFoundText)
                                        : QString::fromStdU16String(m_serial_device_name));
  // A query the line did not take asked nobody: saying that no device
  // answered would send the operator to the device instead of the line.
  std::string outcome = "Search over: " + QString::fromStdU16String(name).toStdString();
  if (m_no_device_line)
    outcome = query_written ? "No device answered on the serial line"
                            : "The serial line is not taking data: the search query was not sent";
  ShowStatus(outcome, m_no_device_line);
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
  // Whatever the old panel asked for and still waits (a read-back, a poll,
  // frames not yet sent) is dropped with it: nothing more goes to its device
  // and nothing comes back to a panel that is gone. A search in progress is
  // dropped too.
  if (m_link_worker) m_link_worker->CancelAll();
  if (m_searching) SetSearching(false);
  if (m_p_mian_show_dlg) {
    m_p_mian_show_dlg->hide();
    delete m_p_mian_show_dlg.data();
    m_p_mian_show_dlg = nullptr;
    // What the strip said was about the panel that is gone.
    ShowStatus("");
  }
  m_panel_link.reset();
}

void CZELVIKDlg::OpenDevicePanel() {
  if (!PrepareOpenDevicePanel(DeviceCombo()->count())) return;
  DestroyPanel();
  const PanelKind kind = ChoosePanel();
  m_panel_link = std::make_unique<PanelDeviceLink>(*this, ChosenDevice(), m_device_index >= 0,
                                                   ChosenDeviceName());
  m_p_mian_show_dlg = CreateDevicePanel(kind, this, *m_panel_link, *this);
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
