// The matrix panel and its two pages on the offscreen platform, clicked by
// control id, against the virtual matrix router on loopback and against
// pseudo-terminals.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QTest>

#include "app/main_window.h"
#include "controls/group_box.h"
#include "controls/ip_address_ctrl.h"
#include "controls/shade_button_st.h"
#include "matrix/matrix_connection_page.h"
#include "matrix/matrix_function_page.h"
#include "matrix/matrix_panel.h"
#include "matrix/matrix_state.h"
#include "platform/platform.h"
#include "res/skin.h"
#include "sim/matrix_device.h"
#include "support/pty_pair.h"
#include "support/recorders.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

using Route = std::array<uint8_t, 8>;
constexpr Route kOwnOutputs{1, 2, 3, 4, 5, 6, 7, 8};

// The main window with a matrix router chosen, the router running in the
// simulator on loopback (and, when asked, on a pseudo-terminal too).
class MatrixPanelFixture {
 public:
  explicit MatrixPanelFixture(bool serial = false)
      : m_port(test::FreeUdpPort()), m_runner(SimConfig(m_port, serial)), m_dlg(DlgConfig(m_port)) {
    m_dlg.m_device_list[0].SetIpText("127.0.0.2");
    m_dlg.m_device_list[0].device_type = 0x82;
    m_dlg.m_device_list[0].device_id = 1;
    m_dlg.DeviceCombo()->addItem("Matrix8x8_127.0.0.2");
    m_dlg.m_device_index = 0;
    m_dlg.OpenDevicePanel();
    m_dlg.show();
  }

  bool Ready() { return m_runner.started() && panel() && QTest::qWaitForWindowExposed(&m_dlg); }
  CZELVIKDlg& dlg() { return m_dlg; }
  CClass_matrix_control* panel() const {
    return qobject_cast<CClass_matrix_control*>(m_dlg.m_p_mian_show_dlg.data());
  }
  CClass_matrix_child_function* function_page() const {
    return qobject_cast<CClass_matrix_child_function*>(panel()->Page());
  }
  CClass_matrix_child_setting* connection_page() const {
    return qobject_cast<CClass_matrix_child_setting*>(panel()->Page());
  }
  sim::MatrixDevice& router() { return dynamic_cast<sim::MatrixDevice&>(m_runner.sim().Device(0)); }
  const std::string& serial_path() { return m_runner.sim().SerialPath(); }

  void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
  void ClickInput(int k) { Click(panel()->InputButton(k)); }
  void ClickOutput(int o) { Click(panel()->OutputButton(o)); }
  void ClickFunction(int id) { Click(function_page()->Item(id)); }
  void ClickPage(int page) { Click(panel()->PageButton(page)); }

  // The texts the router received so far, in order.
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const std::string& line : m_runner.sim().LogLines()) {
      const size_t at = line.find("\"text\":\"");
      if (at == std::string::npos) continue;
      const size_t start = at + 8;
      texts.push_back(line.substr(start, line.find('"', start) - start));
    }
    return texts;
  }
  // Waits in short bounded steps until the router has taken `count` texts,
  // or gives up; then returns what it received.
  std::vector<std::string> TextsAfter(size_t count, int steps = 100) {
    for (int i = 0; i < steps && Texts().size() < count; ++i) {
      test::UdpPeer idle;
      idle.Receive(10);
    }
    return Texts();
  }
  // A short wait in which nothing more is expected.
  std::vector<std::string> TextsAfterAPause() { return TextsAfter(SIZE_MAX, 10); }

  // Faces of the rows: the selected ones, by number.
  std::vector<int> SelectedInputs() const { return Selected(&CClass_matrix_control::InputButton); }
  std::vector<int> SelectedOutputs() const { return Selected(&CClass_matrix_control::OutputButton); }

 private:
  static sim::SimConfig SimConfig(uint16_t port, bool serial) {
    sim::SimConfig c = test::LoopbackSim(port, {"Matrix8x8"});
    c.devices[0].type = 0x82;
    c.serial = serial;
    return c;
  }
  static LinkConfig DlgConfig(uint16_t port) {
    LinkConfig c;
    c.device_port = port;
    c.local_port = 0;
    c.search_address = "127.0.0.1";
    return c;
  }
  std::vector<int> Selected(CButtonST* (CClass_matrix_control::*button)(int) const) const {
    std::vector<int> selected;
    for (int k = 1; k <= 8; ++k) {
      CButtonST* b = (panel()->*button)(k);
      // The face shown is the one that says so, not only the flag.
      const int face = b->FaceImageId();
      EXPECT_TRUE(face == MatrixNormalFace(k) || face == MatrixSelectedFace(k)) << face;
      if (face == MatrixSelectedFace(k)) selected.push_back(k);
    }
    return selected;
  }

  uint16_t m_port;
  test::SimRunner m_runner;
  CZELVIKDlg m_dlg;
};

