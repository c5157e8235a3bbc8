// The multiviewer panel and its pages on the offscreen platform, against the
// virtual multiviewer on loopback: what reaches the device, what the state
// holds, and what the buttons and the preview show.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QAction>
#include <QFile>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <regex>

#include "app/main_window.h"
#include "controls/button_st.h"
#include "controls/ip_address_ctrl.h"
#include "multiview/multiview_color_page.h"
#include "multiview/multiview_control_page.h"
#include "multiview/multiview_panel.h"
#include "multiview/multiview_session.h"
#include "registry/families.h"
#include "multiview/multiview_set_page.h"
#include "multiview/multiview_status_page.h"
#include "multiview/multiview_umd_page.h"
#include "platform/platform.h"
#include "sim/multiview_device.h"
#include "support/link_drain.h"
#include "support/loopback_link.h"
#include "support/sim_runner.h"
#include "support/recorders.h"
#include "support/udp_peer.h"
#include "support/wheel.h"

namespace zv {
namespace {

// The main window aimed at one virtual multiviewer at 127.0.0.2.
class MultiviewPanelTest : public testing::Test {
 protected:
  MultiviewPanelTest()
      : m_port(test::FreeUdpPort()), m_runner(Config(m_port)), m_dlg(Link(m_port)) {
    if (m_dlg.m_device_list.empty()) m_dlg.m_device_list.resize(1);
    m_dlg.m_device_list[0].SetIpText("127.0.0.2");
    m_dlg.m_device_list[0].device_type = 0xA1;
    m_dlg.m_device_list[0].device_id = 0x01;
    m_dlg.m_device_index = 0;
    m_dlg.DeviceCombo()->addItem("Mv_127.0.0.2");
  }

  static sim::SimConfig Config(uint16_t port) {
    sim::SimConfig config = test::LoopbackSim(port, {"Mv"});
    config.devices[0].type = 0xA1;
    return config;
  }
  static LinkConfig Link(uint16_t port) { return test::LoopbackConfig(port); }

  // The record of the chosen multiviewer, kept by its session.
  MultiviewerState& Rec() {
    // The open panel's, whatever the connection mode is now (the window
    // keeps a session per device and mode).
    if (auto* host = qobject_cast<CClass_16view_dlg*>(m_dlg.m_p_mian_show_dlg.data()))
      return host->Session().MutableRecord();
    DeviceSession* session = m_dlg.ChosenDeviceSession(FamilyOf(FamilyKind::kMultiviewer));
    EXPECT_NE(session, nullptr);
    return static_cast<MultiviewSession*>(session)->MutableRecord();
  }

  sim::MultiviewerDevice& Device() {
    return dynamic_cast<sim::MultiviewerDevice&>(m_runner.sim().Device(0));
  }

  CClass_16view_dlg* Open() {
    m_dlg.OpenDevicePanel();
    EXPECT_TRUE(test::DrainLink(m_dlg));
    return qobject_cast<CClass_16view_dlg*>(m_dlg.m_p_mian_show_dlg.data());
  }
  template <typename Page>
  Page* CurrentPage(CClass_16view_dlg* host) {
    return qobject_cast<Page*>(host->m_p_cur_page.data());
  }

  // Every frame the device received so far, as "cc:pppp" (command and
  // parameters in hex). A discovery exchange first makes sure the device
  // has handled everything sent before it.
  std::vector<std::string> Frames() {
    EXPECT_TRUE(test::DrainLink(m_dlg));
    m_dlg.ReceiveWithTimeout(DISCOVERY_QUERY, kSearchReplyBufferSize, 1000,
                             [](std::span<const uint8_t> b, const sockaddr_in&) {
                               return b.size() > 16 && b[16] == kCommandDiscovery;
                             });
    std::vector<std::string> frames;
    static const std::regex kFrame("\"command\":\"0x([0-9a-f]{2})\",\"params\":\"([0-9a-f]*)\"");
    for (const std::string& line : m_runner.sim().LogLines()) {
      std::smatch m;
      if (std::regex_search(line, m, kFrame) && m[1] != "ff") frames.push_back(m[1].str() + ":" + m[2].str());
    }
    return frames;
  }
  // Frames received since the last call.
  std::vector<std::string> NewFrames() {
    std::vector<std::string> all = Frames();
    std::vector<std::string> fresh(all.begin() + static_cast<long>(std::min(m_seen, all.size())), all.end());
    m_seen = all.size();
    return fresh;
  }

  static void Choose(QComboBox* combo, int entry) {
    ASSERT_NE(combo, nullptr);
    combo->setCurrentIndex(entry);
    emit combo->activated(entry);
  }
  static int FaceOf(QWidget* host_or_page, int id) {
    auto* b = qobject_cast<CButtonST*>(static_cast<CChildDialog*>(host_or_page)->Item(id));
    return b ? b->FaceImageId() : -1;
  }

