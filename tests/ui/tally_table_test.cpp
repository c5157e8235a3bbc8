// The multiviewer panel's tally table on the offscreen platform, against a
// virtual multiviewer (127.0.0.2) and production switcher (127.0.0.3) on
// loopback, found by a click on Scan. The table is worked with the mouse
// and the keyboard; what counts is what the multiviewer receives and what
// the mapping file (or the settings file) holds afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/tally_table.h"
#include "multiview/multiview_panel.h"
#include "multiview/multiview_set_page.h"
#include "platform/platform.h"
#include "platform/small_file.h"
#include "sim/multiview_device.h"
#include "support/link_drain.h"
#include "support/loopback_link.h"
#include "support/sim_frames.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/ui_input.h"
#include "switcher/switcher_panel.h"

namespace zv {
namespace {

using Json = nlohmann::json;

constexpr int kSettingsPageButton = 1023;
constexpr int kProgramThreeButton = 1011;
constexpr uint8_t kRed = 2;
const std::string kColourCommand = "0x3c";

const char* const kMapText = R"({
  "displays": [
    {"tsl": "3.1", "address": 12, "window": 4, "tally": 1, "green": 2},
    {"tsl": "5.0", "screen": 1, "index": 254, "window": 9, "tally": "right"}
  ],
  "sources": [
    {"source": 1, "input": 1, "name": "CAM 1"}
  ]
})";

// The window and the two virtual devices; the tally's rows and box kept in
// files of the test's own.
class TallyTable {
 public:
  TallyTable() : m_port(test::FreeUdpPort()), m_runner(Devices(m_port)) {
    map_file = (dir.path() + "/map.json").toStdString();
    settings_file = (dir.path() + "/Configure.ini").toStdString();
  }
  ~TallyTable() {
    if (dlg) dlg->SetPanelWindowsFile(settings_file);
    dlg.reset();
  }

  static sim::SimConfig Devices(uint16_t port) {
    sim::SimConfig config = test::LoopbackSim(port, {"Mv", "Sw"});
    config.devices[0].type = 0xA1;
    return config;
  }

  // The window, its tally started as the program starts it, and a search.
  void Open(const std::string& map) {
    ASSERT_TRUE(m_runner.started()) << m_runner.error();
    dlg = std::make_unique<CZELVIKDlg>(test::LoopbackConfig(m_port));
    dlg->SetPanelWindowsFile(settings_file);
    dlg->Tally().Start(map, settings_file, false, nullptr);
    dlg->show();
    ASSERT_TRUE(test::ClickScan(*dlg));
    ASSERT_EQ(dlg->DeviceCombo()->count(), 2);
  }

  // The device at `address` chosen in the list, as a person does.
  void Choose(const QString& address) {
    QComboBox* combo = dlg->DeviceCombo();
    for (int line = 0; line < combo->count(); ++line) {
      if (!combo->itemText(line).endsWith(address)) continue;
      if (combo->currentIndex() != line) {
        ASSERT_TRUE(test::ChooseLine(combo, line));
      }
      ASSERT_TRUE(test::DrainLink(*dlg));
      return;
    }
    FAIL() << "no line for " << address.toStdString();
  }

  // The multiviewer's settings page, opened with its button; its tally group.
  TallyTableGroup* TallyGroup() {
    Choose("127.0.0.2");
    auto* host = qobject_cast<CClass_16view_dlg*>(dlg->m_p_mian_show_dlg.data());
    EXPECT_NE(host, nullptr);
    if (!host) return nullptr;
    auto* button = host->findChild<QAbstractButton*>(QString::number(kSettingsPageButton), Qt::FindDirectChildrenOnly);
    EXPECT_NE(button, nullptr);
    if (!button) return nullptr;
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(test::DrainLink(*dlg));
    auto* page = qobject_cast<CClass_16view_set*>(host->m_p_cur_page.data());
    EXPECT_NE(page, nullptr);
    return page ? qobject_cast<TallyTableGroup*>(page->ExtraGroup()) : nullptr;
  }

  sim::MultiviewerDevice& Multiviewer() { return dynamic_cast<sim::MultiviewerDevice&>(m_runner.sim().Device(0)); }

  // The colour frames the multiviewer received since the last call, as
  // window -> colour, once everything sent has reached it.
  std::vector<std::pair<int, int>> NewColours() {
    EXPECT_TRUE(test::DrainLink(*dlg));
    EXPECT_TRUE(test::DeviceHasLoggedAll("127.0.0.2", m_port));
    const std::vector<test::SimFrame> all = test::FramesOf(m_runner.sim(), "Mv");
    std::vector<std::pair<int, int>> out;
    for (size_t i = std::min(m_seen, all.size()); i < all.size(); ++i)
      if (all[i].command == kColourCommand && all[i].params.size() == 4)
        out.emplace_back(std::stoi(all[i].params.substr(0, 2), nullptr, 16),
                         std::stoi(all[i].params.substr(2, 2), nullptr, 16));
    m_seen = all.size();
    return out;
  }

