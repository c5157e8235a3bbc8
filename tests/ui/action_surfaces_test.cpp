// Every action of the multiviewer's, the matrix router's and the
// four-channel switcher's tables, through each surface that offers it: the
// panel (a real click, list choice or typing), zvctl as a process, and the
// saved setup or salvo where the family has one. Each surface starts from a
// fresh session of a fresh virtual device on loopback, and all must put the
// same frames on the wire in the same order. (The production switcher's
// table is proved the same way at the end of switcher_panel_test.cpp.)
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "controls/button_st.h"
#include "fourch/fourch_panel.h"
#include "fourch/fourch_state.h"
#include "link/command_frame.h"
#include "matrix/matrix_ids.h"
#include "matrix/matrix_lock.h"
#include "matrix/matrix_panel.h"
#include "matrix/salvo_folder.h"
#include "multiview/multiview_color_page.h"
#include "multiview/multiview_control_page.h"
#include "multiview/multiview_panel.h"
#include "multiview/multiview_set_page.h"
#include "multiview/multiview_umd_page.h"
#include "registry/families.h"
#include "support/link_drain.h"
#include "support/loopback_link.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/ui_input.h"
#include "support/zvctl_run.h"

namespace zv {
namespace {

constexpr const char* kAddress = "127.0.0.2";

struct Family {
  FamilyKind kind;
  const char* key;   // zvctl's word and the actions' prefix
  uint8_t type;
  const char* name;  // the device's name in the list
  // Frames that are the panel's own reading and polling, not an action's.
  std::set<std::string> reads;
};

const Family kMultiviewer{FamilyKind::kMultiviewer, "multiview", 0xA1, "Mv", {}};
const Family kMatrix{FamilyKind::kMatrix, "matrix", 0x82, "Matrix8x8", {}};
const Family kFourChannel{FamilyKind::kFourChannel, "fourch", 0x60, "Quad", {"0x90", "0xaa"}};

// A virtual device of the family at 127.0.0.2, alone on a free port.
class Device {
 public:
  explicit Device(const Family& family)
      : m_family(family), m_port(test::FreeUdpPort()), m_runner(test::LoopbackSim(m_port, {family.name}, family.type)) {
    // The matrix lock is kept per address: start unlocked.
    std::string error;
    if (family.kind == FamilyKind::kMatrix) WriteMatrixLock(kAddress, false, &error);
  }
  bool Started() const { return m_runner.started(); }
  uint16_t Port() const { return m_port; }

  // Everything the device has logged, once it has answered a discovery
  // query of the test's own (it handles its datagrams in order, so by then
  // it has logged every frame sent before): "0xcc pppp" for a frame, the
  // text itself for a text; discovery and the panel's reads left out.
  std::vector<std::string> Settled() {
    EXPECT_TRUE(test::DeviceHasLoggedAll("127.0.0.2", m_port, 3000)) << "the device did not answer the test's query";
    static const std::regex kFrame("\"command\":\"(0x[0-9a-f]{2})\",\"params\":\"([0-9a-f]*)\"");
    static const std::regex kText("\"text\":\"([^\"]*)\"");
    std::vector<std::string> out;
    for (const std::string& line : m_runner.sim().LogLines()) {
      std::smatch m;
      if (std::regex_search(line, m, kFrame)) {
        const std::string command = m[1].str();
        if (command == "0xff" || m_family.reads.count(command)) continue;
        out.push_back(m[2].length() ? command + " " + m[2].str() : command);
      } else if (std::regex_search(line, m, kText)) {
        out.push_back(m[1].str());
      }
    }
    return out;
  }

  // What zvctl sends for `words` after the family's key.
  std::vector<std::string> Zvctl(const std::vector<std::string>& words) {
    const size_t before = Settled().size();
    char type[8];
    std::snprintf(type, sizeof type, "0x%02X", m_family.type);
    std::vector<std::string> args{"--type", type, "--id", "1", kAddress, m_family.key};
    args.insert(args.end(), words.begin(), words.end());
    test::Start start;
    start.port = m_port;
    const test::Ran run = test::RunZvctl(ZVCTL_PATH, args, start);
    EXPECT_EQ(run.status, 0) << words[0] << ": " << run.output;
    const std::vector<std::string> all = Settled();
    return {all.begin() + static_cast<long>(std::min(before, all.size())), all.end()};
  }

