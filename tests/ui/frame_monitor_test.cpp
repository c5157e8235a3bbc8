// The frame monitor on a real main window against a virtual production
// switcher on loopback: opened with Ctrl+L, it lists the scan and a command
// with the right direction, peer, names and checksums; its filters and
// clear work; and its pcap export, read back with libpcap, holds the same
// bytes between the same addresses and ports. Then the monitor and the log
// together: the matrix router's text commands, the count through the
// filters, Pause with Save, and --frame-log of a run killed under load.
// Closed, the monitor's window is deleted, and one opened again shows the
// frames from before.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <pcap/pcap.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "app/qt_message_box.h"
#include "controls/button_st.h"
#include "link/command_frame.h"
#include "matrix/matrix_function_page.h"
#include "matrix/matrix_ids.h"
#include "matrix/matrix_panel.h"
#include "monitor/frame_monitor_window.h"
#include "platform/platform.h"
#include "res/dialog_templates.h"
#include "support/loopback_link.h"
#include "support/link_drain.h"
#include "support/recorders.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/ui_input.h"
#include "switcher/switcher_panel.h"
#include "switcher/switcher_state.h"

extern char** environ;

namespace zv {
namespace {

struct Row {
  QString direction, peer, device, command, checksum;
};

std::vector<Row> Rows(const QAbstractItemModel* model) {
  std::vector<Row> rows;
  for (int r = 0; r < model->rowCount(); ++r) {
    auto at = [&](int c) { return model->index(r, c).data().toString(); };
    rows.push_back({at(FrameTableModel::kDirection), at(FrameTableModel::kPeer),
                    at(FrameTableModel::kDevice), at(FrameTableModel::kCommand),
                    at(FrameTableModel::kChecksum)});
  }
  return rows;
}

int Count(const std::vector<Row>& rows, const QString& direction, const QString& command) {
  return static_cast<int>(std::count_if(rows.begin(), rows.end(), [&](const Row& r) {
    return r.direction == direction && r.command == command;
  }));
}

void ClickSource(CZELVIKDlg& dlg, int n) {
  QWidget* panel = dlg.m_p_mian_show_dlg.data();
  ASSERT_NE(panel, nullptr);
  auto* button = panel->findChild<QAbstractButton*>(QString::number(kPgmSourceButtons[n - 1]),
                                                    Qt::FindDirectChildrenOnly);
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
}

// Chooses `path` in the save dialog the button opened, as a person types it.
void TypeFileName(QWidget* monitor, const QString& path) {
  QFileDialog* dialog = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (dialog = monitor->findChild<QFileDialog*>()) != nullptr &&
                                           dialog->isVisible(); }, 3000));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(name, nullptr);
  QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(name, path);
  auto* buttons = dialog->findChild<QDialogButtonBox*>();
  ASSERT_NE(buttons, nullptr);
  QPushButton* save = buttons->button(QDialogButtonBox::Save);
  ASSERT_NE(save, nullptr);
  QTest::mouseClick(save, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->findChild<QFileDialog*>() == nullptr; }, 3000));
}

