// The matrix panel and its two pages on the offscreen platform, clicked by
// control id, against the virtual matrix router on loopback and against
// pseudo-terminals.
#include <gtest/gtest.h>

#include <fstream>
#include <poll.h>
#include <unistd.h>

#include <set>

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "controls/child_dialog.h"
#include "controls/serial_settings.h"
#include "controls/group_box.h"
#include "controls/ip_address_ctrl.h"
#include "controls/shade_button_st.h"
#include "matrix/matrix_connection_page.h"
#include "matrix/matrix_function_page.h"
#include "matrix/matrix_lock.h"
#include "matrix/matrix_panel.h"
#include "matrix/matrix_state.h"
#include "platform/platform.h"
#include "res/dialog_templates.h"
#include "res/skin.h"
#include "res/template_builder.h"
#include "sim/matrix_device.h"
#include "support/pty_pair.h"
#include "support/link_drain.h"
#include "support/loopback_link.h"
#include "support/recorders.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/wheel.h"
#include "support/ui_input.h"

namespace zv {
namespace {

using Route = std::array<uint8_t, 8>;
using Numbers = std::vector<int>;
using Texts = std::vector<std::string>;
constexpr Route kOwnOutputs{1, 2, 3, 4, 5, 6, 7, 8};

// The main window with the virtual router chosen; the router also sits on a
// pseudo-terminal when asked.
class MatrixFixture {
 public:
  // `routers` routers on 127.0.0.2 and up, the first one chosen.
  explicit MatrixFixture(bool serial = false, int routers = 1)
      : m_port(test::FreeUdpPort()), m_runner(SimConfig(m_port, serial, routers)), dlg(DlgConfig(m_port)) {
    for (int n = 0; n < routers; ++n) {
      const std::string address = "127.0.0." + std::to_string(n + 2);
      // The lock is kept per router address: a test before this one may
      // have left this address locked.
      std::string error;
      WriteMatrixLock(address, false, &error);
      if (dlg.m_device_list.size() <= static_cast<size_t>(n)) dlg.m_device_list.resize(static_cast<size_t>(n) + 1);
      dlg.m_device_list[n].SetIpText(address);
      dlg.m_device_list[n].device_type = 0x82;
      dlg.m_device_list[n].device_id = static_cast<uint8_t>(n + 1);
      dlg.DeviceCombo()->addItem(QString::fromStdString((n ? "MatrixB_" : "Matrix8x8_") + address));
    }
    dlg.m_device_index = 0;
    dlg.OpenDevicePanel();
    dlg.show();
  }
  bool Ready() { return m_runner.started() && panel() && QTest::qWaitForWindowExposed(&dlg); }

  CClass_matrix_control* panel() const {
    return qobject_cast<CClass_matrix_control*>(dlg.m_p_mian_show_dlg.data());
  }
  CClass_matrix_child_function* functions() const {
    return qobject_cast<CClass_matrix_child_function*>(panel()->Page());
  }
  CClass_matrix_child_setting* connection() const {
    return qobject_cast<CClass_matrix_child_setting*>(panel()->Page());
  }
  MatrixModel& Model() { return panel()->Session().MutableModel(); }
  sim::MatrixDevice& router(int n = 0) { return dynamic_cast<sim::MatrixDevice&>(m_runner.sim().Device(n)); }
  const std::string& serial_path() { return m_runner.sim().SerialPath(); }

  // A click, then whatever it asked of the link worker (a text, the port).
  static void Click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
    if (m_p_glo_main_set_or_get_dlg) test::DrainLink(*m_p_glo_main_set_or_get_dlg);
  }
  void Inputs(Numbers ks) { for (int k : ks) Click(panel()->InputButton(k)); }
  void Outputs(Numbers os) { for (int o : os) Click(panel()->OutputButton(o)); }
  void Function(int id) { Click(functions()->Item(id)); }
  void Page(int page) { Click(panel()->PageButton(page)); }
  // Closes the serial port the way a person does: the connection page, the
  // serial mode (only there the button takes a click), then Disconnect.
  bool Disconnect() {
    Page(2);
    if (connection()->ModeList()->currentIndex() != 1 && !test::ChooseLine(connection()->ModeList(), 1))
      return false;
    if (connection()->ConnectButton()->text() == QLatin1String(kMatrixDisconnectCaption))
      Click(connection()->ConnectButton());
    return !dlg.SerialPortOpen();
  }
  void ChooseMode(int line) {
    connection()->ModeList()->setCurrentIndex(line);
    emit connection()->ModeList()->activated(line);
  }

