// The first run without hardware: zv_device_sim started as a program, and
// the window started with a search address its help names, finds the
// virtual devices with Scan; a search that does not reach them says how to.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "app/command_line.h"
#include "app/main_window.h"
#include "support/link_drain.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

// zv_device_sim as a person starts it, on a port of the test's, until the
// object goes.
class SimProcess {
 public:
  SimProcess(uint16_t port, const QStringList& extra) {
    m_process.start(QStringLiteral(ZV_DEVICE_SIM_PATH),
                    QStringList{"--port", QString::number(port), "--quiet"} + extra);
    m_ready = QTest::qWaitFor(
        [this] {
          m_stderr += m_process.readAllStandardError();
          return m_stderr.contains("zv_device_sim: ready") ||
                 m_process.state() == QProcess::NotRunning;
        },
        10000) &&
              m_process.state() == QProcess::Running;
  }
  ~SimProcess() {
    m_process.terminate();  // SIGTERM ends its loop
    if (!m_process.waitForFinished(5000)) m_process.kill();
  }
  bool ready() const { return m_ready; }
  QString output() const { return QString::fromLocal8Bit(m_stderr); }

 private:
  QProcess m_process;
  QByteArray m_stderr;
  bool m_ready = false;
};

using test::Lines;

const QStringList kVirtualDevices = {"Multiviewer16_127.0.0.2", "Matrix8x8_127.0.0.3",
                                     "FourChannel_127.0.0.4", "Switcher_127.0.0.5"};

TEST(FirstRunTest, EveryLoopbackSearchAddressTheHelpNamesFindsTheVirtualDevices) {
  const CommandLine help = ReadCommandLine({"zv_multiview", "--help"});
  ASSERT_EQ(help.exit_status, 0);
  // The loopback addresses the help gives for --search-address, and the one
  // a person reading "this machine" types; a network ("127.0.0.0/8", the
  // default of an allow-list) is no address to search.
  QStringList addresses{"127.0.0.1"};
  QRegularExpression quad(QStringLiteral("\\b127\\.\\d+\\.\\d+\\.\\d+\\b(?!/)"));
  for (const QRegularExpressionMatch& m : quad.globalMatch(QString::fromStdString(help.out)))
    if (!addresses.contains(m.captured())) addresses << m.captured();
  ASSERT_GE(addresses.size(), 2) << "the help names no loopback address: " << help.out;

  const uint16_t port = test::FreeUdpPort();
  SimProcess sim(port, {});
  ASSERT_TRUE(sim.ready()) << sim.output().toStdString();
  for (const QString& address : addresses) {
    SCOPED_TRACE(address.toStdString());
    const CommandLine command_line =
        ReadCommandLine({"zv_multiview", "--search-address", address, "--device-port",
                         QString::number(port), "--local-port", "0"});
    ASSERT_EQ(command_line.exit_status, -1) << command_line.error;
    CZELVIKDlg dlg(command_line.config);
    EXPECT_TRUE(test::ClickScan(dlg));
    QStringList found = Lines(dlg.DeviceCombo());
    found.sort();
    QStringList want = kVirtualDevices;
    want.sort();
    EXPECT_EQ(found.join(", ").toStdString(), want.join(", ").toStdString());
  }
}

TEST(FirstRunTest, ASearchThatMissesRunningVirtualDevicesSaysHowToReachThem) {
  struct Row {
    QStringList sim_options;
    bool hint;
  };
  // Devices that answer nobody are not offered as a way out.
  const Row rows[] = {{{}, true}, {{"--silent"}, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sim_options.join(' ').toStdString());
    const uint16_t port = test::FreeUdpPort();
    SimProcess sim(port, row.sim_options);
    ASSERT_TRUE(sim.ready()) << sim.output().toStdString();
    // A search aimed past the loopback broadcast, as the default search
    // (every interface's broadcast address, loopback left out) is; the
    // tests cannot send that one.
    LinkConfig config;
    config.device_port = port;
    config.local_port = 0;
    config.search_address = "127.0.0.1";
    CZELVIKDlg dlg(config);
    EXPECT_TRUE(test::ClickScan(dlg));
    EXPECT_EQ(Lines(dlg.DeviceCombo()).join(", ").toStdString(), "No Device Found");
    if (row.hint)
      EXPECT_EQ(dlg.StatusText().toStdString(),
                "No device found. Virtual devices (zv_device_sim) answer on 127.255.255.255: "
                "start with --search-address 127.255.255.255");
    else
      EXPECT_EQ(dlg.StatusText().toStdString(), "Search over: 0 found");
  }
}

}  // namespace
}  // namespace zv
