// The frame monitor on a real main window against a virtual production
// switcher on loopback: opened with Ctrl+L, it lists the scan and a command
// with the right direction, peer, names and checksums; its filters, pause
// and clear work; and its pcap export, read back with libpcap, holds the
// same bytes between the same addresses and ports. Closed, the monitor's
// window is deleted, and one opened again shows the frames from before.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <pcap/pcap.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
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
#include "link/command_frame.h"
#include "monitor/frame_monitor_window.h"
#include "platform/platform.h"
#include "support/loopback_link.h"
#include "support/link_drain.h"
#include "support/recorders.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/ui_input.h"
#include "switcher/switcher_panel.h"
#include "switcher/switcher_state.h"

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

  // Paused, nothing arrives; resumed, what came meanwhile shows.
  QTest::mouseClick(monitor->PauseButton(), Qt::LeftButton);
  const int before = model->rowCount();
  ClickSource(dlg, 4);
  QTest::qWait(500);
  EXPECT_EQ(model->rowCount(), before);
  QTest::mouseClick(monitor->PauseButton(), Qt::LeftButton);
  EXPECT_EQ(Count(Rows(model), "sent", "0x80 program source"), 2);

  QTest::mouseClick(monitor->ClearButton(), Qt::LeftButton);
  EXPECT_EQ(model->rowCount(), 0);
  monitor->close();
  EXPECT_FALSE(FrameRecorder::Listening());
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