  // The texts the router received, once it has `count` of them (waiting in
  // short bounded steps) or when the steps run out.
  Texts TextsAfter(size_t count, int steps = 100) {
    Texts texts;
    for (int i = 0; i <= steps; ++i) {
      texts.clear();
      for (const std::string& line : m_runner.sim().LogLines())
        if (const size_t at = line.find("\"text\":\""); at != std::string::npos)
          texts.push_back(line.substr(at + 8, line.find('"', at + 8) - at - 8));
      if (texts.size() >= count || i == steps) break;
      test::UdpPeer idle;
      idle.Receive(10);
    }
    return texts;
  }
  // After a short wait in which nothing more is expected.
  Texts TextsNow() { return TextsAfter(SIZE_MAX, 10); }

  // The rows' selected faces, by number; every face must be one of the pair.
  Numbers Lit(CButtonST* (CClass_matrix_control::*row)(int) const) const {
    Numbers lit;
    for (int k = 1; k <= 8; ++k) {
      const int face = (panel()->*row)(k)->FaceImageId();
      EXPECT_TRUE(face == 211 + 2 * k || face == 212 + 2 * k) << face;
      if (face == 212 + 2 * k) lit.push_back(k);
    }
    return lit;
  }
  Numbers LitInputs() const { return Lit(&CClass_matrix_control::InputButton); }
  Numbers LitOutputs() const { return Lit(&CClass_matrix_control::OutputButton); }

 private:
  static sim::SimConfig SimConfig(uint16_t port, bool serial, int routers) {
    sim::SimConfig c = test::LoopbackSim(port, routers == 1 ? std::vector<std::string>{"Matrix8x8"}
                                                            : std::vector<std::string>{"Matrix8x8", "MatrixB"},
                                         0x82);
    c.serial = serial;
    return c;
  }
  static LinkConfig DlgConfig(uint16_t port) { return test::LoopbackConfig(port); }
  uint16_t m_port;
  test::SimRunner m_runner;

 public:
  CZELVIKDlg dlg;
};

TEST(MatrixPanelTest, TwoRoutersKeepTheirOwnRoutingAndLock) {
  // Each router has its own session: a route and a lock on the first reach
  // only the first router and its record; the second's panel shows its own
  // (empty) routing, unlocked, and routes only the second router.
  MatrixFixture f(false, 2);
  ASSERT_TRUE(f.Ready());
  MatrixSession& first = f.panel()->Session();
  f.Inputs({3});
  f.Outputs({1, 4});
  f.Function(kIdMatrixApply);
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.router(0).Routes() == Route{3, 2, 3, 3, 5, 6, 7, 8}; }, 2000));
  f.Function(kIdMatrixLock);

  f.dlg.m_device_index = 1;
  f.dlg.OpenDevicePanel();
  ASSERT_NE(f.panel(), nullptr);
  MatrixSession& second = f.panel()->Session();
  ASSERT_NE(&first, &second);
  EXPECT_EQ(f.LitInputs(), Numbers{});
  EXPECT_EQ(f.functions()->Button(kIdMatrixLock)->FaceImageId(), 231) << "the first router's lock is its own";
  EXPECT_TRUE(f.panel()->InputButton(6)->isEnabled());
  f.Inputs({6});
  f.Function(kIdMatrixOneToAll);
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.router(1).Routes() == Route{6, 6, 6, 6, 6, 6, 6, 6}; }, 2000));

  EXPECT_EQ(f.router(0).Routes(), (Route{3, 2, 3, 3, 5, 6, 7, 8})) << "nothing reached the first router";
  EXPECT_EQ(std::to_array(first.Model().m_matrix_route), (Route{3, 0, 0, 3, 0, 0, 0, 0}));
  EXPECT_EQ(std::to_array(second.Model().m_matrix_route), (Route{6, 6, 6, 6, 6, 6, 6, 6}));
  EXPECT_EQ(first.Model().m_matrix_input, 3);
  EXPECT_TRUE(first.Locked());
  EXPECT_FALSE(second.Locked());
  std::string error;
  EXPECT_EQ(ReadMatrixLock("127.0.0.2", &error), std::optional<bool>(true)) << error;
  EXPECT_EQ(ReadMatrixLock("127.0.0.3", &error), std::optional<bool>(false)) << error;
}

TEST(MatrixPanelTest, ALockSetByZvctlHoldsInTheOpenPanel) {
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  f.Inputs({3});
  f.Outputs({1});
  // zvctl locks the router through the same store while the panel is open.
  std::string error;
  ASSERT_TRUE(WriteMatrixLock("127.0.0.2", true, &error)) << error;
  f.Function(kIdMatrixApply);
  EXPECT_EQ(f.TextsNow(), Texts{}) << "refused: the router is locked";
  EXPECT_EQ(f.functions()->Button(kIdMatrixLock)->FaceImageId(), 232);
  EXPECT_FALSE(f.panel()->InputButton(1)->isEnabled());
  // Unlocked from the panel, zvctl sees it unlocked.
  f.Function(kIdMatrixLock);
  EXPECT_EQ(ReadMatrixLock("127.0.0.2", &error), std::optional<bool>(false)) << error;
  f.Function(kIdMatrixApply);
  EXPECT_EQ(f.TextsAfter(1), Texts{"3V1."});
}

