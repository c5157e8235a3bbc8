// The switcher panel on the offscreen platform, against the virtual switcher
// on loopback: the frames that reach it, the record, and the faces shown.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <memory>

#include "app/main_window.h"
#include "controls/bitmap_slider.h"
#include "controls/button_st.h"
#include "platform/platform.h"
#include "res/skin.h"
#include "sim/switcher_device.h"
#include "support/recorders.h"
#include "registry/families.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/wheel.h"
#include "support/zvctl_run.h"
#include "support/ui_input.h"
#include "support/link_drain.h"
#include "switcher/switcher_chroma_page.h"
#include "switcher/switcher_function_page.h"
#include "switcher/switcher_luma_page.h"
#include "switcher/switcher_panel.h"
#include "switcher/switcher_pip_page.h"

namespace zv {
namespace {

// A main window showing the switcher panel of a virtual switcher.
class Bench {
 public:
  Bench() : m_port(test::FreeUdpPort()), m_runner(test::LoopbackSim(m_port, {"PS"})) {
    LinkConfig config;
    config.local_port = 0;
    config.search_address = "127.0.0.1";
    config.device_port = m_port;
    dlg = std::make_unique<CZELVIKDlg>(config);
    if (dlg->m_device_list.empty()) dlg->m_device_list.resize(1);
    dlg->m_device_list[0].SetIpText("127.0.0.2");
    dlg->m_device_list[0].device_type = 0xA5;
    dlg->m_device_list[0].device_id = 0x01;
    dlg->DeviceCombo()->addItem("PS_127.0.0.2");
    Reopen();
  }

  bool Started() const { return m_runner.started(); }
  uint16_t Port() const { return m_port; }
  // Chooses the device again: the panel is replaced, the record kept.
  void Reopen() {
    emit dlg->DeviceCombo()->activated(0);
    panel = qobject_cast<CClass_switcher_dlg*>(dlg->m_p_mian_show_dlg.data());
  }
  SwitcherPageData& Record() { return panel->Session().MutableData(); }
  sim::SwitcherDevice& Device() { return static_cast<sim::SwitcherDevice&>(m_runner.sim().Device(0)); }

  void Click(int id, QWidget* in = nullptr) {
    QWidget* from = in ? in : panel;
    auto* button = from->findChild<QAbstractButton*>(QString::number(id), Qt::FindDirectChildrenOnly);
    ASSERT_NE(button, nullptr) << id;
    button->click();
  }
  int Image(int id, QWidget* in = nullptr) {
    QWidget* from = in ? in : panel;
    auto* button = from->findChild<CButtonST*>(QString::number(id), Qt::FindDirectChildrenOnly);
    return button ? button->FaceImageId() : -1;
  }

  // Every frame the device received so far, as "command params" in hex.
  std::vector<std::string> Frames() {
    std::vector<std::string> out;
    for (const std::string& line : m_runner.sim().LogLines()) {
      const auto c = line.find("\"command\":\"");
      const auto p = line.find("\"params\":\"");
      if (c == std::string::npos || p == std::string::npos) continue;
      const std::string command = line.substr(c + 11, 4);
      const std::string params = line.substr(p + 10, line.find('"', p + 10) - (p + 10));
      out.push_back(params.empty() ? command : command + " " + params);
    }
    return out;
  }
  // Waits until the device has received `count` frames in all.
  std::vector<std::string> WaitFrames(size_t count, int wait_ms = 3000) {
    std::vector<std::string> frames;
    (void)QTest::qWaitFor([&] { return (frames = Frames()).size() >= count; }, wait_ms);
    return frames;
  }
  // Presses programme source 12 as a marker and waits for it: every frame
  // sent before has then arrived. Returns the count, marker included.
  size_t Sync() {
    const size_t before = Frames().size();
    Click(kPgmSourceButtons[11]);
    std::vector<std::string> frames;
    (void)QTest::qWaitFor(
        [&] {
          frames = Frames();
          return frames.size() > before && frames.back() == "0x80 0c";
        },
        3000);
    return frames.size();
  }
  // What was sent after the first `from` frames (up to the marker).
  std::vector<std::string> FramesSince(size_t from) {
    const size_t end = Sync();
    const std::vector<std::string> frames = Frames();
    if (end == 0 || end > frames.size() || from >= end) return {"(marker lost)"};
    return std::vector<std::string>(frames.begin() + static_cast<long>(from),
                                    frames.begin() + static_cast<long>(end - 1));
  }

  // The T-bar dragged by the mouse through the given positions.
  void DragTbar(std::initializer_list<int> positions, bool release = true) {
    PressTbar();
    for (int p : positions) MoveTbarTo(p);
    if (release) ReleaseTbar();
  }
  // The left button goes down on the thumb's centre, moves the held mouse
  // to where position p shows, and comes up where the mouse is.
  void PressTbar() {
    const SliderTravel& travel = panel->m_tbar->Travel();
    m_mouse_y = travel.Centre(travel.GetPosition());
    SendTbarMouse(QEvent::MouseButtonPress);
  }
  void MoveTbarTo(int p) {
    CBitmapSlider* tbar = panel->m_tbar;
    const SliderTravel& travel = tbar->Travel();
    // A pixel whose position is p: centres and positions do not map back
    // one to one, and the thumb's own centre moves nothing.
    m_mouse_y = travel.Centre(p);
    for (int c = 0; c < tbar->height(); ++c)
      if (travel.PositionAt(c) == p && c != travel.Centre(travel.GetPosition())) {
        m_mouse_y = c;
        break;
      }
    SendTbarMouse(QEvent::MouseMove);
  }
  void ReleaseTbar() { SendTbarMouse(QEvent::MouseButtonRelease); }

  // The main window shown and active, so that keys reach its focus.
  bool Activate() {
    dlg->show();
    QApplication::setActiveWindow(dlg.get());
    return QTest::qWaitForWindowActive(dlg.get());
  }
  // A key held down through the window, as the window system delivers it:
  // the press, then for each auto-repeat a release and a press both marked
  // as repeats, then the release.
  void HoldKey(Qt::Key key, Qt::KeyboardModifiers modifiers, int repeats) {
    QWindow* window = dlg->windowHandle();
    QTest::simulateEvent(window, true, key, modifiers, QString(), false);
    for (int i = 0; i < repeats; ++i) {
      QTest::simulateEvent(window, false, key, modifiers, QString(), true);
      QTest::simulateEvent(window, true, key, modifiers, QString(), true);
    }
    QTest::simulateEvent(window, false, key, modifiers, QString(), false);
  }
  // The same hold as X11 gives it when the toolkit fails to mark the
  // repeats (it often does under load): each repeat a release and a press
  // with one time and no mark, sent to the widget that has the focus.
  void HoldKeyUnmarked(Qt::Key key, Qt::KeyboardModifiers modifiers, int repeats) {
    auto send = [&](QEvent::Type type) {
      QKeyEvent e(type, key, modifiers);
      e.setTimestamp(m_key_time);
      QApplication::sendEvent(QApplication::focusWidget(), &e);
    };
    m_key_time += 500;
    send(QEvent::KeyPress);
    for (int i = 0; i < repeats; ++i) {
      m_key_time += 40;
      send(QEvent::KeyRelease);
      send(QEvent::KeyPress);
    }
    m_key_time += 40;
    send(QEvent::KeyRelease);
    // What the keys posted (the T-bar's messages) is handled before the
    // marker of FramesSince goes out.
    QCoreApplication::processEvents();
  }

  template <typename Page>
  Page* CurrentPage() {
    return qobject_cast<Page*>(panel->m_p_cur_page.data());
  }

  std::unique_ptr<CZELVIKDlg> dlg;
  CClass_switcher_dlg* panel = nullptr;

