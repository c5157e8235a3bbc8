// The scan button, the device list and the connection settings window,
// against the virtual devices on loopback.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include "controls/ip_address_fields.h"
#include "app/main_window.h"
#include "app/set_configure.h"
#include "controls/ip_address_ctrl.h"
#include "platform/platform.h"
#include "res/skin.h"
#include "support/pty_pair.h"
#include "switcher/switcher_state.h"
#include "support/link_drain.h"
#include "support/recorders.h"
#include "multiview/multiview_control_page.h"
#include "multiview/multiview_panel.h"
#include "support/sim_marker.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/ui_input.h"

namespace zv {
namespace {

LinkConfig SearchConfig(uint16_t port) {
  LinkConfig c;
  c.device_port = port;
  c.local_port = 0;
  c.search_address = "127.0.0.1";
  return c;
}

using test::Lines;

TEST(DiscoveryUiTest, ScanListsDevicesAndOpensTheFirstPanel) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Mv", "Router"});
  config.devices[0].type = 0xA1;
  config.devices[0].faults.delay_ms = 60;  // the router answers first
  config.devices[1].type = 0x82;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();

  CZELVIKDlg dlg(SearchConfig(port));
  test::TraceRecorder trace;
  EXPECT_TRUE(test::ClickScan(dlg));
  EXPECT_TRUE(trace.Has("net search"));
  EXPECT_TRUE(trace.Has("search  over"));
  EXPECT_EQ(Lines(dlg.DeviceCombo()), QStringList({"Router_127.0.0.3", "Mv_127.0.0.2"}));
  EXPECT_EQ(dlg.DeviceCombo()->currentIndex(), 0);
  EXPECT_EQ(dlg.m_device_index, 0);
  ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);
  EXPECT_EQ(dlg.m_p_mian_show_dlg->Resource(), 206);

  // Choosing the second line opens its panel.
  emit dlg.DeviceCombo()->activated(1);
  EXPECT_EQ(dlg.m_device_index, 1);
  ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);
  EXPECT_EQ(dlg.m_p_mian_show_dlg->Resource(), 129);
}

TEST(DiscoveryUiTest, NothingFoundListsNoDevice) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Quiet"});
  config.devices[0].faults.silent = true;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();

  CZELVIKDlg dlg(SearchConfig(port));
  // What an earlier search left is gone.
  dlg.m_device_list.resize(6);
  dlg.m_device_list[5].SetIpText("10.1.1.1");
  EXPECT_TRUE(test::ClickScan(dlg));
  EXPECT_EQ(Lines(dlg.DeviceCombo()), QStringList({"No Device Found"}));
  EXPECT_EQ(dlg.m_device_index, -1);
  EXPECT_EQ(dlg.m_p_mian_show_dlg, nullptr) << "no panel without a device";
  EXPECT_TRUE(dlg.m_device_list.empty());
  // Choosing the line opens nothing: it stands for no device.
  ASSERT_TRUE(test::ChooseLine(dlg.DeviceCombo(), 0));
  EXPECT_EQ(dlg.m_device_index, -1);
  EXPECT_EQ(dlg.m_p_mian_show_dlg, nullptr);
}

