// The four-channel panel on the offscreen platform, against the virtual
// four-channel switcher (or a scripted stand-in) on loopback: what reaches
// the device, what the record holds, and which image each control shows.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimerEvent>
#include <memory>
#include <regex>

#include "app/main_window.h"
#include "controls/button_st.h"
#include "fourch/fourch_panel.h"
#include "registry/families.h"
#include "res/skin.h"
#include "sim/fourch_device.h"
#include "support/link_drain.h"
#include "support/recorders.h"
#include "support/scripted_device.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/wheel.h"

namespace zv {
namespace {

using Bytes = std::vector<uint8_t>;

// The main window aimed at a device on 127.0.0.x, with one device listed.
struct Window {
  explicit Window(uint16_t port, const char* address = "127.0.0.2") {
    LinkConfig c;
    c.device_port = port;
    c.local_port = 0;
    c.search_address = "127.0.0.1";
    dlg = std::make_unique<CZELVIKDlg>(c);
    if (dlg->m_device_list.empty()) dlg->m_device_list.resize(1);
    dlg->m_device_list[0].SetIpText(address);
    dlg->m_device_list[0].device_type = 0x60;
    dlg->m_device_list[0].device_id = 1;
    dlg->m_device_index = 0;
    dlg->DeviceCombo()->addItem("Quad_127.0.0.2");
  }
  CClass_trisk_main_dlg* Open() {
    dlg->OpenDevicePanel();
    EXPECT_TRUE(test::DrainLink(*dlg));
    return qobject_cast<CClass_trisk_main_dlg*>(dlg->m_p_mian_show_dlg.data());
  }
  // The session of the listed device, the one its panel shows.
  FourChannelSession& session() {
    return static_cast<FourChannelSession&>(*dlg->ChosenDeviceSession(FamilyOf(FamilyKind::kFourChannel)));
  }
  TriskPageData& data() { return session().MutableData(); }
  std::unique_ptr<CZELVIKDlg> dlg;
};

class FourChannelPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_port = test::FreeUdpPort();
    sim::SimConfig config = test::LoopbackSim(m_port, {"Quad"});
    config.devices[0].type = 0x60;
    m_runner = std::make_unique<test::SimRunner>(config);
    ASSERT_TRUE(m_runner->started()) << m_runner->error();
    m_window = std::make_unique<Window>(m_port);
  }
  void TearDown() override {
    m_window.reset();
    m_runner.reset();
  }

  sim::FourChannelDevice& Device() {
    return dynamic_cast<sim::FourChannelDevice&>(m_runner->sim().Device(0));
  }
  void DeviceHolds(uint8_t mode, uint8_t ch1, uint8_t ch2, uint8_t loop = 0, uint8_t format = 0) {
    sim::FourChannelState s = Device().State();
    s.show_mode = mode;
    s.pip_child_ch = {ch1, ch2};
    s.loop_state = loop;
    s.output_format = format;
    Device().SetState(s);
  }
  CClass_trisk_main_dlg* Open() {
    CClass_trisk_main_dlg* panel = m_window->Open();
    m_log_mark = m_runner->sim().LogLines().size();
    return panel;
  }
  // The commands (hex command byte ':' hex parameters) the device received
  // since the panel opened or since the last call, reads left out. A signal
  // poll first makes sure every earlier datagram has been taken in.
  std::vector<std::string> Sent(CClass_trisk_main_dlg* panel) {
    test::DrainLink(*m_window->dlg);
    panel->PollSignalStatus();
    test::DrainLink(*m_window->dlg);
    const std::vector<std::string> lines = m_runner->sim().LogLines();
    static const std::regex kFrame("\"command\":\"0x([0-9a-f]{2})\",\"params\":\"([0-9a-f]*)\"");
    std::vector<std::string> sent;
    for (size_t i = m_log_mark; i < lines.size(); ++i) {
      std::smatch m;
      if (!std::regex_search(lines[i], m, kFrame) || m[1] == "90" || m[1] == "aa") continue;
      sent.push_back(m[1].str() + ":" + m[2].str());
    }
    m_log_mark = lines.size();
    return sent;
  }
  TriskPageData& data() { return m_window->data(); }

