#include <gtest/gtest.h>

#include <set>

#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "controls/shade_button_st.h"
#include "fourch/fourch_panel.h"
#include "matrix/matrix_panel.h"
#include "multiview/multiview_panel.h"
#include "platform/platform.h"
#include "res/skin.h"
#include "res/skin_table.h"
#include "support/pty_pair.h"
#include "support/link_drain.h"
#include "support/recorders.h"
#include "support/ui_input.h"
#include "switcher/switcher_panel.h"

namespace zv {
namespace {

// The main window with loopback-only link settings.
LinkConfig LoopbackConfig() {
  LinkConfig c;
  c.local_port = 0;
  c.search_address = "127.0.0.1";
  return c;
}

QList<CChildDialog*> Panels(const CZELVIKDlg& dlg) {
  return dlg.findChildren<CChildDialog*>(QString(), Qt::FindDirectChildrenOnly);
}

TEST(MainWindowTest, WindowAndControlGeometry) {
  CZELVIKDlg dlg(LoopbackConfig());
  EXPECT_EQ(m_p_glo_main_set_or_get_dlg, &dlg);
  EXPECT_EQ(dlg.size(), QSize(1280, 720));
  EXPECT_EQ(dlg.windowTitle(), "zv_multiview");
  EXPECT_TRUE(dlg.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(dlg.m_panel_rect, QRect(QPoint(20, 110), QPoint(1259, 689)));

  struct Case {
    int id;
    QRect geometry;
    bool visible;
    int image;
  };
  const Case cases[] = {
      {1000, {1150, 0, 47, 35}, true, 198},
      {1001, {1200, 0, 34, 35}, true, 197},
      {1002, {1236, 0, 42, 35}, true, 188},
      {1004, {20, 110, 1240, 580}, false, 0},
      {1005, {560, 55, 138, 50}, true, 196},
      {1006, {2, 690, 25, 30}, true, 199},
      {1008, {}, false, 0},
  };
  for (const Case& c : cases) {
    QWidget* w = dlg.Item(c.id);
    ASSERT_NE(w, nullptr) << c.id;
    if (!c.geometry.isNull()) {
      EXPECT_EQ(w->geometry(), c.geometry) << c.id;
    }
    EXPECT_EQ(w->isVisibleTo(&dlg), c.visible) << c.id;
    if (c.image) {
      auto* b = qobject_cast<CShadeButtonST*>(w);
      ASSERT_NE(b, nullptr) << c.id;
      EXPECT_EQ(b->FaceImageId(), c.image) << c.id;
      EXPECT_TRUE(b->IsSeeThrough()) << c.id;
      EXPECT_FALSE(b->IsBorderShown()) << c.id;
      EXPECT_TRUE(b->IsFlatLook()) << c.id;
      EXPECT_EQ(b->size(), SkinBitmap(c.image).size()) << c.id;
    }
  }
  QComboBox* combo = dlg.DeviceCombo();
  EXPECT_EQ(combo->pos(), QPoint(80, 68));
  EXPECT_EQ(combo->width(), 480);
  EXPECT_EQ(combo->count(), 0);
}

TEST(MainWindowTest, ConfigureIniSaysOffAfterStartUp) {
  const std::string path = PathBesideExecutable("Configure.ini");
  ASSERT_EQ(WriteProfileString("Settings", "decode_state", "on", path), 1);
  CZELVIKDlg dlg(LoopbackConfig());
  EXPECT_EQ(ReadProfileString("Settings", "decode_state", "", path), "off");
}

TEST(MainWindowTest, SelectionOpensThePanelOfTheDeviceType) {
  struct Case {
    uint8_t type;
    const char* panel_class;
    int resource;
    int background;
    bool type_wrong;
  };
  const Case cases[] = {
      {0x60, "zv::CClass_trisk_main_dlg", 308, 187, false},
      {0x81, "zv::CClass_matrix_control", 206, 229, false},
      {0x82, "zv::CClass_matrix_control", 206, 229, false},
      {0xA1, "zv::CClass_16view_dlg", 129, 187, false},
      {0xA5, "zv::CClass_switcher_dlg", 237, 294, false},
      {0x13, "zv::CClass_trisk_main_dlg", 308, 187, true},
  };
  CZELVIKDlg dlg(LoopbackConfig());
  QComboBox* combo = dlg.DeviceCombo();
  for (int i = 0; i < 6; ++i) {
    if (dlg.m_device_list.size() <= static_cast<size_t>(i)) dlg.m_device_list.resize(static_cast<size_t>(i) + 1);
    dlg.m_device_list[i].device_type = cases[i].type;
    dlg.m_device_list[i].SetIpText("127.0.0." + std::to_string(i + 1));
    combo->addItem(QString("dev%1_127.0.0.%2").arg(i).arg(i + 1));
  }
  for (int i = 0; i < 6; ++i) {
    const Case& c = cases[i];
    test::TraceRecorder trace;
    emit combo->activated(i);
    EXPECT_EQ(dlg.m_device_index, i);
    ASSERT_EQ(Panels(dlg).size(), 1) << "exactly one panel at a time";
    CChildDialog* panel = dlg.m_p_mian_show_dlg;
    ASSERT_NE(panel, nullptr);
    EXPECT_STREQ(panel->metaObject()->className(), c.panel_class);
    EXPECT_EQ(panel->Resource(), c.resource);
    EXPECT_EQ(panel->BackgroundId(), c.background);
    EXPECT_EQ(panel->geometry(), dlg.m_panel_rect);
    EXPECT_TRUE(panel->isVisibleTo(&dlg));
    EXPECT_EQ(trace.Has("the device 's type is wrong"), c.type_wrong) << int(c.type);
  }
}

// The style keeps pictures of combo boxes and edits by their palette: the
// fields of every panel must share one palette, or each panel opened leaves
// pictures behind that are never drawn again (memory growing all day).
TEST(MainWindowTest, FieldsOfEveryPanelShareOnePalette) {
  CZELVIKDlg dlg(LoopbackConfig());
  dlg.show();
  QComboBox* combo = dlg.DeviceCombo();
  for (int i = 0; i < 2; ++i) {
    if (dlg.m_device_list.size() <= static_cast<size_t>(i)) dlg.m_device_list.resize(static_cast<size_t>(i) + 1);
    dlg.m_device_list[i].device_type = 0xA1;
    dlg.m_device_list[i].SetIpText("127.0.0." + std::to_string(i + 1));
    combo->addItem(QString("mv%1_127.0.0.%2").arg(i).arg(i + 1));
  }
  std::set<qint64> keys;
  int fields = 0;
  for (int i : {0, 1, 0}) {
    emit combo->activated(i);
    ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);
    for (QComboBox* field : dlg.m_p_mian_show_dlg->findChildren<QComboBox*>()) {
      if (!field->isVisible()) continue;
      ++fields;
      keys.insert(field->palette().cacheKey());
      EXPECT_EQ(field->palette().color(QPalette::Active, QPalette::Text), QColor(60, 180, 255));
      EXPECT_EQ(field->palette().color(QPalette::Active, QPalette::Base), QColor(58, 58, 58));
      EXPECT_EQ(field->palette().color(QPalette::Disabled, QPalette::Text), QColor(110, 110, 110));
    }
  }
  EXPECT_GT(fields, 16 * 3 - 1);
  keys.insert(combo->palette().cacheKey());
  EXPECT_EQ(keys.size(), 1u);
}

TEST(MainWindowTest, NoDeviceFoundOnTheSerialLineOpensNoPanel) {
  test::PtyPair pty;  // a line on which nobody answers
  CZELVIKDlg dlg(LoopbackConfig());
  dlg.m_eState = kModeSerial;
  dlg.m_main_com_dev_type = 0x82;  // learnt by an earlier search
  ASSERT_TRUE(dlg.m_serial_port.Open(pty.slave_path, 9600));
  QTest::mouseClick(dlg.Item(kIdScan), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  EXPECT_EQ(dlg.DeviceCombo()->itemText(0), "No Device Found");
  EXPECT_EQ(dlg.m_device_index, -1);
  EXPECT_TRUE(Panels(dlg).isEmpty()) << "no panel reading a line nobody answers on";
  dlg.show();
  ASSERT_TRUE(test::ChooseLine(dlg.DeviceCombo(), 0));
  EXPECT_EQ(dlg.m_device_index, -1);
  EXPECT_TRUE(Panels(dlg).isEmpty());
}

TEST(MainWindowTest, NothingOpensWithoutAChoiceOrWithAnUnknownMode) {
  CZELVIKDlg dlg(LoopbackConfig());
  // Empty list.
  dlg.m_device_index = 0;
  dlg.OpenDevicePanel();
  EXPECT_TRUE(Panels(dlg).isEmpty());
  // No device chosen.
  dlg.DeviceCombo()->addItem("x");
  dlg.m_device_index = -1;
  dlg.OpenDevicePanel();
  EXPECT_TRUE(Panels(dlg).isEmpty());
  // A mode that is neither network nor serial removes the panel and opens none.
  dlg.m_device_index = 0;
  dlg.OpenDevicePanel();
  EXPECT_EQ(Panels(dlg).size(), 1);
  test::TraceRecorder trace;
  dlg.m_eState = 7;
  dlg.OpenDevicePanel();
  EXPECT_TRUE(Panels(dlg).isEmpty());
  EXPECT_TRUE(trace.Has("com data wrong"));
  EXPECT_TRUE(trace.Has("m_p_mian_show_dlg is null"));
}

TEST(MainWindowTest, EnterAndEscapeNeverCloseTheWindowOrAPanel) {
  CZELVIKDlg dlg(LoopbackConfig());
  dlg.DeviceCombo()->addItem("dev");
  if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
  dlg.m_device_list[0].device_type = 0xA5;
  dlg.m_device_index = 0;
  dlg.OpenDevicePanel();
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QWidget* targets[] = {&dlg, dlg.DeviceCombo(), dlg.m_p_mian_show_dlg.data()};
  for (QWidget* target : targets) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      QTest::keyClick(target, key);
      EXPECT_TRUE(dlg.isVisible()) << target->objectName().toStdString() << " key " << key;
      EXPECT_EQ(dlg.result(), 0);
      EXPECT_TRUE(dlg.m_p_mian_show_dlg && dlg.m_p_mian_show_dlg->isVisible());
    }
  }
  // The maximise button does nothing; the close button ends the window.
  QTest::mouseClick(dlg.Item(kIdMaximise), Qt::LeftButton);
  EXPECT_EQ(dlg.size(), QSize(1280, 720));
  EXPECT_TRUE(dlg.isVisible());
  QTest::mouseClick(dlg.Item(kIdClose), Qt::LeftButton);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(MainWindowTest, DraggingByTheBackgroundMovesTheWindow) {
  CZELVIKDlg dlg(LoopbackConfig());
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  const QPoint start = dlg.pos();
  // Inside the panel placeholder, which no panel covers yet.
  const QPointF local(600, 400);
  const QPointF global = dlg.mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&dlg, &press);
  QMouseEvent move(QEvent::MouseMove, local + QPointF(30, 20), global + QPointF(30, 20),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&dlg, &move);
  QMouseEvent release(QEvent::MouseButtonRelease, local + QPointF(30, 20),
                      global + QPointF(30, 20), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&dlg, &release);
  EXPECT_EQ(dlg.pos(), start + QPoint(30, 20));
}

TEST(MainWindowTest, PanelGoesBeforeTheSharedStateItReaches) {
  bool state_alive_when_panel_died = false;
  {
    CZELVIKDlg dlg(LoopbackConfig());
    dlg.DeviceCombo()->addItem("dev");
    if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
    dlg.m_device_list[0].device_type = 0xA1;
    dlg.m_device_index = 0;
    dlg.OpenDevicePanel();
    ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);
    QObject::connect(dlg.m_p_mian_show_dlg.data(), &QObject::destroyed, [&] {
      state_alive_when_panel_died = m_p_glo_main_set_or_get_dlg == &dlg;
    });
  }
  EXPECT_TRUE(state_alive_when_panel_died);
  EXPECT_EQ(m_p_glo_main_set_or_get_dlg, nullptr);
}