TEST(DiscoveryUiTest, AFacilityOf500DevicesIsListedEachOnceUpToTheCap) {
  // 500 virtual devices of the four families, each answering the query
  // twice: every one is listed once; with a cap of 100 the strip says how
  // many more answered.
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config;
  config.hub_address = "127.0.0.1";
  config.port = port;
  std::vector<sim::DeviceConfig> patterns = sim::DefaultDevices();
  for (sim::DeviceConfig& d : patterns) d.faults.repeat = 2;
  std::string error;
  ASSERT_TRUE(sim::CountedDevices(patterns, 500, sim::kFirstCountedAddress, &config.devices, &error)) << error;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  struct Row {
    int cap;
    int listed;
    const char* status;  // what the strip says at the end; nullptr: whatever the panel says
  };
  const Row rows[] = {
      {kDefaultDeviceListCap, 500, nullptr},
      {100, 100,
       "Search over: 100 found, 400 more answered but left out: the device list holds 100 "
       "(--device-list-cap raises it)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.cap);
    LinkConfig link_config = SearchConfig(port);
    link_config.device_list_cap = row.cap;
    CZELVIKDlg dlg(link_config);
    QTest::mouseClick(static_cast<QAbstractButton*>(dlg.Item(kIdScan)), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&dlg] { return !dlg.Searching(); }, 10000));
    // What the strip says as the search ends (the panel's read-back says
    // its own later).
    if (row.status) {
      EXPECT_EQ(dlg.StatusText().toStdString(), row.status);
    }
    EXPECT_TRUE(test::DrainLink(dlg));
    const QStringList lines = Lines(dlg.DeviceCombo());
    EXPECT_EQ(lines.size(), row.listed);
    EXPECT_EQ(QSet<QString>(lines.begin(), lines.end()).size(), row.listed) << "each device once";
    ASSERT_EQ(dlg.m_device_list.size(), static_cast<size_t>(row.listed));
    // Each line stands for its own device: the address in the line is its entry's.
    for (int i = 0; i < row.listed; ++i)
      ASSERT_TRUE(lines[i].endsWith("_" + QString::fromStdString(dlg.m_device_list[static_cast<size_t>(i)].IpText())))
          << lines[i].toStdString();
    // The first line's panel is open, and choosing the last (the list
    // opened, End, Enter) opens its own.
    ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);
    QTest::mouseClick(dlg.DeviceCombo(), Qt::LeftButton);
    QAbstractItemView* view = dlg.DeviceCombo()->view();
    ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000));
    QTest::keyClick(view, Qt::Key_End);
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->isVisible(); }, 2000));
    EXPECT_EQ(dlg.m_device_index, row.listed - 1);
    EXPECT_EQ(dlg.ChosenDevice().IpText(), dlg.m_device_list.back().IpText());
  }
}

TEST(DiscoveryUiTest, SerialScanListsTheNameAndOpensItsPanel) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Desk", "Cam-x-Pair"});
  config.devices[0].type = 0xA1;
  config.devices[1].type = 0x60;
  config.serial = true;
  struct Row {
    int device;
    const char* line;
    int panel;
  };
  // The second row names two devices: its (last) name is still listed and
  // its panel opens.
  const Row rows[] = {{0, "Desk", 129}, {1, "Cam-x-Pair", 308}};
  for (const Row& row : rows) {
    config.serial_device = row.device;
    test::SimRunner runner(config);
    ASSERT_TRUE(runner.started()) << runner.error();
    CZELVIKDlg dlg(SearchConfig(port));
    dlg.m_eState = kModeSerial;
    ASSERT_TRUE(dlg.m_serial_port.Open(runner.sim().SerialPath(), 115200));
    test::TraceRecorder trace;
    EXPECT_TRUE(test::ClickScan(dlg));
    EXPECT_TRUE(trace.Has("com search"));
    EXPECT_EQ(dlg.m_device_index, 0);
    EXPECT_EQ(Lines(dlg.DeviceCombo()), QStringList({row.line}));
    ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr) << row.line;
    EXPECT_EQ(dlg.m_p_mian_show_dlg->Resource(), row.panel);
  }
}

TEST(DiscoveryUiTest, SerialScanWithTheSerialPortClosed) {
  CZELVIKDlg dlg(SearchConfig(test::FreeUdpPort()));
  dlg.DeviceCombo()->addItem("Old_10.0.0.1");
  dlg.m_device_index = 0;
  dlg.OpenDevicePanel();
  dlg.m_eState = kModeSerial;
  test::MessageBoxRecorder boxes;
  EXPECT_TRUE(test::ClickScan(dlg));
  ASSERT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(boxes.requests[0].text, "Please open the serial port first!");
  EXPECT_EQ(dlg.DeviceCombo()->count(), 0);
  EXPECT_EQ(dlg.m_p_mian_show_dlg, nullptr);

  // Any other mode: the button does nothing.
  dlg.m_eState = 7;
  test::TraceRecorder trace;
  EXPECT_TRUE(test::ClickScan(dlg));
  EXPECT_TRUE(trace.lines.empty());
}

// ---- connection settings window ---------------------------------------------

CSetConfigure* OpenSettings(CZELVIKDlg& dlg) {
  QTest::mouseClick(static_cast<QAbstractButton*>(dlg.Item(kIdSet)), Qt::LeftButton);
  return dlg.m_pSetConfigure;
}

