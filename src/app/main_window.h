// The main window: a borderless 1280 x 720 skinned window with the device
// list, the scan button and the panel area holding exactly one device panel.
// It owns the state every panel shares (CZELVIKState).
#pragma once

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QRect>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/desktop_tally.h"
#include "app/device_browser.h"
#include "app/main_state.h"
#include "app/panel_window.h"
#include "service/qt_session_clock.h"
#include "registry/families.h"
#include "controls/child_dialog.h"
#include "controls/heap_trim.h"
#include "link/device_link.h"
#include "link/link_worker.h"
#include "link/local_networks.h"
#include "hub/device_hub.h"

class QAbstractButton;
class QComboBox;
class QLabel;

namespace zv {

class CSetConfigure;
class DeviceBrowser;
class FrameMonitorWindow;
class PanelWindow;
class PanelDeviceLink;

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

  // The scan button's searches (network or serial by m_eState). Each runs on
  // the link worker; the list fills as devices answer and the first
  // device's panel opens when the search window has passed.
  void NetworkSearch();
  void SerialSearch();
  bool Searching() const { return m_searching; }
  // Opens the connection settings window, creating it on first use.
  void OnSetButton();
  void OnScanButton();

  QWidget* Item(int id) const;
  QComboBox* DeviceCombo() const;

  // ---- the link worker --------------------------------------------------
  // Whom a request made now goes to: the chosen device and the mode.
  LinkTarget CurrentTarget() const;
  // Queues a job on the link worker (see LinkWorker::Submit).
  void SubmitLink(const LinkTarget& target, LinkWorker::Job job, bool background = false);
  // Nothing queued, nothing running, every result shown.
  bool LinkIdle() const;
  // The serial port the worker owns. Opening (an open port is closed
  // first) and closing happen on the worker; `done` runs here afterwards.
  bool SerialPortOpen() const;
  bool SerialLineLost() const;
  void OpenSerialPort(const std::string& name, uint32_t baud, std::function<void(bool open)> done);
  // Closes at once: the requests waiting for the line are dropped first
  // (the status strip says how many, in red, and the panel takes back what
  // they would have shown), then the port closes on the worker.
  void CloseSerialPort(std::function<void()> done);
  // The port opened last.
  std::string SerialPortName() const { return m_serial_port_name; }
  // When the open port's line was lost (adapter pulled, far end gone), the
  // worker closes the port; `done` runs here with whether this call closed
  // it, so that only one of several watchers tells the operator.
  void CloseSerialPortIfLineLost(std::function<void(bool closed)> done);
  // The set-IP frame, to the chosen device by UDP.
  void SendSetIpFrameToChosen(const NewAddress& to);

  // ---- the status strip ------------------------------------------------------
  // One line of what the link does or did last; an error stays until the
  // next action replaces it, and goes to the trace too.
  void ShowStatus(const std::string& text, bool error = false);
  QString StatusText() const;
  // The chosen device's line in the list ("MV16_10.0.0.2").
  std::string ChosenDeviceName() const;

  // ---- the machine's networks ------------------------------------------------
  // Reads the machine's interfaces; read when a search ends, a device is
  // chosen or the settings window shows, never while painting. A test may
  // put a made-up list in its place.
  std::function<std::vector<NetInterface>()> m_read_local_interfaces = ReadLocalInterfaces;

  QRect m_panel_rect;
  // The four-channel panel's preview area, repainted after a mode change.
  QRect m_rc_plenn_show_mode_type;
  QPointer<CChildDialog> m_p_mian_show_dlg;
  QPointer<CSetConfigure> m_pSetConfigure;
  // The frame monitor, made when asked for (the small button beside the
  // status strip, or Ctrl+L) and deleted when closed; one window at a time,
  // raised when asked for again while open.
  void ShowFrameMonitor();
  QPointer<FrameMonitorWindow> m_frame_monitor;
  QAbstractButton* FrameMonitorButton() const { return m_frame_monitor_button; }

  // The session of the chosen device, made the first time the device is
  // used and kept while the window lives: a panel closed and opened again
  // shows what its device was left with. Null for a family without
  // sessions and when no device is chosen.
  DeviceSession* ChosenDeviceSession(const FamilyInfo& family);
  // The devices the window's searches found and their sessions, which the
  // service (--serve) shares with the panels.
  DeviceHub& Hub() { return *m_hub; }
  // True when the panel area shows `device`'s panel.
  bool ShowsInPanelArea(const DeviceEntry& device) const;
  // Tally on the hub's sessions: the rows of the multiviewer panel's
  // "Tally" group and the switcher's lights on the windows.
  DesktopTally& Tally() { return *m_tally; }