using Numbers = std::vector<int>;
using Texts = std::vector<std::string>;

TEST(MatrixPanelTest, RowsPageButtonsAndTheFunctionPage) {
  MatrixPanelFixture f;
  ASSERT_TRUE(f.Ready());
  CClass_matrix_control* panel = f.panel();
  EXPECT_EQ(panel->Resource(), 206);
  EXPECT_EQ(panel->BackgroundId(), 229);
  for (int k = 1; k <= 8; ++k) {
    const int x = 80 + 68 * (k - 1);
    struct Row {
      CButtonST* button;
      int y;
      int id;
    };
    for (const Row& row : {Row{panel->InputButton(k), 180, 1130 + k}, Row{panel->OutputButton(k), 380, 1140 + k}}) {
      ASSERT_NE(row.button, nullptr) << k;
      EXPECT_EQ(row.button, panel->Item(row.id));
      EXPECT_EQ(row.button->geometry(), QRect(x, row.y, 60, 65)) << row.id;
      EXPECT_EQ(row.button->FaceImageId(), 211 + 2 * k) << row.id;
      EXPECT_TRUE(row.button->IsSeeThrough());
      EXPECT_FALSE(row.button->IsBorderShown());
      EXPECT_TRUE(row.button->IsFlatLook());
    }
  }
  struct PageButton {
    int id;
    QRect geometry;
    int face;
  };
  // Page 1 is shown, so its button shows its selected face.
  for (const PageButton& b : {PageButton{1032, {748, 25, 80, 75}, 193}, PageButton{1033, {840, 25, 90, 75}, 200}}) {
    auto* button = qobject_cast<CShadeButtonST*>(panel->Item(b.id));
    ASSERT_NE(button, nullptr) << b.id;
    EXPECT_EQ(button->geometry(), b.geometry);
    EXPECT_EQ(button->FaceImageId(), b.face);
    EXPECT_TRUE(button->IsSeeThrough());
    EXPECT_FALSE(button->IsBorderShown());
  }
  EXPECT_EQ(panel->PageRect(), QRect(750, 105, 490, 420));
  for (int id : {1091, 1092}) {
    ASSERT_NE(qobject_cast<CMyGroupBox*>(panel->Item(id)), nullptr) << id;
    EXPECT_FALSE(panel->Item(id)->isVisibleTo(panel)) << id;
  }

  EXPECT_EQ(panel->CurrentPage(), 1);
  CClass_matrix_child_function* page = f.function_page();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->geometry(), QRect(750, 105, 490, 420));
  EXPECT_TRUE(page->isVisibleTo(panel));
  EXPECT_EQ(page->BackgroundId(), 230);
  EXPECT_EQ(page->Item(1100)->geometry(), QRect(5, 5, 480, 410));
  struct FunctionButton {
    int id;
    QRect geometry;
    int face;
  };
  const FunctionButton buttons[] = {{1032, {200, 100, 220, 60}, 233},
                                    {1033, {200, 195, 220, 65}, 234},
                                    {1011, {272, 300, 140, 65}, 231},
                                    {1097, {100, 300, 140, 65}, 235}};
  for (const FunctionButton& b : buttons) {
    CButtonST* button = page->Button(b.id);
    ASSERT_NE(button, nullptr) << b.id;
    EXPECT_EQ(button->geometry(), b.geometry) << b.id;
    EXPECT_EQ(button->FaceImageId(), b.face) << b.id;
    EXPECT_TRUE(button->IsSeeThrough());
    EXPECT_FALSE(button->IsBorderShown());
  }
  // Enter and Escape close neither the page nor the panel.
  for (QWidget* target : {static_cast<QWidget*>(panel), static_cast<QWidget*>(page)})
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(target, key);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(page->isVisible());
}