std::string Hex(std::initializer_list<uint8_t> bytes) {
  std::string hex;
  for (uint8_t b : bytes) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", b);
    hex += two;
  }
  return hex;
}

// The whole frames a virtual device received on `link` ("serial", "udp"),
// as hex, once there are `count` of them (or when the wait runs out).
std::vector<std::string> FramesOn(test::SimRunner& runner, const std::string& device,
                                  const std::string& link, size_t count) {
  std::vector<std::string> frames;
  (void)QTest::qWaitFor(
      [&] {
        frames.clear();
        const std::string from = "\"device\":\"" + device + "\",\"link\":\"" + link + "\"";
        for (const std::string& line : runner.sim().LogLines()) {
          const size_t at = line.find("\"frame\":\"");
          if (line.find(from) != std::string::npos && at != std::string::npos)
            frames.push_back(line.substr(at + 9, line.find('"', at + 9) - at - 9));
        }
        return frames.size() >= count;
      },
      3000);
  return frames;
}

// A first run with a device on the cable: the settings window reaches serial
// mode, the port named on the command line is the one opened, and every
// frame carries the identity the device answered with.
TEST(SerialModeTest, FromAFreshWindowThroughTheSettingsToACommandOnTheCable) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Desk"});
  config.devices[0].type = 0xA1;
  config.devices[0].id = 0x07;
  config.serial = true;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  const std::string path = runner.sim().SerialPath();
  SetExtraSerialPorts({path});  // --serial-port PATH
  CZELVIKDlg dlg(SearchConfig(port));
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));

  CSetConfigure* w = OpenSettings(dlg);
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(test::ChooseLine(w->ModeList(), 1));
  EXPECT_EQ(w->ModeList()->currentText(), "Serial Port");
  EXPECT_EQ(dlg.m_eState, kModeSerial);
  // The named port is the chosen one: a connect never reaches a port of the
  // machine that nobody chose.
  ASSERT_EQ(w->PortList()->currentText().toStdString(), path);
  QTest::mouseClick(w->ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  ASSERT_TRUE(dlg.m_serial_port.IsOpen());
  EXPECT_EQ(w->ConnectButton()->text(), "Disconnect");

  EXPECT_TRUE(test::ClickScan(dlg));
  EXPECT_EQ(Lines(dlg.DeviceCombo()), QStringList({"Desk"}));
  auto* host = qobject_cast<CClass_16view_dlg*>(dlg.m_p_mian_show_dlg.data());
  ASSERT_NE(host, nullptr);
  auto* control = qobject_cast<CClass_16view_control*>(host->m_p_cur_page.data());
  ASSERT_NE(control, nullptr);
  QTest::mouseClick(static_cast<QAbstractButton*>(control->Item(1033)), Qt::LeftButton);

  const std::vector<std::string> expected = {
      Hex({0xA5, 0x6C, 0x14, 0x00,          // sync, frame_length 20
           0x81, 0xFF, 0x00,                // discovery type and id, serial link flag
           0, 0, 0, 0, 0, 0, 0, 0,          // reserved
           0x00, 0xFF,                      // group, command: discovery
           0xA4, 0x03, 0xAE}),              // checksum 0x03A4, tail
      Hex({0xA5, 0x6C, 0x14, 0x00,          // sync, frame_length 20
           0xA1, 0x07, 0x00,                // the device's own type and id, serial
           0, 0, 0, 0, 0, 0, 0, 0,          // reserved
           0x00, 0x32,                      // group, command: read state
           0xFF, 0x01, 0xAE}),              // checksum 0x01FF, tail
      Hex({0xA5, 0x6C, 0x15, 0x00,          // sync, frame_length 21
           0xA1, 0x07, 0x00,                // the device's own type and id, serial
           0, 0, 0, 0, 0, 0, 0, 0,          // reserved
           0x00, 0x33,                      // group, command: set layout
           0x04,                            // four windows
           0x05, 0x02, 0xAE}),              // checksum 0x0205, tail
  };
  EXPECT_EQ(FramesOn(runner, "Desk", "serial", expected.size()), expected);
  // Nothing went by UDP: a marker sent to the device's address now queues
  // behind anything the window sent there before its last serial frame.
  ASSERT_TRUE(test::LogBeforeMarker(runner, config.devices[0].address, port));
  EXPECT_EQ(FramesOn(runner, "Desk", "udp", 0), std::vector<std::string>{}) << "all on the cable";
  dlg.m_serial_port.Close();
  SetExtraSerialPorts({});
}