  // ---- panels in windows of their own -----------------------------------------
  // Opens the panel of the device on line `line` of the device list in a
  // window of its own (or raises the one open for it); null for a line that
  // stands for no device. The window views the device's session, the same
  // the panel area uses when the device is chosen there.
  PanelWindow* OpenPanelWindow(int line);
  // The same for a device known by its entry and line text (a window put
  // back at start, a device named by --open).
  PanelWindow* OpenPanelWindowFor(const DeviceEntry& device, const std::string& line);
  std::vector<PanelWindow*> PanelWindows() const;
  // The device list as a window of its own, with a filter (Ctrl+D).
  void ShowDeviceBrowser();
  DeviceBrowser* Browser() const { return m_browser; }
  // A search at start, then each device at these addresses opens in a
  // window of its own (an address nobody answered from is said in the
  // status strip).
  void OpenAtStart(const std::vector<std::string>& addresses);
  // The panel windows open when the program last ended, put back from the
  // settings file (their devices, places and sizes); and their note.
  void RestorePanelWindows();
  void SavePanelWindows() const;
  // Where that note is kept: the settings file unless told otherwise.
  void SetPanelWindowsFile(std::string path) { m_panel_windows_file = std::move(path); }
  // A line about `device` in the strips that show it: the main window's,
  // and those of its panel windows.
  void ShowStatusFor(const DeviceEntry& device, const std::string& text, bool error);
  // How many device sessions the window keeps (the soak watches it).
  size_t SessionCount() const { return m_hub->SessionCount(); }
  // How many times the heap's free pages went back to the system after a
  // window closed (the soak prints it).
  int HeapTrims() const { return m_heap_trim.Trims(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void OnInitDialog();
  void OnDeviceSelected(int index);
  // A chosen device outside every subnet of the machine: its line's tooltip
  // and the list's say so, and so does the status strip, since commands to
  // it may not arrive. Nothing for a local device.
  void ShowSubnetOfChosenDevice(const std::vector<NetInterface>& interfaces);
  void DestroyPanel();
  // The settings window, when shown, follows the chosen device.
  void ShowChosenDeviceInSettings();
  void SetSearching(bool searching);
  // The end of a search, on this thread, with what the worker found;
  // `virtual_devices_answer` when the search found nothing but virtual
  // devices answer on the loopback broadcast it did not ask.
  // `left_out` devices answered past the list's cap.
  void FinishNetworkSearch(int found, int left_out, const std::vector<std::string>& lines,
                           const std::vector<DeviceEntry>& entries, bool virtual_devices_answer);
  // Lists, in one go, every device the running search found since the last
  // time (devices answer faster than the window would add them one by one).
  struct SearchFeed;
  void TakeSearchFeed(const std::shared_ptr<SearchFeed>& feed);
  std::shared_ptr<SearchFeed> m_search_feed;
  void FinishSerialSearch(bool searched, bool query_written, int index,
                          const DeviceEntry& entry, uint8_t type, const std::u16string& name);
  // The target of the jobs that open and close the serial port.
  LinkTarget PortTarget() const;
  // Runs on the caller's thread after the worker hands it over.
  void Deliver(std::function<void()> then);

  std::unique_ptr<LinkWorker> m_link_worker;
  // The door of the panel shown; replaced with the panel.
  std::unique_ptr<PanelDeviceLink> m_panel_link;
  // The sessions' clock, and the hub that keeps one session per device in
  // use (by family, address, type and id), each with its own door to its
  // device. The clock outlives the sessions, whose timers it runs.
  QtSessionClock m_session_clock;
  std::unique_ptr<DeviceHub> m_hub;
  std::unique_ptr<DesktopTally> m_tally;
  QLabel* m_status_strip = nullptr;
  QAbstractButton* m_frame_monitor_button = nullptr;
  bool m_status_is_error = false;
  bool m_searching = false;
  std::string m_serial_port_name;

  // Set while the window is dragged by hand (when the window system does
  // not move it for us): the press point relative to the window's corner.
  bool m_dragging = false;
  QPoint m_drag_offset;

  std::vector<QPointer<PanelWindow>> m_panel_windows;
  std::string m_panel_windows_file;
  std::string PanelWindowsFile() const;
  QPointer<DeviceBrowser> m_browser;
  // Addresses to open in windows of their own once the next search ends.
  std::vector<std::string> m_open_after_search;
  void FillDeviceBrowser();
  void OpenWaitingWindows();
  // A device came or went (a search or a presence search said so).
  void ShowPresence(const HubDevice& device);
  // A device the hub heard of that the list does not hold (a search a
  // remote client of the service ran) joins the end of the list.
  void ListHeardDevice(const HubDevice& device);
  int m_presence_token = 0;
  // Devices a search or a presence search last found silent.
  std::set<std::string> m_offline;
  // A second after any window of the program closed, the pictures drawn for
  // windows that are gone are dropped and the heap's free pages go back to
  // the system.
  HeapTrimAfterClose m_heap_trim;
};

// Creates the panel of a kind as a child of `parent`, reaching its device
// through `link` and its record in `state`; nullptr for kNone.
CChildDialog* CreateDevicePanel(PanelKind kind, QWidget* parent, DeviceLink& link,
                                CZELVIKDlg& state);

}  // namespace zv