  uint16_t m_port = 0;
  std::unique_ptr<test::SimRunner> m_runner;
  std::unique_ptr<Window> m_window;
  size_t m_log_mark = 0;
};

CButtonST* Button(CClass_trisk_main_dlg* panel, int id) { return qobject_cast<CButtonST*>(panel->Item(id)); }
QComboBox* Combo(CClass_trisk_main_dlg* panel, int id) { return qobject_cast<QComboBox*>(panel->Item(id)); }
void Click(CClass_trisk_main_dlg* panel, int id) { QTest::mouseClick(Button(panel, id), Qt::LeftButton); }
// What an operator's choice in a drop-down list does.
void Choose(QComboBox* combo, const QString& text) {
  const int entry = combo->findText(text);
  combo->setCurrentIndex(entry);
  emit combo->activated(entry);
}
int SelectedModeButtons(CClass_trisk_main_dlg* panel) {
  int selected = 0;
  for (int id = 1032; id <= 1048; ++id) selected += Button(panel, id)->IsSelected() ? 1 : 0;
  return selected;
}

TEST_F(FourChannelPanelTest, OpensFromTheDevicesState) {
  DeviceHolds(11, 3, 4, 1, 8);
  Device().SetSignals({1, 1, 0, 1});
  test::TraceRecorder trace;
  CClass_trisk_main_dlg* panel = Open();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->Resource(), 308);

  // Read-back and poll, in that order, and nothing sent back.
  EXPECT_TRUE(trace.Has("read over"));
  EXPECT_EQ(Sent(panel), std::vector<std::string>{});
  EXPECT_EQ(data().zv_trisk_show_mode_type, 11);
  EXPECT_EQ(data().zv_trisk_output_format, 8);
  EXPECT_EQ(data().zv_trisk_pip_child_ch[0], 3);
  EXPECT_EQ(data().zv_trisk_pip_child_ch[1], 4);
  EXPECT_EQ(data().zv_trisk_loop_state, 1);

  EXPECT_EQ(Button(panel, 1043)->FaceImageId(), 332) << "mode 11 selected";
  EXPECT_EQ(Button(panel, 1032)->FaceImageId(), 309);
  EXPECT_EQ(Button(panel, 1048)->FaceImageId(), 371);
  EXPECT_EQ(SelectedModeButtons(panel), 1);
  EXPECT_EQ(Button(panel, 1011)->FaceImageId(), 374) << "loop on shows the stop face";
  EXPECT_EQ(Combo(panel, 1187)->currentText(), "720P50");
  EXPECT_EQ(Combo(panel, 1189)->currentText(), "3");
  EXPECT_EQ(Combo(panel, 1192)->currentText(), "4");
  EXPECT_FALSE(Combo(panel, 1189)->isEnabled());
  EXPECT_FALSE(Combo(panel, 1192)->isEnabled()) << "mode 11 with the loop on";
  auto* time = qobject_cast<QLineEdit*>(panel->Item(1191));
  EXPECT_EQ(time->text(), "3");
  EXPECT_EQ(time->maxLength(), 3);
  const int lamps[] = {375, 375, 376, 375};
  for (int n = 0; n < 4; ++n) EXPECT_EQ(panel->IndicatorImage(n), lamps[n]) << n;
  EXPECT_NE(panel->QtTimerOf(1), 0);
  EXPECT_EQ(m_window->dlg->m_rc_plenn_show_mode_type, QRect(5, 40, 720, 480));
  EXPECT_EQ(m_window->session().MutablePreview()[1].x, 360) << "mode 11's second window";
  EXPECT_FALSE(panel->Item(1037)->isVisible());
  EXPECT_FALSE(panel->Item(1187)->isVisible());
}

