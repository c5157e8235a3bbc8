// Panels follow their devices: while a multiviewer or four-channel panel is
// shown, the device is read back every period; what someone changed at the
// device moves the controls and marks them, sends nothing back, and never
// moves a control the operator is working in.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "controls/change_marks.h"
#include "fourch/fourch_panel.h"
#include "multiview/multiview_control_page.h"
#include "multiview/multiview_panel.h"
#include "multiview/multiview_umd_page.h"
#include "session/device_session.h"
#include "sim/fourch_device.h"
#include "sim/multiview_device.h"
#include "support/link_drain.h"
#include "support/loopback_link.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

constexpr int kPeriodMs = 150;
constexpr int kWaitMs = 5000;

// The main window with one virtual device of `type` at 127.0.0.2, its
// panels following the device every kPeriodMs.
class FollowTest : public testing::Test {
 protected:
  void Start(uint8_t type) {
    DeviceSession::SetFollowPeriodMs(kPeriodMs);
    m_port = test::FreeUdpPort();
    m_config = test::LoopbackSim(m_port, {"Dev"}, type);
    m_runner = std::make_unique<test::SimRunner>(m_config);
    ASSERT_TRUE(m_runner->started()) << m_runner->error();
    m_dlg = std::make_unique<CZELVIKDlg>(test::LoopbackConfig(m_port));
    m_dlg->m_device_list.resize(1);
    m_dlg->m_device_list[0].SetIpText("127.0.0.2");
    m_dlg->m_device_list[0].device_type = type;
    m_dlg->m_device_list[0].device_id = 1;
    m_dlg->m_device_index = 0;
    m_dlg->DeviceCombo()->addItem("Dev_127.0.0.2");
    m_dlg->show();
    m_dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
    m_dlg->OpenDevicePanel();
    ASSERT_TRUE(test::DrainLink(*m_dlg));
  }
  void TearDown() override {
    m_dlg.reset();
    m_runner.reset();
    DeviceSession::SetFollowPeriodMs(0);
  }

  // The command bytes the device received after the first `from` frames.
  std::set<std::string> CommandsSince(size_t from) {
    static const std::regex kFrame("\"command\":\"0x([0-9a-f]{2})\"");
    std::set<std::string> commands;
    const std::vector<std::string> lines = m_runner->sim().LogLines();
    for (size_t i = from; i < lines.size(); ++i) {
      std::smatch m;
      if (std::regex_search(lines[i], m, kFrame)) commands.insert(m[1].str());
    }
    return commands;
  }
  size_t LogSize() { return m_runner->sim().LogLines().size(); }
  sim::MultiviewerDevice& Multiviewer() {
    return dynamic_cast<sim::MultiviewerDevice&>(m_runner->sim().Device(0));
  }
  sim::FourChannelDevice& FourChannel() {
    return dynamic_cast<sim::FourChannelDevice&>(m_runner->sim().Device(0));
  }
  CClass_16view_dlg* MultiviewPanel() { return qobject_cast<CClass_16view_dlg*>(m_dlg->m_p_mian_show_dlg.data()); }

  uint16_t m_port = 0;
  sim::SimConfig m_config;
  std::unique_ptr<test::SimRunner> m_runner;
  std::unique_ptr<CZELVIKDlg> m_dlg;
};

bool Marked(QWidget* control) { return control && ChangeMarkOf(control) != nullptr; }

// Someone at the multiviewer sets nine windows and SDI 7 in window 3: the
// control page shows both within a period or two, marks exactly those
// controls, and sends the device nothing but its readings.
TEST_F(FollowTest, MultiviewerChangeAtTheDeviceShowsMarkedAndSendsNothing) {
  Start(0xA1);
  CClass_16view_dlg* host = MultiviewPanel();
  ASSERT_NE(host, nullptr);
  auto* page = qobject_cast<CClass_16view_control*>(host->m_p_cur_page.data());
  ASSERT_NE(page, nullptr);
  auto* layout_list = qobject_cast<QComboBox*>(page->Item(CClass_16view_control::kIdLayoutList));
  auto* window1 = qobject_cast<QComboBox*>(page->Item(CClass_16view_control::kIdFirstSourceList));
  auto* window3 = qobject_cast<QComboBox*>(page->Item(CClass_16view_control::kIdFirstSourceList + 2));
  ASSERT_TRUE(layout_list && window1 && window3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return page->isEnabled(); }, kWaitMs));
  const QString layout_before = layout_list->currentText();
  const size_t mark = LogSize();

  sim::MultiviewerDeviceState s = Multiviewer().State();
  s.layout_code = 9;
  s.sources[2] = 7;
  Multiviewer().SetState(s);

  ASSERT_TRUE(QTest::qWaitFor([&] { return window3->currentText() == "SDI 7"; }, kWaitMs));
  EXPECT_NE(layout_list->currentText(), layout_before);
  EXPECT_EQ(host->Session().Record().m_cur_window_count, 9);
  QWidget* nine = page->Item(CClass_16view_control::kIdFirstLayoutButton + 4);  // nine windows
  ASSERT_TRUE(QTest::qWaitFor([&] { return Marked(window3) && Marked(nine); }, kWaitMs));
  EXPECT_FALSE(Marked(window1)) << "window 1 did not change";
  // Marks go after a few seconds.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Marked(window3); }, kChangeMarkMs + kWaitMs));

  EXPECT_EQ(CommandsSince(mark), (std::set<std::string>{"32"})) << "readings only, nothing sent back";
  EXPECT_EQ(Multiviewer().State().layout_code, 9);
}