  uint16_t m_port;
  test::SimRunner m_runner;
  CZELVIKDlg m_dlg;
  size_t m_seen = 0;
};

TEST_F(MultiviewPanelTest, OpeningThePanelReadsTheDevice) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  sim::MultiviewerDeviceState s = sim::MultiviewerDeviceState::Defaults();
  s.layout_code = 9;
  s.format_code = 13;  // 1080p25
  s.sources[11] = 5;
  s.sources[3] = 0;  // no source known
  Device().SetState(s);
  CClass_16view_dlg* host = Open();
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"32:"}));
  EXPECT_EQ(host->m_cur_page, 2);
  EXPECT_EQ(host->m_page_rect, QRect(750, 105, 490, 420));
  auto* page = CurrentPage<CClass_16view_control>(host);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->geometry(), host->m_page_rect);
  EXPECT_EQ(Rec().m_cur_window_count, 9);
  EXPECT_EQ(Rec().m_16_view_state_read, 1);
  EXPECT_EQ(page->m_cur_layout_button, 5);
  // Button images: the page buttons and the layout buttons.
  const std::pair<int, int> host_faces[] = {{1020, 193}, {1011, 204}, {1022, 189}, {1023, 200}};
  for (auto [id, face] : host_faces) EXPECT_EQ(FaceOf(host, id), face) << id;
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(FaceOf(page, 1031 + k), k == 5 ? 180 : 169 + 2 * k) << k;
  EXPECT_FALSE(host->Item(1019)->isVisibleTo(host));
  EXPECT_FALSE(host->Item(1021)->isVisibleTo(host));
  const std::pair<int, QRect> places[] = {{1020, {748, 25, 80, 75}}, {1011, {840, 25, 80, 75}},
                                          {1022, {932, 25, 72, 75}}, {1023, {1012, 25, 92, 75}}};
  for (auto [id, rect] : places) EXPECT_EQ(host->Item(id)->geometry(), rect) << id;
  // Rows, sources and the hidden lists.
  for (int n = 0; n < 16; ++n) {
    EXPECT_EQ(page->Item(1101 + n)->isEnabled(), n < 9) << n;
    EXPECT_EQ(page->Item(1075 + n)->isEnabled(), n < 9) << n;
  }
  auto* list12 = qobject_cast<QComboBox*>(page->Item(1112));
  EXPECT_EQ(list12->count(), 16);
  EXPECT_EQ(list12->itemText(2), "SDI 3");
  EXPECT_EQ(list12->currentIndex(), 4);
  EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(1104))->currentIndex(), -1);
  EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(1062))->currentText(), QString::fromUtf8("九画面"));
  EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(1063))->currentText(), "1080p25");
  EXPECT_FALSE(page->Item(1062)->isVisibleTo(page));
  EXPECT_EQ(qobject_cast<QLabel*>(page->Item(1084))->text(), "WIN  10");
  // The preview shows nine windows.
  EXPECT_EQ(Rec().m_16_view_windows[8].width, 240);
  EXPECT_EQ(Rec().m_16_view_windows[9].width, 0);
}

TEST_F(MultiviewPanelTest, LayoutButtons) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  CClass_16view_dlg* host = Open();
  auto* page = CurrentPage<CClass_16view_control>(host);
  ASSERT_NE(page, nullptr);
  NewFrames();
  ASSERT_EQ(page->m_cur_layout_button, 7);  // the device starts with sixteen windows

  QTest::mouseClick(static_cast<QAbstractButton*>(page->Item(1038)), Qt::LeftButton);
  EXPECT_TRUE(NewFrames().empty()) << "the highlighted button sends nothing";

  QTest::mouseClick(static_cast<QAbstractButton*>(page->Item(1036)), Qt::LeftButton);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"33:09"}));
  EXPECT_EQ(Rec().m_cur_window_count, 9);
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_mode_type, 4);
  for (int n = 0; n < 16; ++n) EXPECT_EQ(page->Item(1101 + n)->isEnabled(), n < 9) << n;
  EXPECT_EQ(FaceOf(page, 1036), 180);
  EXPECT_EQ(FaceOf(page, 1038), 183);
  // A disabled row looks disabled: its caption and list lose the field colour.
  const auto shows_field_colour = [page](int id) {
    const QImage image = page->Item(id)->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, y) == QColor(60, 180, 255)) return true;
    return false;
  };
  const std::pair<int, bool> rows[] = {{1075, true}, {1083, true}, {1084, false}, {1090, false},
                                       {1101, true}, {1109, true}, {1110, false}, {1116, false}};
  for (auto [id, enabled] : rows) EXPECT_EQ(shows_field_colour(id), enabled) << id;
  EXPECT_EQ(Rec().m_16_view_windows[8].x, 480);
  EXPECT_EQ(Device().State().layout_code, 9);

  // Input 3 in window 12.
  Choose(qobject_cast<QComboBox*>(page->Item(1112)), 2);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"34:030c"}));
  EXPECT_EQ(Rec().m_16_view_window_source[11], 3);
  EXPECT_EQ(Rec().m_16_view_cur_window, 12);

  // Serial mode with the port closed: marks, rows and state change, nothing
  // is sent and the preview stays as it was.
  m_dlg.m_eState = kModeSerial;
  QTest::mouseClick(static_cast<QAbstractButton*>(page->Item(1033)), Qt::LeftButton);
  EXPECT_EQ(FaceOf(page, 1033), 174);
  EXPECT_EQ(FaceOf(page, 1036), 179);
  EXPECT_EQ(Rec().m_cur_window_count, 4);
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_mode_type, 1);
  for (int n = 0; n < 16; ++n) EXPECT_EQ(page->Item(1101 + n)->isEnabled(), n < 4) << n;
  EXPECT_EQ(Rec().m_16_view_windows[8].x, 480) << "preview unchanged";
  m_dlg.m_eState = kModeNetwork;
  EXPECT_TRUE(NewFrames().empty());
}

TEST_F(MultiviewPanelTest, LockBlocksLayoutsOnlyBeforeTheFirstReadBack) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  CClass_16view_dlg* host = Open();
  auto* page = CurrentPage<CClass_16view_control>(host);
  ASSERT_NE(page, nullptr);
  NewFrames();
  Rec().m_all_16_view_page_data.zv_16_view_lock_state = 1;
  QTest::mouseClick(static_cast<QAbstractButton*>(page->Item(1032)), Qt::LeftButton);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"33:01"})) << "a read-back has run";
  Rec().m_16_view_state_read = 0;
  QTest::mouseClick(static_cast<QAbstractButton*>(page->Item(1034)), Qt::LeftButton);
  EXPECT_TRUE(NewFrames().empty());
  EXPECT_EQ(page->m_cur_layout_button, 1);
  EXPECT_EQ(Rec().m_cur_window_count, 6) << "the count changes all the same";
}