 private:
  const Family& m_family;
  uint16_t m_port;
  test::SimRunner m_runner;
};

// The main window showing the panel of a fresh device of the family, its
// opening read done.
class Bench : public Device {
 public:
  explicit Bench(const Family& family) : Device(family), dlg(test::LoopbackConfig(Port())) {
    if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
    dlg.m_device_list[0].SetIpText(kAddress);
    dlg.m_device_list[0].device_type = family.type;
    dlg.m_device_list[0].device_id = 1;
    dlg.m_device_index = 0;
    dlg.DeviceCombo()->addItem(QString::fromLatin1(family.name) + "_" + kAddress);
    dlg.OpenDevicePanel();
    dlg.show();
  }
  bool Ready() {
    return Started() && panel() && QTest::qWaitForWindowExposed(&dlg) && test::DrainLink(dlg) &&
           // The four-channel panel takes input once the device has answered.
           QTest::qWaitFor([this] { return panel()->isEnabled(); }, 5000);
  }
  CChildDialog* panel() const { return qobject_cast<CChildDialog*>(dlg.m_p_mian_show_dlg.data()); }
  template <typename T>
  T* Shown() const {
    return qobject_cast<T*>(dlg.m_p_mian_show_dlg.data());
  }

  CZELVIKDlg dlg;
};

// ---- gestures ---------------------------------------------------------------------

using Gesture = std::function<void(Bench&)>;

void ClickWidget(QWidget* w) {
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->isVisible() && w->isEnabled()) << w->objectName().toStdString();
  QTest::mouseClick(w, Qt::LeftButton);
}

void ChooseIn(QWidget* w, int line) {
  auto* combo = qobject_cast<QComboBox*>(w);
  ASSERT_NE(combo, nullptr);
  ASSERT_TRUE(combo->isVisible() && combo->isEnabled());
  ASSERT_TRUE(test::ChooseLine(combo, line));
}

// A list chosen from the keyboard: Alt+Down opens it, the arrows go to the
// line, Return takes it.
void ChooseByKeys(QWidget* w, int line) {
  auto* combo = qobject_cast<QComboBox*>(w);
  ASSERT_NE(combo, nullptr);
  ASSERT_TRUE(combo->isVisible() && combo->isEnabled());
  combo->setFocus();
  QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
  QAbstractItemView* view = combo->view();
  ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000));
  for (int i = combo->currentIndex(); i < line; ++i) QTest::keyClick(view, Qt::Key_Down);
  QTest::keyClick(view, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([view] { return !view->isVisible(); }, 2000));
}

// Clicks into the field, selects what it holds, types over it, and presses
// Return.
void TypeInto(QWidget* w, const QString& text) {
  auto* field = qobject_cast<QLineEdit*>(w);
  ASSERT_NE(field, nullptr);
  ASSERT_TRUE(field->isVisible() && field->isEnabled());
  QTest::mouseClick(field, Qt::LeftButton);
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(field, text);
  QTest::keyClick(field, Qt::Key_Return);
}

