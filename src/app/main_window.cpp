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
#include <optional>
#include <algorithm>
#include <mutex>
#include <utility>

#include "app/device_browser.h"
#include "app/panel_window.h"
#include "app/tally_table.h"
#include "controls/panel_place.h"
#include "multiview/multiview_session.h"
#include "multiview/multiview_set_page.h"
#include "monitor/frame_monitor_window.h"
#include "platform/platform.h"
#include "res/skin.h"
#include "res/template_builder.h"

namespace zv {

CZELVIKDlg* m_p_glo_main_set_or_get_dlg = nullptr;

// The door a panel gets: the device chosen when it opened, the main
// window's connection mode and link worker. Requests made through it are
// cancelled when the panel goes.
//
// A session's door (`own_mode` given: the line the session was made for)
// follows the window's connection mode only while its device is the one the
// panel area shows, whose connection the operator sets there; any other
// device (in a window of its own, driven by a remote client) keeps its own
// line, so switching the panel area to the serial line never sends another
// device's frames down it.
class PanelDeviceLink : public DeviceLink {
 public:
  PanelDeviceLink(CZELVIKDlg& window, const DeviceEntry& device, bool chosen, std::string name,
                  std::optional<int32_t> own_mode = std::nullopt)
      : DeviceLink(device), m_window(window), m_chosen(chosen), m_name(std::move(name)), m_own_mode(own_mode) {}