 private:
  void SendTbarMouse(QEvent::Type type) {
    CBitmapSlider* tbar = panel->m_tbar;
    const QPointF at(80, m_mouse_y);
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent e(type, at, tbar->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  held, Qt::NoModifier);
    QApplication::sendEvent(tbar, &e);
    QCoreApplication::processEvents();
  }

  uint16_t m_port;
  test::SimRunner m_runner;
  int m_mouse_y = 0;
  ulong m_key_time = 1000;
};

// A mouse button released over a trackbar, as at the end of a drag.
void ReleaseOver(QWidget* w) {
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
}

void DragSliderTo(QSlider* slider, int value) {
  slider->setSliderDown(true);
  slider->setValue(value);
  slider->setSliderDown(false);
  ReleaseOver(slider);
}

TEST(SwitcherPanelTest, OpensWithEveryControlInPlace) {
  Bench b;
  ASSERT_TRUE(b.Started());
  ASSERT_NE(b.panel, nullptr);
  EXPECT_EQ(b.panel->BackgroundId(), 294);
  struct Case {
    int id;
    QRect geometry;
    bool visible;
    int image;
  };
  const Case cases[] = {
      {1032, {10, 120, 70, 70}, true, 250},   {1111, {220, 200, 70, 70}, true, 271},
      {1119, {360, 120, 70, 70}, true, 280},  {1120, {360, 200, 70, 70}, true, 283},
      {1012, {150, 340, 70, 70}, true, 256},  {1155, {360, 420, 70, 70}, true, 283},
      {1123, {}, false, 274},                 {1127, {}, false, 277},
      {1131, {465, 120, 70, 70}, true, 299},  {1144, {535, 120, 70, 70}, true, 290},
      {1145, {605, 120, 70, 70}, true, 292},  {1135, {465, 200, 70, 70}, true, 247},
      {1134, {605, 200, 70, 70}, true, 298},  {1158, {535, 200, 70, 70}, false, 298},
      {1136, {465, 340, 70, 70}, true, 296},  {1162, {535, 340, 70, 70}, true, 286},
      {1132, {605, 340, 70, 70}, true, 303},  {1151, {465, 420, 80, 80}, true, 285},
      {1118, {600, 420, 80, 80}, true, 245},  {1152, {870, 420, 80, 80}, true, 289},
      {1161, {870, 120, 80, 80}, true, 347},  {1036, {875, 205, 70, 70}, true, 342},
      {1037, {875, 275, 70, 70}, true, 343},  {1038, {875, 345, 70, 70}, true, 345},
      {1121, {}, false, 0},                   {1146, {}, false, 0},
  };
  for (const Case& c : cases) {
    QWidget* w = b.panel->Item(c.id);
    ASSERT_NE(w, nullptr) << c.id;
    if (!c.geometry.isNull()) {
      EXPECT_EQ(w->geometry(), c.geometry) << c.id;
    }
    EXPECT_EQ(w->isVisibleTo(b.panel), c.visible) << c.id;
    if (c.image) {
      EXPECT_EQ(b.Image(c.id), c.image) << c.id;
    }
    auto* button = qobject_cast<CButtonST*>(w);
    ASSERT_NE(button, nullptr) << c.id;
    EXPECT_TRUE(button->IsSeeThrough() && !button->IsBorderShown() && button->IsFlatLook()) << c.id;
  }
  CBitmapSlider* tbar = b.panel->m_tbar;
  EXPECT_EQ(tbar->geometry(), QRect(710, 89, 164, 420));
  EXPECT_EQ(tbar->GetPosition(), 129);
  EXPECT_TRUE(tbar->Travel().IsVertical());
  EXPECT_EQ(tbar->Travel().Maximum(), 129);
  EXPECT_TRUE(tbar->IsChannelLoaded() && tbar->IsThumbLoaded());
  // Margins: the thumb hangs 10 pixels in from the left and, at the top of
  // its travel, 30 pixels down.
  const SliderTravel& travel = tbar->Travel();
  const int half_thumb = travel.Centre(129) - travel.ThumbTopLeft().y;
  EXPECT_EQ(travel.ThumbTopLeft().x, 10);
  EXPECT_EQ(travel.Centre(0) - half_thumb, 30);
  EXPECT_EQ(b.panel->m_page_rect, QRect(960, 100, 250, 400));
  auto* page = b.CurrentPage<CClass_switcher_function>();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->geometry(), b.panel->m_page_rect);
  EXPECT_EQ(page->BackgroundId(), 194);
  EXPECT_EQ(b.Image(1032, page), 360);
  EXPECT_EQ(b.Image(1037, page), 367);
  EXPECT_EQ(b.Record().zv_switcher_bkgd_state, 1);
  EXPECT_EQ(b.Record().zv_switcher_trans_type, 1);
  EXPECT_TRUE(b.FramesSince(0).empty()) << "opening sends nothing";
}

TEST(SwitcherPanelTest, ProgrammeThreeTwiceSendsTwoFrames) {
  Bench b;
  ASSERT_TRUE(b.Started());
  // The switcher has no serial path: its frames go by UDP in either mode.
  b.dlg->m_eState = kModeSerial;
  b.Click(1011);
  b.Click(1011);
  EXPECT_EQ(b.WaitFrames(2), (std::vector<std::string>{"0x80 03", "0x80 03"}));
  EXPECT_EQ(b.Image(1011), 255);
  EXPECT_EQ(b.Device().State().zv_switcher_pgm_source, 3);
  EXPECT_EQ(b.FramesSince(0), (std::vector<std::string>{"0x80 03", "0x80 03"})) << "and no third";
}

TEST(SwitcherPanelTest, Cut) {
  struct Case {
    const char* what;
    int pgm_button, pvm_button;  // 0: not pressed
    int pgm_after, pvm_after;
    std::vector<std::pair<int, int>> faces;
  };
  const Case cases[] = {
      {"2 / 5", 1033, 1113, 5, 2, {{1108, 261}, {1033, 253}, {1035, 251}, {1113, 262}}},
      {"4 / 4", 1107, 1112, 4, 4, {{1107, 258}, {1112, 257}}},
      {"none", 0, 0, 0, 0, {{1032, 250}, {1034, 250}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bench b;
    ASSERT_TRUE(b.Started());
    if (c.pgm_button) b.Click(c.pgm_button);
    if (c.pvm_button) b.Click(c.pvm_button);
    b.Click(kIdSwCut);
    const size_t count = c.pgm_button ? 3 : 1;
    const auto frames = b.WaitFrames(count);
    ASSERT_EQ(frames.size(), count);
    EXPECT_EQ(frames.back(), "0x83");
    EXPECT_EQ(b.Record().zv_switcher_pgm_source, c.pgm_after);
    EXPECT_EQ(b.Record().zv_switcher_pvm_source, c.pvm_after);
    for (const auto& [id, image] : c.faces) EXPECT_EQ(b.Image(id), image) << id;
    const SwitcherPageData device = b.Device().State();
    EXPECT_EQ(device.zv_switcher_pgm_source, c.pgm_after);
    EXPECT_EQ(device.zv_switcher_pvm_source, c.pvm_after);
  }
}

TEST(SwitcherPanelTest, PreviewDuringATransitionShowsRed) {
  Bench b;
  ASSERT_TRUE(b.Started());
  b.Click(1032);  // programme 1
  b.Click(1035);  // preview 2
  b.DragTbar({128, 121, 100, 89});
  EXPECT_EQ(b.Image(kIdSwAuto), 305);
  EXPECT_EQ(b.Image(1035), SourceProgramImage(2));
  b.Click(1114);  // preview 6 while the transition is open
  EXPECT_EQ(b.Image(1114), SourceProgramImage(6));
  EXPECT_EQ(b.Image(1035), SourceNormalImage(2));
  // The rest of the way up ends the transition: 6 goes to programme.
  b.DragTbar({60, 30, 1, 0});
  EXPECT_EQ(b.Image(kIdSwAuto), 245);
  EXPECT_EQ(b.Image(1109), SourceProgramImage(6));
  EXPECT_EQ(b.Image(1032), SourceNormalImage(1));
  EXPECT_EQ(b.Image(1034), SourcePreviewImage(1));
  EXPECT_EQ(b.Record().zv_switcher_tbar_reverse, 0);
  const auto frames = b.WaitFrames(10);
  // 0x82: direction 1 (upward), then the progress each move arrived at when
  // it reached or passed 1 or a multiple of 8.
  EXPECT_EQ(frames, (std::vector<std::string>{"0x80 01", "0x81 02", "0x82 0101", "0x82 0108",
                                              "0x82 011d", "0x82 0128", "0x81 06", "0x82 0145",
                                              "0x82 0163", "0x82 0180"}))
      << "progress 1, 8, 29, 40, then 69, 99 and 128 just below the top";
}

TEST(SwitcherPanelTest, BackgroundAndKeys) {
  Bench b;
  ASSERT_TRUE(b.Started());
  // BKGD alone: sent, and stays selected.
  b.Click(kIdSwBkgd);
  EXPECT_EQ(b.FramesSince(0), std::vector<std::string>{"0x8a 01"});
  EXPECT_EQ(b.Image(kIdSwBkgd), 247);
  // KEY 1, then BKGD off: KEY 1 can no longer be deselected.
  b.Click(kIdSwKey1);
  ASSERT_NE(b.CurrentPage<CClass_switcher_effect>(), nullptr);
  b.Click(kIdSwBkgd);
  EXPECT_EQ(b.Image(kIdSwBkgd), 246);
  QWidget* page = b.panel->m_p_cur_page;
  size_t before = b.Sync();
  b.Click(kIdSwKey1);
  EXPECT_TRUE(b.FramesSince(before).empty());
  EXPECT_EQ(b.panel->m_p_cur_page, page) << "no page change";
  EXPECT_EQ(b.Image(kIdSwKey1), 291);
  // BKGD on again; PIP, then KEY 2 clears PIP and shows the chroma page.
  b.Click(kIdSwBkgd);
  b.Click(kIdSwPip);
  ASSERT_NE(b.CurrentPage<CClass_switcher_wd_pip>(), nullptr);
  EXPECT_EQ(b.Image(kIdSwPip), 300);
  EXPECT_EQ(b.Image(kIdSwKey1), 290);
  before = b.Sync();
  b.Click(kIdSwKey2);
  EXPECT_EQ(b.FramesSince(before), std::vector<std::string>{"0x8c 00"});
  EXPECT_EQ(b.Image(kIdSwPip), 299);
  EXPECT_EQ(b.Image(kIdSwKey2), 293);
  EXPECT_NE(b.CurrentPage<CClass_switcher_chorma>(), nullptr);
  const SwitcherPageData device = b.Device().State();
  EXPECT_EQ(device.zv_switcher_key2_state, 1);
  EXPECT_EQ(device.zv_switcher_pip_state, 0);
  EXPECT_EQ(device.zv_switcher_bkgd_state, 1);
}

TEST(SwitcherPanelTest, OnAirFtbAndTransitionTypes) {
  Bench b;
  ASSERT_TRUE(b.Started());
  QWidget* page = b.panel->m_p_cur_page;
  b.Click(kIdSwOnAir);
  b.Click(kIdSwFtb);
  b.Click(kIdSwMix);
  b.Click(kIdSwMix);
  EXPECT_EQ(b.FramesSince(0), (std::vector<std::string>{"0x88 00", "0x85", "0x8d", "0x8d"}));
  EXPECT_EQ(b.Image(kIdSwOnAir), 297);
  EXPECT_EQ(b.Image(kIdSwFtb), 288);
  EXPECT_EQ(b.Image(kIdSwMix), 296);
  EXPECT_EQ(b.panel->m_p_cur_page, page) << "the transition page stays";
  EXPECT_EQ(b.Device().State().zv_switcher_on_air, 1);
  b.Click(kIdSwDip);
  EXPECT_EQ(b.Image(kIdSwMix), 295);
  EXPECT_EQ(b.Image(kIdSwDip), 287);
}

TEST(SwitcherPanelTest, WipePatternPage) {
  Bench b;
  ASSERT_TRUE(b.Started());
  auto* page = b.CurrentPage<CClass_switcher_function>();
  ASSERT_NE(page, nullptr);
  b.Click(1032, page);  // pattern 0 is already chosen
  b.Click(1043, page);  // pattern 7
  b.Click(1043, page);
  EXPECT_EQ(b.FramesSince(0), std::vector<std::string>{"0x92 07"});
  EXPECT_EQ(b.Image(1043, page), 353);
  EXPECT_EQ(b.Image(1032, page), 361);
  EXPECT_EQ(b.Device().State().zv_switcher_wipe_pattern, 7);
}

TEST(SwitcherPanelTest, LumaTrackbarSendsOnRelease) {
  Bench b;
  ASSERT_TRUE(b.Started());
  b.Click(kIdSwKey1);
  auto* page = b.CurrentPage<CClass_switcher_effect>();
  ASSERT_NE(page, nullptr);
  auto* green = qobject_cast<QSlider*>(page->Item(1176));
  auto* field = qobject_cast<QLineEdit*>(page->Item(1041));
  ASSERT_TRUE(green && field);
  EXPECT_EQ(field->text(), "16");
  EXPECT_TRUE(field->isReadOnly());
  const size_t before = b.WaitFrames(1).size();
  green->setSliderDown(true);
  green->setValue(40);
  EXPECT_EQ(field->text(), "40") << "shown while dragging";
  green->setSliderDown(false);
  ReleaseOver(green);
  EXPECT_EQ(b.FramesSince(before), std::vector<std::string>{"0x94 102810"});
  const uint8_t levels[3] = {16, 40, 16};
  EXPECT_EQ(std::vector<uint8_t>(b.Record().zv_switcher_luma_level, b.Record().zv_switcher_luma_level + 3),
            std::vector<uint8_t>(levels, levels + 3));
  // The keyboard moves a level and shows it, two digits at least, and sends
  // the levels once the trackbar settles.
  auto* red = qobject_cast<QSlider*>(page->Item(1175));
  red->setValue(8);
  const size_t now = b.Sync();
  QTest::keyClick(red, Qt::Key_Left);
  EXPECT_EQ(qobject_cast<QLineEdit*>(page->Item(1040))->text(), "07");
  EXPECT_EQ(b.Record().zv_switcher_luma_level[0], 7);
  const auto settled = b.WaitFrames(now + 1);
  ASSERT_EQ(settled.size(), now + 1);
  EXPECT_EQ(settled[now], "0x94 072810");  // luma levels: red 7, green 40, blue 16
  // Enter closes nothing.
  QTest::keyClick(red, Qt::Key_Return);
  EXPECT_FALSE(page->isHidden());
  EXPECT_FALSE(b.panel->isHidden());
  // A page left before its trackbar settled still sends what it showed.
  b.dlg->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(b.dlg.get()));
  const size_t left = b.Sync();
  test::TurnWheel(red, -1);  // three steps down
  b.Click(kIdSwKey2);
  EXPECT_EQ(b.FramesSince(left), (std::vector<std::string>{"0x8c 00",         // KEY 2 was off
                                                           "0x94 042810"}));  // red 4, 40, 16
}

TEST(SwitcherPanelTest, ChromaTypeGreen) {
  Bench b;
  ASSERT_TRUE(b.Started());
  b.Click(kIdSwKey2);
  auto* page = b.CurrentPage<CClass_switcher_chorma>();
  ASSERT_NE(page, nullptr);
  auto* types = qobject_cast<QComboBox*>(page->Item(1179));
  ASSERT_NE(types, nullptr);
  EXPECT_EQ(types->itemText(1), "Key Light Green");
  const size_t before = b.WaitFrames(1).size();
  types->setCurrentIndex(1);
  emit types->activated(1);
  const int ids[] = {1170, 1171, 1172};
  const int expected[] = {32, 220, 32};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(qobject_cast<QSlider*>(page->Item(ids[i]))->value(), expected[i]);
    EXPECT_EQ(qobject_cast<QLineEdit*>(page->Item(1040 + i))->text(),
              QString::number(expected[i]));
  }
  auto* blue = qobject_cast<QSlider*>(page->Item(1172));
  DragSliderTo(blue, 7);
  EXPECT_EQ(qobject_cast<QLineEdit*>(page->Item(1042))->text(), "07");
  EXPECT_EQ(b.FramesSince(before), (std::vector<std::string>{"0x98 01", "0x99 20dc07"}));
  EXPECT_EQ(b.Record().zv_switcher_chroma_type, 1);
  EXPECT_EQ(b.Record().zv_switcher_chroma_blue[1], 7);
  EXPECT_EQ(b.Record().zv_switcher_chroma_blue[0], 220);
  // The keyboard moves a level and shows it; leaving the trackbar sends the
  // levels at once, into the preset of the type shown.
  b.dlg->show();
  QApplication::setActiveWindow(b.dlg.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(b.dlg.get()));
  auto* red = qobject_cast<QSlider*>(page->Item(1170));
  red->setFocus();
  const size_t now = b.Sync();
  QTest::keyClick(red, Qt::Key_Left);
  EXPECT_EQ(qobject_cast<QLineEdit*>(page->Item(1040))->text(), "31");
  QTest::keyClick(red, Qt::Key_Tab);
  EXPECT_FALSE(red->hasFocus());
  EXPECT_EQ(b.FramesSince(now), std::vector<std::string>{"0x99 1fdc07"});  // chroma: 31, 220, 7
  EXPECT_EQ(b.Record().zv_switcher_chroma_red[1], 31);
}

TEST(SwitcherPanelTest, PipPage) {
  Bench b;
  ASSERT_TRUE(b.Started());
  b.Click(kIdSwPip);
  auto* page = b.CurrentPage<CClass_switcher_wd_pip>();
  ASSERT_NE(page, nullptr);
  const size_t before = b.WaitFrames(1).size();
  auto* x = qobject_cast<QSlider*>(page->Item(1170));
  auto* y = qobject_cast<QSlider*>(page->Item(1171));
  DragSliderTo(x, 100);
  DragSliderTo(y, 120);
  EXPECT_EQ(qobject_cast<QLineEdit*>(page->Item(1041))->text(), "1080");
  auto* width = qobject_cast<QComboBox*>(page->Item(1182));
  width->setCurrentIndex(6);
  emit width->activated(6);
  // Typing into the source field chooses nothing: not a whole entry typed
  // and confirmed with Enter, nor one left with Tab. The keys go where a
  // person's keys go, to the combo box that has the focus.
  b.dlg->show();
  QApplication::setActiveWindow(b.dlg.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(b.dlg.get()));
  auto* source = qobject_cast<QComboBox*>(page->Item(1183));
  ASSERT_TRUE(source->isEditable());
  QTest::mouseClick(source, Qt::LeftButton, Qt::NoModifier, QPoint(10, source->height() / 2));
  ASSERT_TRUE(source->hasFocus());
  QTest::keyClick(source, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(source, "Cam 05");
  QTest::keyClick(source, Qt::Key_Return);
  EXPECT_EQ(source->currentText(), "Cam 01");
  QTest::keyClick(source, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(source, "MP");
  QTest::keyClick(source, Qt::Key_Tab);
  EXPECT_FALSE(source->hasFocus());
  EXPECT_EQ(b.FramesSince(before), (std::vector<std::string>{"0xa0 4006", "0xa1 3804", "0x9f 06"}));
  EXPECT_EQ(b.Record().zv_switcher_pip_source, 0);
  EXPECT_EQ(source->currentText(), "Cam 01");
  // A choice from the list is sent.
  const size_t chosen = b.Sync();
  source->setCurrentIndex(10);
  emit source->activated(10);
  EXPECT_EQ(b.FramesSince(chosen), std::vector<std::string>{"0x9c 0a"});
  EXPECT_EQ(b.Record().zv_switcher_pip_x, 1600);
  EXPECT_EQ(b.Record().zv_switcher_pip_y, 1080);
  const SwitcherPageData device = b.Device().State();
  EXPECT_EQ(device.zv_switcher_pip_x, 1600);
  EXPECT_EQ(device.zv_switcher_pip_border_width, 6);
  EXPECT_FALSE(page->Item(1173)->isVisibleTo(page));
  // The wheel moves a trackbar and shows its value; once it settles the
  // device is sent what the field shows.
  const size_t now = b.Sync();
  test::TurnWheel(x, 1);
  EXPECT_EQ(qobject_cast<QLineEdit*>(page->Item(1040))->text(), "1648");  // three steps a notch
  const auto settled = b.WaitFrames(now + 1);
  ASSERT_EQ(settled.size(), now + 1);
  EXPECT_EQ(settled[now], "0xa0 7006");  // PIP X: 1648 pixels, low byte first
  EXPECT_EQ(b.Record().zv_switcher_pip_x, 1648);
}

TEST(SwitcherPanelTest, SpaceAfterADragSendsNothing) {
  Bench b;
  ASSERT_TRUE(b.Started());
  b.dlg->show();
  QApplication::setActiveWindow(b.dlg.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(b.dlg.get()));
  b.DragTbar({100});
  b.DragTbar({129});  // back down: the transition is taken back
  QWidget* focused = QApplication::focusWidget();
  ASSERT_NE(focused, nullptr);
  EXPECT_EQ(focused, b.panel->m_tbar) << "the focus stays on the T-bar";
  const size_t before = b.Sync();
  // Space, Enter and Escape where the operator's keys go: nothing fades to
  // black, nothing is pressed, nothing closes.
  for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Escape})
    QTest::keyClick(QApplication::focusWidget(), key);
  EXPECT_EQ(b.Record().zv_switcher_ftb_state, 0);
  EXPECT_EQ(b.Image(kIdSwFtb), 289);
  EXPECT_FALSE(b.panel->isHidden());
  EXPECT_TRUE(b.FramesSince(before).empty());
}

TEST(SwitcherPanelTest, DragBackToItsStartCancelsTheTransition) {
  Bench b;
  ASSERT_TRUE(b.Started());
  const size_t before = b.Sync();
  b.Click(1032);  // programme 1
  b.Click(1035);  // preview 2
  b.DragTbar({100, 129});  // up to progress 29, then back to the bottom
  EXPECT_EQ(b.FramesSince(before),
            (std::vector<std::string>{"0x80 01", "0x81 02",
                                      "0x82 011d",     // direction 1 (upward), progress 29
                                      "0x82 0100"}));  // direction 1, progress 0: at the start
  // (the marker of FramesSince put programme 12 on the device and the panel)
  EXPECT_EQ(b.Image(kIdSwAuto), 245) << "lamp off";
  EXPECT_EQ(b.Record().zv_switcher_in_transition, 0);
  EXPECT_EQ(b.Record().zv_switcher_pvm_source, 2) << "no exchange";
  EXPECT_EQ(b.Image(1035), SourcePreviewImage(2));
  EXPECT_EQ(b.Record().zv_switcher_tbar_reverse, 1) << "the next travel still runs upward";
  const SwitcherPageData device = b.Device().State();
  EXPECT_EQ(device.zv_switcher_pvm_source, 2);
  EXPECT_EQ(device.zv_switcher_in_transition, 0);
}

// A drag whose mouse steps jump over every multiple of 8 still sends a frame
// for each step that passes one, with the progress it arrived at.
TEST(SwitcherPanelTest, FastDragKeepsTheDeviceUp) {
  Bench b;
  ASSERT_TRUE(b.Started());
  const size_t before = b.Sync();
  b.DragTbar({119, 99, 79, 59, 39, 19, 0});  // progress 10, 30, ..., 110, then the top
  // 0x82: direction 1 (upward), progress.
  EXPECT_EQ(b.FramesSince(before), (std::vector<std::string>{"0x82 010a", "0x82 011e", "0x82 0132",
                                                             "0x82 0146", "0x82 015a", "0x82 016e",
                                                             "0x82 0180"}));
  EXPECT_EQ(b.Record().zv_switcher_tbar_reverse, 0);
}

TEST(SwitcherPanelTest, CutDuringAutoEndsTheAuto) {
  Bench b;
  ASSERT_TRUE(b.Started());
  b.Click(1032);        // programme 1
  b.Click(1035);        // preview 2
  b.Click(kIdSwRate3);  // 20 ms steps
  b.Click(kIdSwAuto);
  ASSERT_TRUE(QTest::qWaitFor([&] { return b.panel->m_tbar->GetPosition() < 100; }, 5000));
  b.Click(kIdSwCut);
  EXPECT_FALSE(b.panel->IsTimerRunning(3));
  EXPECT_EQ(b.Image(kIdSwAuto), 245);
  EXPECT_EQ(b.Record().zv_switcher_in_transition, 0);
  EXPECT_EQ(b.Record().zv_switcher_pgm_source, 2) << "exchanged once, by the Cut";
  EXPECT_EQ(b.Record().zv_switcher_pvm_source, 1);
  EXPECT_EQ(b.panel->m_tbar->GetPosition(), 0) << "at rest as after a whole travel upward";
  EXPECT_EQ(b.Record().zv_switcher_tbar_reverse, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return b.Frames().back() == "0x83"; }, 3000));
  const SwitcherPageData device = b.Device().State();
  EXPECT_EQ(device.zv_switcher_pgm_source, 2);
  EXPECT_EQ(device.zv_switcher_pvm_source, 1);
}

