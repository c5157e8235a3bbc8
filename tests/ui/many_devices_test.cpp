// Several devices at once: panels in windows of their own beside the main
// window's panel area, each a view of its device's session; the device list
// with a filter; presence; the windows put back at the next start.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>

#include "app/device_browser.h"
#include "app/main_window.h"
#include "app/panel_window.h"
#include "app/set_configure.h"
#include "controls/button_st.h"
#include "multiview/multiview_control_page.h"
#include "multiview/multiview_panel.h"
#include "sim/multiview_device.h"
#include "sim/switcher_device.h"
#include "support/link_drain.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/ui_input.h"
#include "switcher/switcher_session.h"
#include "switcher/switcher_state.h"

namespace zv {
namespace {

constexpr int kWaitMs = 5000;
constexpr int kFaceProgramSelected3 = 255;  // Program 3's face when on air

// Two production switchers and a multiviewer on loopback, found by a scan.
class ManyDevicesTest : public testing::Test {
 protected:
  void SetUp() override {
    m_port = test::FreeUdpPort();
    m_config = test::LoopbackSim(m_port, {"PS", "PSB", "Mv"});
    m_config.devices[2].type = 0xA1;
    m_runner = std::make_unique<test::SimRunner>(m_config);
    ASSERT_TRUE(m_runner->started()) << m_runner->error();
    m_dlg = NewWindow();
    ASSERT_TRUE(test::ClickScan(*m_dlg));
    ASSERT_EQ(m_dlg->DeviceCombo()->count(), 3);
  }
  void TearDown() override {
    m_dlg.reset();
    m_runner.reset();
  }
  std::unique_ptr<CZELVIKDlg> NewWindow() {
    LinkConfig c;
    c.device_port = m_port;
    c.local_port = 0;
    c.search_address = "127.0.0.1";
    auto dlg = std::make_unique<CZELVIKDlg>(c);
    dlg->SetPanelWindowsFile(m_dir.filePath("Configure.ini").toStdString());
    dlg->show();
    return dlg;
  }
  int LineOf(const QString& text) const { return m_dlg->DeviceCombo()->findText(text); }
  sim::SwitcherDevice& Switcher(int i) {
    return dynamic_cast<sim::SwitcherDevice&>(m_runner->sim().Device(static_cast<size_t>(i)));
  }
  // The device list window's line showing `text`.
  QModelIndex BrowserLine(const QString& text) {
    QListView* list = m_dlg->Browser()->List();
    const QModelIndexList found = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, text, 1,
                                                       Qt::MatchExactly);
    return found.isEmpty() ? QModelIndex() : found.first();
  }
  static CButtonST* Button(QWidget* panel, int id) {
    return qobject_cast<CButtonST*>(static_cast<CChildDialog*>(panel)->Item(id));
  }