// A device outside every subnet of the machine is listed and usable; its
// line, the list and the status strip say why commands may not arrive, and
// the settings window shows the machine's own addresses beside it.
TEST(DiscoveryUiTest, DeviceOutsideTheLocalSubnetsIsListedAndTold) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Mv", "PS"});
  config.devices[0].type = 0xA1;
  config.devices[0].faults.delay_ms = 60;  // the switcher answers first
  config.devices[1].type = 0xA5;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();

  CZELVIKDlg dlg(SearchConfig(port));
  // A machine whose networks hold the multiviewer's address but not the
  // switcher's.
  dlg.m_read_local_interfaces = [] {
    NetInterface lan;
    lan.name = "eth0";
    ParseIpv4("192.168.1.10", &lan.address);
    lan.netmask = 0xFFFFFF00u;
    lan.up = lan.can_broadcast = true;
    lan.broadcast = lan.Network() | 0xFFu;
    NetInterface host = lan;
    host.name = "dummy0";
    ParseIpv4("127.0.0.2", &host.address);
    host.netmask = 0xFFFFFFFFu;
    host.can_broadcast = false;
    return std::vector<NetInterface>{lan, host};
  };
  const QString notice = "not in a local subnet (192.168.1.0/24 127.0.0.2/32)";
  QComboBox* combo = dlg.DeviceCombo();
  EXPECT_TRUE(test::ClickScan(dlg));
  ASSERT_EQ(Lines(combo), QStringList({"PS_127.0.0.3", "Mv_127.0.0.2"}));
  EXPECT_EQ(combo->itemData(0, Qt::ToolTipRole).toString(), notice);
  EXPECT_EQ(combo->itemData(1, Qt::ToolTipRole).toString(), "");
  // The first device opened at the end of the search: it is usable, and the
  // strip says where it stands until the next action.
  EXPECT_EQ(dlg.StatusText(), "PS_127.0.0.3: " + notice);
  EXPECT_EQ(combo->toolTip(), notice);
  ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);
  QTest::mouseClick(static_cast<QAbstractButton*>(dlg.m_p_mian_show_dlg->Item(kPgmSourceButtons[2])),
                    Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_EQ(dlg.StatusText(), "Sent: Program to PS_127.0.0.3");

  // The local device: nothing said.
  ASSERT_TRUE(test::ChooseLine(combo, 1));
  EXPECT_EQ(dlg.m_device_index, 1);
  EXPECT_EQ(combo->toolTip(), "");
  EXPECT_FALSE(dlg.StatusText().contains("subnet")) << dlg.StatusText().toStdString();
  CSetConfigure* w = OpenSettings(dlg);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->LocalAddressesLabel()->text(), "This machine: 192.168.1.10/24, 127.0.0.2/32");

  // Back to the one outside.
  ASSERT_TRUE(test::ChooseLine(combo, 0));
  EXPECT_EQ(dlg.m_device_index, 0);
  EXPECT_EQ(combo->toolTip(), notice);
  EXPECT_EQ(dlg.StatusText(), "PS_127.0.0.3: " + notice);
  EXPECT_EQ(w->IpField()->AddressText(), "127.0.0.3");
  EXPECT_EQ(w->LocalAddressesLabel()->text(),
            "This machine: 192.168.1.10/24, 127.0.0.2/32; the device is " + notice);
  // The label covers no other control and stays above the second rule.
  const QRect label = w->LocalAddressesLabel()->geometry();
  EXPECT_LE(label.bottom(), 190);
  for (QWidget* other : w->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (other != w->LocalAddressesLabel() && other->isVisibleTo(w)) {
      EXPECT_FALSE(label.intersects(other->geometry())) << other->objectName().toStdString();
    }
  }
}