TEST(MatrixPanelTest, OutputsWaitForApplyWhichSendsOnce) {
  MatrixPanelFixture f;
  ASSERT_TRUE(f.Ready());
  f.ClickInput(3);
  EXPECT_EQ(f.SelectedInputs(), Numbers{3});
  // The router starts one to one, but the panel knows nothing of it.
  EXPECT_EQ(f.SelectedOutputs(), Numbers{});
  for (int o : {8, 1, 4}) f.ClickOutput(o);
  EXPECT_EQ(f.SelectedOutputs(), (Numbers{1, 4, 8}));
  EXPECT_EQ(f.TextsAfterAPause(), Texts{}) << "clicking outputs sends nothing";

  f.ClickFunction(kIdMatrixApply);
  EXPECT_EQ(f.TextsAfter(1), Texts{"3V1,4,8."});
  EXPECT_EQ(f.TextsAfterAPause(), Texts{"3V1,4,8."}) << "sent once";
  EXPECT_EQ(f.router().Routes(), (Route{3, 2, 3, 3, 5, 6, 7, 3}));
  EXPECT_EQ(f.SelectedOutputs(), (Numbers{1, 4, 8}));

  // Another input shows only what feeds from it.
  f.ClickInput(6);
  EXPECT_EQ(f.SelectedInputs(), Numbers{6});
  EXPECT_EQ(f.SelectedOutputs(), Numbers{});
  f.ClickFunction(kIdMatrixOneToAll);
  EXPECT_EQ(f.TextsAfter(2).back(), "6All.");
  EXPECT_EQ(f.SelectedOutputs(), (Numbers{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(f.router().Routes(), (Route{6, 6, 6, 6, 6, 6, 6, 6}));

  f.ClickFunction(kIdMatrixOneToOne);
  EXPECT_EQ(f.TextsAfter(3).back(), "All#.");
  EXPECT_EQ(f.SelectedInputs(), Numbers{});
  EXPECT_EQ(f.SelectedOutputs(), Numbers{});
  EXPECT_EQ(f.router().Routes(), kOwnOutputs);
  f.ClickInput(4);
  EXPECT_EQ(f.SelectedOutputs(), Numbers{4});

  // Clicked away again, nothing is left to apply.
  f.ClickOutput(4);
  f.ClickFunction(kIdMatrixApply);
  EXPECT_EQ(f.TextsAfterAPause().size(), 3u);
}

TEST(MatrixPanelTest, ThePageButtonOfTheShownPageDoesNotRebuildIt) {
  MatrixPanelFixture f;
  ASSERT_TRUE(f.Ready());
  QPointer<QWidget> first = f.panel()->Page();
  f.ClickPage(1);
  EXPECT_EQ(f.panel()->Page(), first.data());
  ASSERT_FALSE(first.isNull());

  f.ClickPage(2);
  EXPECT_TRUE(first.isNull()) << "the function page is gone";
  QPointer<QWidget> second = f.panel()->Page();
  ASSERT_NE(f.connection_page(), nullptr);
  EXPECT_EQ(second->geometry(), QRect(750, 105, 490, 420));
  EXPECT_EQ(f.panel()->PageButton(1)->FaceImageId(), 192);
  EXPECT_EQ(f.panel()->PageButton(2)->FaceImageId(), 201);
  EXPECT_EQ(f.panel()->findChildren<CChildDialog*>().size(), 1);

  f.ClickPage(2);
  EXPECT_EQ(f.panel()->Page(), second.data());
  f.ClickPage(1);
  EXPECT_TRUE(second.isNull());
  EXPECT_NE(f.function_page(), nullptr);
  EXPECT_EQ(f.panel()->PageButton(1)->FaceImageId(), 193);
  EXPECT_EQ(f.panel()->PageButton(2)->FaceImageId(), 200);
}

TEST(MatrixPanelTest, TheLockFreezesRoutingAndSurvivesSwitchingPages) {
  MatrixPanelFixture f;
  ASSERT_TRUE(f.Ready());
  f.ClickInput(2);
  f.ClickOutput(5);
  f.ClickFunction(kIdMatrixLock);
  EXPECT_EQ(f.dlg().m_matrix_lock, kMatrixLocked);
  EXPECT_EQ(f.function_page()->Button(kIdMatrixLock)->FaceImageId(), 232);

  const Route before{0, 0, 0, 0, 2, 0, 0, 0};
  f.ClickInput(7);
  f.ClickOutput(5);
  f.ClickOutput(1);
  for (int id : {kIdMatrixApply, kIdMatrixOneToAll, kIdMatrixOneToOne}) f.ClickFunction(id);
  EXPECT_EQ(f.TextsAfterAPause(), Texts{});
  EXPECT_EQ(f.dlg().m_matrix_input, 2);
  EXPECT_EQ(Route(std::to_array(f.dlg().m_matrix_route)), before);
  EXPECT_EQ(f.SelectedInputs(), Numbers{2});
  EXPECT_EQ(f.SelectedOutputs(), Numbers{5});

  f.ClickPage(2);
  f.ClickPage(1);
  ASSERT_NE(f.function_page(), nullptr);
  EXPECT_EQ(f.function_page()->Button(kIdMatrixLock)->FaceImageId(), 232);
  EXPECT_EQ(f.dlg().m_matrix_lock, kMatrixLocked);

  f.ClickFunction(kIdMatrixLock);
  EXPECT_EQ(f.dlg().m_matrix_lock, 0);
  EXPECT_EQ(f.function_page()->Button(kIdMatrixLock)->FaceImageId(), 231);
  f.ClickFunction(kIdMatrixApply);
  EXPECT_EQ(f.TextsAfter(1), Texts{"2V5."});

  // Opening a panel clears the lock; the new page shows it open.
  f.ClickFunction(kIdMatrixLock);
  f.dlg().OpenDevicePanel();
  EXPECT_EQ(f.dlg().m_matrix_lock, 0);
  EXPECT_EQ(f.function_page()->Button(kIdMatrixLock)->FaceImageId(), 231);
}

TEST(MatrixPanelTest, AReopenedPanelShowsTheRememberedInput) {
  MatrixPanelFixture f;
  ASSERT_TRUE(f.Ready());
  f.ClickInput(5);
  f.ClickOutput(2);
  f.ClickOutput(7);
  f.dlg().OpenDevicePanel();
  ASSERT_NE(f.panel(), nullptr);
  EXPECT_EQ(f.SelectedInputs(), Numbers{5});
  EXPECT_EQ(f.SelectedOutputs(), (Numbers{2, 7}));
  // The chosen input is chosen already, so its click has nothing to do, and
  // the outputs answer at once.
  f.ClickInput(5);
  f.ClickOutput(7);
  EXPECT_EQ(f.SelectedOutputs(), Numbers{2});
  f.ClickFunction(kIdMatrixApply);
  EXPECT_EQ(f.TextsAfter(1), Texts{"5V2."});
}

TEST(MatrixPanelTest, SerialModeWithThePortClosedSendsAndChangesNothing) {
  MatrixPanelFixture f;
  ASSERT_TRUE(f.Ready());
  f.ClickInput(3);
  f.ClickOutput(1);
  f.dlg().m_eState = kModeSerial;
  ASSERT_FALSE(f.dlg().m_serial_port.IsOpen());
  test::MessageBoxRecorder boxes;
  for (int id : {kIdMatrixApply, kIdMatrixOneToAll, kIdMatrixOneToOne}) f.ClickFunction(id);
  EXPECT_EQ(f.TextsAfterAPause(), Texts{});
  EXPECT_TRUE(boxes.requests.empty()) << "nothing is reported";
  EXPECT_EQ(f.dlg().m_matrix_input, 3);
  EXPECT_EQ(Route(std::to_array(f.dlg().m_matrix_route)), (Route{3, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(f.SelectedInputs(), Numbers{3});
  EXPECT_EQ(f.SelectedOutputs(), Numbers{1});
  EXPECT_EQ(f.router().Routes(), kOwnOutputs);
}

TEST(MatrixConnectionPageTest, OpeningState) {
  MatrixPanelFixture f;
  ASSERT_TRUE(f.Ready());
  for (int32_t mode : {kModeNetwork, kModeSerial}) {
    f.dlg().m_eState = mode;
    f.ClickPage(1);
    f.ClickPage(2);
    CClass_matrix_child_setting* page = f.connection_page();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->BackgroundId(), 194);
    QComboBox* modes = page->ModeList();
    ASSERT_EQ(modes->count(), 2);
    EXPECT_EQ(modes->itemText(0), "LAN Port");
    EXPECT_EQ(modes->itemText(1), "Serial Port");
    EXPECT_EQ(modes->currentIndex(), mode);
    // Whatever the mode, the serial group waits for a pick in the mode list.
    EXPECT_FALSE(page->PortList()->isEnabled()) << mode;
    EXPECT_FALSE(page->BaudList()->isEnabled()) << mode;
    EXPECT_FALSE(page->ConnectButton()->isEnabled()) << mode;
    EXPECT_TRUE(page->IpField()->isEnabled()) << mode;
    std::array<uint8_t, 4> ip{};
    page->IpField()->GetAddress(&ip);
    EXPECT_EQ(ip, (std::array<uint8_t, 4>{127, 0, 0, 2}));
    QStringList bauds;
    for (int i = 0; i < page->BaudList()->count(); ++i) bauds << page->BaudList()->itemText(i);
    EXPECT_EQ(bauds, QStringList({"9600", "19200", "38400", "57600", "115200"}));
    EXPECT_EQ(page->BaudList()->currentIndex(), 0);
    EXPECT_EQ(page->Item(1201)->geometry(), QRect(5, 5, 480, 410));

    CShadeButtonST* button = page->ConnectButton();
    EXPECT_EQ(button->text(), "Connect");
    EXPECT_TRUE(button->HasShade());
    EXPECT_EQ(button->GetFaceColor(CButtonST::FaceColor::kTextOut), QColor(0, 128, 0));
    EXPECT_EQ(button->GetFaceColor(CButtonST::FaceColor::kTextHot), QColor(178, 0, 0));
    EXPECT_EQ(page->LinkIconId(), 211);
    EXPECT_EQ(qobject_cast<QLabel*>(page->Item(1099))->pixmap().cacheKey(), SkinBitmap(211).cacheKey());
  }
  CClass_matrix_child_setting* page = f.connection_page();
  QStringList shown, hidden;
  for (QLabel* label : page->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
    if (!label->text().isEmpty()) (label->isVisibleTo(page) ? shown : hidden) << label->text();
  EXPECT_EQ(shown, QStringList({"Connection Mode", "Current IP", "Serial Port", "Baud Rate"}));
  EXPECT_EQ(hidden, QStringList({"Net Work", "Com"}));

  // The hidden radio buttons only set the mode.
  for (auto [id, mode] : {std::pair{1012, kModeNetwork}, std::pair{1013, kModeSerial}}) {
    auto* radio = qobject_cast<QRadioButton*>(page->Item(id));
    ASSERT_NE(radio, nullptr) << id;
    EXPECT_FALSE(radio->isVisibleTo(page));
    radio->click();
    EXPECT_EQ(f.dlg().m_eState, mode) << id;
  }

  // The two lines across the page.
  const QImage image = page->grab().toImage();
  EXPECT_EQ(image.pixelColor(240, 80), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(240, 190), QColor(Qt::black));
  EXPECT_NE(image.pixelColor(240, 100), QColor(Qt::black));
}

TEST(MatrixConnectionPageTest, ConnectDisconnectAndLanPortKeepsThePortOpen) {
  test::PtyPair pty;
  ASSERT_GE(pty.master, 0);
  SetExtraSerialPorts({pty.slave_path});
  MatrixPanelFixture f;
  ASSERT_TRUE(f.Ready());
  f.ClickPage(2);
  CClass_matrix_child_setting* page = f.connection_page();
  ASSERT_NE(page, nullptr);
  page->ModeList()->setCurrentIndex(1);
  emit page->ModeList()->activated(1);
  EXPECT_EQ(f.dlg().m_eState, kModeSerial);
  EXPECT_TRUE(page->PortList()->isEnabled());
  EXPECT_TRUE(page->ConnectButton()->isEnabled());
  EXPECT_FALSE(page->IpField()->isEnabled());

  // A port that will not open changes nothing.
  page->PortList()->addItem("/dev/zv-missing");
  page->PortList()->setCurrentIndex(page->PortList()->count() - 1);
  test::TraceRecorder trace;
  f.Click(page->ConnectButton());
  EXPECT_FALSE(f.dlg().m_serial_port.IsOpen());
  EXPECT_EQ(page->ConnectButton()->text(), "Connect");
  EXPECT_EQ(page->LinkIconId(), 211);
  EXPECT_TRUE(page->PortList()->isEnabled());
  EXPECT_TRUE(page->BaudList()->isEnabled());

  const int line = page->PortList()->findText(QString::fromStdString(pty.slave_path));
  ASSERT_GE(line, 0);
  page->PortList()->setCurrentIndex(line);
  page->BaudList()->setCurrentIndex(4);
  f.Click(page->ConnectButton());
  EXPECT_TRUE(f.dlg().m_serial_port.IsOpen());
  EXPECT_EQ(page->ConnectButton()->text(), "Disconnect");
  EXPECT_TRUE(page->m_com_connected);
  EXPECT_EQ(qobject_cast<QLabel*>(page->Item(1099))->pixmap().cacheKey(), SkinBitmap(212).cacheKey());
  EXPECT_FALSE(page->PortList()->isEnabled());
  EXPECT_FALSE(page->BaudList()->isEnabled());

  f.Click(page->ConnectButton());
  EXPECT_FALSE(f.dlg().m_serial_port.IsOpen());
  EXPECT_EQ(page->ConnectButton()->text(), "Conect");
  EXPECT_EQ(page->LinkIconId(), 211);
  EXPECT_TRUE(page->PortList()->isEnabled());
  EXPECT_TRUE(trace.lines.empty()) << "the page writes no trace lines of its own";

  // Connected, then back to the network: the port stays open and the icon
  // stays lit; only the controls follow the mode.
  f.Click(page->ConnectButton());
  ASSERT_TRUE(f.dlg().m_serial_port.IsOpen());
  page->ModeList()->setCurrentIndex(0);
  emit page->ModeList()->activated(0);
  EXPECT_EQ(f.dlg().m_eState, kModeNetwork);
  EXPECT_TRUE(f.dlg().m_serial_port.IsOpen());
  EXPECT_EQ(page->LinkIconId(), 212);
  EXPECT_EQ(qobject_cast<QLabel*>(page->Item(1099))->pixmap().cacheKey(), SkinBitmap(212).cacheKey());
  EXPECT_FALSE(page->ConnectButton()->isEnabled());
  EXPECT_EQ(page->ConnectButton()->text(), "Disconnect");

  // A page built again knows nothing of the open port.
  f.ClickPage(1);
  f.ClickPage(2);
  page = f.connection_page();
  EXPECT_EQ(page->ConnectButton()->text(), "Connect");
  EXPECT_EQ(page->LinkIconId(), 211);
  EXPECT_TRUE(f.dlg().m_serial_port.IsOpen());
  f.dlg().m_serial_port.Close();
  SetExtraSerialPorts({});
}

TEST(MatrixConnectionPageTest, RoutingOverTheSimulatorsSerialLine) {
  MatrixPanelFixture f(true);
  ASSERT_TRUE(f.Ready());
  SetExtraSerialPorts({f.serial_path()});
  f.ClickPage(2);
  CClass_matrix_child_setting* page = f.connection_page();
  page->ModeList()->setCurrentIndex(1);
  emit page->ModeList()->activated(1);
  page->PortList()->setCurrentIndex(page->PortList()->findText(QString::fromStdString(f.serial_path())));
  f.Click(page->ConnectButton());
  ASSERT_TRUE(f.dlg().m_serial_port.IsOpen());
  f.ClickPage(1);

  f.ClickInput(2);
  f.ClickOutput(3);
  f.ClickOutput(6);
  f.ClickFunction(kIdMatrixApply);
  EXPECT_EQ(f.TextsAfter(1), Texts{"2V3,6."});
  EXPECT_EQ(f.router().Routes(), (Route{1, 2, 2, 4, 5, 2, 7, 8}));
  f.ClickFunction(kIdMatrixOneToOne);
  EXPECT_EQ(f.TextsAfter(2).back(), "All#.");
  EXPECT_EQ(f.router().Routes(), kOwnOutputs);
  EXPECT_EQ(f.router().TextsTaken(), 2);
  f.dlg().m_serial_port.Close();
  SetExtraSerialPorts({});
}

}  // namespace
}  // namespace zv