TEST_F(MultiviewPanelTest, PageButtonsAndReadBacks) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  CClass_16view_dlg* host = Open();
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"32:"}));
  auto click = [&](int id) { QTest::mouseClick(static_cast<QAbstractButton*>(host->Item(id)), Qt::LeftButton); };
  click(1020);
  EXPECT_TRUE(NewFrames().empty()) << "the page shown is not read again";
  // The device changes behind the panel's back.
  sim::MultiviewerDeviceState s = Device().State();
  s.layout_code = 6;
  Device().SetState(s);
  click(1011);
  EXPECT_TRUE(NewFrames().empty()) << "the labels page does not read";
  EXPECT_EQ(host->m_cur_page, 3);
  EXPECT_EQ(FaceOf(host, 1011), 205);
  EXPECT_EQ(FaceOf(host, 1020), 192);
  EXPECT_NE(CurrentPage<CClass_16view_umd>(host), nullptr);
  EXPECT_EQ(host->findChildren<CMultiviewPage*>().size(), 1);
  click(1020);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"32:"}));
  EXPECT_EQ(Rec().m_cur_window_count, 6);
  EXPECT_EQ(CurrentPage<CClass_16view_control>(host)->m_cur_layout_button, 3);
  click(1022);
  click(1023);
  EXPECT_TRUE(NewFrames().empty());
  EXPECT_EQ(FaceOf(host, 1023), 201);
  EXPECT_EQ(FaceOf(host, 1022), 189);
  // The status page reads by UDP even in serial mode.
  m_dlg.m_eState = kModeSerial;
  host->ShowPage(1);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"32:"}));
  auto* status = CurrentPage<CClass_16view_status>(host);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(qobject_cast<QLineEdit*>(status->Item(1041))->text(), "ON");
  EXPECT_EQ(qobject_cast<QLineEdit*>(status->Item(1042))->text(), "CH_1");
  EXPECT_EQ(qobject_cast<QLineEdit*>(status->Item(1043))->text(), "ON");
  EXPECT_EQ(qobject_cast<QLineEdit*>(status->Item(1040))->text(), QString::fromUtf8("六画面"));
  EXPECT_TRUE(qobject_cast<QLineEdit*>(status->Item(1041))->isReadOnly());
  EXPECT_FALSE(status->Item(1040)->isVisibleTo(status));
}

TEST_F(MultiviewPanelTest, LabelsPage) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  m_dlg.show();
  CClass_16view_dlg* host = Open();
  host->ShowPage(3);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  auto* page = CurrentPage<CClass_16view_umd>(host);
  ASSERT_NE(page, nullptr);
  NewFrames();
  EXPECT_EQ(page->Edit(0)->text(), "CAM 1");  // read back when the panel opened
  EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(1072))->currentText(), "UMD ON");

  QLineEdit* edit = page->Edit(6);
  ASSERT_EQ(edit->objectName(), "1047");
  edit->clear();
  edit->setFocus();
  QTest::keyClicks(edit, "CAM 2");
  // Enter held down: its repeats send the label no more.
  QTest::simulateEvent(edit, true, Qt::Key_Return, Qt::NoModifier, QString(), false);
  for (int i = 0; i < 3; ++i) {
    QTest::simulateEvent(edit, false, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QTest::simulateEvent(edit, true, Qt::Key_Return, Qt::NoModifier, QString(), true);
  }
  QTest::simulateEvent(edit, false, Qt::Key_Return, Qt::NoModifier, QString(), false);
  EXPECT_EQ(NewFrames(),
            std::vector<std::string>({"1e:0701000100010001430041004d0020003200"}));
  // Held again, with repeats as X11 gives them when the toolkit fails to
  // mark them: a release and a press with one time.
  auto send = [edit](QEvent::Type type, ulong time) {
    QKeyEvent e(type, Qt::Key_Return, Qt::NoModifier);
    e.setTimestamp(time);
    QApplication::sendEvent(edit, &e);
  };
  send(QEvent::KeyPress, 5000);
  for (ulong time : {5040ul, 5080ul}) {
    send(QEvent::KeyRelease, time);
    send(QEvent::KeyPress, time);
  }
  send(QEvent::KeyRelease, 5120);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"1e:0701000100010001430041004d0020003200"}));
  EXPECT_EQ(page->m_umd_string_index, 6);
  EXPECT_EQ(Rec().m_16_view_umd_name[6], u"CAM 2");
  EXPECT_EQ(Device().State().labels[6].size(), 10u);

  // An eleventh character cannot be typed.
  QTest::keyClicks(edit, "abcdefgh");
  EXPECT_EQ(edit->text(), "CAM 2abcde");

  QWidget* list = page->Item(1072);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_TRUE(NewFrames().empty());
  EXPECT_EQ(page->m_umd_string_index, 255);

  Choose(qobject_cast<QComboBox*>(list), 0);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"36:00"}));
  EXPECT_EQ(Rec().m_16_view_show_umd, 0);
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_umd_enable, 1) << "keeps the device's value";

  // A label longer than ten characters from the device is shown whole; it
  // can be shortened but never lengthened, and Enter sends ten at most.
  Rec().m_16_view_umd_name[0] = u"ABCDEFGHIJKLMN";
  host->ShowPage(5);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  host->ShowPage(3);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  QLineEdit* long_label = CurrentPage<CClass_16view_umd>(host)->Edit(0);
  EXPECT_EQ(long_label->text(), "ABCDEFGHIJKLMN");
  long_label->setFocus();
  long_label->end(false);
  QTest::keyClicks(long_label, "xyz");
  EXPECT_EQ(long_label->text(), "ABCDEFGHIJKLMN") << "no growing";
  QTest::keyClick(long_label, Qt::Key_Backspace);
  QTest::keyClicks(long_label, "xyz");
  EXPECT_EQ(long_label->text(), "ABCDEFGHIJKLM") << "nor back to the length it had";
  QTest::keyClick(long_label, Qt::Key_Return);
  EXPECT_EQ(NewFrames(),
            std::vector<std::string>({"1e:"                                         // set label
                                      "01"                                          // window 1
                                      "01000100010001"                              // fixed bytes
                                      "4100420043004400450046004700480049004a00"}))  // "ABCDEFGHIJ"
      << "ten characters at most";
  EXPECT_EQ(long_label->text(), "ABCDEFGHIJ") << "the box shows what was sent";
  EXPECT_EQ(Rec().m_16_view_umd_name[0], u"ABCDEFGHIJ");

  // A pasted label with a control character is not sent, and the operator
  // is told why.
  long_label->clear();
  QApplication::clipboard()->setText(QStringLiteral("CAM\x1b[2J"));
  QTest::keyClick(long_label, Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(long_label->text(), QStringLiteral("CAM\x1b[2J"));
  QTest::keyClick(long_label, Qt::Key_Return);
  EXPECT_TRUE(NewFrames().empty());
  EXPECT_EQ(Rec().m_16_view_umd_name[0], u"ABCDEFGHIJ");
  EXPECT_TRUE(m_dlg.StatusText().contains(QStringLiteral("U+001B"))) << m_dlg.StatusText().toStdString();
}