  LinkTarget Target() const override {
    LinkTarget target;
    target.device = m_device;
    target.chosen = m_chosen;
    target.mode = Mode();
    return target;
  }
  std::string DeviceName() const override { return m_name; }
  int32_t Mode() const override {
    return m_own_mode && !m_window.ShowsInPanelArea(m_device) ? *m_own_mode : m_window.m_eState;
  }
  void SetMode(int32_t mode) override { m_window.m_eState = mode; }
  void Request(const std::string& status, LinkWorker::Job job) override {
    if (!status.empty()) m_window.ShowStatus(status);
    m_window.SubmitLink(Target(), std::move(job));
  }
  void RequestInBackground(LinkWorker::Job job) override {
    m_window.SubmitLink(Target(), std::move(job), true);
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
  void ShowStatus(const std::string& text, bool error) override { m_window.ShowStatusFor(m_device, text, error); }

 private:
  CZELVIKDlg& m_window;
  bool m_chosen;
  std::string m_name;
  std::optional<int32_t> m_own_mode;
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
  // What the worker and the hub hand back is posted to this window's
  // queue; what they hand back while the window is being destroyed (a
  // continuation that goes with the queue) calls nothing of the window's.
  QObject* window = this;
  const auto post = [window](std::function<void()> then) {
    QMetaObject::invokeMethod(window, std::move(then), Qt::QueuedConnection);
  };
  m_link_worker = std::make_unique<LinkWorker>(link_config, post, m_serial_port);
  m_hub = std::make_unique<DeviceHub>(
      *m_link_worker, m_session_clock, post,
      [this](const DeviceEntry& device, const std::string& name, bool serial) -> std::unique_ptr<DeviceLink> {
        return std::make_unique<PanelDeviceLink>(*this, device, true, name, serial ? kModeSerial : kModeNetwork);
      });
  m_presence_token = m_hub->OnDevice([this](const HubDevice& device) { ShowPresence(device); });
  m_tally = std::make_unique<DesktopTally>(*m_hub, m_session_clock, post);
  // The multiviewer panel's settings page shows the tally table.
  SetMultiviewSettingsGroupMaker([this](QWidget* parent, MultiviewSession& session) -> QWidget* {
    DeviceLink* link = &session.Link();
    return new TallyTableGroup(parent, *m_tally,
                               [link](const std::string& text, bool error) { link->ShowStatus(text, error); });
  });
  OnInitDialog();
}

CZELVIKDlg::~CZELVIKDlg() {
  // The panel goes first, while the shared state it may reach still exists
  // (Qt would delete it only after that state); then the worker, which
  // cancels what waits and ends its thread before the state it reports to.
  SavePanelWindows();
  // The panel windows go before the hub whose sessions they view.
  for (const QPointer<PanelWindow>& window : m_panel_windows) delete window.data();
  if (m_browser) delete m_browser.data();
  DestroyPanel();
  SetMultiviewSettingsGroupMaker({});
  m_tally.reset();
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

void CZELVIKDlg::SubmitLink(const LinkTarget& target, LinkWorker::Job job, bool background) {
  m_link_worker->Submit(target, std::move(job), background);
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

  // Any device of the list opens in a window of its own: a double click on
  // its line, Ctrl+Enter on it, or the line's context menu; Ctrl+Enter on
  // the closed list opens the device it shows.
  OfferOpenInWindow(
      DeviceCombo()->view(), this, [](const QModelIndex& index) { return index.row(); },
      [this](int line) {
        DeviceCombo()->hidePopup();
        OpenPanelWindow(line);
      });
  for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
    auto* open = new QShortcut(keys, DeviceCombo());
    open->setContext(Qt::WidgetShortcut);
    open->setAutoRepeat(false);
    connect(open, &QShortcut::activated, this, [this] { OpenPanelWindow(DeviceCombo()->currentIndex()); });
  }
  // The whole list, with a filter, in a window of its own.
  auto* browse = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_D), this);
  browse->setContext(Qt::WindowShortcut);
  connect(browse, &QShortcut::activated, this, &CZELVIKDlg::ShowDeviceBrowser);
  auto* browser_button = new QToolButton(this);
  browser_button->setObjectName(QStringLiteral("device_browser_button"));
  browser_button->setText(QStringLiteral("\u2026"));  // an ellipsis: more of the list
  browser_button->setToolTip(tr("All devices, with a filter (Ctrl+D)"));
  browser_button->setAccessibleName(tr("Device list"));
  browser_button->setAutoRaise(true);
  browser_button->setFocusPolicy(Qt::NoFocus);
  // In the gap between the list and Scan.
  const QRect combo_rect = DeviceCombo()->geometry();
  const QRect scan_rect = Item(kIdScan)->geometry();
  const int gap = scan_rect.left() - combo_rect.right() - 1;
  browser_button->setGeometry(combo_rect.right() + 2, combo_rect.top(), std::max(12, gap - 3), combo_rect.height());
  browser_button->show();
  connect(browser_button, &QToolButton::clicked, this, &CZELVIKDlg::ShowDeviceBrowser);

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

// The devices a search has found that the window has not listed yet: the
// worker adds to it and asks the window to take it when it was empty, so a
// burst of answers costs the window one turn, not one per device.
struct CZELVIKDlg::SearchFeed {
  std::mutex mutex;
  std::vector<DeviceEntry> entries;
  QStringList lines;
  int left_out = 0;
  bool asked = false;
};

void CZELVIKDlg::NetworkSearch() {
  DestroyPanel();
  QComboBox* combo = DeviceCombo();
  combo->clear();
  combo->setToolTip(QString());
  // As at the start of the blocking search: no device is chosen while it
  // runs, and the list starts empty.
  m_device_index = -1;
  m_device_list.clear();
  m_search_left_out = 0;
  m_no_device_line = false;
  SetSearching(true);
  ShowStatus("Searching...");
  QPointer<CZELVIKDlg> self(this);
  auto feed = std::make_shared<SearchFeed>();
  m_search_feed = feed;
  LinkTarget target = CurrentTarget();
  target.mode = kModeNetwork;
  SubmitLink(target, [self, feed](LinkState& link) -> std::function<void()> {
    // Each device shows in the list as soon as it has answered.
    link.m_search_progress = [self, feed](const DeviceEntry* entry, const std::string& line, int left_out) {
      bool ask = false;
      {
        std::lock_guard<std::mutex> lock(feed->mutex);
        if (entry) {
          feed->entries.push_back(*entry);
          feed->lines.push_back(QString::fromLatin1(line));
        }
        feed->left_out = left_out;
        ask = !std::exchange(feed->asked, true);
      }
      if (ask)
        QMetaObject::invokeMethod(
            self.data(), [self, feed] { if (self) self->TakeSearchFeed(feed); }, Qt::QueuedConnection);
    };
    std::vector<std::string> lines;
    const int found = link.SearchNetworkDevices(&lines);
    link.m_search_progress = nullptr;
    // Nothing found where the operator looked: virtual devices running on
    // this machine are asked for briefly, so the strip can say how to
    // reach them (the first run, zv_device_sim started beside the panel).
    const bool virtual_devices_answer = found == 0 && !link.SearchAsksLoopbackBroadcast() &&
                                        link.LoopbackDevicesAnswer(kLoopbackProbeWindowMs);
    std::vector<DeviceEntry> entries = link.m_device_list;
    const int left_out = link.m_search_left_out;
    return [self, found, left_out, lines = std::move(lines), entries = std::move(entries),
            virtual_devices_answer] {
      if (!self) return;
      self->FinishNetworkSearch(found, left_out, lines, entries, virtual_devices_answer);
    };
  });
}

void CZELVIKDlg::TakeSearchFeed(const std::shared_ptr<SearchFeed>& feed) {
  std::vector<DeviceEntry> entries;
  QStringList lines;
  int left_out = 0;
  {
    std::lock_guard<std::mutex> lock(feed->mutex);
    entries.swap(feed->entries);
    lines.swap(feed->lines);
    left_out = feed->left_out;
    feed->asked = false;
  }
  // A search that ended or was dropped meanwhile lists nothing more.
  if (!m_searching || feed != m_search_feed) return;
  m_device_list.insert(m_device_list.end(), entries.begin(), entries.end());
  m_search_left_out = left_out;
  DeviceCombo()->addItems(lines);
  ShowStatus(SearchStatusText(false, DeviceCombo()->count(), left_out, m_link_config.device_list_cap));
}

void CZELVIKDlg::FinishNetworkSearch(int found, int left_out,
                                     const std::vector<std::string>& lines,
                                     const std::vector<DeviceEntry>& entries,
                                     bool virtual_devices_answer) {
  SetSearching(false);
  m_search_feed.reset();
  QComboBox* combo = DeviceCombo();
  if (found < 0) {
    combo->clear();
    ShowStatus("Search failed: the local port could not be opened", true);
    return;
  }
  m_device_list = entries;
  m_search_left_out = left_out;
  // The service's clients see what the window found.
  m_hub->Found(entries, lines, true);
  // The lines listed while the search ran are the search's own, in its
  // order: they stay. Otherwise the list is made anew, in one go.
  bool listed = combo->count() == static_cast<int>(lines.size());
  for (int i = combo->count() - 1; listed && i >= 0; i -= std::max(1, combo->count() / 8))
    listed = combo->itemText(i).toStdString() == lines[static_cast<size_t>(i)];
  if (!listed) {
    QStringList all;
    all.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) all.push_back(QString::fromLatin1(line));
    combo->clear();
    combo->addItems(all);
  }
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
  FillDeviceBrowser();
  OpenWaitingWindows();
  // Said after the panel opened, unless the panel already says what it
  // reads; devices left out of a full list are said in any case.
  if (virtual_devices_answer)
    ShowStatus(std::string("No device found. Virtual devices (zv_device_sim) answer on ") +
               kLoopbackBroadcast + ": start with --search-address " + kLoopbackBroadcast);
  else if (StatusText().isEmpty() || left_out > 0)
    ShowStatus(SearchStatusText(true, found, left_out, m_link_config.device_list_cap), left_out > 0);
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
    const int index = link.m_device_index;
    const DeviceEntry entry = link.m_device_list.empty() ? DeviceEntry{} : link.m_device_list[0];
    const uint8_t type = link.m_main_com_dev_type;
    const std::u16string name = link.m_serial_device_name;
    return [self, searched, query_written, index, entry, type, name] {
      if (!self) return;
      self->FinishSerialSearch(searched, query_written, index, entry, type, name);
    };
  });
}