// The wheel turned over a closed list changes nothing and sends nothing, on
// each page of the panel.
TEST(SwitcherPanelTest, WheelOverAClosedListChangesNothing) {
  Bench b;
  ASSERT_TRUE(b.Started());
  struct Page {
    const char* what;
    int button;  // that shows the page; 0: the page shown at opening
  };
  // The transition page's lists are hidden; the other pages show theirs.
  const Page pages[] = {{"luma key", kIdSwKey1}, {"chroma key", kIdSwKey2},
                        {"picture in picture", kIdSwPip}};
  for (const Page& p : pages) {
    SCOPED_TRACE(p.what);
    if (p.button) b.Click(p.button);
    QWidget* page = b.panel->m_p_cur_page;
    ASSERT_NE(page, nullptr);
    const size_t before = b.Sync();
    int lists = 0;
    for (QComboBox* list : page->findChildren<QComboBox*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (!list->isVisibleTo(page) || list->count() < 2) continue;
      ++lists;
      const int shown = list->currentIndex();
      // Towards the operator, then away past the start: each notch alone.
      for (int notches : {-1, 1, 1}) {
        test::TurnWheel(list, notches);
        EXPECT_EQ(list->currentIndex(), shown) << notches;
      }
    }
    EXPECT_GT(lists, 0);
    EXPECT_TRUE(b.FramesSince(before).empty());
  }
}