// A right-click on the panel, the line `line` of its context menu clicked,
// then `path` typed as the file's name in the dialog that opens, and Return.
void MenuThenFile(QWidget* panel, const QString& line, const QString& path) {
  bool clicked = false;
  // The tries end with this function: none outlives it.
  QObject tries_end;
  std::function<void(int)> click_line = [&](int tries) {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) {
      if (tries > 0) QTimer::singleShot(10, &tries_end, [&, tries] { click_line(tries - 1); });
      return;
    }
    for (QAction* action : menu->actions())
      if (action->text() == line) {
        const QPoint at = menu->actionGeometry(action).center();
        QTest::mouseMove(menu, at);
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
        clicked = true;
        return;
      }
    menu->close();
  };
  QTimer::singleShot(0, &tries_end, [&] { click_line(200); });
  // A right-click on a bare spot of the panel (where no control sits).
  QPoint at(panel->width() / 2, 4);
  for (int x = 4; x < panel->width() && panel->childAt(at); x += 8) at.setX(x);
  // Through the window, as the window system delivers it: the window
  // turns the press into the context menu's event.
  QWindow* window = panel->window()->windowHandle();
  ASSERT_NE(window, nullptr);
  QTest::mouseClick(window, Qt::RightButton, {}, panel->mapTo(panel->window(), at));
  ASSERT_TRUE(clicked) << line.toStdString();
  QFileDialog* dialog = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (dialog = panel->findChild<QFileDialog*>()) && dialog->isVisible(); },
                              3000));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(name, nullptr);
  QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(name, path);
  QTest::keyClick(name, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel->findChild<QFileDialog*>() == nullptr || !dialog->isVisible(); },
                              3000));
}

// ---- the cases --------------------------------------------------------------------

struct Case {
  std::vector<std::string> zvctl;  // after the family's key
  Gesture prepare;                 // may be empty; its frames are not compared
  Gesture press;                   // empty: no person can reach it in the panel
  bool sends = true;               // false: the action changes no device (the matrix lock)
  std::string leaves = {};         // what it must leave beyond the wire, if anything
};

std::string Word(const ActionSpec& action) {
  std::string word = action.ShortName();
  std::replace(word.begin(), word.end(), '_', '-');
  return word;
}

// The panel's frames for one case, from a fresh device; `after` sees the
// bench once they are in.
std::vector<std::string> FromPanel(const Family& family, const Case& c,
                                   const std::function<void(Bench&)>& after = {}) {
  Bench b(family);
  EXPECT_TRUE(b.Ready()) << c.zvctl[0];
  if (c.prepare) c.prepare(b);
  EXPECT_TRUE(test::DrainLink(b.dlg));
  const size_t before = b.Settled().size();
  c.press(b);
  EXPECT_TRUE(test::DrainLink(b.dlg)) << c.zvctl[0];
  const std::vector<std::string> all = b.Settled();
  if (after) after(b);
  return {all.begin() + static_cast<long>(std::min(before, all.size())), all.end()};
}

// Each case through the panel and through zvctl, each from a fresh device;
// `outside` tells what a surface left beyond the wire (compared too).
void EveryAction(const Family& family, const std::vector<Case>& cases,
                 const std::function<std::string()>& outside = [] { return std::string(); }) {
  const ActionTable table = FamilyOf(family.kind).actions();
  std::vector<std::string> covered;
  for (const Case& c : cases) covered.push_back(c.zvctl[0]);
  for (const ActionSpec& action : table)
    EXPECT_NE(std::find(covered.begin(), covered.end(), Word(action)), covered.end())
        << Word(action) << " has no case";
  for (const Case& c : cases) {
    const std::string& word = c.zvctl[0];
    SCOPED_TRACE(word);
    const ActionSpec* action = nullptr;
    for (const ActionSpec& a : table)
      if (Word(a) == word) action = &a;
    ASSERT_NE(action, nullptr) << word;
    std::vector<std::string> from_panel;
    std::string panel_left;
    if (c.press) {
      from_panel = FromPanel(family, c, [&](Bench&) { panel_left = outside(); });
      if (!c.leaves.empty()) {
        EXPECT_EQ(panel_left, c.leaves) << word;
      }
      // An action on the session's record alone sends nothing, and zvctl,
      // which keeps no session, does not offer it.
      if (c.sends) {
        EXPECT_EQ(from_panel.empty(), action->record_only) << word;
      }
      if (action->record_only) continue;
    }
    Device fresh(family);
    ASSERT_TRUE(fresh.Started());
    const std::vector<std::string> from_zvctl = fresh.Zvctl(c.zvctl);
    const std::string zvctl_left = outside();
    if (!c.leaves.empty()) {
      EXPECT_EQ(zvctl_left, c.leaves) << word;
    }
    if (c.press) {
      EXPECT_EQ(from_zvctl, from_panel) << word;
      EXPECT_EQ(zvctl_left, panel_left) << word;
    } else {
      EXPECT_EQ(from_zvctl.empty(), !c.sends) << word;
    }
    if (!c.sends) {
      EXPECT_TRUE(from_zvctl.empty() && from_panel.empty()) << word;
    }
  }
}

