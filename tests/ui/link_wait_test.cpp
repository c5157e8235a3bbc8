// The window while the link waits on a device: a heartbeat timer measures
// the longest time the event loop did not run during a scan, a read-back
// and a signal poll of a silent device; a burst of clicks keeps its order
// and spacing on the wire; and a wait is cancelled when its panel goes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <chrono>
#include <memory>
#include <thread>

#include "app/main_window.h"
#include "fourch/fourch_panel.h"
#include "multiview/multiview_control_page.h"
#include "multiview/multiview_panel.h"
#include "res/dialog_templates.h"
#include "switcher/switcher_state.h"
#include "sim/device_sim.h"
#include "support/heartbeat.h"
#include "support/link_drain.h"
#include "support/loopback_link.h"
#include "support/pty_pair.h"
#include "support/recorders.h"
#include "support/sent_times.h"
#include "support/sim_marker.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

void ChooseDevice(CZELVIKDlg& dlg, int line, const char* address, uint8_t type, const char* name) {
  if (dlg.m_device_list.size() <= static_cast<size_t>(line)) dlg.m_device_list.resize(static_cast<size_t>(line) + 1);
  dlg.m_device_list[line].SetIpText(address);
  dlg.m_device_list[line].device_type = type;
  dlg.m_device_list[line].device_id = 1;
  dlg.DeviceCombo()->addItem(name);
  dlg.m_device_index = static_cast<int8_t>(line);
}

// A wait on the device lasts far longer than the heartbeat's worst gap may.
constexpr qint64 kLongestStallMs = 500;

TEST(LinkWaitTest, ScanKeepsTheWindowRunningAndFillsTheList) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Mv", "Router"});
  config.devices[0].type = 0xA1;
  config.devices[0].faults.delay_ms = 60;
  config.devices[1].type = 0x82;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  CZELVIKDlg dlg(test::LoopbackConfig(port));
  test::TraceRecorder trace;
  auto* scan = static_cast<QAbstractButton*>(dlg.Item(kIdScan));
  test::Heartbeat beat(5);
  QTest::mouseClick(scan, Qt::LeftButton);
  EXPECT_FALSE(scan->isEnabled()) << "the button shows that a search runs";
  EXPECT_TRUE(dlg.StatusText().startsWith("Searching"));
  QTest::mouseClick(scan, Qt::LeftButton);  // a second click starts nothing
  // The list fills while the search window is still open.
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.DeviceCombo()->count() == 2; }, 1500));
  EXPECT_TRUE(dlg.Searching());
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_LT(beat.LongestGapMs(), kLongestStallMs);
  EXPECT_TRUE(scan->isEnabled());
  int searches = 0;
  for (const std::string& line : trace.lines) searches += line == "net search";
  EXPECT_EQ(searches, 1);
  ASSERT_EQ(dlg.DeviceCombo()->count(), 2);
  EXPECT_EQ(dlg.DeviceCombo()->itemText(0), "Router_127.0.0.3");
  EXPECT_EQ(dlg.DeviceCombo()->itemText(1), "Mv_127.0.0.2");
  ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);
  EXPECT_EQ(dlg.m_p_mian_show_dlg->Resource(), 206);
  EXPECT_EQ(dlg.StatusText(), "Search over: 2 found");
}

TEST(LinkWaitTest, APanelShowsAtOnceWhileASilentDeviceIsRead) {
  // A multiviewer on a serial line nobody answers: its read-back window is
  // five seconds.
  test::PtyPair pty;
  ASSERT_GE(pty.master, 0);
  CZELVIKDlg dlg(test::LoopbackConfig(test::FreeUdpPort()));
  dlg.m_eState = kModeSerial;
  dlg.m_main_com_dev_type = 0xA1;
  ChooseDevice(dlg, 0, "", 0xA1, "Mv");
  ASSERT_TRUE(test::OpenSerialPortAndWait(dlg, pty.slave_path, 115200));
  test::Heartbeat beat(5);
  dlg.OpenDevicePanel();
  auto* host = qobject_cast<CClass_16view_dlg*>(dlg.m_p_mian_show_dlg.data());
  ASSERT_NE(host, nullptr);
  auto* control = qobject_cast<CClass_16view_control*>(host->m_p_cur_page.data());
  ASSERT_NE(control, nullptr);
  EXPECT_FALSE(control->isEnabled()) << "the controls wait for the device";
  EXPECT_EQ(dlg.StatusText(), "Reading Mv");
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_LT(beat.LongestGapMs(), kLongestStallMs);
  EXPECT_TRUE(control->isEnabled());
  EXPECT_EQ(dlg.StatusText(), "No answer from Mv (5 s)");
}