TEST(SwitcherPanelTest, StreamStartsTheViewerBesideTheProgram) {
  Bench b;
  ASSERT_TRUE(b.Started());
  test::TraceRecorder trace;
  b.Click(kIdSwStream);
  // No viewer lies beside the test program: the start is tried there, fails,
  // and leaves the marker at "off" so that the next press tries again.
  const std::string viewer = PathBesideExecutable("DecodeH264.exe");
  bool tried = false;
  for (const std::string& line : trace.lines) tried |= line.rfind("cannot start " + viewer, 0) == 0;
  EXPECT_TRUE(tried);
  EXPECT_EQ(ReadProfileString("Settings", "decode_state", "", PathBesideExecutable("Configure.ini")),
            "off");
  EXPECT_EQ(b.Image(kIdSwStream), 347);
  EXPECT_TRUE(b.FramesSince(0).empty()) << "the viewer gets nothing from the device link";
}

TEST(SwitcherPanelTest, APanelKeepsTheDeviceItWasOpenedFor) {
  Bench b;
  ASSERT_TRUE(b.Started());
  // The choice cleared under an open panel (as a search starting does): the
  // panel's frames still go to its own device, and nobody is asked to
  // choose one.
  b.dlg->m_device_index = -1;
  test::MessageBoxRecorder boxes;
  struct Press {
    int id;
    int face_id, face;  // the face the press leaves on a button
  };
  const Press presses[] = {
      {1011, 1011, SourceProgramImage(3)}, {1113, 1113, SourcePreviewImage(5)},
      {kIdSwOnAir, kIdSwOnAir, 297},       {kIdSwFtb, kIdSwFtb, 288},
      {kIdSwKey1, kIdSwKey1, 291},         {kIdSwCut, 1108, SourceProgramImage(5)},
  };
  for (const Press& p : presses) {
    b.Click(p.id);
    EXPECT_EQ(b.Image(p.face_id), p.face) << p.id;
  }
  EXPECT_EQ(b.FramesSince(0), (std::vector<std::string>{"0x80 03", "0x81 05", "0x88 00",
                                                        "0x85", "0x8b 00", "0x83"}));
  EXPECT_TRUE(boxes.requests.empty());
  b.dlg->m_device_index = 0;
}