TEST_F(FourChannelPanelTest, ControlsSitWhereTheLayoutPutsThem) {
  CClass_trisk_main_dlg* panel = Open();
  ASSERT_NE(panel, nullptr);
  // A drop-down list keeps the height of its field (-1: not checked); the
  // lamps take the size of their 32 x 32 icons, whole.
  const struct {
    int id, x, y, width, height;
    bool visible;
  } rows[] = {
      {1186, 800, 30, 400, 90, true},   {1188, 800, 130, 400, 300, true},
      {1190, 800, 430, 400, 95, true},  {1032, 830, 160, 68, 48, true},
      {1033, 920, 160, 68, 50, true},   {1034, 1010, 160, 68, 50, true},
      {1035, 1100, 160, 68, 48, true},  {1036, 830, 220, 68, 48, true},
      {1039, 920, 220, 68, 48, true},   {1040, 1010, 220, 68, 48, true},
      {1041, 1100, 220, 68, 48, true},  {1042, 830, 280, 68, 48, true},
      {1043, 920, 280, 68, 48, true},   {1048, 1010, 280, 68, 50, true},
      {1044, 1100, 280, 68, 48, true},  {1045, 830, 340, 68, 48, true},
      {1046, 920, 340, 68, 48, true},   {1047, 1010, 340, 68, 48, true},
      {1011, 830, 460, 70, 45, true},   {1191, 910, 470, 40, 20, true},
      {1193, 990, 475, 70, 20, true},   {1189, 1065, 470, 50, -1, true},
      {1192, 1125, 470, 50, -1, true},  {1200, 850, 45, 50, 20, true},
      {1201, 922, 45, 20, 20, true},    {1202, 962, 45, 20, 20, true},
      {1203, 1002, 45, 20, 20, true},   {1204, 1042, 45, 20, 20, true},
      {1196, 910, 63, 32, 32, true},    {1197, 950, 63, 32, 32, true},
      {1198, 990, 63, 32, 32, true},    {1199, 1030, 63, 32, 32, true},
      {1037, -1, -1, -1, -1, false},    {1038, -1, -1, -1, -1, false},
      {1187, -1, -1, -1, -1, false},    {1194, -1, -1, -1, -1, false},
      {1161, -1, -1, -1, -1, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    QWidget* item = panel->Item(row.id);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->isVisibleTo(panel), row.visible);
    if (row.x < 0) continue;
    EXPECT_EQ(item->pos(), QPoint(row.x, row.y));
    EXPECT_EQ(item->width(), row.width);
    if (row.height >= 0) {
      EXPECT_EQ(item->height(), row.height);
    }
  }
  // The captions are whole in their places.
  for (const auto& [id, caption] : {std::pair{1193, "PIP Child Ch"}, std::pair{1200, "Channel"},
                                    std::pair{1201, "1"}, std::pair{1204, "4"}}) {
    auto* label = qobject_cast<QLabel*>(panel->Item(id));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), caption);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
        << caption;
  }
  // A point near the bottom of the round lamp, below a 20-pixel-high place.
  EXPECT_EQ(panel->Item(1198)->grab().toImage().pixelColor(16, 27),
            SkinBitmap(panel->IndicatorImage(2)).toImage().pixelColor(16, 27))
      << "the lamp's icon is drawn whole";
}

TEST_F(FourChannelPanelTest, SerialModeStillReadsAndSendsByUdp) {
  // The four-channel switcher has no serial commands: the read-back, the
  // signal poll and every command go by UDP whatever the connection mode.
  DeviceHolds(11, 3, 4, 0, 7);
  Device().SetSignals({0, 1, 0, 0});
  m_window->dlg->m_eState = kModeSerial;
  m_window->dlg->m_main_com_dev_type = 0x60;
  CClass_trisk_main_dlg* panel = Open();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(data().zv_trisk_show_mode_type, 11);
  EXPECT_EQ(data().zv_trisk_output_format, 7);
  EXPECT_EQ(panel->IndicatorImage(1), 375);
  EXPECT_EQ(panel->IndicatorImage(0), 376);
  Click(panel, 1032);
  Click(panel, 1011);
  EXPECT_EQ(Sent(panel), (std::vector<std::string>{"94:00", "a6:01"}));
  EXPECT_EQ(Device().State().show_mode, 0);
}