  QTemporaryDir dir;
  std::string map_file, settings_file;
  std::unique_ptr<CZELVIKDlg> dlg;

 private:
  uint16_t m_port;
  test::SimRunner m_runner;
  size_t m_seen = 0;
};

void WriteFile(const std::string& path, const std::string& text) {
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text.c_str());
}

Json ReadJson(const std::string& path) {
  std::string text, error;
  EXPECT_TRUE(ReadSmallFile(path, &text, &error)) << error;
  return Json::parse(text, nullptr, false);
}

// Focuses a list and chooses a line from the keyboard: Alt+Down opens it,
// the arrows go to the line, Return takes it.
void ChooseByKeys(QComboBox* combo, int line) {
  combo->setFocus(Qt::TabFocusReason);
  QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
  QAbstractItemView* view = combo->view();
  ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000));
  const int from = combo->currentIndex();
  for (int i = from; i < line; ++i) QTest::keyClick(view, Qt::Key_Down);
  for (int i = from; i > line; --i) QTest::keyClick(view, Qt::Key_Up);
  QTest::keyClick(view, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([view] { return !view->isVisible(); }, 2000));
}

void TypeName(QLineEdit* field, const QString& text) {
  QTest::mouseClick(field, Qt::LeftButton);
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(field, text);
  QTest::keyClick(field, Qt::Key_Return);
}