TEST(SwitcherPanelTest, AutoRunsTheTimerToTheEnd) {
  Bench b;
  ASSERT_TRUE(b.Started());
  b.Click(1032);
  b.Click(1035);
  b.Click(kIdSwAuto);
  EXPECT_TRUE(b.panel->IsTimerRunning(1));
  EXPECT_EQ(b.Image(kIdSwAuto), 305);
  // r2 is refused while the lamp is lit.
  b.Click(kIdSwRate2);
  EXPECT_EQ(b.Image(kIdSwRate2), 343);
  ASSERT_TRUE(QTest::qWaitFor([&] { return b.Record().zv_switcher_in_transition == 0; }, 10000));
  EXPECT_FALSE(b.panel->IsTimerRunning(1));
  EXPECT_EQ(b.panel->m_tbar->GetPosition(), 0);
  EXPECT_EQ(b.Record().zv_switcher_tbar_reverse, 0);
  const auto frames = b.WaitFrames(3 + 17);
  ASSERT_EQ(frames.size(), 20u);
  EXPECT_EQ(frames[2], "0x84");
  EXPECT_EQ(frames[3], "0x82 0101");
  EXPECT_EQ(frames.back(), "0x82 0180");
  EXPECT_EQ(b.Image(1033), SourceProgramImage(2));
  const SwitcherPageData device = b.Device().State();
  EXPECT_EQ(device.zv_switcher_pgm_source, 2);
  EXPECT_EQ(device.zv_switcher_pvm_source, 1);
  b.Click(kIdSwRate2);
  EXPECT_EQ(b.Image(kIdSwRate2), 344);
  EXPECT_EQ(b.Image(kIdSwRate1), 341);
}

TEST(SwitcherPanelTest, DragDuringAutoStopsTheTimer) {
  Bench b;
  ASSERT_TRUE(b.Started());
  b.Click(kIdSwRate3);  // 20 ms steps leave time to grab the thumb
  b.Click(kIdSwAuto);
  ASSERT_TRUE(QTest::qWaitFor([&] { return b.panel->m_tbar->GetPosition() < 125; }, 5000));
  const int at = b.panel->m_tbar->GetPosition();
  b.DragTbar({at - 10}, false);
  EXPECT_FALSE(b.panel->IsTimerRunning(3));
  EXPECT_EQ(b.Record().zv_switcher_tbar_value, 129 - (at - 10));
  EXPECT_EQ(b.Record().zv_switcher_in_transition, 1);
  b.DragTbar({0});
  EXPECT_EQ(b.Record().zv_switcher_in_transition, 0);
  EXPECT_EQ(b.Record().zv_switcher_tbar_reverse, 0);
}