TEST_F(FourChannelPanelTest, ReadBackOfASingleInsetModeKeepsTheDevicesChannels) {
  // The lists show the channels the device reported; moving the inset to 1
  // belongs to a mode the operator clicks, so nothing goes back, and the
  // next change of a list sends the device's first channel, not 1.
  DeviceHolds(8, 2, 3);
  CClass_trisk_main_dlg* panel = Open();
  EXPECT_EQ(Combo(panel, 1189)->currentText(), "2");
  EXPECT_EQ(Combo(panel, 1192)->currentText(), "3");
  EXPECT_EQ(Button(panel, 1040)->FaceImageId(), 326);
  EXPECT_EQ(Sent(panel), std::vector<std::string>{});
  QComboBox* second = Combo(panel, 1192);
  ASSERT_TRUE(second->isEnabled());
  second->setFocus();
  QTest::keyClick(second, Qt::Key_Down);  // the operator steps the list from 3 to 4
  EXPECT_EQ(Sent(panel), std::vector<std::string>{"a5:0204"});  // 0xA5: channels 2 and 4
  EXPECT_EQ(Device().State().pip_child_ch, (std::array<uint8_t, 2>{2, 4}));
}

TEST_F(FourChannelPanelTest, WheelOverAClosedListChangesNothing) {
  DeviceHolds(8, 2, 3);
  CClass_trisk_main_dlg* panel = Open();
  int lists = 0;
  for (int id : {1189, 1192, int{kIdTriskOutputFormatList}}) {
    QComboBox* list = Combo(panel, id);
    if (!list->isEnabled()) continue;
    ++lists;
    const int shown = list->currentIndex();
    // Towards the operator, then away past the start: each notch alone.
    for (int notches : {-1, 1, 1}) {
      test::TurnWheel(list, notches);
      EXPECT_EQ(list->currentIndex(), shown) << notches;
    }
  }
  EXPECT_GE(lists, 2);
  EXPECT_EQ(Sent(panel), std::vector<std::string>{});
}

TEST_F(FourChannelPanelTest, ReadBackOfTheModeAlreadyHeldStillMarksItsButton) {
  DeviceHolds(3, 1, 2);
  data().zv_trisk_show_mode_type = 3;
  CClass_trisk_main_dlg* panel = Open();
  EXPECT_EQ(Button(panel, 1035)->FaceImageId(), 316);
  EXPECT_TRUE(Button(panel, 1035)->IsSelected());
  EXPECT_EQ(m_window->session().MutablePreview()[0].width, 480);
  EXPECT_EQ(Sent(panel), std::vector<std::string>{}) << "no 0x94 goes back";
}

TEST_F(FourChannelPanelTest, ModeAbove16FromTheDeviceMarksNothingAndSendsNothing) {
  for (uint8_t mode : {17, 255}) {
    SCOPED_TRACE(int(mode));
    DeviceHolds(mode, 1, 2);
    data().zv_trisk_show_mode_type = 3;
    m_window->session().MutablePreview() = TriskPreviewWindows(3);
    CClass_trisk_main_dlg* panel = Open();
    EXPECT_EQ(SelectedModeButtons(panel), 0);
    EXPECT_EQ(m_window->session().MutablePreview()[0].width, 480) << "the preview stays";
    EXPECT_EQ(data().zv_trisk_show_mode_type, mode);
    EXPECT_EQ(Sent(panel), std::vector<std::string>{});
    // Every button, the previous mode's too, sends again.
    Click(panel, 1035);
    EXPECT_EQ(Sent(panel), std::vector<std::string>{"94:03"});
    EXPECT_TRUE(Button(panel, 1035)->IsSelected());
  }
}

TEST_F(FourChannelPanelTest, TheCurrentModesButtonSendsNothing) {
  DeviceHolds(8, 3, 4);
  CClass_trisk_main_dlg* panel = Open();
  Click(panel, 1040);
  EXPECT_EQ(Sent(panel), std::vector<std::string>{});
  EXPECT_EQ(Button(panel, 1040)->FaceImageId(), 326);
}