TEST(FrameMonitorTest, ScanAndCommandAppearAndThePcapHoldsThem) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(test::LoopbackSim(port, {"PS"}));
  ASSERT_TRUE(runner.started()) << runner.error();
  CZELVIKDlg dlg(test::LoopbackConfig(port));
  dlg.show();
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));

  // Closed, the monitor listens to nothing.
  EXPECT_FALSE(FrameRecorder::Listening());
  EXPECT_EQ(dlg.FrameMonitorButton()->toolTip(), "Frame monitor (Ctrl+L)");
  QTest::keyClick(&dlg, Qt::Key_L, Qt::ControlModifier);
  FrameMonitorWindow* monitor = dlg.m_frame_monitor.data();
  ASSERT_NE(monitor, nullptr);
  ASSERT_TRUE(monitor->isVisible());
  EXPECT_TRUE(FrameRecorder::Listening());

  QTest::mouseClick(static_cast<QAbstractButton*>(dlg.Item(kIdScan)), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  ASSERT_NE(qobject_cast<CClass_switcher_dlg*>(dlg.m_p_mian_show_dlg.data()), nullptr);
  ClickSource(dlg, 3);

  const FrameTableModel* model = monitor->Model();
  const QString search_peer = QString("127.0.0.1:%1").arg(port);
  const QString device_peer = QString("127.0.0.2:%1").arg(port);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return Count(Rows(model), "sent", "0x80 program source") == 1; }, 3000));
  const std::vector<Row> rows = Rows(model);
  auto find = [&](const QString& direction, const QString& command) -> const Row* {
    for (const Row& r : rows)
      if (r.direction == direction && r.command == command) return &r;
    return nullptr;
  };
  const Row* query = find("sent", "0xFF discovery");
  const Row* reply = find("received", "0xFF discovery");
  const Row* command = find("sent", "0x80 program source");
  ASSERT_TRUE(query && reply && command);
  EXPECT_EQ(query->peer, search_peer);
  EXPECT_EQ(query->device, "all (discovery) 81/FF");
  EXPECT_EQ(reply->peer, device_peer);
  EXPECT_EQ(reply->device, "production switcher A5/01");
  EXPECT_EQ(command->peer, device_peer);
  for (const Row* r : {query, reply, command}) EXPECT_EQ(r->checksum, "good") << r->command.toStdString();

  // The pcap export of what the monitor holds, read back.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString pcap_path = dir.filePath("frames.pcap");
  {
    test::MessageBoxRecorder boxes;
    QTest::mouseClick(monitor->SavePcapButton(), Qt::LeftButton);
    TypeFileName(monitor, pcap_path);
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].text, "Saved " + std::to_string(model->rowCount()) +
                                          " network frames to " + pcap_path.toStdString() + ".");
  }
  char error[PCAP_ERRBUF_SIZE] = {};
  pcap_t* capture = pcap_open_offline(pcap_path.toLocal8Bit().constData(), error);
  ASSERT_NE(capture, nullptr) << error;
  EXPECT_EQ(pcap_datalink(capture), DLT_RAW);
  int packets = 0;
  pcap_pkthdr* header = nullptr;
  const u_char* data = nullptr;
  while (pcap_next_ex(capture, &header, &data) == 1) {
    ASSERT_LT(packets, model->rowCount());
    const TappedFrame& frame = model->Frame(packets++);
    ASSERT_EQ(header->caplen, 28 + frame.bytes.size());
    EXPECT_EQ(data[0], 0x45);
    EXPECT_EQ(data[9], 17);
    uint32_t sum = 0;  // a correct IPv4 header sums to FFFF
    for (int i = 0; i < 20; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    EXPECT_EQ(sum, 0xFFFFu);
    in_addr source{}, destination{};
    std::memcpy(&source, data + 12, 4);
    std::memcpy(&destination, data + 16, 4);
    const uint16_t source_port = static_cast<uint16_t>(data[20] << 8 | data[21]);
    const uint16_t destination_port = static_cast<uint16_t>(data[22] << 8 | data[23]);
    const bool sent = frame.direction == FrameDirection::kSent;
    EXPECT_EQ((sent ? destination : source).s_addr, frame.peer.sin_addr.s_addr);
    EXPECT_EQ(std::string(inet_ntoa(sent ? source : destination)), "127.0.0.1");
    EXPECT_EQ(sent ? destination_port : source_port, port);
    EXPECT_EQ(sent ? source_port : destination_port, frame.local_port);
    EXPECT_NE(frame.local_port, 0);
    EXPECT_EQ(std::vector<uint8_t>(data + 28, data + header->caplen), frame.bytes);
  }
  pcap_close(capture);
  EXPECT_EQ(packets, model->rowCount());

  // Received only.
  ASSERT_TRUE(test::ChooseLine(monitor->DirectionList(), 2));
  const std::vector<Row> received = Rows(monitor->Filter());
  EXPECT_FALSE(received.empty());
  EXPECT_LT(received.size(), rows.size());
  for (const Row& r : received) EXPECT_EQ(r.direction, "received");
  ASSERT_TRUE(test::ChooseLine(monitor->DirectionList(), 0));

  // Pause and Resume: MonitorAndLog.
  QTest::mouseClick(monitor->ClearButton(), Qt::LeftButton);
  EXPECT_EQ(model->rowCount(), 0);
  monitor->close();
  EXPECT_FALSE(FrameRecorder::Listening());
}

// ---- the monitor and the log ----------------------------------------------------

