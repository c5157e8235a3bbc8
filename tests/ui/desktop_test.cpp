// The program as installed on a desktop: its settings folder, its quiet
// trace output and the fonts its labels need.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTextLayout>
#include <cstdlib>
#include <unistd.h>

#include "app/desktop_setup.h"
#include "app/main_window.h"
#include "app/set_configure.h"
#include "controls/button_st.h"
#include "support/udp_peer.h"
#include "switcher/switcher_panel.h"
#include "platform/platform.h"
#include "switcher/stream_viewer.h"

namespace zv {
namespace {

TEST(DesktopTest, SettingsStayBesideAWritableExecutableElseGoToTheUsersFolder) {
  std::string root = ::testing::TempDir() + "zv_settings_XXXXXX";
  ASSERT_NE(mkdtemp(root.data()), nullptr);
  const char* old_config = std::getenv("XDG_CONFIG_HOME");
  const std::string saved_config = old_config ? old_config : "";
  setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  UseStandardSettingsFolder();
  const std::string user_file = root + "/config/zv_multiview/Configure.ini";

  struct Case {
    std::string exe_dir;
    std::string expected;
  };
  const Case cases[] = {
      {root, root + "/Configure.ini"},
      {"/usr/bin", user_file},  // installed: never beside the executable, even as root
      {root + "/gone", user_file},
  };
  for (const Case& c : cases) {
    const std::string path = SettingsFilePath("Configure.ini", c.exe_dir);
    EXPECT_EQ(path, c.expected) << c.exe_dir;
    EXPECT_EQ(WriteProfileString("Settings", "decode_state", "on", path), 1) << c.exe_dir;
  }
  // The viewer's marker is read from the user's file for an installed
  // program: "on" there means a viewer is open, so nothing is started.
  EXPECT_EQ(LaunchStreamViewer("/usr/bin"), StreamViewerLaunch::kAlreadyOpen);
  EXPECT_EQ(access("/usr/bin/Configure.ini", F_OK), -1);

  SetSettingsFallbackDir("");
  if (old_config) setenv("XDG_CONFIG_HOME", saved_config.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
  QDir(QString::fromStdString(root)).removeRecursively();
}

std::vector<std::pair<std::string, std::string>> g_info_messages;  // category, text

TEST(DesktopTest, TraceLinesGoToALogCategoryThatIsOffUnlessAskedFor) {
  g_info_messages.clear();
  const QtMessageHandler old_handler =
      qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type == QtInfoMsg) g_info_messages.emplace_back(context.category, text.toStdString());
      });
  RouteTraceToLog();
  Trace("search  over");  // the category is off: not shown
  ShowTraceLog();
  Trace("L = %d\n", 0);
  QLoggingCategory::setFilterRules(QString());
  SetTraceSink(nullptr);
  qInstallMessageHandler(old_handler);
  const std::vector<std::pair<std::string, std::string>> expected = {{"zv.trace", "L = 0"}};
  EXPECT_EQ(g_info_messages, expected);
}