// A row added in the table (source 3 on input 7) lights the windows that
// show input 7 red when the switcher puts source 3 on programme, once the
// box is on and without a restart; a row changed moves the light at once;
// the box turned off gives the windows their colours back. The mapping
// file has the rows and keeps its displays and its permissions.
TEST(TallyTableTest, ARowAddedInTheTableLightsTheWindowsOfItsInputAndIsWrittenToTheMap) {
  TallyTable t;
  WriteFile(t.map_file, kMapText);
  ASSERT_EQ(chmod(t.map_file.c_str(), 0640), 0);
  // Input 7 is on windows 2 and 12, not on window 7: the light follows the
  // input, not the window of the same number.
  sim::MultiviewerDeviceState state = t.Multiviewer().State();
  state.sources[1] = 7;
  state.sources[11] = 7;
  state.sources[6] = 1;
  t.Multiviewer().SetState(state);
  const std::array<uint8_t, 16> colours_before = state.umd_back;
  ASSERT_NO_FATAL_FAILURE(t.Open(t.map_file));

  TallyTableGroup* group = t.TallyGroup();
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->RowCount(), 1);
  EXPECT_FALSE(group->SwitcherBox()->isChecked());
  QTest::mouseClick(group->AddButton(), Qt::LeftButton);
  ASSERT_EQ(group->RowCount(), 2);
  EXPECT_EQ(QApplication::focusWidget(), group->SourceList(1)) << "the new row takes the keyboard";
  ASSERT_TRUE(test::ChooseLine(group->SourceList(1), 2));  // "3"
  ASSERT_NO_FATAL_FAILURE(ChooseByKeys(group->InputList(1), 6));  // "SDI 7"
  TypeName(group->NameField(1), "CAM 3");
  EXPECT_TRUE(t.NewColours().empty()) << "the box is off: nothing is lit";

  QTest::mouseClick(group->SwitcherBox(), Qt::LeftButton);
  ASSERT_TRUE(group->SwitcherBox()->isChecked());
  t.NewColours();  // what the switcher's buses light now

  // Source 3 on programme, with a click on the switcher's panel.
  ASSERT_NO_FATAL_FAILURE(t.Choose("127.0.0.3"));
  auto* switcher = qobject_cast<CClass_switcher_dlg*>(t.dlg->m_p_mian_show_dlg.data());
  ASSERT_NE(switcher, nullptr);
  auto* program_3 =
      switcher->findChild<QAbstractButton*>(QString::number(kProgramThreeButton), Qt::FindDirectChildrenOnly);
  ASSERT_NE(program_3, nullptr);
  QTest::mouseClick(program_3, Qt::LeftButton);
  std::vector<std::pair<int, int>> red;
  for (const auto& [window, colour] : t.NewColours())
    if (colour == kRed) red.emplace_back(window, colour);
  EXPECT_EQ(red, (std::vector<std::pair<int, int>>{{2, kRed}, {12, kRed}}));
  EXPECT_EQ(t.Multiviewer().State().umd_back[1], kRed);
  EXPECT_EQ(t.Multiviewer().State().umd_back[11], kRed);

  // The row moved to input 5: window 5 is red now, 2 and 12 as they were.
  group = t.TallyGroup();
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->RowCount(), 2);
  EXPECT_TRUE(group->SwitcherBox()->isChecked());
  ASSERT_TRUE(test::ChooseLine(group->InputList(1), 4));  // "SDI 5"
  std::set<std::pair<int, int>> moved;
  for (const auto& c : t.NewColours()) moved.insert(c);
  EXPECT_EQ(moved, (std::set<std::pair<int, int>>{
                       {2, colours_before[1]}, {5, kRed}, {12, colours_before[11]}}));

  // The box off: window 5 gets its colour back.
  QTest::mouseClick(group->SwitcherBox(), Qt::LeftButton);
  EXPECT_FALSE(group->SwitcherBox()->isChecked());
  EXPECT_EQ(t.NewColours(), (std::vector<std::pair<int, int>>{{5, colours_before[4]}}));
  EXPECT_EQ(t.Multiviewer().State().umd_back, colours_before);

  const Json map = ReadJson(t.map_file);
  EXPECT_EQ(map["displays"], Json::parse(kMapText)["displays"]);
  EXPECT_EQ(map["sources"], Json::parse(R"([{"source": 1, "input": 1, "name": "CAM 1"},
                                            {"source": 3, "input": 5, "name": "CAM 3"}])"));
  struct stat st {};
  ASSERT_EQ(stat(t.map_file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(QDir(t.dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
      << "the map and the settings file, no temporary file left: "
      << QDir(t.dir.path()).entryList(QDir::Files | QDir::Hidden).join(", ").toStdString();
}

// What the table refuses, and what it cuts, with the rows kept in the
// settings file (no mapping file): a source that has a row already is
// refused with a sentence and the row stays; a name is cut at 16
// characters; twelve rows have every source, and Add is off. The next
// start shows the rows kept.
TEST(TallyTableTest, RefusalsAndLimitsWithTheRowsInTheSettingsFile) {
  TallyTable t;
  ASSERT_NO_FATAL_FAILURE(t.Open(""));
  TallyTableGroup* group = t.TallyGroup();
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->RowCount(), 10) << "sources 1 to 10 on inputs 1 to 10, Cam 01 to Cam 10, until something is kept";

  struct Case {
    const char* what;
    std::function<void(TallyTableGroup*)> act;
    const char* status;  // what the status strip says, in part
    bool error;
    int rows;
    int source_of_row_2;
    const char* name_of_row_2;
  };
  const Case cases[] = {
      {"row 2 given source 5, which row 5 has",
       [](TallyTableGroup* g) { ASSERT_TRUE(test::ChooseLine(g->SourceList(1), 4)); },
       "switcher source 5 has row 5 already", true, 10, 2, "Cam 02"},
      {"a name of 20 characters typed",
       [](TallyTableGroup* g) { TypeName(g->NameField(1), "Studio camera two xx"); }, "10 sources mapped", false,
       10, 2, "Studio camera tw"},
      {"a row added: BLK, the first source without one",
       [](TallyTableGroup* g) { QTest::mouseClick(g->AddButton(), Qt::LeftButton); }, "11 sources mapped", false,
       11, 2, "Studio camera tw"},
      {"the last source added from the keyboard",
       [](TallyTableGroup* g) {
         g->AddButton()->setFocus(Qt::TabFocusReason);
         QTest::keyClick(g->AddButton(), Qt::Key_Space);
       },
       "12 sources mapped", false, 12, 2, "Studio camera tw"},
      {"row 1 removed from the keyboard",
       [](TallyTableGroup* g) {
         g->RemoveButton(0)->setFocus(Qt::TabFocusReason);
         QTest::keyClick(g->RemoveButton(0), Qt::Key_Space);
       },
       "11 sources mapped", false, 11, 3, "Cam 03"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.act(group);
    ASSERT_TRUE(test::DrainLink(*t.dlg));
    EXPECT_NE(t.dlg->StatusText().indexOf(QString::fromUtf8(c.status)), -1) << t.dlg->StatusText().toStdString();
    ASSERT_EQ(group->RowCount(), c.rows);
    ASSERT_EQ(static_cast<int>(t.dlg->Tally().Rows().size()), c.rows);
    EXPECT_EQ(t.dlg->Tally().Rows()[1].source, c.source_of_row_2);
    EXPECT_EQ(group->SourceList(1)->currentIndex(), c.source_of_row_2 - 1);
    EXPECT_EQ(t.dlg->Tally().Rows()[1].name, c.name_of_row_2);
    EXPECT_EQ(group->AddButton()->isEnabled(), c.rows < 12);
  }
  EXPECT_EQ(group->SourceList(9)->currentText(), "BLK");
  EXPECT_EQ(group->SourceList(10)->currentText(), "MP1");

  // The next start reads the rows back from the settings file.
  const std::vector<TallySourceRow> kept = t.dlg->Tally().Rows();
  t.dlg.reset();
  ASSERT_NO_FATAL_FAILURE(t.Open(""));
  EXPECT_EQ(t.dlg->Tally().Rows(), kept);
  group = t.TallyGroup();
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->RowCount(), 11);
  EXPECT_EQ(group->NameField(0)->text(), "Studio camera tw");
  EXPECT_FALSE(group->SwitcherBox()->isChecked());
}

}  // namespace
}  // namespace zv
