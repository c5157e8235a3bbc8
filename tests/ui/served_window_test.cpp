// The window serving remote clients (--serve), on the offscreen platform,
// against a virtual switcher on loopback: the clients are processes (curl,
// oscsend) and the window is clicked. What a client does lights the
// window's buttons, and the same action from the window, from HTTP and from
// OSC puts the same bytes on the wire.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "controls/button_st.h"
#include "res/dialog_templates.h"
#include "service/service_server.h"
#include "service/token_store.h"
#include "support/link_drain.h"
#include "support/loopback_link.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/ui_input.h"
#include "switcher/switcher_panel.h"

namespace zv {
namespace {

bool HaveTool(const char* name) {
  return QProcess::execute("sh", {"-c", QString("command -v %1 >/dev/null").arg(name)}) == 0;
}

// The window, found by a real search (a click on Scan, unless `scan` is
// false), serving on a port of its own with one token of `role`.
class Served {
 public:
  explicit Served(bool scan = true, Role role = Role::kOperate)
      : m_port(test::FreeUdpPort()), m_runner(test::LoopbackSim(m_port, {"PS"})) {
    dlg = std::make_unique<CZELVIKDlg>(test::LoopbackConfig(m_port));
    std::string error;
    const std::string tokens = (m_dir.path() + "/tokens").toStdString();
    const std::optional<std::string> token = TokenStore::AddToken(tokens, "desk", role, &error);
    EXPECT_TRUE(token) << error;
    // curl reads the header from a file: the token is on no command line.
    QFile header(m_dir.path() + "/header");
    EXPECT_TRUE(header.open(QIODevice::WriteOnly));
    header.write(("Authorization: Bearer " + token.value_or("") + "\n").c_str());
    header.close();
    ServiceOptions options;
    options.port = 0;
    options.token_file = tokens;
    options.token_file_given = true;
    options.osc_port = 0;
    service = std::make_unique<ServiceServer>(dlg->Hub(), options);
    EXPECT_TRUE(service->Start(&error)) << error;
    if (!scan) return;
    QTest::mouseClick(static_cast<QAbstractButton*>(dlg->Item(kIdScan)), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg->Searching(); }, 10000));
    panel = qobject_cast<CClass_switcher_dlg*>(dlg->m_p_mian_show_dlg.data());
  }
  bool SimStarted() const { return m_runner.started(); }
  ~Served() {
    service.reset();
    dlg.reset();
  }

  bool Ready() const { return m_runner.started() && panel != nullptr; }

  // Every frame and text the switcher received, once it has logged all
  // that was sent to it.
  std::vector<std::string> Received() {
    EXPECT_TRUE(test::DrainLink(*dlg));
    EXPECT_TRUE(test::DeviceHasLoggedAll("127.0.0.2", m_port));
    std::vector<std::string> out;
    for (const std::string& line : m_runner.sim().LogLines()) {
      const size_t at = line.find("\"frame\":\"");
      // The test's own discovery queries (0xff) are left out.
      if (at != std::string::npos && line.find("\"device\":\"PS\"") != std::string::npos &&
          line.find("\"command\":\"0xff\"") == std::string::npos)
        out.push_back(line.substr(at + 9, line.find('"', at + 9) - at - 9));
    }
    return out;
  }
  // Waits until the switcher has received `count` frames in all.
  bool WaitForFrames(size_t count) {
    return QTest::qWaitFor([&] { return Received().size() >= count; }, 5000);
  }

  // A client as its own process, run to its end while the window goes on.
  int Run(const QString& program, const QStringList& args, QByteArray* out = nullptr) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(5000)) return -1;
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000));
    if (out) *out = p.readAllStandardOutput();
    return p.exitCode();
  }
  int Curl(const std::string& action, const std::string& body, QByteArray* out = nullptr) {
    const QString url = QString("http://127.0.0.1:%1/api/v1/devices/127.0.0.2/actions/%2")
                            .arg(service->Port())
                            .arg(QString::fromStdString(action));
    return Run("curl", {"-s", "-f", "-H", "@" + m_dir.path() + "/header", "-d", QString::fromStdString(body), url},
               out);
  }
  int Post(const std::string& path, QByteArray* out = nullptr) {
    const QString url = QString("http://127.0.0.1:%1/api/v1/%2").arg(service->Port()).arg(QString::fromStdString(path));
    return Run("curl", {"-s", "-f", "-X", "POST", "-H", "@" + m_dir.path() + "/header", url}, out);
  }
  int Osc(const std::string& path, const QStringList& args) {
    return Run("oscsend",
               QStringList{"127.0.0.1", QString::number(service->OscPort()), QString::fromStdString(path)} + args);
  }
  int Face(int id) {
    auto* button = panel->findChild<CButtonST*>(QString::number(id), Qt::FindDirectChildrenOnly);
    return button ? button->FaceImageId() : -1;
  }
  void Click(int id) {
    auto* button = panel->findChild<QAbstractButton*>(QString::number(id), Qt::FindDirectChildrenOnly);
    ASSERT_NE(button, nullptr) << id;
    QTest::mouseClick(button, Qt::LeftButton);
  }

  std::unique_ptr<CZELVIKDlg> dlg;
  std::unique_ptr<ServiceServer> service;
  CClass_switcher_dlg* panel = nullptr;

 private:
  QTemporaryDir m_dir;
  uint16_t m_port;
  test::SimRunner m_runner;
};