// ---- the multiviewer -------------------------------------------------------------

QWidget* MvItem(Bench& b, int id) {
  auto* host = b.Shown<CClass_16view_dlg>();
  return host && host->m_p_cur_page ? host->m_p_cur_page->Item(id) : nullptr;
}
Gesture MvPage(int button) {
  return [button](Bench& b) { ClickWidget(b.Shown<CClass_16view_dlg>()->Item(button)); };
}
Gesture MvClick(int id) {
  return [id](Bench& b) { ClickWidget(MvItem(b, id)); };
}
Gesture MvChoose(int id, int line) {
  return [id, line](Bench& b) { ChooseIn(MvItem(b, id), line); };
}
constexpr int kLabelsPage = 1011, kColoursPage = 1022, kSettingsPage = 1023;

TEST(ActionSurfacesTest, EveryMultiviewerActionSendsTheSameFramesFromThePanelAndFromZvctl) {
  using Control = CClass_16view_control;
  using Set = CClass_16view_set;
  const auto then = [](Gesture a, Gesture b) {
    return [a, b](Bench& bench) {
      a(bench);
      b(bench);
    };
  };
  EveryAction(kMultiviewer,
              {
                  {{"layout", "9"}, {}, MvClick(Control::kIdFirstLayoutButton + 4)},
                  {{"source", "1", "6"}, {}, MvChoose(Control::kIdFirstSourceList, 5)},
                  {{"label", "1", "CAM 1"},
                   MvPage(kLabelsPage),
                   [](Bench& b) { TypeInto(MvItem(b, CClass_16view_umd::kIdFirstEdit), "CAM 1"); }},
                  {{"colour", "3", "label-text", "Red"},
                   then(MvPage(kColoursPage), MvChoose(CClass_16view_color::kIdLabelTarget, 3)),
                   MvChoose(CClass_16view_color::kIdLabelText, 2)},
                  // The layout page's format and overlay lists are hidden; the settings page has them.
                  {{"format", "1080p25"}, MvPage(kSettingsPage), MvChoose(Set::kIdFormatList, 5)},
                  {{"labels", "off"}, MvPage(kLabelsPage), MvChoose(CClass_16view_umd::kIdLabelsList, 0)},
                  {{"overlay", "on"}, MvPage(kSettingsPage), MvChoose(Set::kIdOverlayList, 1)},
                  {{"audio", "on"}, MvPage(kSettingsPage), MvChoose(Set::kIdAudioMeterList, 1)},
                  {{"audio-source", "5"}, MvPage(kSettingsPage), MvChoose(Set::kIdAudioSourceList, 4)},
                  {{"border", "on"}, MvPage(kSettingsPage), MvChoose(Set::kIdBorderList, 1)},
                  {{"lock", "on"}, MvPage(kSettingsPage), MvChoose(Set::kIdLockList, 1)},
                  {{"defaults"}, MvPage(kSettingsPage), MvClick(Set::kIdSetDefault)},
              });
}