TEST(SetConfigureTest, LayoutAndStartingState) {
  CZELVIKDlg dlg(SearchConfig(7000));
  if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
  dlg.m_device_list[0].SetIpText("192.168.1.20");
  dlg.m_device_index = 0;
  CSetConfigure* w = OpenSettings(dlg);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), "Configure");
  EXPECT_EQ(w->size(), QSize(480, 400));
  EXPECT_EQ(w->parentWidget(), &dlg);
  EXPECT_EQ(w->ModeList()->count(), 2);
  EXPECT_EQ(w->ModeList()->itemText(0), "LAN Port");
  EXPECT_EQ(w->ModeList()->itemText(1), "Serial Port");
  EXPECT_EQ(w->ModeList()->currentIndex(), 0);
  EXPECT_EQ(w->IpField()->AddressText(), "192.168.1.20");
  EXPECT_EQ(w->ChangeIpButton()->text(), "Change  IP");
  QStringList bauds;
  for (int i = 0; i < w->BaudList()->count(); ++i) bauds << w->BaudList()->itemText(i);
  EXPECT_EQ(bauds, QStringList({"9600", "19200", "38400", "57600", "115200"}));
  EXPECT_EQ(w->BaudList()->currentIndex(), 0);
  // The serial group is shown, and waits for serial mode.
  for (int id : {kIdSerialPortList, kIdSerialBaudList, kIdSerialConnect, kIdLinkStatusIcon})
    EXPECT_TRUE(w->Item(id)->isVisibleTo(w)) << id;
  EXPECT_FALSE(w->ConnectButton()->isEnabled() || w->PortList()->isEnabled());
  EXPECT_EQ(w->StatusIconId(), 211);

  // Cancel hides; "set" shows it again where it was, with the chosen
  // device's address in place of what was typed.
  w->IpField()->SetAddressText("10.9.8.7");
  w->move(w->pos() + QPoint(13, 7));
  const QPoint moved = w->pos();
  QTest::keyClick(w, Qt::Key_Escape);
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(OpenSettings(dlg), w);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->IpField()->AddressText(), "192.168.1.20");
  EXPECT_EQ(w->pos(), moved);
}

TEST(SetConfigureTest, OpenedInSerialModeShowsItAndSwitchesBack) {
  CZELVIKDlg dlg(SearchConfig(7000));
  dlg.m_eState = kModeSerial;
  CSetConfigure* w = OpenSettings(dlg);
  EXPECT_EQ(w->ModeList()->currentIndex(), 1);
  EXPECT_TRUE(w->PortList()->isEnabled() && w->ConnectButton()->isEnabled());
  EXPECT_FALSE(w->ChangeIpButton()->isEnabled());
  EXPECT_EQ(w->IpField()->AddressText(), "0.0.0.0") << "no device chosen";
  emit w->ModeList()->activated(0);
  EXPECT_EQ(dlg.m_eState, kModeNetwork);
  EXPECT_FALSE(w->PortList()->isEnabled());
  EXPECT_TRUE(w->ChangeIpButton()->isEnabled());
  w->OnModeChanged(1);
  EXPECT_EQ(dlg.m_eState, kModeSerial);
  EXPECT_TRUE(w->PortList()->isEnabled());
  EXPECT_TRUE(w->ConnectButton()->isEnabled());
  EXPECT_FALSE(w->ChangeIpButton()->isEnabled());
  EXPECT_FALSE(w->IpField()->isEnabled());
  w->OnModeChanged(5);  // no such line: nothing changes
  EXPECT_EQ(dlg.m_eState, kModeSerial);
}