void CZELVIKDlg::FinishSerialSearch(bool searched, bool query_written, int index,
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
  m_device_list.clear();
  if (!m_no_device_line) m_device_list.push_back(entry);
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
  // dropped too. Not while panels in windows of their own wait for their
  // devices: their requests drain as they would.
  if (m_link_worker && PanelWindows().empty()) m_link_worker->CancelAll();
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

std::vector<PanelWindow*> CZELVIKDlg::PanelWindows() const {
  std::vector<PanelWindow*> windows;
  for (const QPointer<PanelWindow>& window : m_panel_windows)
    if (window) windows.push_back(window.data());
  return windows;
}

PanelWindow* CZELVIKDlg::OpenPanelWindow(int line) {
  const int index = DeviceIndexForLine(line);
  if (index < 0 || index >= static_cast<int>(std::size(m_device_list))) return nullptr;
  return OpenPanelWindowFor(m_device_list[index], DeviceCombo()->itemText(line).toStdString());
}

PanelWindow* CZELVIKDlg::OpenPanelWindowFor(const DeviceEntry& device, const std::string& line) {
  const FamilyInfo* family = FamilyForType(device.device_type);
  if (!family || device.IpText().empty()) {
    ShowStatus(line + ": no panel for this device in a window of its own", true);
    return nullptr;
  }
  // One window per device: asked again, the open one comes to the front.
  for (PanelWindow* window : PanelWindows()) {
    const DeviceEntry& shown = window->Device();
    if (shown.IpText() == device.IpText() && shown.device_type == device.device_type &&
        shown.device_id == device.device_id) {
      window->show();
      window->raise();
      window->activateWindow();
      return window;
    }
  }
  DeviceSession* session = m_hub->SessionFor(device, *family, line, false);
  if (!session) return nullptr;
  auto* window = new PanelWindow(this, *family, device, line, *session, session->Link());
  m_panel_windows.erase(std::remove_if(m_panel_windows.begin(), m_panel_windows.end(),
                                       [](const QPointer<PanelWindow>& w) { return w.isNull(); }),
                        m_panel_windows.end());
  m_panel_windows.emplace_back(window);
  if (const HubDevice* known = m_hub->Device(device.IpText()); known && !known->online) window->SetOnline(false);
  // Each new window a little below and right of the last, over the main
  // window's panel area; a window manager may place it otherwise.
  const int step = 30 * static_cast<int>((m_panel_windows.size() - 1) % 10);
  window->move(pos() + m_panel_rect.topLeft() + QPoint(step, step));
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

void CZELVIKDlg::ShowStatusFor(const DeviceEntry& device, const std::string& text, bool error) {
  ShowStatus(text, error);
  for (PanelWindow* window : PanelWindows()) {
    const DeviceEntry& shown = window->Device();
    if (shown.IpText() == device.IpText() && shown.device_type == device.device_type &&
        shown.device_id == device.device_id)
      window->ShowStatus(text, error);
  }
}

void CZELVIKDlg::ShowDeviceBrowser() {
  if (!m_browser) {
    m_browser = new DeviceBrowser(this);
    m_browser->setAttribute(Qt::WA_DeleteOnClose);
    m_browser->on_choose = [this](int line) {
      QComboBox* combo = DeviceCombo();
      if (line < 0 || line >= combo->count()) return;
      combo->setCurrentIndex(line);
      OnDeviceSelected(line);
    };
    m_browser->on_open_window = [this](int line) { OpenPanelWindow(line); };
    FillDeviceBrowser();
  }
  m_browser->show();
  m_browser->raise();
  m_browser->activateWindow();
}

void CZELVIKDlg::FillDeviceBrowser() {
  if (!m_browser) return;
  std::vector<DeviceRow> rows;
  const QComboBox* combo = DeviceCombo();
  for (int line = 0; line < combo->count(); ++line) {
    const int index = DeviceIndexForLine(line);
    if (index < 0 || index >= static_cast<int>(std::size(m_device_list))) continue;
    const DeviceEntry& entry = m_device_list[index];
    DeviceRow row;
    row.line = combo->itemText(line).toStdString();
    row.address = entry.IpText();
    if (const FamilyInfo* family = FamilyForType(entry.device_type)) row.family = family->name;
    if (const HubDevice* known = m_hub->Device(row.address)) {
      row.online = known->online;
      row.last_heard_ms = known->last_heard_ms;
    }
    rows.push_back(std::move(row));
  }
  m_browser->SetRows(rows);
}

bool CZELVIKDlg::ShowsInPanelArea(const DeviceEntry& device) const {
  if (!m_p_mian_show_dlg || m_device_index < 0) return false;
  const DeviceEntry& shown = ChosenDevice();
  return shown.IpText() == device.IpText() && shown.device_type == device.device_type &&
         shown.device_id == device.device_id;
}

void CZELVIKDlg::ListHeardDevice(const HubDevice& device) {
  // Only the network list takes it; a search of the window's own lists
  // what it finds when it ends.
  if (!device.online || device.address.empty() || m_eState != kModeNetwork || m_searching) return;
  for (const DeviceEntry& entry : m_device_list)
    if (entry.IpText() == device.address) return;
  if (static_cast<int>(m_device_list.size()) >= m_link_config.device_list_cap) return;
  QComboBox* combo = DeviceCombo();
  const bool was_empty = m_no_device_line || m_device_list.empty();
  if (was_empty) {
    combo->clear();
    m_device_list.clear();
    m_no_device_line = false;
  }
  DeviceEntry entry{};
  entry.SetIpText(device.address);
  entry.device_type = device.type;
  entry.device_id = device.id;
  m_device_list.push_back(entry);
  const QString line = QString::fromStdString(device.name.empty() ? device.address : device.name);
  combo->addItem(line);
  // Nothing is chosen for the operator: the line waits to be picked.
  if (was_empty) combo->setCurrentIndex(-1);
  ShowStatus("Listed " + line.toStdString() + ": it answered a search since the list was made");
  FillDeviceBrowser();
}

void CZELVIKDlg::ShowPresence(const HubDevice& device) {
  ListHeardDevice(device);
  // Only a change is news: a device found for the first time is no return.
  const bool was_offline = m_offline.count(device.address) != 0;
  if (device.online ? !was_offline : was_offline) {
    if (m_browser) m_browser->SetOnline(device.address, device.online, device.last_heard_ms);
    return;
  }
  if (device.online)
    m_offline.erase(device.address);
  else
    m_offline.insert(device.address);
  QComboBox* combo = DeviceCombo();
  const QString address = QString::fromStdString(device.address);
  for (int line = 0; line < combo->count(); ++line) {
    const int index = DeviceIndexForLine(line);
    if (index < 0 || index >= static_cast<int>(std::size(m_device_list)) ||
        m_device_list[index].IpText() != device.address)
      continue;
    // An offline device's line is grey; a screen reader hears it too.
    combo->setItemData(line, device.online ? QVariant() : QVariant(QColor(140, 140, 140)), Qt::ForegroundRole);
    combo->setItemData(line, device.online ? QVariant() : QVariant(combo->itemText(line) + tr(", offline")),
                       Qt::AccessibleTextRole);
    if (line == combo->currentIndex() && index == m_device_index)
      ShowStatus(combo->itemText(line).toStdString() + (device.online ? " answers again" : " does not answer"),
                 !device.online);
  }
  if (m_browser) m_browser->SetOnline(device.address, device.online, device.last_heard_ms);
  for (PanelWindow* window : PanelWindows())
    if (window->Device().IpText() == device.address) window->SetOnline(device.online);
}

void CZELVIKDlg::OpenAtStart(const std::vector<std::string>& addresses) {
  m_open_after_search = addresses;
  if (!m_searching) NetworkSearch();
}

void CZELVIKDlg::OpenWaitingWindows() {
  if (m_open_after_search.empty()) return;
  const std::vector<std::string> addresses = std::move(m_open_after_search);
  m_open_after_search.clear();
  std::vector<std::string> silent;
  const QComboBox* combo = DeviceCombo();
  for (const std::string& address : addresses) {
    bool opened = false;
    for (int line = 0; line < combo->count() && !opened; ++line) {
      const int index = DeviceIndexForLine(line);
      if (index >= 0 && index < static_cast<int>(std::size(m_device_list)) &&
          m_device_list[index].IpText() == address)
        opened = OpenPanelWindow(line) != nullptr;
    }
    if (!opened) silent.push_back(address);
  }
  if (!silent.empty()) {
    std::string text = "Not found by the search, not opened:";
    for (const std::string& address : silent) text += " " + address;
    ShowStatus(text, true);
  }
}

namespace {
constexpr const char* kPanelWindowsSection = "PanelWindows";
}

std::string CZELVIKDlg::PanelWindowsFile() const {
  return m_panel_windows_file.empty() ? SettingsFilePath(kSettingsFileName) : m_panel_windows_file;
}

void CZELVIKDlg::SavePanelWindows() const {
  const std::string path = PanelWindowsFile();
  const std::vector<PanelWindow*> windows = PanelWindows();
  // Nothing to note, and nothing noted: the file is left alone.
  if (windows.empty() && ReadProfileString(kPanelWindowsSection, "count", "0", path) == "0") return;
  WriteProfileString(kPanelWindowsSection, "count", std::to_string(windows.size()), path);
  for (size_t i = 0; i < windows.size(); ++i) {
    const PanelWindow* w = windows[i];
    // address, type, id, where, and the device list's line last
    const std::string value = w->Device().IpText() + "," + std::to_string(w->Device().device_type) + "," +
                              std::to_string(w->Device().device_id) + "," + std::to_string(w->x()) + "," +
                              std::to_string(w->y()) + "," + w->Line();
    WriteProfileString(kPanelWindowsSection, "window" + std::to_string(i + 1), value, path);
  }
}

void CZELVIKDlg::RestorePanelWindows() {
  const std::string path = PanelWindowsFile();
  const int count = std::atoi(ReadProfileString(kPanelWindowsSection, "count", "0", path).c_str());
  for (int i = 1; i <= std::min(count, 64); ++i) {
    const QStringList fields = QString::fromStdString(
                                   ReadProfileString(kPanelWindowsSection, "window" + std::to_string(i), "", path))
                                   .split(QLatin1Char(','));
    if (fields.size() < 6) continue;
    bool ok_type = false, ok_id = false, ok_x = false, ok_y = false;
    const uint type = fields[1].toUInt(&ok_type);
    const uint id = fields[2].toUInt(&ok_id);
    const int x = fields[3].toInt(&ok_x);
    const int y = fields[4].toInt(&ok_y);
    // The line may hold commas of its own: it is the rest.
    const std::string line = fields.mid(5).join(QLatin1Char(',')).toStdString();
    std::array<uint8_t, 4> octets{};
    if (!ok_type || !ok_id || type > 255 || id > 255 || !ParseIpv4Address(fields[0].toStdString(), &octets))
      continue;
    DeviceEntry device{};
    device.SetIpText(fields[0].toStdString());
    device.device_type = static_cast<uint8_t>(type);
    device.device_id = static_cast<uint8_t>(id);
    if (PanelWindow* window = OpenPanelWindowFor(device, line); window && ok_x && ok_y) window->move(x, y);
  }
}

}  // namespace zv