TEST(SwitcherPanelTest, ReopeningShowsTheKeptRecord) {
  Bench b;
  ASSERT_TRUE(b.Started());
  b.Click(1033);           // programme 2
  b.Click(1113);           // preview 5
  b.Click(kIdSwOnAir);
  b.Click(kIdSwFtb);
  b.Click(kIdSwRate3);
  b.Click(1043, b.panel->m_p_cur_page);  // wipe pattern 7
  b.Click(kIdSwKey2);
  auto* chroma = b.CurrentPage<CClass_switcher_chorma>();
  ASSERT_NE(chroma, nullptr);
  auto* types = qobject_cast<QComboBox*>(chroma->Item(1179));
  types->setCurrentIndex(1);
  emit types->activated(1);
  b.DragTbar({0});  // a whole travel upward
  ASSERT_EQ(b.Record().zv_switcher_tbar_reverse, 0);

  b.Reopen();
  ASSERT_NE(b.panel, nullptr);
  EXPECT_EQ(b.panel->m_tbar->GetPosition(), 0) << "the next travel starts at the top";
  EXPECT_EQ(b.Image(1108), SourceProgramImage(5));
  EXPECT_EQ(b.Image(1035), SourcePreviewImage(2));
  EXPECT_EQ(b.Image(kIdSwOnAir), 297);
  EXPECT_EQ(b.Image(kIdSwFtb), 288);
  EXPECT_EQ(b.Image(kIdSwRate3), 346);
  EXPECT_EQ(b.Image(kIdSwRate1), 341);
  EXPECT_EQ(b.Image(kIdSwKey2), 293);
  auto* function = b.CurrentPage<CClass_switcher_function>();
  ASSERT_NE(function, nullptr);
  EXPECT_EQ(b.Image(1043, function), 353);
  EXPECT_EQ(b.Image(1032, function), 361);
  // Pressing the kept programme source changes no face.
  b.Click(1108);
  EXPECT_EQ(b.Image(1108), SourceProgramImage(5));
  b.Click(kIdSwKey2);  // deselects KEY 2; the chroma page shows the kept type
  b.Click(kIdSwKey2);
  chroma = b.CurrentPage<CClass_switcher_chorma>();
  ASSERT_NE(chroma, nullptr);
  EXPECT_EQ(qobject_cast<QComboBox*>(chroma->Item(1179))->currentIndex(), 1);
  EXPECT_EQ(qobject_cast<QSlider*>(chroma->Item(1171))->value(), 220);
  // A drag now runs downward from the top: progress 1 first.
  const size_t before = b.Sync();
  b.DragTbar({1});
  EXPECT_EQ(b.FramesSince(before), std::vector<std::string>{"0x82 0001"});
}

TEST(SwitcherPanelTest, KeysDoWhatTheirButtonsDo) {
  Bench b;
  ASSERT_TRUE(b.Started());
  b.dlg->show();
  QApplication::setActiveWindow(b.dlg.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(b.dlg.get()));
  // Where the operator's keys go after working the T-bar.
  b.panel->m_tbar->setFocus(Qt::MouseFocusReason);
  struct Row {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::vector<std::string> sent;
  };
  const Row rows[] = {
      {Qt::Key_3, Qt::NoModifier, {"0x81 03"}},     // preview 3
      {Qt::Key_5, Qt::ShiftModifier, {"0x80 05"}},  // programme 5
      {Qt::Key_C, Qt::NoModifier, {"0x83"}},
      {Qt::Key_B, Qt::ControlModifier, {"0x85"}},
      {Qt::Key_B, Qt::NoModifier, {}},  // fade to black only as a chord
      {Qt::Key_9, Qt::NoModifier, {}},
      {Qt::Key_Return, Qt::NoModifier, {}},
      {Qt::Key_Escape, Qt::NoModifier, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(QKeySequence(row.key | row.modifiers).toString().toStdString());
    const size_t before = b.Sync();
    QTest::keyClick(QApplication::focusWidget(), row.key, row.modifiers);
    EXPECT_EQ(b.FramesSince(before), row.sent);
  }
  EXPECT_EQ(b.Record().zv_switcher_ftb_state, 1);
  EXPECT_EQ(b.Image(kIdSwFtb), 288);
  EXPECT_FALSE(b.panel->isHidden());
  EXPECT_TRUE(b.panel->Button(kIdSwFtb)->toolTip().contains(QKeySequence(Qt::CTRL | Qt::Key_B).toString(QKeySequence::NativeText)));

  // Typed into a field, the same keys are the field's.
  b.panel->ShowSwitcherPage(1);
  QLineEdit* field = nullptr;
  for (QLineEdit* e : b.panel->findChildren<QLineEdit*>())
    if (e->isVisible() && e->isEnabled()) field = e;
  ASSERT_NE(field, nullptr);
  field->setFocus(Qt::MouseFocusReason);
  const size_t before = b.Sync();
  for (const Row& row : rows) QTest::keyClick(field, row.key, row.modifiers);
  for (const std::string& frame : b.FramesSince(before))
    EXPECT_TRUE(frame.rfind("0x80", 0) && frame.rfind("0x81", 0) && frame.rfind("0x83", 0) &&
                frame.rfind("0x85", 0))
        << frame;

  // Auto last: its timer goes on sending the T-bar.
  b.panel->m_tbar->setFocus(Qt::MouseFocusReason);
  const size_t at = b.Sync();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
  // No marker after it: the T-bar frames of the running Auto would come
  // between the marker's click and its frame.
  std::vector<std::string> frames;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (frames = b.Frames()).size() > at; }, 3000));
  EXPECT_EQ(frames[at], "0x84");
  EXPECT_EQ(b.Record().zv_switcher_in_transition, 1);
}