TEST_F(FourChannelPanelTest, SingleInsetModesPutTheInsetOnChannelOne) {
  struct Row {
    uint8_t ch1, ch2;
    const char* list1;
    const char* list2;
  };
  const Row rows[] = {{1, 1, "1", "2"}, {3, 4, "1", "4"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.list2);
    DeviceHolds(0, row.ch1, row.ch2);
    CClass_trisk_main_dlg* panel = Open();
    Click(panel, 1040);
    EXPECT_EQ(Sent(panel), std::vector<std::string>{"94:08"}) << "only the mode is sent";
    EXPECT_EQ(data().zv_trisk_pip_child_ch[0], 1);
    EXPECT_EQ(QString::number(data().zv_trisk_pip_child_ch[1]), row.list2);
    EXPECT_EQ(Combo(panel, 1189)->currentText(), row.list1);
    EXPECT_EQ(Combo(panel, 1192)->currentText(), row.list2);
    EXPECT_FALSE(Combo(panel, 1189)->isEnabled());
    EXPECT_TRUE(Combo(panel, 1192)->isEnabled());
    EXPECT_EQ(Button(panel, 1032)->FaceImageId(), 309) << "the old mode's button is released";
    EXPECT_EQ(Button(panel, 1040)->FaceImageId(), 326);
    EXPECT_EQ(Device().State().show_mode, 8);
  }
}

TEST_F(FourChannelPanelTest, PipListsNeverHoldTheSameChannel) {
  DeviceHolds(11, 2, 3);
  CClass_trisk_main_dlg* panel = Open();
  ASSERT_TRUE(Combo(panel, 1189)->isEnabled());
  Choose(Combo(panel, 1189), "3");
  EXPECT_EQ(Combo(panel, 1189)->currentText(), "2") << "undone";
  EXPECT_EQ(Sent(panel), std::vector<std::string>{});
  Choose(Combo(panel, 1189), "4");
  EXPECT_EQ(Sent(panel), std::vector<std::string>{"a5:0403"});
  Choose(Combo(panel, 1192), "4");
  EXPECT_EQ(Combo(panel, 1192)->currentText(), "3");
  Choose(Combo(panel, 1192), "1");
  EXPECT_EQ(Sent(panel), std::vector<std::string>{"a5:0401"});
  EXPECT_EQ(Device().State().pip_child_ch, (std::array<uint8_t, 2>{4, 1}));
}

TEST_F(FourChannelPanelTest, LoopAndModesFiveAndSixAndTheListsEnabledState) {
  DeviceHolds(11, 1, 2);
  CClass_trisk_main_dlg* panel = Open();
  QComboBox* first = Combo(panel, 1189);
  QComboBox* second = Combo(panel, 1192);
  ASSERT_TRUE(first->isEnabled() && second->isEnabled());
  // Blue text pixels in the left half of a list, where its number stands.
  const auto blue_text = [](QComboBox* list) {
    const QImage shot = list->grab().toImage();
    int blue = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width() / 2; ++x) {
        const QColor c = shot.pixelColor(x, y);
        blue += c.blue() - c.red() > 100 ? 1 : 0;
      }
    return blue;
  };
  EXPECT_GT(blue_text(first), 0);
  Click(panel, 1011);
  EXPECT_FALSE(first->isEnabled());
  EXPECT_FALSE(second->isEnabled());
  EXPECT_EQ(blue_text(first), 0) << "a disabled list shows its number in grey";
  EXPECT_EQ(Button(panel, 1011)->FaceImageId(), 374);
  Click(panel, 1011);
  EXPECT_TRUE(first->isEnabled());
  EXPECT_TRUE(second->isEnabled());
  EXPECT_EQ(Button(panel, 1011)->FaceImageId(), 373);
  EXPECT_EQ(Sent(panel), (std::vector<std::string>{"a6:01", "a6:00"}));

  // Modes 5 and 6 (buttons hidden) leave the lists as they were.
  panel->OnShowModeSelected(5);
  EXPECT_TRUE(first->isEnabled() && second->isEnabled());
  panel->OnShowModeSelected(3);
  EXPECT_FALSE(first->isEnabled() || second->isEnabled());
  panel->OnShowModeSelected(6);
  EXPECT_FALSE(first->isEnabled() || second->isEnabled());
  EXPECT_EQ(Sent(panel), (std::vector<std::string>{"94:05", "94:03", "94:06"}));
}