TEST(MatrixPanelTest, ALockThatCannotBeStoredStillHoldsInTheWindow) {
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  // The state folder lies under a plain file: the marker cannot be written.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string plain = dir.filePath(QStringLiteral("plain")).toStdString();
  std::ofstream(plain).put('\n');
  const std::string kept = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
  setenv("XDG_STATE_HOME", plain.c_str(), 1);
  f.Inputs({3});
  f.Outputs({1});
  f.Function(kIdMatrixLock);
  const auto* strip = f.dlg.findChild<QLabel*>(QStringLiteral("status_strip"));
  ASSERT_NE(strip, nullptr);
  EXPECT_NE(strip->text().toStdString().find("cannot make the folder"), std::string::npos)
      << strip->text().toStdString();
  EXPECT_TRUE(strip->property(kErrorTextProperty).toBool());
  EXPECT_EQ(f.functions()->Button(kIdMatrixLock)->FaceImageId(), 232);
  f.panel()->Session().Invoke("matrix.route", {{"input", 3}, {"outputs", std::vector<int>{1}}});
  EXPECT_EQ(f.TextsNow(), Texts{}) << "locked all the same";
  f.Function(kIdMatrixLock);
  f.Function(kIdMatrixApply);
  EXPECT_EQ(f.TextsAfter(1), Texts{"3V1."});
  if (kept.empty())
    unsetenv("XDG_STATE_HOME");
  else
    setenv("XDG_STATE_HOME", kept.c_str(), 1);
}

TEST(MatrixPanelTest, LayoutAndFaces) {
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  CClass_matrix_control* panel = f.panel();
  EXPECT_EQ(panel->BackgroundId(), 229);
  for (int k = 1; k <= 8; ++k) {
    for (auto [id, y] : {std::pair{1130 + k, 180}, std::pair{1140 + k, 380}}) {
      auto* b = qobject_cast<CButtonST*>(panel->Item(id));
      ASSERT_NE(b, nullptr) << id;
      EXPECT_EQ(b->geometry(), QRect(80 + 68 * (k - 1), y, 60, 65)) << id;
      EXPECT_EQ(b->FaceImageId(), 211 + 2 * k) << id;
      EXPECT_TRUE(b->IsSeeThrough() && !b->IsBorderShown() && b->IsFlatLook()) << id;
    }
  }
  EXPECT_EQ(panel->PageRect(), QRect(750, 105, 490, 420));
  for (int id : {1091, 1092}) EXPECT_FALSE(panel->Item(id)->isVisibleTo(panel)) << id;
  // Each row: parent, id, geometry, face; page 1 is shown, so its button is lit.
  const struct {
    QWidget* parent;
    int id;
    QRect geometry;
    int face;
  } buttons[] = {{panel, 1032, {748, 25, 80, 75}, 193},      {panel, 1033, {840, 25, 90, 75}, 200},
                 {f.functions(), 1032, {200, 100, 220, 60}, 233}, {f.functions(), 1033, {200, 195, 220, 65}, 234},
                 {f.functions(), 1011, {272, 300, 140, 65}, 231}, {f.functions(), 1097, {100, 300, 140, 65}, 235}};
  for (const auto& b : buttons) {
    auto* button = qobject_cast<CButtonST*>(FindItem(b.parent, b.id));
    ASSERT_NE(button, nullptr) << b.id;
    EXPECT_EQ(button->geometry(), b.geometry) << b.id;
    EXPECT_EQ(button->FaceImageId(), b.face) << b.id;
    EXPECT_TRUE(button->IsSeeThrough() && !button->IsBorderShown()) << b.id;
  }
  EXPECT_NE(qobject_cast<CShadeButtonST*>(panel->Item(1033)), nullptr);
  EXPECT_EQ(f.functions()->geometry(), QRect(750, 105, 490, 420));
  EXPECT_EQ(f.functions()->BackgroundId(), 230);
  EXPECT_EQ(f.functions()->Item(1100)->geometry(), QRect(5, 5, 480, 410));
}