// On air a key acts once per press and works as soon as the panel shows,
// and the T-bar has one source of travel at a time: a Cut ends a transition
// made by hand as it ends an Auto, and Auto waits for the hand that holds
// the T-bar. Keys come through the window as the window system gives them.
TEST(SwitcherPanelTest, OnAirOncePerPressAndOneTravelAtATime) {
  for (bool marked : {true, false}) {
    SCOPED_TRACE(marked ? "a key held for five repeats" : "a key held, repeats not marked");
    Bench b;
    ASSERT_TRUE(b.Started());
    ASSERT_TRUE(b.Activate());
    b.panel->m_tbar->setFocus(Qt::MouseFocusReason);
    struct Held {
      const char* what;
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
      std::vector<std::string> sent;  // T-bar frames left out after Auto
    };
    const Held rows[] = {
        {"C", Qt::Key_C, Qt::NoModifier, {"0x83"}},
        {"Ctrl+B", Qt::Key_B, Qt::ControlModifier, {"0x85"}},  // black once, and it stays
        {"3", Qt::Key_3, Qt::NoModifier, {"0x81 03"}},
        {"Shift+5", Qt::Key_5, Qt::ShiftModifier, {"0x80 05"}},
        {"Page Up on the T-bar", Qt::Key_PageUp, Qt::NoModifier, {"0x82 0114"}},  // upward, 20
        {"A", Qt::Key_A, Qt::NoModifier, {"0x84"}},  // last: its travel runs on
    };
    for (const Held& row : rows) {
      SCOPED_TRACE(row.what);
      const size_t before = b.Sync();
      if (marked)
        b.HoldKey(row.key, row.modifiers, 5);
      else
        b.HoldKeyUnmarked(row.key, row.modifiers, 5);
      std::vector<std::string> sent;
      if (row.key == Qt::Key_A) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return b.Record().zv_switcher_in_transition == 0; }, 10000));
        sent = b.FramesSince(before);
        std::erase_if(sent, [](const std::string& f) { return f.rfind("0x82", 0) == 0; });
      } else {
        sent = b.FramesSince(before);
      }
      EXPECT_EQ(sent, row.sent);
    }
    EXPECT_EQ(b.Record().zv_switcher_ftb_state, 1);
  }
  {
    SCOPED_TRACE("the keys as soon as the panel shows");
    for (bool reopen : {false, true}) {
      SCOPED_TRACE(reopen ? "device chosen again in the shown window" : "window shown after opening");
      Bench b;
      ASSERT_TRUE(b.Started());
      ASSERT_TRUE(b.Activate());
      const size_t before = b.Sync();
      if (reopen) b.Reopen();
      b.HoldKey(Qt::Key_C, Qt::NoModifier, 0);
      EXPECT_EQ(b.FramesSince(before), std::vector<std::string>{"0x83"}) << "opening sends nothing";
    }
  }
  for (bool held : {false, true}) {
    SCOPED_TRACE(held ? "Cut with the T-bar held half way" : "Cut after a drag released half way");
    Bench b;
    ASSERT_TRUE(b.Started());
    ASSERT_TRUE(b.Activate());
    const size_t before = b.Sync();
    b.Click(1033);  // programme 2
    b.Click(1113);  // preview 5
    b.PressTbar();
    b.MoveTbarTo(80);
    if (!held) b.ReleaseTbar();
    b.HoldKey(Qt::Key_C, Qt::NoModifier, 0);
    EXPECT_EQ(b.Image(kIdSwAuto), 245) << "lamp off";
    EXPECT_EQ(b.Image(1108), SourceProgramImage(5));
    EXPECT_EQ(b.Image(1035), SourcePreviewImage(2)) << "2 is not going to air";
    EXPECT_EQ(b.panel->m_tbar->GetPosition(), 0) << "at rest as after a whole travel upward";
    EXPECT_EQ(b.Record().zv_switcher_tbar_reverse, 0);
    if (held) {
      b.MoveTbarTo(73);
      b.ReleaseTbar();
      EXPECT_EQ(b.panel->m_tbar->GetPosition(), 0) << "the held mouse no longer moves it";
    }
    // The next touch takes the thumb 7 positions along its next travel.
    const int at = b.panel->m_tbar->GetPosition();
    b.DragTbar({b.Record().zv_switcher_tbar_reverse ? at - 7 : at + 7});
    EXPECT_EQ(b.FramesSince(before), (std::vector<std::string>{"0x80 02", "0x81 05",
                                                               "0x82 0131",   // upward, 49
                                                               "0x83",
                                                               "0x82 0007"}))  // downward, 7
        << "a new travel from the top";
  }
  {
    SCOPED_TRACE("Auto with the T-bar held half way");
    Bench b;
    ASSERT_TRUE(b.Started());
    ASSERT_TRUE(b.Activate());
    const size_t before = b.Sync();
    b.Click(1033);  // programme 2
    b.Click(1113);  // preview 5
    b.PressTbar();
    b.MoveTbarTo(80);
    b.HoldKey(Qt::Key_A, Qt::NoModifier, 0);
    b.MoveTbarTo(73);
    b.ReleaseTbar();
    EXPECT_FALSE(b.panel->IsTimerRunning(1));
    EXPECT_EQ(b.Record().zv_switcher_tbar_value, 56);
    EXPECT_EQ(b.Image(kIdSwAuto), 305) << "the hand's transition stays open";
    EXPECT_EQ(b.FramesSince(before), (std::vector<std::string>{"0x80 02", "0x81 05",
                                                               "0x82 0131",    // upward, 49
                                                               "0x82 0138"}))  // upward, 56
        << "the hand's travel only, forward";
  }
}

}  // namespace
}  // namespace zv

namespace zv {
namespace {

// Everything the device has logged once it has logged all sent to it,
// other than discovery.
std::vector<std::string> SettledFrames(Bench& b) {
  EXPECT_TRUE(test::DeviceHasLoggedAll("127.0.0.2", b.Port())) << "the device did not answer the test's query";
  std::vector<std::string> frames = b.Frames();
  std::erase_if(frames, [](const std::string& f) { return f.rfind("0xff", 0) == 0; });
  return frames;
}

// Every action of the switcher's table, through each surface that offers it:
// the panel (a real click, key, drag or list choice; after `prepare`, which
// shows the page the control is on) and zvctl as a process. Both start from
// a fresh session of the same device and must put the same frames on the
// wire in the same order. (Spacing is the link worker's for both; the
// worker's own tests measure it.) Actions no person can reach in the panel
// (hidden controls) go through zvctl alone, and must still send.
TEST(ActionSurfacesTest, EveryActionSendsTheSameFramesFromThePanelAndFromZvctl) {
  struct Case {
    std::vector<std::string> zvctl;
    std::function<void(Bench&)> prepare;  // may be empty
    std::function<void(Bench&)> press;    // empty: not offered by the panel
  };
  const auto click = [](int id) { return [id](Bench& b) { b.Click(id); }; };
  const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    return [k, m](Bench& b) { b.HoldKey(k, m, 0); };
  };
  const auto on_page = [](int id) {
    return [id](Bench& b) { b.Click(id, b.panel->m_p_cur_page.data()); };
  };
  const auto choose = [](int id, int line) {
    return [id, line](Bench& b) {
      auto* combo = qobject_cast<QComboBox*>(b.panel->m_p_cur_page->Item(id));
      ASSERT_NE(combo, nullptr) << id;
      if (!combo->isEditable()) {
        ASSERT_TRUE(test::ChooseLine(combo, line)) << id;
        return;
      }
      // A list with a text field, from the keyboard: Alt+Down opens it,
      // the arrows go down to the line, Return takes it.
      combo->setFocus();
      QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
      QAbstractItemView* view = combo->view();
      ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000)) << id;
      for (int i = combo->currentIndex(); i < line; ++i) QTest::keyClick(view, Qt::Key_Down);
      QTest::keyClick(view, Qt::Key_Return);
      ASSERT_TRUE(QTest::qWaitFor([view] { return !view->isVisible(); }, 2000)) << id;
    };
  };
  const auto slide = [](int id, int value) {
    return [id, value](Bench& b) {
      auto* slider = qobject_cast<QSlider*>(b.panel->m_p_cur_page->Item(id));
      ASSERT_NE(slider, nullptr) << id;
      DragSliderTo(slider, value);
    };
  };
  const std::vector<Case> cases{
      {{"program", "3"}, {}, click(kPgmSourceButtons[2])},
      {{"preview", "2"}, {}, key(Qt::Key_2)},
      {{"cut"}, {}, key(Qt::Key_C)},
      {{"auto"}, {}, click(kIdSwAuto)},
      {{"ftb"}, {}, key(Qt::Key_B, Qt::ControlModifier)},
      // A hand that jumps the thumb to travel 64 in one move and lets go.
      {{"tbar", "64"}, {}, [](Bench& b) {
         b.DragTbar({kTbarBottom - 64});
       }},
      {{"transition", "wipe"}, {}, click(kTransitionTypeImages[2].control_id)},
      {{"rate", "r2"}, {}, click(kRateImages[1].control_id)},
      {{"on-air"}, {}, click(kIdSwOnAir)},
      {{"on-air2"}, {}, {}},
      {{"bkgd"}, {}, click(kIdSwBkgd)},
      {{"pip"}, {}, click(kIdSwPip)},
      {{"key1"}, {}, click(kIdSwKey1)},
      {{"key2"}, {}, click(kIdSwKey2)},
      {{"wipe-pattern", "7"}, {}, on_page(1043)},
      {{"dip-source", "4"}, {}, {}},
      {{"wipe-source", "5"}, {}, {}},
      {{"luma-source", "3"}, click(kIdSwKey1), choose(1174, 3)},
      {{"luma-levels", "16", "40", "16"}, click(kIdSwKey1), slide(1176, 40)},
      {{"chroma-source", "2"}, click(kIdSwKey2), choose(1178, 2)},
      {{"chroma-type", "green"}, click(kIdSwKey2), choose(1179, 1)},
      {{"chroma-levels", "32", "32", "99"}, click(kIdSwKey2), slide(1172, 99)},
      {{"pip-source", "6"}, click(kIdSwPip), choose(1183, 6)},
      {{"pip-border", "on"}, click(kIdSwPip), choose(1180, 1)},
      {{"pip-border-colour", "green"}, click(kIdSwPip), choose(1181, 2)},
      {{"pip-border-width", "4"}, click(kIdSwPip), choose(1182, 4)},
      {{"pip-x", "100"}, click(kIdSwPip), slide(1170, 100)},
      {{"pip-y", "120"}, click(kIdSwPip), slide(1171, 120)},
      {{"pip-width", "30"}, click(kIdSwPip), slide(1172, 30)},
  };
  // Every action of the table has its case.
  const ActionTable table = FamilyOf(FamilyKind::kSwitcher).actions();
  std::vector<std::string> covered;
  for (const Case& c : cases) covered.push_back(c.zvctl[0]);
  for (const ActionSpec& action : table) {
    std::string word = action.ShortName();
    std::replace(word.begin(), word.end(), '_', '-');
    EXPECT_NE(std::find(covered.begin(), covered.end(), word), covered.end()) << word << " has no case";
  }
  for (const Case& c : cases) {
    const std::string name = c.zvctl[0];
    std::string action_name = "switcher." + name;
    std::replace(action_name.begin(), action_name.end(), '-', '_');
    const ActionSpec* action = FindAction(table, action_name);
    ASSERT_NE(action, nullptr) << name;
    std::vector<std::string> from_panel;
    Bench b;
    ASSERT_TRUE(b.Started());
    ASSERT_TRUE(b.Activate());
    if (c.press) {
      if (c.prepare) c.prepare(b);
      ASSERT_TRUE(test::DrainLink(*b.dlg)) << name;
      const size_t before = SettledFrames(b).size();
      c.press(b);
      // An Auto runs to its end in the session before its frames are all out.
      ASSERT_TRUE(QTest::qWaitFor([&] { return !b.panel->Session().Busy(); }, 10000)) << name;
      ASSERT_TRUE(test::DrainLink(*b.dlg)) << name;
      const std::vector<std::string> all = SettledFrames(b);
      from_panel.assign(all.begin() + static_cast<long>(before), all.end());
      // An action on the session's record alone sends nothing, and zvctl,
      // which keeps no session, does not offer it.
      EXPECT_EQ(from_panel.empty(), action->record_only) << name;
      if (action->record_only) continue;
    }
    const size_t before = SettledFrames(b).size();
    std::vector<std::string> args{"--type", "0xA5", "--id", "1", "127.0.0.2", "switcher"};
    args.insert(args.end(), c.zvctl.begin(), c.zvctl.end());
    test::Start start;
    start.port = b.Port();
    const test::Ran run = test::RunZvctl(ZVCTL_PATH, args, start);
    EXPECT_EQ(run.status, 0) << name << ": " << run.output;
    const std::vector<std::string> all = SettledFrames(b);
    const std::vector<std::string> from_zvctl(all.begin() + static_cast<long>(before), all.end());
    if (c.press)
      EXPECT_EQ(from_zvctl, from_panel) << name;
    else
      EXPECT_FALSE(from_zvctl.empty()) << name << ": zvctl sent nothing";
  }
}

}  // namespace
}  // namespace zv

