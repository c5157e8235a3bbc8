// The program as installed on a desktop: its settings folder, its quiet
// trace output and the fonts its labels need.
#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTextLayout>
#include <cstdlib>
#include <unistd.h>

#include "app/desktop_setup.h"
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
  std::system(("rm -rf '" + root + "'").c_str());
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

}  // namespace
}  // namespace zv