TEST(SkinTest, EveryBitmapHasItsSizeAndShownPixelsAreNeverBlack) {
  for (const SkinEntry& e : SkinEntries()) {
    const QPixmap p = SkinBitmap(e.id);
    ASSERT_FALSE(p.isNull()) << e.id;
    EXPECT_EQ(p.size(), QSize(e.width, e.height)) << e.id;
    if (e.kind == SkinKind::kWindowBackground || e.kind == SkinKind::kPanelBackground ||
        e.kind == SkinKind::kDialogBackground) {
      const QImage img = p.toImage().convertToFormat(QImage::Format_RGB32);
      int black = 0;
      for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3)
          if ((img.pixel(x, y) & 0xFFFFFF) == 0) ++black;
      EXPECT_EQ(black, 0) << "background " << e.id << " has pure black pixels";
    }
  }
  EXPECT_TRUE(SkinBitmap(99999).isNull());
}

TEST(SkinTest, AFolderOfPngFilesOverridesTheDefaultSkin) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage red(40, 20, QImage::Format_RGB32);
  red.fill(QColor(200, 0, 0));
  ASSERT_TRUE(red.save(dir.filePath("196.png")));
  SetSkinOverrideDir(dir.path());
  const QImage scan = SkinBitmap(196).toImage();
  const QImage close = SkinBitmap(188).toImage();
  SetSkinOverrideDir(QString());
  EXPECT_EQ(scan.size(), QSize(138, 50));
  EXPECT_EQ(QColor(scan.pixel(70, 25)), QColor(200, 0, 0));
  EXPECT_EQ(close.size(), QSize(42, 35));
  EXPECT_NE(QColor(SkinBitmap(196).toImage().pixel(70, 25)), QColor(200, 0, 0));
}

}  // namespace
}  // namespace zv