TEST_F(FourChannelPanelTest, LoopTimeIsSentOnEnterInItsField) {
  CClass_trisk_main_dlg* panel = Open();
  auto* time = qobject_cast<QLineEdit*>(panel->Item(1191));
  struct Row {
    const char* typed;
    const char* shown;
    const char* sent;
  };
  // Digits only, three at most; below 3 counts as 3.
  const Row rows[] = {{"1", "1", "a7:0300"}, {"", "", "a7:0300"}, {"300", "300", "a7:2c01"},
                      {"12a", "12", "a7:0c00"}, {"9999", "999", "a7:e703"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    time->clear();
    QTest::keyClicks(time, row.typed);
    QTest::keyClick(time, Qt::Key_Return);
    EXPECT_EQ(time->text(), row.shown) << "the field is left as typed";
    EXPECT_EQ(Sent(panel), std::vector<std::string>{row.sent});
  }
  EXPECT_EQ(Device().State().loop_time, 999);
  // Enter elsewhere sends nothing and closes nothing.
  m_window->dlg->show();
  QTest::keyClick(Combo(panel, 1189), Qt::Key_Return);
  QTest::keyClick(panel, Qt::Key_Enter);
  EXPECT_EQ(Sent(panel), std::vector<std::string>{});
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(m_window->dlg->isVisible());
}

TEST_F(FourChannelPanelTest, EscapeNeverClosesThePanel) {
  CClass_trisk_main_dlg* panel = Open();
  m_window->dlg->show();
  ASSERT_TRUE(panel->isVisible());
  for (QWidget* target : {static_cast<QWidget*>(panel), panel->Item(1191), panel->Item(1189),
                          static_cast<QWidget*>(Button(panel, 1032))}) {
    QTest::keyClick(target, Qt::Key_Escape);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(m_window->dlg->isVisible());
  }
  EXPECT_EQ(m_window->dlg->m_p_mian_show_dlg.data(), panel);
}

TEST_F(FourChannelPanelTest, OutputFormatList) {
  DeviceHolds(0, 1, 2, 0, 5);  // a code without an entry
  CClass_trisk_main_dlg* panel = Open();
  QComboBox* formats = Combo(panel, 1187);
  EXPECT_EQ(formats->count(), 6);
  EXPECT_EQ(formats->currentIndex(), -1) << "no entry for code 5";
  Choose(formats, "720P60");
  EXPECT_EQ(data().zv_trisk_output_format, 7);
  EXPECT_EQ(Sent(panel), std::vector<std::string>{"92:07"});
  EXPECT_EQ(Device().State().output_format, 7);
}

TEST_F(FourChannelPanelTest, PreviewIsDrawnFromTheModesWindows) {
  DeviceHolds(8, 1, 2);
  CClass_trisk_main_dlg* panel = Open();
  const QImage shot = panel->grab().toImage();
  // The preview sits at (5, 40): mode 8 is one full window with an inset at
  // (40, 30).
  EXPECT_EQ(shot.pixelColor(5, 40), QColor(89, 187, 255));
  EXPECT_EQ(shot.pixelColor(5 + 2, 40 + 2), QColor(55, 55, 55));
  EXPECT_EQ(shot.pixelColor(5 + 40, 40 + 30), QColor(89, 187, 255));
  EXPECT_EQ(shot.pixelColor(5 + 100, 40 + 60), QColor(55, 55, 55));

  struct Row {
    int mode, x, y;
    QColor colour;
  };
  const Row rows[] = {
      {12, 0, 0, QColor(89, 187, 255)},   {12, 1, 1, QColor(89, 187, 255)},
      {12, 2, 2, QColor(55, 55, 55)},     {12, 719, 479, QColor(89, 187, 255)},
      {6, 10, 10, QColor(152, 152, 152)}, {6, 181, 1, QColor(89, 187, 255)},
      {17, 360, 240, QColor(152, 152, 152)},
      // The number's opaque white ground starts at the window's centre less 5.
      {12, 355, 235, QColor(Qt::white)},  {12, 354, 234, QColor(55, 55, 55)},
      {11, 175, 235, QColor(Qt::white)},  {11, 174, 234, QColor(55, 55, 55)},
  };
  for (const Row& row : rows)
    EXPECT_EQ(DrawTriskPreview(TriskPreviewWindows(row.mode)).pixelColor(row.x, row.y), row.colour)
        << row.mode << " at " << row.x << "," << row.y;
}

TEST(FourChannelSessionsTest, TwoSwitchersKeepTheirOwnRecords) {
  // Two four-channel switchers in the list: each has its own session, so a
  // mode chosen on one reaches only that device and changes only its
  // record, and the other's panel shows what its own device holds.
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"QuadA", "QuadB"}, 0x60);
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  const auto device = [&](int n) -> sim::FourChannelDevice& {
    return dynamic_cast<sim::FourChannelDevice&>(runner.sim().Device(n));
  };
  for (int n : {0, 1}) {
    sim::FourChannelState s = device(n).State();
    s.show_mode = n == 0 ? 11 : 3;
    s.pip_child_ch = {static_cast<uint8_t>(n + 1), 4};
    device(n).SetState(s);
  }
  Window w(port);
  if (w.dlg->m_device_list.size() < 2) w.dlg->m_device_list.resize(2);
  w.dlg->m_device_list[1].SetIpText("127.0.0.3");
  w.dlg->m_device_list[1].device_type = 0x60;
  w.dlg->m_device_list[1].device_id = 2;
  w.dlg->DeviceCombo()->addItem("QuadB_127.0.0.3");
  const auto open = [&](int8_t n) {
    w.dlg->m_device_index = n;
    return w.Open();
  };

  CClass_trisk_main_dlg* first = open(0);
  ASSERT_NE(first, nullptr);
  FourChannelSession& a = first->Session();
  QTest::mouseClick(Button(first, 1040), Qt::LeftButton);  // mode 8
  ASSERT_TRUE(QTest::qWaitFor([&] { return device(0).State().show_mode == 8; }, 2000));

  CClass_trisk_main_dlg* second = open(1);
  ASSERT_NE(second, nullptr);
  FourChannelSession& b = second->Session();
  ASSERT_NE(&a, &b);
  EXPECT_EQ(b.Data().zv_trisk_show_mode_type, 3) << "the second device's own mode";
  EXPECT_EQ(b.Data().zv_trisk_pip_child_ch[0], 2);
  EXPECT_TRUE(Button(second, 1035)->IsSelected());
  EXPECT_EQ(a.Data().zv_trisk_show_mode_type, 8) << "the first record kept its mode";
  EXPECT_EQ(a.Data().zv_trisk_pip_child_ch[0], 1);
  EXPECT_EQ(b.Preview()[0].width, TriskPreviewWindows(3)[0].width);
  EXPECT_EQ(a.Preview()[1].x, TriskPreviewWindows(8)[1].x) << "the first device's preview";

  // The second device's lists: channel 3 on its first inset reaches it
  // alone; the first device and its record keep channel 1.
  QTest::mouseClick(Button(second, 1043), Qt::LeftButton);  // mode 11, both insets
  Choose(Combo(second, 1189), "3");
  ASSERT_TRUE(QTest::qWaitFor([&] { return device(1).State().pip_child_ch[0] == 3; }, 2000));
  EXPECT_EQ(b.Data().zv_trisk_pip_child_ch[0], 3);
  EXPECT_EQ(a.Data().zv_trisk_pip_child_ch[0], 1);
  EXPECT_EQ(device(0).State().pip_child_ch[0], 1);
  EXPECT_EQ(device(0).State().show_mode, 8);
  EXPECT_EQ(device(1).State().show_mode, 11);
}