TEST(ServedWindowTest, ARemoteProgramLightsTheWindowsButtons) {
  if (!HaveTool("curl")) GTEST_SKIP() << "curl is missing";
  Served s;
  ASSERT_TRUE(s.Ready());
  ASSERT_NE(s.Face(kPgmSourceButtons[2]), SourceProgramImage(3));
  QByteArray answer;
  ASSERT_EQ(s.Curl("switcher.program", R"({"source": 3})", &answer), 0) << answer.toStdString();
  EXPECT_EQ(s.Face(kPgmSourceButtons[2]), SourceProgramImage(3)) << "the panel did not show the client's press";
  EXPECT_EQ(s.panel->Session().Data().zv_switcher_pgm_source, 3);
}

// A device a remote client's search found joins the window's list, and the
// operator can open its panel from there.
TEST(ServedWindowTest, ADeviceARemoteSearchFoundJoinsTheWindowsList) {
  if (!HaveTool("curl")) GTEST_SKIP() << "curl is missing";
  Served s(/*scan=*/false, Role::kAdmin);
  ASSERT_TRUE(s.SimStarted());
  QComboBox* combo = s.dlg->DeviceCombo();
  const auto listed = [&] { return combo->findText("127.0.0.2", Qt::MatchContains); };
  ASSERT_LT(listed(), 0) << "listed before any search";
  QByteArray answer;
  ASSERT_EQ(s.Post("scan", &answer), 0) << answer.toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return listed() >= 0; }, 5000)) << "the window's list did not take the device";
  EXPECT_EQ(s.dlg->m_p_mian_show_dlg.data(), nullptr) << "a panel opened without the operator";
  ASSERT_TRUE(test::ChooseLine(combo, listed()));
  s.panel = qobject_cast<CClass_switcher_dlg*>(s.dlg->m_p_mian_show_dlg.data());
  ASSERT_NE(s.panel, nullptr) << "choosing the line opened no switcher panel";
  // The panel is a view of the session the service drives.
  s.Click(kPgmSourceButtons[4]);
  ASSERT_TRUE(s.WaitForFrames(1));
  EXPECT_EQ(s.dlg->Hub().StateOf("127.0.0.2").value("program", 0), 5);
}

TEST(ServedWindowTest, TheWindowHttpAndOscSendTheSameFramesForAnAction) {
  if (!HaveTool("curl") || !HaveTool("oscsend")) GTEST_SKIP() << "curl or oscsend is missing";
  struct Case {
    const char* name;
    int button;             // the window's
    const char* action;     // HTTP
    const char* body;
    const char* osc;        // OSC, with its arguments
    QStringList osc_args;
  };
  const Case cases[] = {
      {"programme 4", kPgmSourceButtons[3], "switcher.program", R"({"source": 4})", "/zv/127.0.0.2/switcher/program",
       {"i", "4"}},
      {"preview 6", kPvmSourceButtons[5], "switcher.preview", R"({"source": 6})", "/zv/127.0.0.2/switcher/preview",
       {"i", "6"}},
      {"cut", kIdSwCut, "switcher.cut", "{}", "/zv/127.0.0.2/switcher/cut", {}},
  };
  Served s;
  ASSERT_TRUE(s.Ready());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Each surface starts from the record the one before left, so the
    // programme and preview are put back between them.
    const auto reset = [&] {
      ASSERT_EQ(s.Curl("switcher.program", R"({"source": 1})"), 0);
      ASSERT_EQ(s.Curl("switcher.preview", R"({"source": 2})"), 0);
    };
    std::vector<std::vector<std::string>> sent;
    for (int surface = 0; surface < 3; ++surface) {
      reset();
      const size_t before = s.Received().size();
      if (surface == 0) {
        s.Click(c.button);
      } else if (surface == 1) {
        ASSERT_EQ(s.Curl(c.action, c.body), 0);
      } else {
        ASSERT_EQ(s.Osc(c.osc, c.osc_args), 0);
        ASSERT_TRUE(s.WaitForFrames(before + 1)) << "nothing came of the OSC message";
      }
      const std::vector<std::string> all = s.Received();
      sent.emplace_back(all.begin() + static_cast<long>(before), all.end());
    }
    ASSERT_FALSE(sent[0].empty());
    EXPECT_EQ(sent[1], sent[0]) << "HTTP sent other frames than the window";
    EXPECT_EQ(sent[2], sent[0]) << "OSC sent other frames than the window";
  }
}

}  // namespace
}  // namespace zv