TEST(SetConfigureTest, ChangeIpSendsTheSetIpFrameEachPress) {
  test::UdpPeer device;
  CZELVIKDlg dlg(SearchConfig(device.port()));
  if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
  dlg.m_device_list[0].SetIpText("127.0.0.1");
  dlg.m_device_list[0].device_type = 0xA1;
  dlg.m_device_list[0].device_id = 0x01;
  dlg.m_device_index = 0;
  CSetConfigure* w = OpenSettings(dlg);
  // Typed by hand: 10, a dot, a blank field read as 0, then 5 (the third
  // field is left blank).
  w->IpField()->SetAddressText("");
  QTest::keyClicks(w->IpField()->Field(0), "10");
  QTest::keyClick(w->IpField()->Field(0), Qt::Key_Period);
  QTest::keyClicks(w->IpField()->Field(3), "5");
  const uint8_t expected[32] = {
      0xA5, 0x6C, 0x20, 0x00,  // sync, frame_length 32
      0xA1, 0x01, 0x01,        // device_type, device_id, link flag UDP
      0, 0, 0, 0, 0, 0, 0, 0,  // reserved
      0x00, 0x05,              // group, command: set IP
      0x0A, 0x00, 0x00, 0x05,  // the new address 10.0.0.5
      0xFF, 0xFF, 0xFF, 0x00,  // subnet mask 255.255.255.0
      0x0A, 0x00, 0x00, 0x01,  // gateway 10.0.0.1, on the new address's network
      0xF0, 0x04,              // checksum 0x04F0
      0xAE};                   // tail
  test::MessageBoxRecorder boxes;
  std::vector<sockaddr_in> senders;  // where each frame came from
  for (int press = 0; press < 2; ++press) {
    QTest::mouseClick(w->ChangeIpButton(), Qt::LeftButton);
    const auto got = device.Receive(2000);
    ASSERT_TRUE(got) << "press " << press;
    EXPECT_EQ(got->bytes, std::vector<uint8_t>(expected, expected + 32));
    senders.push_back(got->from);
  }
  // A third press, for another address, is a marker: the link sends in
  // order, so any extra frame of the first two presses would come before it.
  test::TypeAddress(w->IpField(), "10.0.0.6");
  QTest::mouseClick(w->ChangeIpButton(), Qt::LeftButton);
  const auto marker = device.Receive(2000);
  ASSERT_TRUE(marker);
  ASSERT_EQ(marker->bytes.size(), 32u);
  EXPECT_EQ(std::vector<uint8_t>(marker->bytes.begin() + 17, marker->bytes.begin() + 21),
            (std::vector<uint8_t>{10, 0, 0, 6})) << "one frame a press";
  senders.push_back(marker->from);
  ASSERT_EQ(boxes.requests.size(), 3u) << "each press asks first";
  // Each press opened a socket of its own and closed it once sent: when the
  // link is idle, the port each frame came from is free to bind again,
  // without sharing.
  ASSERT_TRUE(test::DrainLink(dlg));
  for (const sockaddr_in& from : senders) {
    EXPECT_EQ(from.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(probe, 0);
    EXPECT_EQ(bind(probe, reinterpret_cast<const sockaddr*>(&from), sizeof from), 0)
        << "port " << ntohs(from.sin_port) << " still held: " << std::strerror(errno);
    close(probe);
  }
  EXPECT_EQ(boxes.requests[0].text, "Change the IP address of the device at 127.0.0.1 to 10.0.0.5?");
  EXPECT_EQ(boxes.requests[0].buttons, MessageBoxButtons::kOkCancel);
}

// The address field always shows the chosen device, and "Change  IP" sends
// only an address a device can take, to the device it names, once asked.
TEST(SetConfigureTest, AddressFieldFollowsTheChosenDeviceAndRefusesNoAddress) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Mv", "Router"});
  config.devices[0].type = 0xA1;
  config.devices[1].type = 0x82;
  config.devices[1].faults.delay_ms = 60;  // the multiviewer answers first
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  CZELVIKDlg dlg(SearchConfig(port));
  dlg.show();
  test::MessageBoxRecorder boxes;
  const auto change_ip = [&](CSetConfigure* w, const char* typed) {
    boxes.requests.clear();
    test::TypeAddress(w->IpField(), typed);
    QTest::mouseClick(w->ChangeIpButton(), Qt::LeftButton);
    return boxes.requests.size() == 1 ? boxes.requests[0].text : "(" + std::to_string(boxes.requests.size()) + " notices)";
  };

  // Before a search nothing is chosen: the field is blank and nothing goes.
  CSetConfigure* w = OpenSettings(dlg);
  std::array<uint8_t, 4> ip{};
  EXPECT_EQ(w->IpField()->GetAddress(&ip), 0);
  EXPECT_EQ(change_ip(w, "10.0.0.5"), "Please choose a device");
  QTest::keyClick(w, Qt::Key_Escape);

  EXPECT_TRUE(test::ClickScan(dlg));
  ASSERT_EQ(Lines(dlg.DeviceCombo()), QStringList({"Mv_127.0.0.2", "Router_127.0.0.3"}));
  EXPECT_EQ(OpenSettings(dlg)->IpField()->AddressText(), "127.0.0.2");
  // Choosing another device while the window is open shows that one.
  ASSERT_TRUE(test::ChooseLine(dlg.DeviceCombo(), 1));
  EXPECT_EQ(w->IpField()->AddressText(), "127.0.0.3");

  struct Row {
    const char* typed;
    const char* notice;
  };
  const Row refused[] = {
      {"", "Please enter the new IP address"},
      {"0.0.0.0", "0.0.0.0 stands for this network; a device cannot take it"},
      {"255.255.255.255", "255.255.255.255 is the broadcast address; a device cannot take it"},
      {"224.0.0.1", "224.0.0.1 is a multicast address; a device cannot take it"},
      {"239.255.0.9", "239.255.0.9 is a multicast address; a device cannot take it"},
      {"127.0.0.9", "127.0.0.9 is a loopback address; a device cannot take it"},
  };
  for (const Row& row : refused) EXPECT_EQ(change_ip(w, row.typed), row.notice) << row.typed;
  // The question names the device; declined, nothing goes.
  boxes.answer = MessageBoxAnswer::kCancel;
  EXPECT_EQ(change_ip(w, "10.0.0.5"), "Change the IP address of Router_127.0.0.3 to 10.0.0.5?");
  boxes.answer = MessageBoxAnswer::kOk;
  EXPECT_EQ(change_ip(w, "10.0.0.6"), "Change the IP address of Router_127.0.0.3 to 10.0.0.6?");

  const std::string set_ip = Hex({0xA5, 0x6C, 0x20, 0x00,  // sync, frame_length 32
                                  0x82, 0x02, 0x01,        // the router's type and id, UDP
                                  0, 0, 0, 0, 0, 0, 0, 0,  // reserved
                                  0x00, 0x05,              // group, command: set IP
                                  0x0A, 0x00, 0x00, 0x06,  // 10.0.0.6
                                  0xFF, 0xFF, 0xFF, 0x00,  // subnet mask 255.255.255.0
                                  0x0A, 0x00, 0x00, 0x01,  // gateway 10.0.0.1
                                  0xD3, 0x04, 0xAE});      // checksum 0x04D3, tail
  EXPECT_EQ(FramesOn(runner, "Router", "udp", 1), std::vector<std::string>{set_ip});
  // Frames reach a device in the order they left: nothing refused or
  // declined went to either device before it.
  size_t set_ip_frames = 0;
  for (const std::string& line : runner.sim().LogLines())
    set_ip_frames += line.find("\"command\":\"0x05\"") != std::string::npos;
  EXPECT_EQ(set_ip_frames, 1u);
}