TEST_F(MultiviewPanelTest, ColourPage) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  CClass_16view_dlg* host = Open();
  Rec().m_all_16_view_page_data.zv_16_view_color_channel = 1;
  host->ShowPage(5);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  auto* page = CurrentPage<CClass_16view_color>(host);
  ASSERT_NE(page, nullptr);
  NewFrames();
  auto* target = qobject_cast<QComboBox*>(page->Item(1060));
  EXPECT_EQ(target->count(), 17);
  EXPECT_EQ(target->itemText(0), "All Channel");
  EXPECT_EQ(target->itemText(16), "CH_16");
  EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(1015))->currentText(), "Blue");
  EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(1039))->currentText(), "Gray");

  Choose(target, 0);
  Choose(qobject_cast<QComboBox*>(page->Item(1015)), 2);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"3c:0002"}));
  for (int n = 0; n < 16; ++n) EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_umd_back_color[n], 2);
  const QImage preview = PaintMultiviewPreview(Rec());
  for (int n = 0; n < 16; ++n) {
    const PreviewBox& b = Rec().m_16_view_umd_rects[n];
    EXPECT_EQ(preview.pixelColor(b.x + 1, b.y + 1), QColor(255, 0, 0)) << n;
  }
  // "Trans" as overlay background for window 4 paints it white.
  Choose(qobject_cast<QComboBox*>(page->Item(1061)), 4);
  Choose(qobject_cast<QComboBox*>(page->Item(1039)), 14);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"3e:040e"}));
  EXPECT_EQ(Rec().m_16_view_resolution_rgb[3], (Rgb{255, 255, 255}));
  EXPECT_EQ(Rec().m_16_view_resolution_rgb[2], (Rgb{186, 183, 186}));
  // Label text colour: sent, the preview does not change.
  const Rgb before = Rec().m_16_view_umd_rgb[0];
  Choose(qobject_cast<QComboBox*>(page->Item(1044)), 6);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"3b:0006"}));
  EXPECT_EQ(Rec().m_16_view_umd_rgb[0], before);

  // The overlay target survives a page change; a target beyond a smaller
  // layout falls back to "All Channel".
  Rec().m_cur_window_count = 4;
  Rec().m_all_16_view_page_data.zv_16_view_color_channel = 9;
  host->ShowPage(6);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  host->ShowPage(5);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  page = CurrentPage<CClass_16view_color>(host);
  EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(1061))->currentIndex(), 4);
  EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(1060))->currentIndex(), 0);
  EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(1060))->count(), 5);
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_color_channel, 0);
  EXPECT_TRUE(NewFrames().empty()) << "filling the lists sends nothing";
  // The hidden "All Channel" box disables the target list while ticked.
  auto* box = qobject_cast<QCheckBox*>(page->Item(1070));
  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_FALSE(page->Item(1060)->isEnabled());

  // Serial mode with the port closed: nothing goes out, the label boxes
  // follow their new colour all the same, the overlay boxes do not.
  m_dlg.m_eState = kModeSerial;
  Choose(qobject_cast<QComboBox*>(page->Item(1015)), 4);  // "Green", all windows
  Choose(qobject_cast<QComboBox*>(page->Item(1039)), 2);  // "Red", window 4
  m_dlg.m_eState = kModeNetwork;
  EXPECT_TRUE(NewFrames().empty());
  EXPECT_EQ(Rec().m_16_view_umd_rgb[9], (Rgb{0, 255, 0}));
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_resolution_back_color[3], 2);
  EXPECT_EQ(Rec().m_16_view_resolution_rgb[3], (Rgb{255, 255, 255}));
}

TEST_F(MultiviewPanelTest, SettingsPage) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  CClass_16view_dlg* host = Open();
  host->ShowPage(6);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  auto* page = CurrentPage<CClass_16view_set>(host);
  ASSERT_NE(page, nullptr);
  NewFrames();
  EXPECT_EQ(page->IpControl(1036)->AddressText(), "127.0.0.2");
  EXPECT_EQ(page->IpControl(1037)->AddressText(), "255.255.255.0");
  EXPECT_EQ(page->IpControl(1038)->AddressText(), "127.0.0.1");

  Choose(qobject_cast<QComboBox*>(page->Item(1073)), 8);  // "720p50"
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"19:0006"}));
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_resolution_type, 8);
  Choose(qobject_cast<QComboBox*>(page->Item(1039)), 5);
  Choose(qobject_cast<QComboBox*>(page->Item(1106)), 1);
  Choose(qobject_cast<QComboBox*>(page->Item(1105)), 0);
  Choose(qobject_cast<QComboBox*>(page->Item(1074)), 1);
  Choose(qobject_cast<QComboBox*>(page->Item(1014)), 0);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"39:06", "50:01", "3f:00", "3a:01", "37:00"}));
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_lock_state, 1);
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_border_enable, 0);
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_audio_source_channel, 1) << "nothing stored";
  EXPECT_EQ(Rec().m_16_view_show_resolution, 1);
  EXPECT_EQ(Rec().m_16_view_show_audio, 0);

  // Reopened, the page shows what is stored: the lock and border as chosen,
  // but the audio source, meter and overlay as the device last reported them.
  host->ShowPage(5);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  host->ShowPage(6);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  page = CurrentPage<CClass_16view_set>(host);
  ASSERT_NE(page, nullptr);
  const std::pair<int, int> reopened[] = {{1039, 0}, {1106, 1}, {1105, 0}, {1074, 0}, {1014, 1}, {1073, 8}};
  for (auto [id, entry] : reopened)
    EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(id))->currentIndex(), entry) << id;
  EXPECT_TRUE(NewFrames().empty()) << "the settings page does not read the device";

  // Restore defaults: the sixteen-window grid with label and audio boxes,
  // and what the device itself took as its defaults (a window's source, the
  // lock), read back at once.
  Rec().m_all_16_view_page_data.zv_16_view_mode_type = 1;
  sim::MultiviewerDeviceState s = Device().State();
  s.sources[0] = 5;
  Device().SetState(s);
  Rec().m_16_view_window_source[0] = 5;
  QTest::mouseClick(static_cast<QAbstractButton*>(page->Item(1033)), Qt::LeftButton);
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"38:00", "32:"}));
  EXPECT_EQ(Rec().m_16_view_window_source[0], 1);
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_lock_state, 0);
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_audio_source_channel, 1);
  EXPECT_EQ(Rec().m_cur_window_count, 16);
  EXPECT_EQ(Rec().m_16_view_windows[15].x, 540);
  EXPECT_EQ(Rec().m_16_view_show_audio, 1);
  EXPECT_EQ(Rec().m_16_view_show_umd, 1);
  EXPECT_EQ(Rec().m_16_view_show_resolution, 0);
  const QImage preview = PaintMultiviewPreview(Rec());
  EXPECT_EQ(preview.pixelColor(540 + 60, 360 + 5), QColor(55, 55, 55)) << "window 16";
  const PreviewBox audio = Rec().m_16_view_audio_rects[15];
  EXPECT_EQ(preview.pixelColor(audio.x + 1, audio.y + 1), QColor(89, 187, 255));
  const PreviewBox overlay = Rec().m_16_view_resolution_rects[15];
  EXPECT_EQ(preview.pixelColor(overlay.x + 1, overlay.y + 1), QColor(55, 55, 55)) << "no overlay";
  const std::pair<int, int> lists[] = {{1073, 0}, {1074, 0}, {1014, 1}, {1039, 0}, {1105, 1}, {1106, 0}};
  for (auto [id, entry] : lists)
    EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(id))->currentIndex(), entry) << id;
  // Reopened, the page shows the same: what the device has.
  host->ShowPage(5);
  host->ShowPage(6);
  page = CurrentPage<CClass_16view_set>(host);
  ASSERT_NE(page, nullptr);
  for (auto [id, entry] : lists)
    EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(id))->currentIndex(), entry) << id;

  // Set IP by UDP even in serial mode.
  m_dlg.m_eState = kModeSerial;
  page->IpControl(1036)->SetAddressText("127.0.0.2");
  page->IpControl(1038)->SetAddressText("127.0.0.254");
  QTest::mouseClick(static_cast<QAbstractButton*>(page->Item(1032)), Qt::LeftButton);
  m_dlg.m_eState = kModeNetwork;
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"05:7f000002ffffff007f0000fe"}));
}