// A saved setup applied from the panel's menu and by `zvctl multiview
// apply`: the same reading first, the settings the file names, each as its
// action sends it, and the same read-back.
TEST(ActionSurfacesTest, AMultiviewerSetupAppliesTheSameFromThePanelAndFromZvctl) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("studio.json"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(R"({"layout":9,"windows":[{"window":2,"source":7},{"window":3,"label":"ONLY3"}]})");
  file.close();
  const Case apply{{"apply", path.toStdString()}, {}, [&](Bench& b) {
                     MenuThenFile(b.panel(), QStringLiteral("Apply setup..."), path);
                   }};
  const std::vector<std::string> from_panel = FromPanel(kMultiviewer, apply);
  Device fresh(kMultiviewer);
  ASSERT_TRUE(fresh.Started());
  const std::vector<std::string> from_zvctl = fresh.Zvctl(apply.zvctl);
  EXPECT_EQ(from_zvctl, from_panel);
  // Between the reading and the read-back, what the file's settings send
  // as actions one by one.
  Device one_by_one(kMultiviewer);
  ASSERT_TRUE(one_by_one.Started());
  std::vector<std::string> settings{"0x32"};
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {"layout", "9"}, {"source", "2", "7"}, {"label", "3", "ONLY3"}}) {
    const std::vector<std::string> sent = one_by_one.Zvctl(words);
    settings.insert(settings.end(), sent.begin(), sent.end());
  }
  settings.push_back("0x32");
  EXPECT_EQ(from_panel, settings);
}

// ---- the matrix router -----------------------------------------------------------

CClass_matrix_control* Matrix(Bench& b) { return b.Shown<CClass_matrix_control>(); }
Gesture Route(std::vector<int> inputs, std::vector<int> outputs, int then) {
  return [=](Bench& b) {
    for (int k : inputs) ClickWidget(Matrix(b)->InputButton(k));
    for (int o : outputs) ClickWidget(Matrix(b)->OutputButton(o));
    ClickWidget(qobject_cast<CChildDialog*>(Matrix(b)->Page())->Item(then));
  };
}

// The lock the store holds for the router's address; the router is
// unlocked again for the next surface.
std::string LockLeftThenUnlock() {
  std::string error;
  const std::optional<bool> locked = ReadMatrixLock(kAddress, &error);
  const std::string text = !locked ? "unreadable: " + error : *locked ? "locked" : "unlocked";
  WriteMatrixLock(kAddress, false, &error);
  return text;
}

QString WriteSalvo(const QTemporaryDir& dir) {
  const QString path = dir.filePath(QStringLiteral("Studio A.json"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return {};
  file.write(R"({"salvo":"Studio A","outputs":[2,7,2,2,5,6,7,8]})");
  return path;
}

TEST(ActionSurfacesTest, EveryMatrixActionSendsTheSameTextsFromThePanelAndFromZvctl) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString salvo = WriteSalvo(dir);
  ASSERT_FALSE(salvo.isEmpty());
  EveryAction(kMatrix,
              {
                  {{"route", "3", "1", "4", "8"}, {}, Route({3}, {1, 4, 8}, kIdMatrixApply)},
                  {{"all", "6"}, {}, Route({6}, {}, kIdMatrixOneToAll)},
                  {{"through"}, {}, Route({}, {}, kIdMatrixOneToOne)},
                  // The lock is the program's, kept per address; the router hears nothing.
                  {{"lock", "on"}, {}, Route({}, {}, kIdMatrixLock), false, "locked"},
                  {{"salvo", salvo.toStdString()}, {}, [salvo](Bench& b) {
                     MenuThenFile(b.panel(), QStringLiteral("Recall salvo..."), salvo);
                   }},
              },
              LockLeftThenUnlock);
}

// A salvo sends one route per input, as the routes typed one by one would.
TEST(ActionSurfacesTest, ASalvoSendsWhatItsRoutesSendOneByOne) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString salvo = WriteSalvo(dir);
  ASSERT_FALSE(salvo.isEmpty());
  Device recalled(kMatrix);
  ASSERT_TRUE(recalled.Started());
  const std::vector<std::string> from_salvo = recalled.Zvctl({"salvo", salvo.toStdString()});
  Device routed(kMatrix);
  ASSERT_TRUE(routed.Started());
  std::vector<std::string> one_by_one;
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {"route", "2", "1", "3", "4"}, {"route", "5", "5"}, {"route", "6", "6"}, {"route", "7", "2", "7"},
           {"route", "8", "8"}}) {
    const std::vector<std::string> sent = routed.Zvctl(words);
    one_by_one.insert(one_by_one.end(), sent.begin(), sent.end());
  }
  EXPECT_EQ(from_salvo, one_by_one);
  EXPECT_EQ(one_by_one.size(), 5u);
}