TEST(MatrixPanelTest, OutputsWaitForApplyWhichSendsOnce) {
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  // Before any input is chosen apply and one to all have nothing to route;
  // the outputs do not react either.
  f.Function(kIdMatrixApply);
  f.Function(kIdMatrixOneToAll);
  f.Outputs({2});
  EXPECT_EQ(std::to_array(f.Model().m_matrix_route), Route{});
  EXPECT_EQ(f.LitOutputs(), Numbers{});
  f.Inputs({3});
  EXPECT_EQ(f.LitInputs(), Numbers{3});
  EXPECT_EQ(f.LitOutputs(), Numbers{}) << "the router is never read back";
  f.Outputs({8, 1, 4});
  EXPECT_EQ(f.LitOutputs(), (Numbers{1, 4, 8}));
  EXPECT_EQ(f.TextsNow(), Texts{}) << "clicking outputs sends nothing";
  f.Function(kIdMatrixApply);
  EXPECT_EQ(f.TextsAfter(1), Texts{"3V1,4,8."});
  EXPECT_EQ(f.TextsNow(), Texts{"3V1,4,8."}) << "sent once";
  EXPECT_EQ(f.router().Routes(), (Route{3, 2, 3, 3, 5, 6, 7, 3}));

  f.Inputs({6});
  EXPECT_EQ(f.LitOutputs(), Numbers{});
  f.Function(kIdMatrixOneToAll);
  EXPECT_EQ(f.TextsAfter(2).back(), "6All.");
  EXPECT_EQ(f.LitOutputs(), (Numbers{1, 2, 3, 4, 5, 6, 7, 8}));
  f.Function(kIdMatrixOneToOne);
  EXPECT_EQ(f.TextsAfter(3).back(), "All#.");
  EXPECT_EQ(f.router().Routes(), kOwnOutputs);
  EXPECT_EQ(f.LitInputs(), Numbers{});
  EXPECT_EQ(f.LitOutputs(), Numbers{});
  f.Inputs({4});
  EXPECT_EQ(f.LitOutputs(), Numbers{4});
}