// The status page reads by UDP in either mode and shows the four values; a
// device that does not answer leaves the values already held.
TEST_F(MultiviewPanelTest, StatusPageShowsWhatItRead) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  struct Case {
    const char* what;
    const char* address;  // of the chosen device
    int32_t mode;
    const char *layout, *audio, *source, *labels;
  };
  const Case cases[] = {
      {"network", "127.0.0.2", kModeNetwork, "单画面", "OFF", "CH_0", "OFF"},
      {"serial, by UDP all the same", "127.0.0.2", kModeSerial, "单画面", "OFF", "CH_0", "OFF"},
      {"no answer", "127.0.0.9", kModeNetwork, "四画面", "ON", "CH_7", "ON"},
  };
  sim::MultiviewerDeviceState s = Device().State();
  s.layout_code = 1;
  s.audio_on = 0;
  s.audio_source = 0;
  s.labels_on = 0;
  Device().SetState(s);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A panel talks to the device it was opened for: the address changes
    // before it opens.
    if (m_dlg.m_device_list.empty()) m_dlg.m_device_list.resize(1);
    m_dlg.m_device_list[0].SetIpText(c.address);
    m_dlg.m_eState = c.mode;
    m_dlg.m_main_com_dev_type = 0xA1;  // what a serial search would have learnt
    CClass_16view_dlg* host = Open();
    ASSERT_NE(host, nullptr);
    MultiviewPageData& d = Rec().m_all_16_view_page_data;
    d.zv_16_view_mode_type = 1;
    d.zv_16_view_audio_enable = 1;
    d.zv_16_view_audio_source_channel = 7;
    d.zv_16_view_umd_enable = 1;
    host->ShowPage(1);
    test::DrainLink(*m_p_glo_main_set_or_get_dlg);
    m_dlg.m_eState = kModeNetwork;
    if (m_dlg.m_device_list.empty()) m_dlg.m_device_list.resize(1);
    m_dlg.m_device_list[0].SetIpText("127.0.0.2");
    auto* status = CurrentPage<CClass_16view_status>(host);
    ASSERT_NE(status, nullptr);
    const auto box = [status](int id) { return qobject_cast<QLineEdit*>(status->Item(id))->text(); };
    EXPECT_EQ(box(1040), QString::fromUtf8(c.layout));
    EXPECT_EQ(box(1041), c.audio);
    EXPECT_EQ(box(1042), c.source);
    EXPECT_EQ(box(1043), c.labels);
  }
}

TEST_F(MultiviewPanelTest, SettingsPageOffersTheDerivedGateway) {
  // Serial mode with the port closed: the panel opens without reaching any
  // device, so the address below is never sent to.
  m_dlg.m_eState = kModeSerial;
  m_dlg.m_main_com_dev_type = 0xA1;
  if (m_dlg.m_device_list.empty()) m_dlg.m_device_list.resize(1);
  m_dlg.m_device_list[0].SetIpText("10.0.0.25");
  CClass_16view_dlg* host = Open();
  ASSERT_NE(host, nullptr);
  host->ShowPage(6);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  auto* page = CurrentPage<CClass_16view_set>(host);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->IpControl(1036)->AddressText(), "10.0.0.25");
  EXPECT_EQ(page->IpControl(1037)->AddressText(), "255.255.255.0");
  EXPECT_EQ(page->IpControl(1038)->AddressText(), "10.0.0.1");
  // Restore defaults with the port closed: nothing changes, the lists
  // included, since the device took nothing.
  Rec().m_all_16_view_page_data.zv_16_view_mode_type = 2;
  const int meter = qobject_cast<QComboBox*>(page->Item(1014))->currentIndex();
  const int border = qobject_cast<QComboBox*>(page->Item(1105))->currentIndex();
  QTest::mouseClick(static_cast<QAbstractButton*>(page->Item(1033)), Qt::LeftButton);
  EXPECT_EQ(Rec().m_all_16_view_page_data.zv_16_view_mode_type, 2);
  EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(1014))->currentIndex(), meter);
  EXPECT_EQ(qobject_cast<QComboBox*>(page->Item(1105))->currentIndex(), border);
}