  QTemporaryDir m_dir;
  uint16_t m_port = 0;
  sim::SimConfig m_config;
  std::unique_ptr<test::SimRunner> m_runner;
  std::unique_ptr<CZELVIKDlg> m_dlg;
};

// Two switchers, each in a window of its own (a double click and Ctrl+Enter
// on their lines in the device list): each window's Program 3 / Program 5
// reaches its own device only; the device chosen in the main window shares
// its session with its window, so a press in either view shows in both.
TEST_F(ManyDevicesTest, PanelWindowsSendToTheirOwnDevicesAndAgreeWithThePanelArea) {
  QTest::keyClick(m_dlg.get(), Qt::Key_D, Qt::ControlModifier);
  ASSERT_NE(m_dlg->Browser(), nullptr);
  QListView* list = m_dlg->Browser()->List();
  const QModelIndex ps = BrowserLine("PS_127.0.0.2");
  ASSERT_TRUE(ps.isValid());
  const QPoint at = list->visualRect(ps).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  list->setCurrentIndex(BrowserLine("PSB_127.0.0.3"));
  QTest::keyClick(list, Qt::Key_Return, Qt::ControlModifier);

  const std::vector<PanelWindow*> windows = m_dlg->PanelWindows();
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0]->windowTitle(), "PS_127.0.0.2");
  EXPECT_EQ(windows[1]->windowTitle(), "PSB_127.0.0.3");
  QTest::mouseClick(Button(windows[0]->Panel(), kPgmSourceButtons[2]), Qt::LeftButton);
  QTest::mouseClick(Button(windows[1]->Panel(), kPgmSourceButtons[4]), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(*m_dlg));
  ASSERT_TRUE(test::DeviceHasLoggedAll("127.0.0.2", m_port));
  ASSERT_TRUE(test::DeviceHasLoggedAll("127.0.0.3", m_port));
  EXPECT_EQ(Switcher(0).State().zv_switcher_pgm_source, 3);
  EXPECT_EQ(Switcher(1).State().zv_switcher_pgm_source, 5);
  EXPECT_EQ(windows[0]->StatusText(), "Sent: Program to PS_127.0.0.2");

  // The first switcher chosen in the main window: the same session.
  const int line = LineOf("PS_127.0.0.2");
  m_dlg->DeviceCombo()->setCurrentIndex(line);
  emit m_dlg->DeviceCombo()->activated(line);
  QWidget* area = m_dlg->m_p_mian_show_dlg.data();
  ASSERT_NE(area, nullptr);
  EXPECT_EQ(Button(area, kPgmSourceButtons[2])->FaceImageId(), kFaceProgramSelected3) << "shown as the window left it";
  QTest::mouseClick(Button(area, kPgmSourceButtons[3]), Qt::LeftButton);
  EXPECT_EQ(Button(windows[0]->Panel(), kPgmSourceButtons[3])->FaceImageId(),
            Button(area, kPgmSourceButtons[3])->FaceImageId());
  EXPECT_NE(Button(windows[0]->Panel(), kPgmSourceButtons[2])->FaceImageId(), kFaceProgramSelected3);
  EXPECT_EQ(static_cast<SwitcherSession&>(windows[1]->Session()).Data().zv_switcher_pgm_source, 5)
      << "the other switcher's record is its own";
  // Asked again for an open device, the list raises its window.
  m_dlg->OpenPanelWindow(line);
  EXPECT_EQ(m_dlg->PanelWindows().size(), 2u);
}

// The panel area's connection set to the serial line (in the settings
// window, by its list) is the shown device's: a multiviewer in a window of
// its own still goes by the network, where its session was made.
TEST_F(ManyDevicesTest, ThePanelAreasSerialLineIsNotAnotherWindowsDevicesLine) {
  QTest::keyClick(m_dlg.get(), Qt::Key_D, Qt::ControlModifier);
  ASSERT_NE(m_dlg->Browser(), nullptr);
  QListView* list = m_dlg->Browser()->List();
  list->setCurrentIndex(BrowserLine("Mv_127.0.0.4"));
  QTest::keyClick(list, Qt::Key_Return, Qt::ControlModifier);
  ASSERT_EQ(m_dlg->PanelWindows().size(), 1u);
  PanelWindow* window = m_dlg->PanelWindows()[0];
  auto* panel = qobject_cast<CClass_16view_dlg*>(window->Panel());
  ASSERT_NE(panel, nullptr);
  auto* page = qobject_cast<CClass_16view_control*>(panel->m_p_cur_page.data());
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return page->isEnabled(); }, kWaitMs)) << "the multiviewer was not read";
  ASSERT_NE(m_dlg->m_p_mian_show_dlg.data(), nullptr) << "the panel area shows the first switcher";

  QTest::mouseClick(static_cast<QAbstractButton*>(m_dlg->Item(kIdSet)), Qt::LeftButton);
  CSetConfigure* settings = m_dlg->m_pSetConfigure;
  ASSERT_NE(settings, nullptr);
  ASSERT_TRUE(test::ChooseLine(settings->ModeList(), kModeSerial));
  ASSERT_EQ(m_dlg->m_eState, kModeSerial);

  QTest::mouseClick(page->Item(CClass_16view_control::kIdFirstLayoutButton + 4), Qt::LeftButton);  // nine
  ASSERT_TRUE(test::DrainLink(*m_dlg));
  ASSERT_TRUE(test::DeviceHasLoggedAll("127.0.0.4", m_port));
  auto& multiviewer = dynamic_cast<sim::MultiviewerDevice&>(m_runner->sim().Device(2));
  EXPECT_EQ(multiviewer.State().layout_code, 9) << "the frame went down the serial line";
}