TEST(MatrixPanelTest, PagesAndTheLock) {
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  QPointer<QWidget> first = f.panel()->Page();
  f.Page(1);
  EXPECT_EQ(f.panel()->Page(), first.data()) << "the shown page is not rebuilt";
  f.Inputs({2});
  f.Outputs({5});
  // Every button the lock stops looks stopped; only the lock takes a click.
  auto routing_enabled = [&] {
    std::set<bool> enabled;
    for (int k = 1; k <= 8; ++k)
      enabled.insert({f.panel()->InputButton(k)->isEnabled(), f.panel()->OutputButton(k)->isEnabled()});
    for (int id : {kIdMatrixApply, kIdMatrixOneToAll, kIdMatrixOneToOne})
      enabled.insert(f.functions()->Button(id)->isEnabled());
    return enabled;
  };
  EXPECT_EQ(routing_enabled(), std::set<bool>{true});
  f.Function(kIdMatrixLock);
  EXPECT_EQ(f.Model().m_matrix_lock, kMatrixLocked);
  EXPECT_EQ(f.functions()->Button(kIdMatrixLock)->FaceImageId(), 232);
  EXPECT_EQ(routing_enabled(), std::set<bool>{false});
  EXPECT_TRUE(f.functions()->Button(kIdMatrixLock)->isEnabled());
  f.Inputs({7});
  f.Outputs({5, 1});
  for (int id : {kIdMatrixApply, kIdMatrixOneToAll, kIdMatrixOneToOne}) f.Function(id);
  EXPECT_EQ(f.TextsNow(), Texts{});
  EXPECT_EQ(std::to_array(f.Model().m_matrix_route), (Route{0, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(f.LitInputs(), Numbers{2});
  EXPECT_EQ(f.LitOutputs(), Numbers{5});

  f.Page(2);
  EXPECT_TRUE(first.isNull());
  QPointer<QWidget> second = f.panel()->Page();
  ASSERT_NE(f.connection(), nullptr);
  EXPECT_EQ(second->geometry(), QRect(750, 105, 490, 420));
  EXPECT_EQ(f.panel()->PageButton(1)->FaceImageId(), 192);
  EXPECT_EQ(f.panel()->PageButton(2)->FaceImageId(), 201);
  f.Page(2);
  EXPECT_EQ(f.panel()->Page(), second.data());
  f.Page(1);
  EXPECT_TRUE(second.isNull());
  EXPECT_EQ(f.panel()->findChildren<CChildDialog*>().size(), 1);
  EXPECT_EQ(f.functions()->Button(kIdMatrixLock)->FaceImageId(), 232) << "the lock survives";

  EXPECT_EQ(routing_enabled(), std::set<bool>{false}) << "a page built again shows the lock";
  f.Function(kIdMatrixLock);
  EXPECT_EQ(f.functions()->Button(kIdMatrixLock)->FaceImageId(), 231);
  EXPECT_EQ(routing_enabled(), std::set<bool>{true});
  f.Function(kIdMatrixApply);
  EXPECT_EQ(f.TextsAfter(1), Texts{"2V5."});
}

TEST(MatrixPanelTest, EnterAndEscapeCloseNothing) {
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  f.Inputs({1});
  f.Outputs({2});
  for (int page : {1, 2}) {
    f.Page(page);
    QPointer<QWidget> shown = f.panel()->Page();
    for (QWidget* target : {static_cast<QWidget*>(f.panel()), shown.data(),
                            static_cast<QWidget*>(FindItem(shown, 1032)),
                            static_cast<QWidget*>(f.panel()->InputButton(1))}) {
      for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(target, key);
        EXPECT_TRUE(f.panel()->isVisible() && f.dlg.isVisible()) << page << " " << key;
        EXPECT_EQ(f.panel()->Page(), shown.data()) << page << " " << key;
      }
    }
  }
  EXPECT_EQ(f.TextsNow(), Texts{}) << "no key acted as a click";
  EXPECT_EQ(std::to_array(f.Model().m_matrix_route), (Route{0, 1, 0, 0, 0, 0, 0, 0}));
}

TEST(MatrixPanelTest, AReopenedPanelShowsTheRememberedInput) {
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  f.Inputs({5});
  f.Outputs({2, 7});
  f.Function(kIdMatrixLock);
  f.dlg.OpenDevicePanel();
  EXPECT_EQ(f.LitInputs(), Numbers{5});
  EXPECT_EQ(f.LitOutputs(), (Numbers{2, 7}));
  // The lock is the router's: a reopened panel shows it still on.
  EXPECT_EQ(f.functions()->Button(kIdMatrixLock)->FaceImageId(), 232) << "the router stays locked";
  EXPECT_FALSE(f.panel()->OutputButton(7)->isEnabled());
  f.Function(kIdMatrixLock);
  f.Outputs({7});
  EXPECT_EQ(f.LitOutputs(), Numbers{2});
  f.Function(kIdMatrixApply);
  EXPECT_EQ(f.TextsAfter(1), Texts{"5V2."});
}

TEST(MatrixPanelTest, SerialModeWithThePortClosedSendsAndChangesNothing) {
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  f.Inputs({3});
  f.Outputs({1});
  f.dlg.m_eState = kModeSerial;
  test::MessageBoxRecorder boxes;
  for (int id : {kIdMatrixApply, kIdMatrixOneToAll, kIdMatrixOneToOne}) f.Function(id);
  EXPECT_EQ(f.TextsNow(), Texts{});
  EXPECT_TRUE(boxes.requests.empty());
  EXPECT_EQ(std::to_array(f.Model().m_matrix_route), (Route{3, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(f.LitInputs(), Numbers{3});
  EXPECT_EQ(f.LitOutputs(), Numbers{1});
}

TEST(MatrixConnectionPageTest, WheelOverAClosedListChangesNothing) {
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  f.Page(2);
  CClass_matrix_child_setting* page = f.connection();
  ASSERT_NE(page, nullptr);
  QComboBox* modes = page->ModeList();
  const int shown = modes->currentIndex();
  // Towards the operator, then away past the start: each notch alone.
  for (int notches : {-1, 1, 1}) {
    test::TurnWheel(modes, notches);
    EXPECT_EQ(modes->currentIndex(), shown) << notches;
  }
  EXPECT_EQ(f.dlg.m_eState, kModeNetwork) << "the link mode stays";
  EXPECT_FALSE(page->PortList()->isEnabled()) << "the serial group stays idle";
}

TEST(MatrixConnectionPageTest, OpeningState) {
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  for (int32_t mode : {kModeNetwork, kModeSerial}) {
    f.dlg.m_eState = mode;
    f.Page(1);
    f.Page(2);
    CClass_matrix_child_setting* page = f.connection();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->BackgroundId(), 194);
    EXPECT_EQ(page->ModeList()->itemText(0), "LAN Port");
    EXPECT_EQ(page->ModeList()->itemText(1), "Serial Port");
    EXPECT_EQ(page->ModeList()->currentIndex(), mode);
    // The mode enables its own group: the serial controls or the address.
    const bool serial = mode == kModeSerial;
    EXPECT_EQ(page->PortList()->isEnabled(), serial);
    EXPECT_EQ(page->BaudList()->isEnabled(), serial);
    EXPECT_EQ(page->ConnectButton()->isEnabled(), serial);
    EXPECT_EQ(page->IpField()->isEnabled(), !serial);
  }
  CClass_matrix_child_setting* page = f.connection();
  std::array<uint8_t, 4> ip{};
  page->IpField()->GetAddress(&ip);
  EXPECT_EQ(ip, (std::array<uint8_t, 4>{127, 0, 0, 2}));
  EXPECT_EQ(page->BaudList()->currentText(), "9600");
  EXPECT_EQ(page->Item(1201)->geometry(), QRect(5, 5, 480, 410));
  CShadeButtonST* button = page->ConnectButton();
  EXPECT_EQ(button->text(), "Connect");
  EXPECT_TRUE(button->HasShade());
  EXPECT_EQ(button->GetFaceColor(CButtonST::FaceColor::kTextOut), QColor(0, 128, 0));
  EXPECT_EQ(button->GetFaceColor(CButtonST::FaceColor::kTextHot), QColor(178, 0, 0));
  EXPECT_EQ(qobject_cast<QLabel*>(page->Item(1099))->pixmap().cacheKey(), SkinBitmap(211).cacheKey());
  QStringList shown, hidden;
  for (QLabel* label : page->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
    if (!label->text().isEmpty()) (label->isVisibleTo(page) ? shown : hidden) << label->text();
  EXPECT_EQ(shown, QStringList({"Connection Mode", "Current IP", "Serial Port", "Baud Rate"}));
  EXPECT_EQ(hidden, QStringList({"Net Work", "Com"}));
  // The hidden radio buttons only set the mode.
  for (auto [id, mode] : {std::pair{1013, kModeSerial}, std::pair{1012, kModeNetwork}}) {
    auto* radio = qobject_cast<QRadioButton*>(page->Item(id));
    ASSERT_NE(radio, nullptr);
    EXPECT_FALSE(radio->isVisibleTo(page));
    radio->click();
    EXPECT_EQ(f.dlg.m_eState, mode);
  }
  const QImage image = page->grab().toImage();
  for (int y : {80, 190}) EXPECT_EQ(image.pixelColor(240, y), QColor(Qt::black)) << y;
  EXPECT_NE(image.pixelColor(240, 100), QColor(Qt::black));
  // Labels are drawn in the dark field colours: the far end of "Current IP"
  // (30,124; 130 x 20) is bare background, its text the light blue.
  EXPECT_EQ(image.pixelColor(155, 134), QColor(58, 58, 58));
  const QImage label = image.copy(30, 124, 130, 20);
  bool blue_text = false;
  for (int y = 0; y < label.height(); ++y)
    for (int x = 0; x < label.width(); ++x) blue_text |= label.pixelColor(x, y) == QColor(60, 180, 255);
  EXPECT_TRUE(blue_text);
}

TEST(MatrixConnectionPageTest, ConnectDisconnectAndLanPortKeepsThePortOpen) {
  test::PtyPair pty;
  SetExtraSerialPorts({pty.slave_path});
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  f.Page(2);
  CClass_matrix_child_setting* page = f.connection();
  // The group that takes input shows its text in the field colour, the
  // other one dimmed.
  auto shows_field_text = [&](QWidget* w) {
    const QImage image = w->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, y) == QColor(60, 180, 255)) return true;
    return false;
  };
  EXPECT_FALSE(shows_field_text(page->BaudList()));
  EXPECT_TRUE(shows_field_text(page->IpField()));
  f.ChooseMode(1);
  EXPECT_EQ(f.dlg.m_eState, kModeSerial);
  EXPECT_TRUE(page->PortList()->isEnabled() && page->ConnectButton()->isEnabled());
  EXPECT_FALSE(page->IpField()->isEnabled());
  EXPECT_TRUE(shows_field_text(page->BaudList()));
  EXPECT_FALSE(shows_field_text(page->IpField()));
  const CnComm& port = f.dlg.m_serial_port;
  auto state = [&] {
    return std::tuple(port.IsOpen(), page->ConnectButton()->text().toStdString(),
                      page->LinkIconId(), page->PortList()->isEnabled());
  };
  test::TraceRecorder trace;
  page->PortList()->addItem("/dev/zv-missing");
  page->PortList()->setCurrentIndex(page->PortList()->count() - 1);
  f.Click(page->ConnectButton());
  EXPECT_EQ(state(), std::tuple(false, "Connect", 211, true)) << "a port that will not open";
  page->PortList()->setCurrentIndex(page->PortList()->findText(QString::fromStdString(pty.slave_path)));
  f.Click(page->ConnectButton());
  EXPECT_EQ(state(), std::tuple(true, "Disconnect", 212, false));
  EXPECT_EQ(qobject_cast<QLabel*>(page->Item(1099))->pixmap().cacheKey(), SkinBitmap(212).cacheKey());
  f.Click(page->ConnectButton());
  EXPECT_EQ(state(), std::tuple(false, "Connect", 211, true));
  // The page itself writes no trace lines about the port; the status strip
  // traces the failure it shows.
  EXPECT_EQ(trace.lines, std::vector<std::string>{"Serial port /dev/zv-missing could not be opened"});

  // Back to the network while connected: the port stays open, the icon lit.
  f.Click(page->ConnectButton());
  f.ChooseMode(0);
  EXPECT_EQ(f.dlg.m_eState, kModeNetwork);
  EXPECT_EQ(state(), std::tuple(true, "Disconnect", 212, false));
  EXPECT_FALSE(page->ConnectButton()->isEnabled());
  // A page built again shows the open port as connected.
  f.Page(1);
  f.Page(2);
  page = f.connection();
  EXPECT_EQ(state(), std::tuple(true, "Disconnect", 212, false));
  EXPECT_EQ(page->PortList()->currentText().toStdString(), pty.slave_path);
  EXPECT_TRUE(f.Disconnect());
  EXPECT_TRUE(pty.SlaveClosed());
  SetExtraSerialPorts({});
}

// The text the far end of a pseudo-terminal has received once `n` bytes
// came (or when the wait runs out).
std::string ReadFarEnd(int master, size_t n) {
  std::string got;
  while (got.size() < n) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) break;
    char buffer[64];
    const ssize_t r = read(master, buffer, sizeof buffer);
    if (r <= 0) break;
    got.append(buffer, static_cast<size_t>(r));
  }
  return got;
}

TEST(MatrixConnectionPageTest, ALostLineIsShownOnceAndAReconnectWorks) {
  test::PtyPair cable, spare;
  SetExtraSerialPorts({cable.slave_path, spare.slave_path});
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  test::MessageBoxRecorder boxes;
  f.Page(2);
  ASSERT_TRUE(test::ChooseLine(f.connection()->ModeList(), 1));
  ASSERT_EQ(f.connection()->PortList()->currentText().toStdString(), cable.slave_path);
  f.Click(f.connection()->ConnectButton());
  ASSERT_TRUE(f.dlg.m_serial_port.IsOpen());
  auto shown = [&] {
    CClass_matrix_child_setting* page = f.connection();
    return std::tuple(page->ConnectButton()->text().toStdString(), page->LinkIconId(),
                      page->PortList()->isEnabled(), page->ConnectButton()->isEnabled());
  };
  // Built again in serial mode, the page shows the mode and the open port.
  f.Page(1);
  f.Page(2);
  EXPECT_EQ(f.connection()->ModeList()->currentText(), "Serial Port");
  EXPECT_EQ(shown(), std::tuple("Disconnect", 212, false, true));

  cable.CloseMaster();  // the other end goes away
  ASSERT_TRUE(QTest::qWaitFor([&] { return !f.dlg.m_serial_port.IsOpen(); }, 3000));
  ASSERT_TRUE(test::DrainLink(f.dlg));  // the page hears of it from the worker
  EXPECT_EQ(shown(), std::tuple("Connect", 211, true, true));
  ASSERT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(boxes.requests[0].text, kSerialLineLostText);
  f.connection()->CheckSerialLine();
  EXPECT_EQ(boxes.requests.size(), 1u) << "told once";

  ASSERT_TRUE(test::ChooseLine(f.connection()->PortList(), 1));
  f.Click(f.connection()->ConnectButton());
  EXPECT_EQ(shown(), std::tuple("Disconnect", 212, false, true));
  f.Page(1);
  f.Inputs({2});
  f.Outputs({3});
  f.Function(kIdMatrixApply);
  EXPECT_EQ(ReadFarEnd(spare.master, 4), "2V3.");
  EXPECT_TRUE(f.Disconnect());
  EXPECT_TRUE(spare.SlaveClosed());
  SetExtraSerialPorts({});
}

TEST(MatrixConnectionPageTest, RoutingOverTheSimulatorsSerialLine) {
  MatrixFixture f(true);
  ASSERT_TRUE(f.Ready());
  SetExtraSerialPorts({f.serial_path()});
  f.Page(2);
  f.ChooseMode(1);
  QComboBox* ports = f.connection()->PortList();
  ports->setCurrentIndex(ports->findText(QString::fromStdString(f.serial_path())));
  f.Click(f.connection()->ConnectButton());
  ASSERT_TRUE(f.dlg.m_serial_port.IsOpen());
  f.Page(1);
  f.Inputs({2});
  f.Outputs({3, 6});
  f.Function(kIdMatrixApply);
  EXPECT_EQ(f.TextsAfter(1), Texts{"2V3,6."});
  EXPECT_EQ(f.router().Routes(), (Route{1, 2, 2, 4, 5, 2, 7, 8}));
  EXPECT_TRUE(f.Disconnect());
  SetExtraSerialPorts({});
}

// A serial line whose far end stopped reading: the line is full and every
// write waits for room that never comes.
TEST(MatrixConnectionPageTest, ALineThatTakesNoBytes) {
  test::PtyPair cable;
  ASSERT_TRUE(cable.OpenSecondOpener());
  SetExtraSerialPorts({cable.slave_path});
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  test::MessageBoxRecorder boxes;
  const auto* strip = f.dlg.findChild<QLabel*>(QStringLiteral("status_strip"));
  ASSERT_NE(strip, nullptr);
  const auto status = [&] {
    return std::pair(strip->text().toStdString(), strip->property(kErrorTextProperty).toBool());
  };
  const auto connect = [&] {
    f.Page(2);
    if (f.connection()->ModeList()->currentIndex() != 1) {
      ASSERT_TRUE(test::ChooseLine(f.connection()->ModeList(), 1));
    }
    ASSERT_EQ(f.connection()->PortList()->currentText().toStdString(), cable.slave_path);
    f.Click(f.connection()->ConnectButton());
    ASSERT_TRUE(f.dlg.SerialPortOpen());
    ASSERT_TRUE(cable.FillLine());
    ASSERT_FALSE(cable.LineLockable()) << "the port holds the line";
    f.Page(1);
  };
  // Clicks that leave their texts waiting on the worker.
  const auto click = [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); };
  connect();

  // Input 4 to outputs 1 and 4, applied twice, then one to all: the first
  // text waits on the line, the other two behind it.
  f.Inputs({4});
  f.Outputs({1, 4});
  click(f.functions()->Item(kIdMatrixApply));
  click(f.functions()->Item(kIdMatrixApply));
  click(f.functions()->Item(kIdMatrixOneToAll));
  EXPECT_EQ(status(), std::pair(std::string("Sending: Route 4All. to Matrix8x8_127.0.0.2"), false));
  // Disconnect takes effect at once: the waiting write gives up, the queued
  // texts are dropped and the port lets go of the line, well inside the
  // 10 s one write could wait.
  click(f.panel()->PageButton(2));
  click(f.connection()->ConnectButton());
  EXPECT_TRUE(QTest::qWaitFor([&] { return cable.LineLockable(); }, 5000)) << "the port was released";
  ASSERT_TRUE(test::DrainLink(f.dlg, 5000));
  EXPECT_EQ(f.connection()->ConnectButton()->text(), kMatrixConnectCaption);
  EXPECT_TRUE(f.connection()->ConnectButton()->isEnabled());
  EXPECT_EQ(status(), std::pair(std::string("Serial port closed: 3 commands dropped, not sent"), true));
  f.Page(1);
  EXPECT_EQ(f.LitInputs(), Numbers{4});
  EXPECT_EQ(f.LitOutputs(), Numbers{}) << "no route reached the router";

  // A write that gives up on its own is a failure too. The write time-out
  // is shortened (while the worker is idle) so that the test does not wait
  // 10 s for it, once for a route and once for the search.
  f.dlg.m_serial_port.SetWriteTimeoutMs(300);
  connect();
  f.Outputs({2});
  EXPECT_EQ(f.LitOutputs(), Numbers{2});
  f.Function(kIdMatrixApply);
  EXPECT_EQ(status(), std::pair(std::string("Not sent: Route 4V2. to Matrix8x8_127.0.0.2 "
                                            "(the serial line did not take it)"),
                                true));
  EXPECT_EQ(f.LitOutputs(), Numbers{});
  // A search whose query the line did not take asked nobody.
  f.Click(f.dlg.Item(kIdScan));
  EXPECT_EQ(status(), std::pair(std::string("The serial line is not taking data: the search query "
                                            "was not sent"),
                                true));
  EXPECT_TRUE(boxes.requests.empty()) << "the strip tells it all";
  SetExtraSerialPorts({});
}