// Addresses typed as a person types them, over the text the fields open
// with (click, select all, type), and the bytes "Set IP" then sends. After
// the send the operator is told where the device went.
// A click on an address control's first field, delivered to the widget
// under the point as the window system delivers it.
void ClickFirstField(CIpAddressCtrl* control) {
  const QPoint at(4, control->height() / 2);
  QWidget* under = control->childAt(at) ? control->childAt(at) : control;
  QTest::mouseClick(under, Qt::LeftButton, Qt::NoModifier, under->mapFrom(control, at));
}

TEST_F(MultiviewPanelTest, TypedAddressesGoOutAsTyped) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  m_dlg.show();
  QApplication::setActiveWindow(&m_dlg);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&m_dlg));
  CClass_16view_dlg* host = Open();
  ASSERT_NE(host, nullptr);
  struct Row {
    const char* what;
    int control;          // 1036 address, 1037 mask, 1038 gateway
    const char* pasted;   // clipboard text pasted with Ctrl+V instead of typing
    const char* typed;    // "\b" is Backspace
    const char* params;   // of the set-IP frame (0x05)
    const char* moves_to; // the address the closing notice names
    const char* warning;  // the notice about the value typed, if any
  };
  const Row rows[] = {
      {"a private address", 1036, nullptr, "192.168.1.100",
       "c0a80164"   // IP address 192.168.1.100
       "ffffff00"   // subnet mask 255.255.255.0
       "7f000001",  // gateway 127.0.0.1
       "192.168.1.100", nullptr},
      {"short fields", 1036, nullptr, "10.0.0.5",
       "0a000005"   // IP address 10.0.0.5
       "ffffff00"   // subnet mask
       "7f000001",  // gateway
       "10.0.0.5", nullptr},
      {"a mask typed over the mask", 1037, nullptr, "255.255.255.0",
       "7f000002"   // IP address as opened
       "ffffff00"   // subnet mask 255.255.255.0
       "7f000001",  // gateway
       "127.0.0.2", nullptr},
      {"an octet above 255", 1036, nullptr, "10.256.2.3",
       "0aff0203"   // IP address 10.255.2.3
       "ffffff00"   // subnet mask
       "7f000001",  // gateway
       "10.255.2.3", "256 is not a valid entry: use 0 to 255"},
      {"Backspace at a field's start goes back", 1036, nullptr, "10.0.0.\b\b7.9",
       "0a000709"   // IP address 10.0.7.9
       "ffffff00"   // subnet mask
       "7f000001",  // gateway
       "10.0.7.9", nullptr},
      {"a pasted gateway", 1038, "172.16.5.4", "",
       "7f000002"   // IP address as opened
       "ffffff00"   // subnet mask
       "ac100504",  // gateway 172.16.5.4
       "127.0.0.2", nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    host->ShowPage(5);
    host->ShowPage(6);
    auto* page = CurrentPage<CClass_16view_set>(host);
    ASSERT_NE(page, nullptr);
    NewFrames();
    test::MessageBoxRecorder notices;
    CIpAddressCtrl* control = page->IpControl(r.control);
    ClickFirstField(control);
    ASSERT_TRUE(control->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    if (r.pasted) {
      QApplication::clipboard()->setText(QString::fromLatin1(r.pasted));
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
    }
    for (const char* c = r.typed; *c; ++c) QTest::keyClick(QApplication::focusWidget(), *c);
    QTest::mouseClick(static_cast<QAbstractButton*>(page->Item(1032)), Qt::LeftButton);
    EXPECT_EQ(NewFrames(), std::vector<std::string>({std::string("05:") + r.params}));
    ASSERT_TRUE(test::DrainLink(m_dlg));
    // The settings window's question comes before anything leaves.
    ASSERT_EQ(notices.requests.size(), r.warning ? 3u : 2u);
    if (r.warning) {
      EXPECT_EQ(notices.requests.front().text, r.warning);
    }
    EXPECT_EQ(notices.requests[notices.requests.size() - 2].text,
              std::string("Change the IP address of Mv_127.0.0.2 to ") + r.moves_to + "?");
    EXPECT_NE(notices.requests.back().text.find(r.moves_to), std::string::npos)
        << notices.requests.back().text;
  }
  // Addresses no device can hold are refused with a word, and nothing leaves.
  for (const char* typed : {"0.0.0.0", "224.0.0.1", "255.255.255.255", "127.0.0.9"}) {
    SCOPED_TRACE(typed);
    host->ShowPage(5);
    host->ShowPage(6);
    auto* page = CurrentPage<CClass_16view_set>(host);
    ASSERT_NE(page, nullptr);
    NewFrames();
    test::MessageBoxRecorder notices;
    CIpAddressCtrl* control = page->IpControl(1036);
    ClickFirstField(control);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    for (const char* c = typed; *c; ++c) QTest::keyClick(QApplication::focusWidget(), *c);
    QTest::mouseClick(static_cast<QAbstractButton*>(page->Item(1032)), Qt::LeftButton);
    ASSERT_TRUE(test::DrainLink(m_dlg));
    EXPECT_TRUE(NewFrames().empty());
    ASSERT_EQ(notices.requests.size(), 1u);
    EXPECT_NE(notices.requests[0].text.find("a device cannot take it"), std::string::npos);
  }
  // The question declined: nothing leaves.
  {
    host->ShowPage(5);
    host->ShowPage(6);
    auto* page = CurrentPage<CClass_16view_set>(host);
    ASSERT_NE(page, nullptr);
    NewFrames();
    test::MessageBoxRecorder notices;
    notices.answer = MessageBoxAnswer::kCancel;
    QTest::mouseClick(static_cast<QAbstractButton*>(page->Item(1032)), Qt::LeftButton);
    ASSERT_TRUE(test::DrainLink(m_dlg));
    EXPECT_TRUE(NewFrames().empty());
    ASSERT_EQ(notices.requests.size(), 1u);
    EXPECT_EQ(notices.requests[0].text, "Change the IP address of Mv_127.0.0.2 to 127.0.0.2?");
  }
}

// The wheel turned over a closed list changes nothing and sends nothing, on
// each page that has lists.
TEST_F(MultiviewPanelTest, WheelOverAClosedListChangesNothing) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  CClass_16view_dlg* host = Open();
  ASSERT_NE(host, nullptr);
  for (int page_number : {2, 3, 5, 6}) {
    SCOPED_TRACE(page_number);
    host->ShowPage(page_number);
    QWidget* page = host->m_p_cur_page;
    ASSERT_NE(page, nullptr);
    NewFrames();
    int lists = 0;
    for (QComboBox* list : page->findChildren<QComboBox*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (!list->isVisibleTo(page) || !list->isEnabled() || list->count() < 2) continue;
      ++lists;
      const int shown = list->currentIndex();
      // Towards the operator, then away past the start: each notch alone.
      for (int notches : {-1, 1, 1}) {
        test::TurnWheel(list, notches);
        EXPECT_EQ(list->currentIndex(), shown) << notches;
      }
    }
    EXPECT_GT(lists, 0);
    EXPECT_TRUE(NewFrames().empty());
  }
}