// A program the test started: stopped (SIGTERM, so that a display server
// takes its socket away with it) and reaped when the object goes, so a
// failed check leaves nothing running.
class Process {
 public:
  // Runs `argv` (looked up on PATH) with this process's environment plus
  // `env` (NAME=value). Its standard output comes to Output(); its standard
  // error goes to `error_path` (or nowhere).
  Process(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
          const std::string& error_path = "/dev/null") {
    std::vector<std::string> all_env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const std::string name = entry.substr(0, entry.find('=') + 1);
      if (std::none_of(env.begin(), env.end(), [&](const std::string& o) { return o.starts_with(name); }))
        all_env.push_back(entry);
    }
    all_env.insert(all_env.end(), env.begin(), env.end());
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : all_env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    m_out = out[0];
  }
  ~Process() {
    End(SIGTERM);
    if (m_out >= 0) close(m_out);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return m_pid > 0; }
  pid_t pid() const { return m_pid; }
  // Its standard output up to the first line end, or up to its end when
  // `whole`; what came when `wait_ms` ran out otherwise.
  std::string Output(int wait_ms, bool whole = false) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    while (m_out >= 0 && (whole || text.find('\n') == std::string::npos)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd p{m_out, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      char buffer[256];
      const ssize_t n = read(m_out, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
    return text;
  }
  // SIGKILL, as `kill -9` from a shell, and the exit reaped.
  void Kill() { End(SIGKILL); }

 private:
  void End(int signal) {
    if (m_pid <= 0) return;
    kill(m_pid, signal);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

  pid_t m_pid = -1;
  int m_out = -1;
};

bool OnPath(const char* program) {
  Process which({"sh", "-c", std::string("command -v ") + program});
  return !which.Output(5000).empty();
}

// Blocks until `path` holds at least `size` bytes, woken by the file's own
// changes; false when `wait_ms` runs out first.
bool WaitForFileSize(const std::string& path, off_t size, int wait_ms) {
  const int watch = inotify_init1(IN_CLOEXEC);
  if (watch < 0) return false;
  inotify_add_watch(watch, path.c_str(), IN_MODIFY);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  bool reached = false;
  for (;;) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && st.st_size >= size) {
      reached = true;
      break;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{watch, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char events[4096];
    (void)!read(watch, events, sizeof events);
  }
  close(watch);
  return reached;
}

std::vector<std::string> FileLines(const QString& path) {
  std::ifstream in(path.toStdString());
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(FrameMonitorTest, MonitorAndLog) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig devices = test::LoopbackSim(port, {"PS", "MX"});
  devices.devices[1].type = 0x82;  // a matrix router at 127.0.0.3
  test::SimRunner runner(devices);
  ASSERT_TRUE(runner.started()) << runner.error();
  CZELVIKDlg dlg(test::LoopbackConfig(port));
  dlg.show();
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  QTest::keyClick(&dlg, Qt::Key_L, Qt::ControlModifier);
  FrameMonitorWindow* monitor = dlg.m_frame_monitor.data();
  ASSERT_NE(monitor, nullptr);
  const FrameTableModel* model = monitor->Model();
  const QLabel* count = monitor->CountLabel();

  // The router chosen from the search's list, an input and three outputs,
  // then Apply: the router's text "3V1,4,8.".
  QTest::mouseClick(static_cast<QAbstractButton*>(dlg.Item(kIdScan)), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  const int router_line = dlg.DeviceCombo()->findText("MX_127.0.0.3");
  ASSERT_GE(router_line, 0);
  ASSERT_TRUE(test::ChooseLine(dlg.DeviceCombo(), router_line));
  ASSERT_TRUE(test::DrainLink(dlg));
  auto* router = qobject_cast<CClass_matrix_control*>(dlg.m_p_mian_show_dlg.data());
  ASSERT_NE(router, nullptr);
  auto* functions = qobject_cast<CClass_matrix_child_function*>(router->Page());
  ASSERT_NE(functions, nullptr);
  auto click = [&](QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
    ASSERT_TRUE(test::DrainLink(dlg));
  };
  click(router->InputButton(3));
  for (int o : {1, 4, 8}) click(router->OutputButton(o));
  click(functions->Item(kIdMatrixApply));
  const QString text = "\"3V1,4,8.\"";
  ASSERT_TRUE(QTest::qWaitFor([&] { return Count(Rows(model), "sent", text) == 1; }, 3000));

  {
    SCOPED_TRACE("a text command carries no checksum and is no bad frame");
    for (int r = 0; r < model->rowCount(); ++r) {
      if (model->index(r, FrameTableModel::kCommand).data().toString() != text) continue;
      const QModelIndex cell = model->index(r, FrameTableModel::kChecksum);
      EXPECT_EQ(cell.data().toString().toStdString(), "n/a (text)");
      EXPECT_FALSE(cell.data(Qt::BackgroundRole).isValid()) << "no pink";
      EXPECT_FALSE(cell.data(Qt::ForegroundRole).isValid()) << "no red";
    }
  }
  {
    SCOPED_TRACE("the count follows the filters: shown / held");
    // Read with the rows, no event between: the count cannot have moved on.
    const auto expect_count = [&](int shown) {
      EXPECT_EQ(count->text().toStdString(),
                QString("%1 / %2 frames").arg(shown).arg(model->rowCount()).toStdString());
    };
    expect_count(model->rowCount());
    ASSERT_TRUE(test::ChooseLine(monitor->DirectionList(), 2));  // received
    const std::vector<Row> all = Rows(model);
    expect_count(static_cast<int>(std::count_if(all.begin(), all.end(),
                                                [](const Row& r) { return r.direction == "received"; })));
    ASSERT_TRUE(test::ChooseLine(monitor->DirectionList(), 0));
    const int text_line = monitor->DeviceList()->findText("matrix router (text)");
    ASSERT_GT(text_line, 0);
    ASSERT_TRUE(test::ChooseLine(monitor->DeviceList(), text_line));
    expect_count(1);
  }
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  {
    SCOPED_TRACE("paused, frames are held back, counted and saved");
    QTest::mouseClick(monitor->PauseButton(), Qt::LeftButton);
    const int rows = model->rowCount();
    click(functions->Item(kIdMatrixApply));
    // The monitor has taken the new frame when the count holds it.
    const QString held = QString("1 / %1 frames").arg(rows + 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return count->text() == held; }, 3000)) << count->text().toStdString();
    EXPECT_EQ(model->rowCount(), rows) << "no row while paused";

    const QString path = dir.filePath("paused.jsonl");
    test::MessageBoxRecorder boxes;
    QTest::mouseClick(monitor->SaveJsonButton(), Qt::LeftButton);
    TypeFileName(monitor, path);
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].text, "Saved " + std::to_string(rows + 1) + " frames to " +
                                          path.toStdString() + ".");
    const std::vector<std::string> lines = FileLines(path);
    EXPECT_EQ(lines.size(), static_cast<size_t>(rows + 1));
    ASSERT_FALSE(lines.empty());
    // The text, last, for a JSON reader: no checksum, and said to be text.
    const auto last = nlohmann::json::parse(lines.back());
    EXPECT_EQ(last.value("name", ""), "3V1,4,8.");
    EXPECT_EQ(last.value("device", ""), "matrix router (text)");
    ASSERT_TRUE(last.contains("checksum_ok"));
    EXPECT_TRUE(last["checksum_ok"].is_null());
    EXPECT_EQ(last.value("text", nlohmann::json()), true);
    // A binary frame keeps its fields and has no "text".
    const auto query = nlohmann::json::parse(lines.front());
    EXPECT_EQ(query.value("command", ""), "0xFF");
    EXPECT_EQ(query.value("checksum_ok", nlohmann::json()), true);
    EXPECT_FALSE(query.contains("text"));

    QTest::mouseClick(monitor->PauseButton(), Qt::LeftButton);
    EXPECT_EQ(model->rowCount(), rows + 1);
    EXPECT_EQ(Count(Rows(model), "sent", text), 2);
    EXPECT_EQ(count->text().toStdString(), QString("2 / %1 frames").arg(rows + 1).toStdString());
  }
  monitor->close();

  {
    SCOPED_TRACE("--frame-log of a run killed with SIGKILL under load ends at a line's end");
    if (!OnPath("Xvfb") || !OnPath("xdotool"))
      GTEST_SKIP() << "needs Xvfb and xdotool (scripts/install_deps.sh installs them)";
    // A display of its own, on the first free number.
    Process xvfb({"Xvfb", "-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    const std::string display = xvfb.Output(10000);
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    const std::string display_env = "DISPLAY=:" + display.substr(0, display.find('\n'));
    const DialogTemplate* main_template = FindDialogTemplate(kMainDialogResource);
    ASSERT_NE(main_template, nullptr);
    const auto scan = std::find_if(main_template->controls.begin(), main_template->controls.end(),
                                   [](const ControlTemplate& c) { return c.id == kIdScan; });
    ASSERT_NE(scan, main_template->controls.end());

    for (int run = 1; run <= 3; ++run) {
      SCOPED_TRACE("run " + std::to_string(run));
      // The test stands in for the devices: it takes the search's query and
      // answers with a flood of datagrams, each one a line in the log.
      test::UdpPeer flood_source;
      ASSERT_TRUE(flood_source.ok());
      const QString log = dir.filePath(QString("run%1.jsonl").arg(run));
      const std::string errors = dir.filePath(QString("run%1.err").arg(run)).toStdString();
      Process program({ZV_MULTIVIEW_PATH, "--search-address", "127.0.0.1", "--device-port",
                       std::to_string(flood_source.port()), "--local-port", "0", "--frame-log",
                       log.toStdString()},
                      {display_env, "QT_QPA_PLATFORM=xcb",
                       "XDG_CONFIG_HOME=" + dir.filePath("config").toStdString()},
                      errors);
      ASSERT_TRUE(program.started());
      Process find({"xdotool", "search", "--sync", "--onlyvisible", "--pid",
                    std::to_string(program.pid())},
                   {display_env});
      const std::string window = find.Output(20000);
      ASSERT_FALSE(window.empty()) << "the window did not show";
      // A click on Scan, as a person gives it.
      Process press({"xdotool", "mousemove", "--window", window.substr(0, window.find('\n')),
                     std::to_string(scan->x + scan->width / 2),
                     std::to_string(scan->y + scan->height / 2), "click", "1"},
                    {display_env});
      press.Output(10000, true);
      const std::optional<test::ReceivedDatagram> query = flood_source.Receive(10000);
      ASSERT_TRUE(query.has_value()) << "no search";

      std::vector<uint8_t> datagram{0xA5, 0x6C};
      for (int b = 0; b < 256; ++b) datagram.push_back(static_cast<uint8_t>(b));
      std::atomic<bool> stop{false};
      std::thread flood([&] {
        while (!stop.load()) {
          for (int i = 0; i < 50; ++i) flood_source.SendTo(query->from, datagram);
          poll(nullptr, 0, 1);  // a breath for the program on a small machine
        }
      });
      // Well past any stream buffer's size, and still coming when killed.
      const bool grew = WaitForFileSize(log.toStdString(), 32 * 1024, 10000);
      program.Kill();
      stop = true;
      flood.join();
      ASSERT_TRUE(grew) << "the log did not grow under the flood";

      std::ifstream in(log.toStdString(), std::ios::binary);
      const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      ASSERT_FALSE(content.empty());
      EXPECT_EQ(content.back(), '\n') << "the log ends inside a line, after " << content.size()
                                      << " bytes";
      size_t lines = 0, unreadable = 0;
      for (const std::string& line : FileLines(log)) {
        ++lines;
        const auto j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.contains("direction")) ++unreadable;
      }
      EXPECT_EQ(unreadable, 0u) << "of " << lines << " lines";
    }
  }
}