TEST(SetConfigureTest, ConnectAndDisconnectOnAPseudoTerminal) {
  test::PtyPair pty;
  const QString name = QString::fromStdString(pty.slave_path);
  SetExtraSerialPorts({pty.slave_path});
  CZELVIKDlg dlg(SearchConfig(7000));
  CSetConfigure* w = OpenSettings(dlg);
  w->OnModeChanged(1);
  const int line = w->PortList()->findText(name);
  ASSERT_GE(line, 0);
  w->PortList()->setCurrentIndex(line);
  w->BaudList()->setCurrentIndex(4);
  test::TraceRecorder trace;
  QTest::mouseClick(w->ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_TRUE(trace.Has("com open success"));
  EXPECT_TRUE(dlg.m_serial_port.IsOpen());
  EXPECT_EQ(w->ConnectButton()->text(), "Disconnect");
  EXPECT_EQ(w->m_connected, ~0);
  EXPECT_EQ(w->StatusIconId(), 212);
  EXPECT_EQ(qobject_cast<QLabel*>(w->Item(kIdLinkStatusIcon))->pixmap().cacheKey(),
            SkinBitmap(212).cacheKey());
  EXPECT_FALSE(w->PortList()->isEnabled());

  QTest::mouseClick(w->ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_FALSE(dlg.m_serial_port.IsOpen());
  EXPECT_EQ(w->ConnectButton()->text(), "Connect");
  EXPECT_EQ(w->m_connected, 0);
  EXPECT_TRUE(w->BaudList()->isEnabled());

  // A port that will not open changes nothing but the trace.
  w->PortList()->addItem("/dev/zv-missing");
  w->PortList()->setCurrentIndex(w->PortList()->count() - 1);
  QTest::mouseClick(w->ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_TRUE(trace.Has("com open failed"));
  EXPECT_EQ(w->ConnectButton()->text(), "Connect");
  EXPECT_EQ(w->m_connected, 0);

  // Back to the network: the window forgets it opened the port, but an
  // open port stays open.
  w->PortList()->setCurrentIndex(line);
  QTest::mouseClick(w->ConnectButton(), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  ASSERT_TRUE(dlg.m_serial_port.IsOpen());
  emit w->ModeList()->activated(0);
  EXPECT_EQ(w->m_connected, 0);
  EXPECT_EQ(w->StatusIconId(), 211);
  EXPECT_TRUE(dlg.m_serial_port.IsOpen());
  SetExtraSerialPorts({});
}

TEST(IpAddressTest, FieldRules) {
  struct Row {
    const char* text;
    uint8_t value;
  };
  for (const Row& r : {Row{"", 0}, Row{"0", 0}, Row{"7", 7}, Row{"255", 255}, Row{"256", 255},
                       Row{"999", 255}, Row{"1x", 0}})
    EXPECT_EQ(IpFieldValue(r.text), r.value) << r.text;
  using Fields = std::array<std::string, 4>;
  EXPECT_EQ(IpFieldTexts("10.0.0.5"), (Fields{"10", "0", "0", "5"}));
  EXPECT_EQ(IpFieldTexts("10..0.5"), (Fields{"10", "", "0", "5"}));
  EXPECT_EQ(IpFieldTexts("010.300.0.5"), (Fields{"10", "255", "0", "5"}));
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "a.b.c.d", "1.2.3.4567"})
    EXPECT_EQ(IpFieldTexts(bad), Fields{}) << bad;

  CIpAddressCtrl control;
  control.SetAddressText("192.168.1.100");
  std::array<uint8_t, 4> octets{};
  EXPECT_EQ(control.GetAddress(&octets), 4);
  EXPECT_EQ(octets, (std::array<uint8_t, 4>{192, 168, 1, 100}));
  // Typing cannot go past 255.
  control.Field(1)->clear();
  QTest::keyClicks(control.Field(1), "256");
  EXPECT_NE(control.Field(1)->text(), "256");
  control.Field(2)->clear();
  EXPECT_EQ(control.GetAddress(&octets), 3);
  EXPECT_EQ(octets[2], 0);
}

TEST(SerialPortListTest, OnlyPortsWithADeviceBehindThem) {
  const std::string root = testing::TempDir() + "zv_tty_" + std::to_string(getpid());
  const std::string sys = root + "/sys", dev = root + "/dev";
  auto make = [](const std::string& path) { std::system(("mkdir -p '" + path + "'").c_str()); };
  auto write_file = [](const std::string& path, const char* text) {
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(text, f);
    std::fclose(f);
  };
  // ttyS0 has a UART, ttyS1 is an empty slot, tty1 is a console, ttyUSB0 an
  // adapter, ttyACM3 has no device node.
  for (const char* t : {"ttyS0", "ttyS1", "ttyUSB0", "ttyACM3"}) make(sys + "/" + t + "/device");
  make(sys + "/tty1");
  write_file(sys + "/ttyS0/type", "4\n");
  write_file(sys + "/ttyS1/type", "0\n");
  make(dev);
  for (const char* t : {"ttyS0", "ttyS1", "ttyUSB0", "tty1"}) write_file(dev + "/" + t, "");
  EXPECT_EQ(ListSerialPorts(sys, dev), (std::vector<std::string>{dev + "/ttyS0", dev + "/ttyUSB0"}));
  EXPECT_TRUE(ListSerialPorts(root + "/missing", dev).empty());
  std::system(("rm -rf '" + root + "'").c_str());
}

}  // namespace
}  // namespace zv