TEST(DesktopTest, LabelAndPreviewFontsHaveChineseGlyphs) {
  // Labels travel as UTF-16 and may be Chinese; a glyph index of 0 is the
  // empty box a font shows for a character it does not have, after the font
  // database has tried every fallback font.
  const QString sample = QString::fromUtf8("演播室一号摄像机");
  QImage image(8, 8, QImage::Format_RGB32);
  QPainter painter(&image);
  const QLineEdit label_box;
  const std::pair<const char*, QFont> fonts[] = {{"label box", label_box.font()},
                                                 {"preview", painter.font()}};
  for (const auto& [what, font] : fonts) {
    QTextLayout layout(sample, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    int glyphs = 0;
    for (const QGlyphRun& run : layout.glyphRuns()) {
      for (const quint32 index : run.glyphIndexes()) {
        EXPECT_NE(index, 0u) << what << ": no glyph in " << run.rawFont().familyName().toStdString();
        ++glyphs;
      }
    }
    EXPECT_EQ(glyphs, sample.size()) << what;
  }
}

// Roles a person operates; each must say what it does.
bool Interactive(QAccessible::Role role) {
  switch (role) {
    case QAccessible::PushButton: case QAccessible::CheckBox: case QAccessible::RadioButton:
    case QAccessible::ComboBox: case QAccessible::EditableText: case QAccessible::Slider:
    case QAccessible::SpinBox: case QAccessible::List: case QAccessible::ButtonMenu:
      return true;
    default:
      return false;
  }
}

// Visible interactive elements under `node` without a name, by object path;
// `named` collects the names of the others.
void Walk(QAccessibleInterface* node, const QString& path, QStringList* unnamed, QStringList* named) {
  if (!node || node->state().invisible) return;
  const QObject* object = node->object();
  const QString here =
      path + "/" + (object && !object->objectName().isEmpty() ? object->objectName()
                                                              : QString::number(node->role(), 16));
  // Controls drawn by the program itself (the T-bar) show as plain widgets
  // that take the keyboard.
  const auto* focusable = qobject_cast<const QWidget*>(object);
  const bool takes_keys = focusable && !focusable->isWindow() &&
                          (focusable->focusPolicy() & Qt::TabFocus) && !focusable->inherits("QDialog");
  if (Interactive(node->role()) || takes_keys) {
    // A list's Name on this platform is the entry it shows, so its own name
    // is read from the widget.
    const auto* widget = qobject_cast<const QWidget*>(object);
    const QString name = (node->role() == QAccessible::ComboBox && widget
                              ? widget->accessibleName()
                              : node->text(QAccessible::Name))
                             .trimmed();
    if (name.isEmpty()) unnamed->append(here);
    else named->append(name);
  }
  // A list's entries and a field's parts carry the text they show.
  if (node->role() == QAccessible::ComboBox || node->role() == QAccessible::List) return;
  for (int i = 0; i < node->childCount(); ++i) Walk(node->child(i), here, unnamed, named);
}

TEST(DesktopTest, EveryControlOfEveryPanelAndPageHasAnAccessibleName) {
  LinkConfig config;
  config.device_port = test::FreeUdpPort();  // nobody listens: commands go nowhere
  config.local_port = 0;
  config.search_address = "127.0.0.1";
  CZELVIKDlg dlg(config);
  dlg.show();
  const uint8_t types[] = {0xA1, 0x82, 0x60, 0xA5};
  for (int i = 0; i < 4; ++i) {
    if (dlg.m_device_list.size() <= static_cast<size_t>(i)) dlg.m_device_list.resize(static_cast<size_t>(i) + 1);
    dlg.m_device_list[i].device_type = types[i];
    dlg.m_device_list[i].SetIpText("127.0.0.1");
    dlg.DeviceCombo()->addItem(QString("dev%1_127.0.0.1").arg(i));
  }
  auto check = [](QWidget* window, const QString& what) {
    QStringList unnamed, named;
    Walk(QAccessible::queryAccessibleInterface(window), "", &unnamed, &named);
    EXPECT_TRUE(unnamed.isEmpty()) << what.toStdString() << ": " << unnamed.join(", ").toStdString();
    EXPECT_GT(named.size(), 3) << what.toStdString();
  };
  for (int i = 0; i < 4; ++i) {
    emit dlg.DeviceCombo()->activated(i);
    ASSERT_NE(dlg.m_p_mian_show_dlg, nullptr);
    check(&dlg, QString("type %1").arg(types[i], 0, 16));
    // Every page of the panel: the page buttons, or the switcher's four pages.
    // (A page goes when the next opens, so the buttons are gathered first.)
    QList<QAbstractButton*> page_buttons;
    for (QAbstractButton* button : dlg.m_p_mian_show_dlg->findChildren<QAbstractButton*>())
      if (button->isVisible() && button->accessibleName().endsWith(" page")) page_buttons << button;
    for (QAbstractButton* button : page_buttons) {
      button->click();
      check(&dlg, button->accessibleName());
    }
    if (auto* switcher = qobject_cast<CClass_switcher_dlg*>(dlg.m_p_mian_show_dlg.data())) {
      // Tab reads the programme bus by rows, each from the left, before the
      // preview bus.
      QStringList tab_order;
      QWidget* w = switcher->Button(1032);
      while (w && tab_order.size() < 11) {
        if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus)) tab_order << w->accessibleName();
        w = w->nextInFocusChain();
      }
      EXPECT_EQ(tab_order, QStringList({"Program 1", "Program 2", "Program 3", "Program 4",
                                        "Program BLK", "Program 5", "Program 6", "Program 7",
                                        "Program 8", "Program MP1", "Preview 1"}));
      for (int k = 0; k < 4; ++k) {
        switcher->ShowSwitcherPage(k);
        check(&dlg, QString("switcher page %1").arg(k));
      }
    }
  }
  CSetConfigure settings(&dlg);
  settings.show();
  check(&settings, "settings");
}

}  // namespace
}  // namespace zv
