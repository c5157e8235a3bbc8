// The real main window (offscreen) against virtual devices that misbehave:
// silent, late, truncated, junk before every answer, answers from another
// address, a flood of datagrams; the local port held by another program;
// a serial line whose far end goes away. Nothing may crash, a bad reply
// must not wipe what was read before, and the next scan must work.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "multiview/multiview_panel.h"
#include "res/dialog_templates.h"
#include "sim/device_sim.h"
#include "sim/multiview_device.h"
#include "support/link_drain.h"
#include "support/pty_pair.h"
#include "support/recorders.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

LinkConfig Aimed(uint16_t device_port, uint16_t local_port = 0) {
  LinkConfig c;
  c.device_port = device_port;
  c.local_port = local_port;
  c.search_address = "127.0.0.1";
  return c;
}

bool Listed(const CZELVIKDlg& dlg, const QString& line) {
  return dlg.DeviceCombo()->findText(line) >= 0;
}

// Scans and waits for the end of the search.
void Scan(CZELVIKDlg& dlg) {
  dlg.OnScanButton();
  ASSERT_TRUE(test::DrainLink(dlg));
  ASSERT_FALSE(dlg.Searching());
}

// The record of the multiviewer whose panel is open.
const MultiviewerState& Mv(CZELVIKDlg& dlg) {
  static const MultiviewerState kNone;
  auto* host = qobject_cast<CClass_16view_dlg*>(dlg.m_p_mian_show_dlg.data());
  return host ? host->Session().Record() : kNone;
}

// Opens the multiviewer at `address` as if chosen from the list, and waits
// for its read-back.
void OpenMultiviewer(CZELVIKDlg& dlg, const char* address, const char* line) {
  dlg.DeviceCombo()->clear();
  if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
  dlg.m_device_list[0] = DeviceEntry{};
  dlg.m_device_list[0].SetIpText(address);
  dlg.m_device_list[0].device_type = 0xA1;
  dlg.m_device_list[0].device_id = 1;
  dlg.DeviceCombo()->addItem(line);
  dlg.m_device_index = 0;
  dlg.OpenDevicePanel();
  ASSERT_TRUE(test::DrainLink(dlg));
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// ---- one misbehaving multiviewer beside a good one --------------------------

struct DeviceFault {
  const char* name;
  sim::FaultOptions faults;
  int window_count;  // after the bad device's reply: 1 is a record never read
  int last_source;   // window 16's input after it: 0 is a record never read
};

sim::FaultOptions Truncated(int n) {
  sim::FaultOptions f;
  f.truncate = n;
  return f;
}

// A reply cut short is applied as far as it goes (the layout byte is the
// 19th, the sixteen inputs bytes 553 to 568); what lies beyond the cut keeps
// what the bad device's own record held: the good device's values (nine
// windows, input 11) stay in the good device's record.
const DeviceFault kDeviceFaults[] = {
    {"silent", {.silent = true}, 1, 0},
    {"late", {.delay_ms = 400}, 1, 0},  // the read-back window is 200 ms
    {"truncated0", Truncated(0), 1, 0},
    {"truncated1", Truncated(1), 1, 0},
    {"truncated4", Truncated(4), 1, 0},
    {"truncated16", Truncated(16), 1, 0},
    {"truncated17", Truncated(17), 1, 0},
    {"truncated18", Truncated(18), 1, 0},
    {"truncated19", Truncated(19), 16, 0},
    {"truncated25", Truncated(25), 16, 0},
    {"truncated58", Truncated(58), 16, 0},
    {"truncated300", Truncated(300), 16, 0},
    {"truncated553", Truncated(553), 16, 0},
    {"truncated668", Truncated(668), 16, 16},
    {"junk_before_answers", {.garbage = 40}, 16, 16},
    {"answers_from_another_address", {.answer_from = "127.0.0.9"}, 1, 0},
};

class DeviceFaultTest : public ::testing::TestWithParam<DeviceFault> {};

TEST_P(DeviceFaultTest, KeepsWhatWasReadAndScansAgain) {
  const DeviceFault& c = GetParam();
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Good", "Bad"}, 0xA1);
  config.devices[1].faults = c.faults;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  // Nine windows and every window on input code 11; the bad device keeps
  // its sixteen windows with input code n in window n.
  sim::MultiviewerDeviceState good = sim::MultiviewerDeviceState::Defaults();
  good.layout_code = 9;
  good.sources.fill(11);
  static_cast<sim::MultiviewerDevice&>(runner.sim().Device(0)).SetState(good);
  test::MessageBoxRecorder boxes;
  CZELVIKDlg dlg(Aimed(port));

  Scan(dlg);
  EXPECT_TRUE(Listed(dlg, "Good_127.0.0.2"));
  OpenMultiviewer(dlg, "127.0.0.2", "Good_127.0.0.2");
  ASSERT_EQ(Mv(dlg).m_cur_window_count, 9);
  ASSERT_EQ(Mv(dlg).m_16_view_state_read, 1);
  ASSERT_EQ(Mv(dlg).m_16_view_window_source[15], 11);

  OpenMultiviewer(dlg, "127.0.0.3", "Bad_127.0.0.3");
  ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);
  EXPECT_EQ(Mv(dlg).m_cur_window_count, c.window_count);
  EXPECT_EQ(Mv(dlg).m_16_view_window_source[15], c.last_source)
      << "a reply that is not whole leaves what lies beyond it";

  // A command still goes out and the panel lives on whatever comes back.
  auto* host = qobject_cast<CClass_16view_dlg*>(dlg.m_p_mian_show_dlg.data());
  ASSERT_NE(host, nullptr);
  QWidget* page = host->m_p_cur_page.data();
  ASSERT_NE(page, nullptr);
  const size_t logged = runner.sim().LogLines().size();
  const int other_layout = Mv(dlg).m_cur_window_count == 9 ? 1038 : 1036;
  auto* button = qobject_cast<QAbstractButton*>(page->findChild<QWidget*>(QString::number(other_layout)));
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  ASSERT_TRUE(QTest::qWaitFor([&] { return runner.sim().LogLines().size() > logged; }, 5000));

  Scan(dlg);
  EXPECT_TRUE(Listed(dlg, "Good_127.0.0.2"));
  ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr) << "the first device's panel opens after the scan";
}