// Opening and closing windows gives their memory back: the monitor closed is
// deleted, a message box answered is gone, and the program has as many
// windows as before. The frames stay with the recorder, so the monitor
// opened again shows them, at the same times.
TEST(FrameMonitorTest, ClosedMonitorIsDeletedAndOpenedAgainShowsTheFramesAgain) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(test::LoopbackSim(port, {"PS"}));
  ASSERT_TRUE(runner.started()) << runner.error();
  CZELVIKDlg dlg(test::LoopbackConfig(port));
  dlg.show();
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  const qsizetype windows_at_start = QApplication::topLevelWidgets().size();
  FrameRecorder::Instance().Clear();

  QTest::keyClick(&dlg, Qt::Key_L, Qt::ControlModifier);
  QPointer<FrameMonitorWindow> first = dlg.m_frame_monitor.data();
  ASSERT_FALSE(first.isNull());
  QTest::mouseClick(static_cast<QAbstractButton*>(dlg.Item(kIdScan)), Qt::LeftButton);
  ASSERT_TRUE(test::DrainLink(dlg));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Count(Rows(first->Model()), "received", "0xFF discovery") == 1; }, 3000));
  const int rows_before = first->Model()->rowCount();
  const QString first_time = first->Model()->index(0, FrameTableModel::kTime).data().toString();

  first->close();
  EXPECT_FALSE(FrameRecorder::Listening());
  EXPECT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }, 2000)) << "the closed monitor is kept";

  // A message box of the program's own, answered with a click on OK.
  MessageBoxHandler previous = SetMessageBoxHandler(nullptr);
  InstallQtMessageBox();
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  });
  answer.start(20);
  EXPECT_EQ(ShowMessageBox("Closed", "Frame monitor"), MessageBoxAnswer::kOk);
  answer.stop();
  SetMessageBoxHandler(std::move(previous));
  QTest::qWait(0);
  EXPECT_EQ(QApplication::topLevelWidgets().size(), windows_at_start);

  QTest::mouseClick(dlg.FrameMonitorButton(), Qt::LeftButton);
  FrameMonitorWindow* second = dlg.m_frame_monitor.data();
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(FrameRecorder::Listening());
  ASSERT_TRUE(QTest::qWaitFor([&] { return second->Model()->rowCount() >= rows_before; }, 3000));
  EXPECT_EQ(second->Model()->index(0, FrameTableModel::kTime).data().toString(), first_time);
  EXPECT_EQ(Count(Rows(second->Model()), "received", "0xFF discovery"), 1);
  second->close();
  EXPECT_FALSE(FrameRecorder::Listening());
}

}  // namespace
}  // namespace zv