// ---- the signal poll, against a stand-in answering a literal status -------

Bytes StateReplyMode(uint8_t mode) {
  Bytes r(263, 0);
  r[0] = 0xA5;
  r[1] = 0x6C;
  r[16] = 0x90;
  r[22] = mode;
  r[255] = 1;
  r[256] = 2;
  return r;
}

TEST(FourChannelSignalTest, IndicatorsFollowTheStatusAndAReopenedPanelShowsItAgain) {
  const Bytes status = {0xA5, 0x6C, 29, 0, 0x60, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0,
                        0x01, 0x5A,  // input 1: signal
                        0x00, 0x5A,  // input 2: none
                        0x01, 0x5A,  // input 3: signal
                        0x02, 0x5A,  // input 4: 2 is not a signal
                        0, 0, 0xAE};
  test::ScriptedDevice device({{0x90, {{StateReplyMode(0)}}}, {0xAA, {{status}}}});
  ASSERT_TRUE(device.ok());
  Window w(device.port(), "127.0.0.1");
  CClass_trisk_main_dlg* panel = w.Open();
  ASSERT_NE(panel, nullptr);
  const int lamps[] = {375, 376, 375, 376};
  for (int n = 0; n < 4; ++n) EXPECT_EQ(panel->IndicatorImage(n), lamps[n]) << n;
  EXPECT_EQ(device.Requests(), (Bytes{0x90, 0xAA}));

  // The timer's tick polls again; the same status changes no lamp.
  const int updates = panel->IndicatorUpdates();
  QTimerEvent tick(panel->QtTimerOf(1));
  QCoreApplication::sendEvent(panel, &tick);
  EXPECT_TRUE(test::DrainLink(*w.dlg));
  EXPECT_EQ(device.Requests(), (Bytes{0x90, 0xAA, 0xAA}));
  EXPECT_EQ(panel->IndicatorUpdates(), updates);
  for (int n = 0; n < 4; ++n) EXPECT_EQ(panel->IndicatorImage(n), lamps[n]) << n;

  // The record still says input 1 has a signal; a new panel shows it anyway
  // after its first poll.
  ASSERT_EQ(w.data().zv_trisk_signal_status[0], 1);
  CClass_trisk_main_dlg* reopened = w.Open();
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(reopened->IndicatorImage(0), 375);
  EXPECT_EQ(reopened->IndicatorImage(2), 375);
}