// The filter narrows the list by any part of a line and by family.
TEST_F(ManyDevicesTest, TheDeviceListFilters) {
  m_dlg->ShowDeviceBrowser();
  DeviceBrowser* browser = m_dlg->Browser();
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->ShownCount(), 3);
  QTest::keyClicks(browser->FilterField(), "127.0.0.3");
  EXPECT_EQ(browser->ShownCount(), 1);
  browser->FilterField()->clear();
  QTest::keyClicks(browser->FilterField(), "multiv");  // the family's name
  EXPECT_EQ(browser->ShownCount(), 1);
  browser->FilterField()->clear();
  QComboBox* family = browser->FamilyList();
  const int switchers = family->findText("production switcher");
  ASSERT_GE(switchers, 0);
  family->setCurrentIndex(switchers);
  emit family->activated(switchers);
  EXPECT_EQ(browser->ShownCount(), 2);
}

// A device that stops answering the presence searches goes grey in the
// list and its window says it is offline; back, it says so too.
TEST_F(ManyDevicesTest, PresenceOfflineAndBack) {
  PanelWindow* window = m_dlg->OpenPanelWindow(LineOf("PSB_127.0.0.3"));
  ASSERT_NE(window, nullptr);
  m_dlg->Hub().SetPresencePeriodMs(300);
  m_runner.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == "PSB_127.0.0.3 (offline)"; }, kWaitMs));
  EXPECT_EQ(window->StatusText(), "PSB_127.0.0.3 does not answer");
  const QVariant grey = m_dlg->DeviceCombo()->itemData(LineOf("PSB_127.0.0.3"), Qt::ForegroundRole);
  EXPECT_TRUE(grey.isValid());
  m_runner = std::make_unique<test::SimRunner>(m_config);
  ASSERT_TRUE(m_runner->started());
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == "PSB_127.0.0.3"; }, kWaitMs));
  EXPECT_EQ(window->StatusText(), "PSB_127.0.0.3 answers again");
  EXPECT_FALSE(m_dlg->DeviceCombo()->itemData(LineOf("PSB_127.0.0.3"), Qt::ForegroundRole).isValid());
}

// The windows open when the main window closes come back, with their
// devices and places, when the program starts again.
TEST_F(ManyDevicesTest, PanelWindowsComeBackAtTheNextStart) {
  PanelWindow* a = m_dlg->OpenPanelWindow(LineOf("PS_127.0.0.2"));
  PanelWindow* b = m_dlg->OpenPanelWindow(LineOf("Mv_127.0.0.4"));
  ASSERT_TRUE(a && b);
  b->move(300, 200);
  m_dlg.reset();  // closes them all
  m_dlg = NewWindow();
  EXPECT_TRUE(m_dlg->PanelWindows().empty());
  m_dlg->RestorePanelWindows();
  const std::vector<PanelWindow*> windows = m_dlg->PanelWindows();
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0]->windowTitle(), "PS_127.0.0.2");
  EXPECT_EQ(windows[1]->windowTitle(), "Mv_127.0.0.4");
  EXPECT_EQ(windows[1]->pos(), QPoint(300, 200));
  EXPECT_EQ(windows[1]->Panel()->Resource(), 129) << "the multiviewer's panel";
  ASSERT_TRUE(test::DrainLink(*m_dlg));
}

}  // namespace
}  // namespace zv