TEST_F(MultiviewPanelTest, AudioPageSendsByUdpInSerialMode) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  CClass_16view_dlg* host = Open();
  NewFrames();
  m_dlg.m_eState = kModeSerial;
  host->ShowPage(4);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  ASSERT_NE(host->m_p_cur_page, nullptr);
  for (QWidget* w : host->m_p_cur_page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    EXPECT_FALSE(w->isVisibleTo(host->m_p_cur_page)) << w->objectName().toStdString();
  Choose(qobject_cast<QComboBox*>(host->m_p_cur_page->Item(1068)), 15);
  Choose(qobject_cast<QComboBox*>(host->m_p_cur_page->Item(1014)), 0);
  m_dlg.m_eState = kModeNetwork;
  EXPECT_EQ(NewFrames(), std::vector<std::string>({"39:10", "37:00"}));
  EXPECT_EQ(Rec().m_16_view_show_audio, 0);
}

// On the serial line the same pages read and change the device, and a page
// opened again shows what the device reports after the change.
TEST(MultiviewSerialPanelTest, PagesWorkOnTheSerialLine) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Mv"});
  config.devices[0].type = 0xA1;
  config.serial = true;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  auto& device = dynamic_cast<sim::MultiviewerDevice&>(runner.sim().Device(0));
  sim::MultiviewerDeviceState s = device.State();
  s.layout_code = 6;
  device.SetState(s);

  CZELVIKDlg dlg(test::LoopbackConfig(port));
  dlg.show();
  dlg.m_eState = kModeSerial;
  dlg.m_main_com_dev_type = 0xA1;
  if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
  dlg.m_device_list[0].device_type = 0xA1;
  dlg.m_device_list[0].device_id = 1;
  dlg.m_device_index = 0;
  dlg.DeviceCombo()->addItem("Mv");
  ASSERT_TRUE(test::OpenSerialPortAndWait(dlg, runner.sim().SerialPath(), 115200));
  dlg.OpenDevicePanel();
  ASSERT_TRUE(test::DrainLink(dlg));
  auto* host = qobject_cast<CClass_16view_dlg*>(dlg.m_p_mian_show_dlg.data());
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->Session().Record().m_cur_window_count, 6);
  auto* control = qobject_cast<CClass_16view_control*>(host->m_p_cur_page.data());
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->m_cur_layout_button, 3);

  QTest::mouseClick(static_cast<QAbstractButton*>(control->Item(1033)), Qt::LeftButton);
  host->ShowPage(3);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  auto* umd = qobject_cast<CClass_16view_umd*>(host->m_p_cur_page.data());
  ASSERT_NE(umd, nullptr);
  umd->Edit(2)->setText("Desk");
  umd->Edit(2)->setFocus();
  QTest::keyClick(umd->Edit(2), Qt::Key_Return);
  // The device changes the label of window 1 behind the panel's back.
  s = device.State();
  s.labels[0] = {'X', 0};
  device.SetState(s);

  host->ShowPage(2);  // reads the device again
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  EXPECT_EQ(host->Session().Record().m_cur_window_count, 4);
  EXPECT_EQ(qobject_cast<CClass_16view_control*>(host->m_p_cur_page.data())->m_cur_layout_button, 2);
  host->ShowPage(3);
  test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  umd = qobject_cast<CClass_16view_umd*>(host->m_p_cur_page.data());
  EXPECT_EQ(umd->Edit(2)->text(), "Desk");
  EXPECT_EQ(umd->Edit(0)->text(), "X");
  EXPECT_EQ(device.State().layout_code, 4);
  dlg.m_serial_port.Close();
}

// The preview picture: background, window frame and inset, the number on
// white, and the boxes only when their show flag is set.
TEST(MultiviewPreviewPaintTest, PixelsOfThePreview) {
  MultiviewerState s;
  s.m_all_16_view_page_data.zv_16_view_mode_type = 3;  // eight windows, middle band
  s.m_all_16_view_page_data.zv_16_view_umd_back_color[0] = 4;
  s.RecomputeWindows();
  s.RecomputeAudioMeters();
  s.RecomputeLabels();
  s.RecomputeOverlays();
  struct Case {
    int show_umd;
    QPoint at;
    QColor colour;
  };
  const Case cases[] = {
      {0, {10, 10}, {152, 152, 152}},    // top band stays grey
      {0, {10, 470}, {152, 152, 152}},   // bottom band too
      {0, {0, 120}, {89, 187, 255}},     // window 1's frame
      {0, {3, 123}, {55, 55, 55}},       // its inside
      {0, {68, 217}, {55, 55, 55}},      // label box hidden
      {1, {68, 217}, {0, 255, 0}},       // shown: green
      {0, {19, 193}, {55, 55, 55}},      // audio meter hidden
  };
  for (const Case& c : cases) {
    s.m_16_view_show_umd = c.show_umd;
    const QImage image = PaintMultiviewPreview(s);
    ASSERT_EQ(image.size(), QSize(720, 480));
    EXPECT_EQ(image.pixelColor(c.at), c.colour) << c.at.x() << "," << c.at.y();
  }
  // The number sits on white at (x + w/2 - 5, y + h/2 - 5).
  EXPECT_EQ(PaintMultiviewPreview(s).pixelColor(85, 175), QColor(Qt::white));
  // A layout index above 6 leaves the preview grey.
  s.m_all_16_view_page_data.zv_16_view_mode_type = 7;
  s.RecomputeWindows();
  EXPECT_EQ(PaintMultiviewPreview(s).pixelColor(0, 120), QColor(152, 152, 152));
}