// The operator has window 1's list open, and the label of window 2 typed
// but not sent, when both change at the device: neither moves under their
// hands; each shows the device's value, marked, once they leave it.
TEST_F(FollowTest, WhatTheOperatorIsEditingIsNotOverwritten) {
  Start(0xA1);
  CClass_16view_dlg* host = MultiviewPanel();
  ASSERT_NE(host, nullptr);
  auto* page = qobject_cast<CClass_16view_control*>(host->m_p_cur_page.data());
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return page->isEnabled(); }, kWaitMs));
  auto* window1 = qobject_cast<QComboBox*>(page->Item(CClass_16view_control::kIdFirstSourceList));
  ASSERT_NE(window1, nullptr);
  const QString shown = window1->currentText();
  QTest::mouseClick(window1, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window1->view()->isVisible(); }, kWaitMs));

  sim::MultiviewerDeviceState s = Multiviewer().State();
  s.sources[0] = 4;
  Multiviewer().SetState(s);
  const MultiviewSession& session = host->Session();
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.Record().m_16_view_window_source[0] == 4; }, kWaitMs));
  QTest::qWait(2 * kPeriodMs);  // two more readings
  EXPECT_EQ(window1->currentText(), shown) << "the open list keeps its line";
  QTest::keyClick(window1->view(), Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window1->view()->isVisible(); }, kWaitMs));
  EXPECT_TRUE(QTest::qWaitFor([&] { return window1->currentText() == "SDI 4"; }, kWaitMs));
  EXPECT_TRUE(Marked(window1));

  // The labels page: a label typed in window 2's box, not sent.
  QTest::mouseClick(qobject_cast<QWidget*>(host->Item(1011)), Qt::LeftButton);  // the labels page
  auto* umd = qobject_cast<CClass_16view_umd*>(host->m_p_cur_page.data());
  ASSERT_NE(umd, nullptr);
  QLineEdit* box = umd->Edit(1);
  ASSERT_NE(box, nullptr);
  QTest::mouseClick(box, Qt::LeftButton);
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(box, "Typed");
  s = Multiviewer().State();
  s.labels[1] = {'F', 0, 'r', 0, 'o', 0, 'n', 0, 't', 0};
  Multiviewer().SetState(s);
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.Record().m_16_view_umd_name[1] == u"Front"; }, kWaitMs));
  QTest::qWait(2 * kPeriodMs);
  EXPECT_EQ(box->text(), "Typed");
  // The operator moves on to window 3's box without sending.
  QTest::mouseClick(umd->Edit(2), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return box->text() == "Front"; }, kWaitMs));
  EXPECT_TRUE(Marked(box));
  EXPECT_EQ(Multiviewer().State().labels[1].size(), 10u) << "the typed label was never sent";
}

// The four-channel switcher's picture-in-picture channels change at the
// device: the lists follow, marked; a device that goes silent is said once
// in the status strip, and its return too.
TEST_F(FollowTest, FourChannelFollowsAndSaysWhenItGoesSilent) {
  Start(0x60);
  auto* panel = qobject_cast<CClass_trisk_main_dlg*>(m_dlg->m_p_mian_show_dlg.data());
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel->isEnabled(); }, kWaitMs));
  auto* first = qobject_cast<QComboBox*>(panel->Item(kIdTriskFirstPipList));
  ASSERT_NE(first, nullptr);
  const size_t mark = LogSize();
  sim::FourChannelState s = FourChannel().State();
  s.show_mode = 1;  // one inset: the first list is in use
  s.pip_child_ch = {3, 1};
  FourChannel().SetState(s);
  ASSERT_TRUE(QTest::qWaitFor([&] { return first->currentText() == "3"; }, kWaitMs));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Marked(first); }, kWaitMs));
  std::set<std::string> commands = CommandsSince(mark);
  commands.erase("90");  // the readings
  commands.erase("aa");  // the signal polls
  EXPECT_TRUE(commands.empty()) << "nothing sent back, got " << *commands.begin();

  m_runner.reset();  // the device goes silent
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_dlg->StatusText().contains("does not answer"); }, kWaitMs));
  EXPECT_TRUE(m_dlg->StatusText().startsWith("Dev_127.0.0.2"));
  m_runner = std::make_unique<test::SimRunner>(m_config);
  ASSERT_TRUE(m_runner->started());
  EXPECT_TRUE(QTest::qWaitFor([&] { return m_dlg->StatusText().contains("answers again"); }, kWaitMs));
}

}  // namespace
}  // namespace zv