TEST(FourChannelSignalTest, SilentDeviceLeavesThePanelEmpty) {
  test::ScriptedDevice device({});
  ASSERT_TRUE(device.ok());
  Window w(device.port(), "127.0.0.1");
  w.data().zv_trisk_pip_child_ch[0] = 3;
  w.data().zv_trisk_signal_status[0] = 1;
  CClass_trisk_main_dlg* panel = w.Open();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(SelectedModeButtons(panel), 0);
  EXPECT_EQ(Combo(panel, 1189)->currentText(), "3") << "the lists show the stored channels";
  EXPECT_EQ(Combo(panel, 1192)->currentText(), "1");
  for (int n = 0; n < 4; ++n) EXPECT_EQ(panel->IndicatorImage(n), 376);
  EXPECT_EQ(w.data().zv_trisk_signal_status[0], 0) << "reset when the panel opens";
}

TEST(FourChannelSignalTest, AfterASilentReadBackAnyModeClickSends) {
  // No reply: the device's mode is unknown, so even mode 0 (the record's
  // starting value) goes out when clicked.
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Quad"});
  config.devices[0].type = 0x60;
  config.devices[0].faults.silent = true;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  Window w(port);
  CClass_trisk_main_dlg* panel = w.Open();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(SelectedModeButtons(panel), 0);
  QTest::mouseClick(Button(panel, 1032), Qt::LeftButton);
  const auto sent_mode_0 = [&] {
    for (const std::string& line : runner.sim().LogLines())
      if (line.find("\"command\":\"0x94\",\"params\":\"00\"") != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(QTest::qWaitFor(sent_mode_0, 2000)) << "0x94 (set show mode) with mode 0";
  EXPECT_TRUE(Button(panel, 1032)->IsSelected());
}

}  // namespace
}  // namespace zv