TEST(MatrixPanelTest, SalvoSavedAndRecalledOneTextPerInput) {
  MatrixFixture f;
  ASSERT_TRUE(f.Ready());
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("Studio A.json"));
  const Route saved{2, 7, 2, 2, 5, 6, 7, 8};
  std::copy(saved.begin(), saved.end(), f.Model().m_matrix_route);
  f.panel()->SaveSalvo(path);
  std::copy(kOwnOutputs.begin(), kOwnOutputs.end(), f.Model().m_matrix_route);

  f.Function(kIdMatrixLock);  // a locked router recalls nothing
  f.panel()->RecallSalvo(path);
  test::DrainLink(f.dlg);
  EXPECT_TRUE(f.TextsNow().empty());
  const auto* strip = f.dlg.findChild<QLabel*>(QStringLiteral("status_strip"));
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(strip->text().toStdString(), "the matrix router at 127.0.0.2 is locked (zvctl 127.0.0.2 matrix lock off)");
  EXPECT_TRUE(strip->property(kErrorTextProperty).toBool());
  f.Function(kIdMatrixLock);
  f.panel()->RecallSalvo(path);
  test::DrainLink(f.dlg);
  EXPECT_EQ(f.TextsAfter(5), (Texts{"2V1,3,4.", "5V5.", "6V6.", "7V2,7.", "8V8."}));
  EXPECT_EQ(Route(std::to_array(f.Model().m_matrix_route)), saved);
  EXPECT_EQ(f.router().Routes(), saved);
}

}  // namespace
}  // namespace zv