// The panel's save dialog opens in the salvo folder: a salvo saved there
// under a bare name is one the service lists, and recalling it by that
// name (as a remote client does) sends what the panel's own recall of the
// file sends.
TEST(ActionSurfacesTest, ASalvoSavedByThePanelIsRecalledByNameWithThePanelsTexts) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string folder = dir.filePath(QStringLiteral("salvos")).toStdString();  // made by the dialog
  SetSalvoFolder(folder);
  struct Restore {
    ~Restore() { SetSalvoFolder({}); }
  } restore;
  Bench b(kMatrix);
  ASSERT_TRUE(b.Ready());
  Route({2}, {1, 3, 4}, kIdMatrixApply)(b);
  Route({7}, {2}, kIdMatrixApply)(b);
  MenuThenFile(b.panel(), QStringLiteral("Save salvo..."), QStringLiteral("Studio B"));
  const SalvoList list = ListSalvos(folder);
  ASSERT_EQ(list.salvos.size(), 1u) << list.error;
  EXPECT_EQ(list.salvos[0].name, "Studio B");
  EXPECT_EQ(list.salvos[0].error, "");
  EXPECT_EQ(list.salvos[0].salvo.outputs, (std::array<uint8_t, kMatrixPortCount>{2, 7, 2, 2, 0, 0, 0, 0}));

  ASSERT_TRUE(test::DrainLink(b.dlg));
  const size_t before = b.Settled().size();
  MenuThenFile(b.panel(), QStringLiteral("Recall salvo..."), QStringLiteral("Studio B"));
  ASSERT_TRUE(test::DrainLink(b.dlg));
  std::vector<std::string> by_file = b.Settled();
  by_file.erase(by_file.begin(), by_file.begin() + static_cast<long>(before));
  EXPECT_EQ(by_file, (std::vector<std::string>{"2V1,3,4.", "7V2."}));
  const ActionOutcome by_name = Matrix(b)->Act("matrix.salvo", {{"name", std::string("Studio B")}});
  ASSERT_TRUE(by_name.ok()) << by_name.message;
  ASSERT_TRUE(test::DrainLink(b.dlg));
  std::vector<std::string> named = b.Settled();
  named.erase(named.begin(), named.begin() + static_cast<long>(before + by_file.size()));
  EXPECT_EQ(named, by_file);
}

// ---- the four-channel switcher ----------------------------------------------------

Gesture FcClick(int id) {
  return [id](Bench& b) { ClickWidget(b.panel()->Item(id)); };
}

TEST(ActionSurfacesTest, EveryFourChannelActionSendsTheSameFramesFromThePanelAndFromZvctl) {
  const std::string third_format = kTriskOutputFormats[3].text;
  EveryAction(kFourChannel,
              {
                  {{"mode", "7"}, {}, FcClick(kIdTriskFirstModeButton + 7)},
                  // Mode 11 offers both lists; the second keeps the device's channel 2.
                  {{"pip", "3", "2"}, FcClick(kIdTriskFirstModeButton + 11), [](Bench& b) {
                     ChooseByKeys(b.panel()->Item(kIdTriskFirstPipList), 2);
                   }},
                  {{"loop", "on"}, {}, FcClick(kIdTriskLoopButton)},
                  // With its seconds, the loop time goes first: as typed, then the loop clicked.
                  {{"loop", "on", "7"}, {}, [](Bench& b) {
                     TypeInto(b.panel()->Item(kIdTriskLoopTime), "7");
                     FcClick(kIdTriskLoopButton)(b);
                   }},
                  {{"loop-time", "7"}, {}, [](Bench& b) { TypeInto(b.panel()->Item(kIdTriskLoopTime), "7"); }},
                  // The output format's list is hidden in the panel.
                  {{"format", third_format}, {}, {}},
              });
}

}  // namespace
}  // namespace zv