// "Apply setup..." from the panel's menu, through its file dialog: only what
// the file names goes to the device, so changes made there since the panel
// read it (here by another client, as zvctl would) stay; the status strip
// says what was sent and what took.
TEST_F(MultiviewPanelTest, ApplySetupSendsOnlyWhatTheFileNames) {
  ASSERT_TRUE(m_runner.started()) << m_runner.error();
  LinkState other;
  test::AimAt(other, m_port, "127.0.0.2", 0xA1);
  SendMultiviewerStep(other, LayoutStep(4));
  m_dlg.show();
  CClass_16view_dlg* host = Open();
  ASSERT_NE(host, nullptr);
  ASSERT_EQ(Rec().m_cur_window_count, 4);
  // The device changes behind the panel's back.
  SendMultiviewerStep(other, LayoutStep(16));
  SendMultiviewerStep(other, SourceStep(1, 9));
  NewFrames();
  ASSERT_EQ(Device().State().layout_code, 16);
  ASSERT_EQ(Device().State().sources[0], 9);

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("only3.json"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(R"({"windows":[{"window":3,"label":"ONLY3"}]})");
  file.close();

  QAction* apply = nullptr;
  for (QAction* action : host->actions())
    if (action->text() == QStringLiteral("Apply setup...")) apply = action;
  ASSERT_NE(apply, nullptr);
  apply->trigger();
  auto* dialog = host->findChild<QFileDialog*>();
  ASSERT_NE(dialog, nullptr);
  // The file chosen in the dialog, then its Open button clicked.
  dialog->selectFile(path);
  auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  ASSERT_NE(buttons, nullptr);
  ASSERT_NE(buttons->button(QDialogButtonBox::Open), nullptr);
  QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(m_dlg));

  EXPECT_EQ(NewFrames(), (std::vector<std::string>{
                             "32:",                       // read the device first
                             "1e:"                        // set label
                             "03"                         // window 3
                             "01000100010001"             // fixed bytes
                             "4f004e004c0059003300",      // "ONLY3"
                             "32:"}));                    // read it back
  EXPECT_EQ(Device().State().layout_code, 16);
  EXPECT_EQ(Device().State().sources[0], 9);
  EXPECT_EQ(Rec().m_16_view_umd_name[2], u"ONLY3");
  EXPECT_EQ(Rec().m_cur_window_count, 16) << "the record shows what the device holds";
  EXPECT_EQ(m_dlg.StatusText().toStdString(), "Sent 1 setting (window 3 label) to Mv_127.0.0.2; it took all of it");
}


// Two multiviewers side by side, chosen one after the other in the same
// window: each has a session and a record of its own. A layout clicked on
// one panel changes only that device and that record; a source chosen on
// the other panel changes only the other; neither record shows the other
// device's values.
TEST(MultiviewTwoDevicesTest, EachDeviceHasItsOwnRecord) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(test::LoopbackSim(port, {"MvA", "MvB"}, 0xA1));
  ASSERT_TRUE(runner.started()) << runner.error();
  const auto device = [&](int i) -> sim::MultiviewerDevice& {
    return dynamic_cast<sim::MultiviewerDevice&>(runner.sim().Device(static_cast<size_t>(i)));
  };
  sim::MultiviewerDeviceState b = sim::MultiviewerDeviceState::Defaults();
  b.layout_code = 4;
  device(1).SetState(b);
  CZELVIKDlg dlg(test::LoopbackConfig(port));
  const char* const addresses[] = {"127.0.0.2", "127.0.0.3"};
  const char* const lines[] = {"MvA_127.0.0.2", "MvB_127.0.0.3"};
  // Chooses device i as the list would and opens its panel (which reads it).
  const auto open = [&](int i) {
    dlg.DeviceCombo()->clear();
    if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
    dlg.m_device_list[0] = DeviceEntry{};
    dlg.m_device_list[0].SetIpText(addresses[i]);
    dlg.m_device_list[0].device_type = 0xA1;
    dlg.m_device_list[0].device_id = static_cast<uint8_t>(i + 1);
    dlg.DeviceCombo()->addItem(lines[i]);
    dlg.m_device_index = 0;
    dlg.OpenDevicePanel();
    EXPECT_TRUE(test::DrainLink(dlg));
    return qobject_cast<CClass_16view_dlg*>(dlg.m_p_mian_show_dlg.data());
  };

  CClass_16view_dlg* host = open(0);
  ASSERT_NE(host, nullptr);
  MultiviewSession* a = &host->Session();
  auto* control = qobject_cast<CClass_16view_control*>(host->m_p_cur_page.data());
  ASSERT_NE(control, nullptr);
  QTest::mouseClick(static_cast<QAbstractButton*>(control->Item(1036)), Qt::LeftButton);  // nine windows
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_EQ(a->Record().m_cur_window_count, 9);

  host = open(1);
  ASSERT_NE(host, nullptr);
  MultiviewSession* b_session = &host->Session();
  ASSERT_NE(b_session, a);
  EXPECT_EQ(b_session->Record().m_cur_window_count, 4) << "B's record holds B's layout";
  control = qobject_cast<CClass_16view_control*>(host->m_p_cur_page.data());
  ASSERT_NE(control, nullptr);
  auto* window1 = qobject_cast<QComboBox*>(control->Item(1101));
  ASSERT_NE(window1, nullptr);
  window1->setCurrentIndex(5);
  emit window1->activated(5);  // SDI 6 in window 1
  ASSERT_TRUE(test::DrainLink(dlg));

  EXPECT_EQ(device(0).State().layout_code, 9);
  EXPECT_EQ(device(1).State().layout_code, 4) << "A's layout went to A only";
  EXPECT_EQ(device(1).State().sources[0], 6);
  EXPECT_EQ(device(0).State().sources[0], 1) << "B's source went to B only";
  EXPECT_EQ(a->Record().m_cur_window_count, 9);
  EXPECT_EQ(a->Record().m_16_view_window_source[0], 1) << "B's action left A's record alone";
  EXPECT_EQ(b_session->Record().m_16_view_window_source[0], 6);
  EXPECT_EQ(b_session->Record().m_cur_window_count, 4);

  // A's panel again: the same session, its record A's.
  host = open(0);
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(&host->Session(), a);
  EXPECT_EQ(a->Record().m_cur_window_count, 9);
  EXPECT_EQ(a->Record().m_16_view_window_source[0], 1);
}

}  // namespace
}  // namespace zv