INSTANTIATE_TEST_SUITE_P(Faults, DeviceFaultTest, ::testing::ValuesIn(kDeviceFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- a flood --------------------------------------------------------------

TEST(FloodTest, ScansThroughAFloodOfJunkAtLowCost) {
  const uint16_t port = test::FreeUdpPort();
  // The window binds a port of its own, so the flood finds an open socket
  // whenever a search listens.
  const uint16_t local = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Good", "Flood"}, 0xA1);
  config.devices[1].faults.flood_per_second = 10000;
  config.devices[1].faults.flood_ms = 3000;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  CZELVIKDlg dlg(Aimed(port, local));

  QElapsedTimer wall;
  wall.start();
  const double cpu_before = ProcessCpuSeconds() - runner.CpuSeconds();
  int scans = 0;
  while (wall.elapsed() < 3500) {
    Scan(dlg);
    ++scans;
    EXPECT_TRUE(Listed(dlg, "Good_127.0.0.2")) << "scan " << scans;
  }
  const double cpu = ProcessCpuSeconds() - runner.CpuSeconds() - cpu_before;
  const double share = cpu / (static_cast<double>(wall.elapsed()) / 1000.0);
  RecordProperty("program_cpu_share_percent", std::to_string(share * 100));
  // A generous bound: a program that spun on the junk would take a whole core.
  EXPECT_LT(share, 0.5) << scans << " scans, " << cpu << " s of CPU";

  Scan(dlg);
  EXPECT_TRUE(Listed(dlg, "Good_127.0.0.2"));
  EXPECT_TRUE(Listed(dlg, "Flood_127.0.0.3"));
}

// ---- the local port held by another program --------------------------------

TEST(PortHeldTest, ASearchSaysSoAndWorksOnceThePortIsFree) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Good"}, 0xA1);
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  // Another program holds the window's local port, without address reuse.
  const uint16_t local = test::FreeUdpPort();
  int holder = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(holder, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(local);
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  test::MessageBoxRecorder boxes;
  CZELVIKDlg dlg(Aimed(port, local));

  Scan(dlg);
  EXPECT_EQ(dlg.StatusText(), "Search failed: the local port could not be opened");
  EXPECT_FALSE(Listed(dlg, "Good_127.0.0.2"));
  // A panel opened by hand still reads its device: commands and read-backs
  // leave from a port the system picks.
  OpenMultiviewer(dlg, "127.0.0.2", "Good_127.0.0.2");
  EXPECT_EQ(Mv(dlg).m_16_view_state_read, 1);

  close(holder);
  Scan(dlg);
  EXPECT_TRUE(Listed(dlg, "Good_127.0.0.2"));
}

// ---- a serial line whose far end goes away ----------------------------------

TEST(SerialLineTest, AFarEndThatClosesLeavesThePanelWorking) {
  test::PtyPair pty;
  ASSERT_GE(pty.master, 0);
  test::MessageBoxRecorder boxes;
  CZELVIKDlg dlg(Aimed(test::FreeUdpPort()));
  dlg.m_eState = kModeSerial;
  dlg.m_main_com_dev_type = 0x82;
  dlg.DeviceCombo()->addItem("Router");
  if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
  dlg.m_device_list[0].device_type = 0x82;
  dlg.m_device_list[0].device_id = 1;
  dlg.m_device_index = 0;
  ASSERT_TRUE(test::OpenSerialPortAndWait(dlg, pty.slave_path, 115200));
  dlg.OpenDevicePanel();
  ASSERT_TRUE(test::DrainLink(dlg));
  ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);

  pty.CloseMaster();
  // Every button of the panel, pressed once with the line gone.
  // A press may replace a page, so the buttons are held by guarded pointers.
  std::vector<QPointer<QAbstractButton>> buttons;
  for (QAbstractButton* b : dlg.m_p_mian_show_dlg->findChildren<QAbstractButton*>()) buttons.emplace_back(b);
  ASSERT_FALSE(buttons.empty());
  for (const QPointer<QAbstractButton>& b : buttons) {
    if (!b || !b->isVisible() || !b->isEnabled()) continue;
    b->click();
    ASSERT_TRUE(test::DrainLink(dlg));
  }
  // The port's watch sees the hang-up on its own.
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.SerialLineLost(); }, 5000));
  dlg.CloseSerialPortIfLineLost(nullptr);
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_FALSE(dlg.SerialPortOpen()) << "the lost line is closed";
  // A serial scan now says the port is not open instead of claiming a device.
  Scan(dlg);
  EXPECT_EQ(dlg.DeviceCombo()->count(), 0);
  EXPECT_EQ(dlg.StatusText(), "Serial port not open");
}

}  // namespace
}  // namespace zv