namespace zv {
namespace {

// Two production switchers in one window: each has its own session, so a
// press on one changes only its record and reaches only its device, and
// each panel shows its own device's record when chosen again.
TEST(SwitcherSessionsTest, TwoSwitchersKeepTheirOwnRecords) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(test::LoopbackSim(port, {"PS", "PS2"}));
  ASSERT_TRUE(runner.started());
  LinkConfig config;
  config.local_port = 0;
  config.search_address = "127.0.0.1";
  config.device_port = port;
  CZELVIKDlg dlg(config);
  for (int i = 0; i < 2; ++i) {
    if (dlg.m_device_list.size() <= static_cast<size_t>(i)) dlg.m_device_list.resize(static_cast<size_t>(i) + 1);
    dlg.m_device_list[i].SetIpText(i == 0 ? "127.0.0.2" : "127.0.0.3");
    dlg.m_device_list[i].device_type = 0xA5;
    dlg.m_device_list[i].device_id = 0x01;
  }
  dlg.DeviceCombo()->addItems({"PS_127.0.0.2", "PS2_127.0.0.3"});
  const auto open = [&](int line) {
    emit dlg.DeviceCombo()->activated(line);
    return qobject_cast<CClass_switcher_dlg*>(dlg.m_p_mian_show_dlg.data());
  };
  const auto device = [&](int i) -> sim::SwitcherDevice& {
    return static_cast<sim::SwitcherDevice&>(runner.sim().Device(i));
  };
  CClass_switcher_dlg* first = open(0);
  ASSERT_NE(first, nullptr);
  QTest::mouseClick(static_cast<QAbstractButton*>(first->Item(kPgmSourceButtons[2])), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  CClass_switcher_dlg* second = open(1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Session().Data().zv_switcher_pgm_source, 0) << "the second switcher's record is its own";
  EXPECT_EQ(second->Button(kPgmSourceButtons[2])->FaceImageId(), SourceNormalImage(3));
  QTest::mouseClick(static_cast<QAbstractButton*>(second->Item(kPgmSourceButtons[6])), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  ASSERT_TRUE(QTest::qWaitFor([&] { return device(1).State().zv_switcher_pgm_source == 7; }, 3000));
  EXPECT_EQ(device(0).State().zv_switcher_pgm_source, 3) << "the first switcher got no frame of the second's";
  CClass_switcher_dlg* again = open(0);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Session().Data().zv_switcher_pgm_source, 3);
  EXPECT_EQ(again->Button(kPgmSourceButtons[2])->FaceImageId(), SourceProgramImage(3)) << "kept, and shown again";
  EXPECT_EQ(again->Button(kPgmSourceButtons[6])->FaceImageId(), SourceNormalImage(7));
}

// A frame that does not leave (the system refuses the destination: port 0)
// is said in red, never as sent.
TEST(SwitcherSessionsTest, AFrameThatDidNotLeaveIsNotCalledSent) {
  LinkConfig config;
  config.local_port = 0;
  config.device_port = 0;
  config.search_address = "127.0.0.1";
  CZELVIKDlg dlg(config);
  if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
  dlg.m_device_list[0].SetIpText("127.0.0.1");
  dlg.m_device_list[0].device_type = 0xA5;
  dlg.m_device_list[0].device_id = 0x01;
  dlg.DeviceCombo()->addItem("PS_127.0.0.1");
  emit dlg.DeviceCombo()->activated(0);
  auto* panel = qobject_cast<CClass_switcher_dlg*>(dlg.m_p_mian_show_dlg.data());
  ASSERT_NE(panel, nullptr);
  test::MessageBoxRecorder boxes;
  QTest::mouseClick(static_cast<QAbstractButton*>(panel->Item(kPgmSourceButtons[2])), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  const auto* strip = dlg.findChild<QLabel*>(QStringLiteral("status_strip"));
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(strip->text(), "Not sent: Program to PS_127.0.0.1");
  EXPECT_TRUE(strip->property(kErrorTextProperty).toBool());
}

}  // namespace
}  // namespace zv