TEST(LinkWaitTest, TheSignalPollOfASilentDeviceNeverHoldsTheWindow) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Quad"}, 0x60);
  config.devices[0].faults.silent = true;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  CZELVIKDlg dlg(test::LoopbackConfig(port));
  ChooseDevice(dlg, 0, "127.0.0.2", 0x60, "Quad_127.0.0.2");
  test::Heartbeat beat(5);
  dlg.OpenDevicePanel();  // the read-back and the first poll, a second each
  auto* panel = qobject_cast<CClass_trisk_main_dlg*>(dlg.m_p_mian_show_dlg.data());
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->ReadingState());
  EXPECT_FALSE(panel->isEnabled());
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_TRUE(panel->isEnabled());
  // The five-second tick.
  QTimerEvent tick(panel->QtTimerOf(CClass_trisk_main_dlg::kSignalTimerId));
  QCoreApplication::sendEvent(panel, &tick);
  QCoreApplication::sendEvent(panel, &tick);  // a poll still waits: not asked twice
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_LT(beat.LongestGapMs(), kLongestStallMs);
  EXPECT_EQ(dlg.StatusText(), "No answer from Quad_127.0.0.2 (1 s)");
  int polls = 0;
  for (const std::string& line : runner.sim().LogLines()) polls += line.find("\"0xaa\"") != std::string::npos;
  EXPECT_EQ(polls, 2) << "the first poll and one tick";
}

TEST(LinkWaitTest, ABurstOfClicksLeavesInOrderTenMillisecondsApart) {
  test::UdpPeer device;
  ASSERT_TRUE(device.ok());
  CZELVIKDlg dlg(test::LoopbackConfig(device.port()));
  ChooseDevice(dlg, 0, "127.0.0.1", 0xA5, "PS_127.0.0.1");
  dlg.OpenDevicePanel();
  ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);
  test::SentTimes sent;
  // Programme sources 1 to 8 as fast as the mouse goes.
  for (int n = 0; n < 8; ++n)
    QTest::mouseClick(
        static_cast<QAbstractButton*>(dlg.m_p_mian_show_dlg->Item(kPgmSourceButtons[static_cast<size_t>(n)])),
        Qt::LeftButton);
  for (int n = 1; n <= 8; ++n) {
    const auto d = device.Receive(3000);
    ASSERT_TRUE(d) << n;
    ASSERT_EQ(d->bytes.size(), 21u);
    EXPECT_EQ(d->bytes[16], 0x80);  // programme source
    EXPECT_EQ(d->bytes[17], n);
  }
  const auto sent_at = sent.Times(8);
  ASSERT_EQ(sent_at.size(), 8u);
  for (size_t i = 1; i < sent_at.size(); ++i)
    EXPECT_GE(sent_at[i] - sent_at[i - 1], std::chrono::milliseconds(10)) << "between frames " << i << " and " << i + 1;
  // The status strip says so once the link reported the last one left.
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_EQ(dlg.StatusText(), "Sent: Program to PS_127.0.0.1");
}

TEST(LinkWaitTest, SwitchingDevicesOrClosingCancelsTheWait) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Quad", "PS"});
  config.devices[0].type = 0x60;
  config.devices[0].faults.silent = true;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  {
    CZELVIKDlg dlg(test::LoopbackConfig(port));
    ChooseDevice(dlg, 0, "127.0.0.2", 0x60, "Quad_127.0.0.2");
    ChooseDevice(dlg, 1, "127.0.0.3", 0xA5, "PS_127.0.0.3");
    dlg.m_device_index = 0;
    dlg.OpenDevicePanel();
    // The read-back waits; the operator picks the switcher meanwhile.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !runner.sim().LogLines().empty(); }, 3000));
    emit dlg.DeviceCombo()->activated(1);
    ASSERT_TRUE(test::DrainLink(dlg));
    ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);
    EXPECT_EQ(dlg.m_p_mian_show_dlg->Resource(), 237);
    EXPECT_EQ(dlg.StatusText(), "") << "nothing reported for the panel that is gone";
    const auto log = test::LogBeforeMarker(runner, "127.0.0.2", port);
    ASSERT_TRUE(log);
    ASSERT_EQ(log->size(), 1u) << "the read-back only; its queued poll never left";
    EXPECT_NE((*log)[0].find("\"0x90\""), std::string::npos);
  }
  {
    // Closed while a read-back waits: the window goes at once.
    auto dlg = std::make_unique<CZELVIKDlg>(test::LoopbackConfig(port));
    ChooseDevice(*dlg, 0, "127.0.0.2", 0x60, "Quad_127.0.0.2");
    const size_t before = runner.sim().LogLines().size();
    dlg->OpenDevicePanel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return runner.sim().LogLines().size() > before; }, 3000));
    QElapsedTimer closing;
    closing.start();
    dlg->accept();
    dlg.reset();
    EXPECT_LT(closing.elapsed(), 900) << "the one-second wait was cut short";
  }
}

}  // namespace
}  // namespace zv
