// A scan with 500 virtual devices answering at once, through the real main
// window: how many are listed, the time from the click on Scan (the query
// leaves at once) to the last line listed, and the longest time the window's
// event loop did not run meanwhile (a 1 ms heartbeat; one 60 Hz frame is
// 16.7 ms). For comparison, the same 500 lines listed the way a scan listed
// them before, one line and one status text per device, each in its own turn
// of the event loop. Figures and ratios from one run; not a pass mark.
//
// ZV_BENCH_DEVICES changes the number of devices (default 500).
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>

#include "app/main_window.h"
#include "platform/platform.h"
#include "support/heartbeat.h"
#include "support/loopback_link.h"
#include "support/bench_loop.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace {

using namespace zv;
using test::RunFor;
using test::RunUntil;


// The window's first paint is not part of what is measured.
void SettleAfterShow() {
  QElapsedTimer t;
  t.start();
  RunUntil([&] { return t.elapsed() >= 300; });
}

struct ScanFigures {
  int listed = 0;
  int distinct = 0;
  double last_listed_ms = 0;  // from the click
  double search_over_ms = 0;  // the search window closed and the list is final
  double longest_stall_ms = 0;
  double longest_stall_while_listing_ms = 0;
};

ScanFigures ScanThroughTheWindow(uint16_t port, int devices) {
  ScanFigures f;
  CZELVIKDlg dlg(test::LoopbackConfig(port));
  dlg.show();
  SettleAfterShow();
  QComboBox* combo = dlg.DeviceCombo();
  QElapsedTimer clock;
  QObject::connect(combo->model(), &QAbstractItemModel::rowsInserted, [&] {
    if (dlg.Searching() && combo->count() >= devices && f.last_listed_ms == 0)
      f.last_listed_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  });
  test::Heartbeat beat;
  clock.start();
  static_cast<QAbstractButton*>(dlg.Item(kIdScan))->click();
  RunUntil([&] { return f.last_listed_ms > 0 || !dlg.Searching(); });
  f.longest_stall_while_listing_ms = beat.LongestGapMs();
  RunUntil([&] { return !dlg.Searching(); });
  f.search_over_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  // The first device's panel opens and reads its device: part of the scan.
  RunUntil([&] { return dlg.LinkIdle(); });
  f.longest_stall_ms = beat.LongestGapMs();
  f.listed = combo->count();
  std::set<QString> lines;
  for (int i = 0; i < combo->count(); ++i) lines.insert(combo->itemText(i));
  f.distinct = static_cast<int>(lines.size());
  return f;
}

struct OneByOneFigures {
  double total_ms = 0;
  double longest_stall_ms = 0;
};

// The lines of a scan added as a scan added them before: one queued call per
// device, each adding its line and saying the count in the status strip.
OneByOneFigures OneLineAtATime(uint16_t port, int devices) {
  OneByOneFigures f;
  CZELVIKDlg dlg(test::LoopbackConfig(port));
  dlg.show();
  SettleAfterShow();
  QComboBox* combo = dlg.DeviceCombo();
  test::Heartbeat beat;
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < devices; ++i) {
    const QString line = QStringLiteral("Device.%1_127.0.%2.%3").arg(i + 1).arg(1 + i / 254).arg(1 + i % 254);
    QMetaObject::invokeMethod(
        &dlg,
        [&dlg, combo, line] {
          combo->addItem(line);
          dlg.ShowStatus("Searching... " + std::to_string(combo->count()) + " found");
        },
        Qt::QueuedConnection);
  }
  RunUntil([&] { return combo->count() >= devices; });
  f.total_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  f.longest_stall_ms = beat.LongestGapMs();
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  SetTraceSink([](const std::string&) {});
  const char* env = std::getenv("ZV_BENCH_DEVICES");
  const int devices = env ? std::clamp(std::atoi(env), 1, 5000) : 500;
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config;
  config.hub_address = "127.0.0.1";
  config.port = port;
  std::string error;
  if (!sim::CountedDevices(sim::DefaultDevices(), devices, sim::kFirstCountedAddress, &config.devices, &error)) {
    std::fprintf(stderr, "virtual devices: %s\n", error.c_str());
    return 1;
  }
  test::SimRunner runner(config);
  if (!runner.started()) {
    std::fprintf(stderr, "virtual devices: %s\n", runner.error().c_str());
    return 1;
  }

  const ScanFigures scan = ScanThroughTheWindow(port, devices);
  const OneByOneFigures before = OneLineAtATime(port, devices);
  constexpr double kFrameMs = 1000.0 / 60;
  std::printf("Scan with %d virtual devices answering, through the main window:\n", devices);
  std::printf("  listed                                   %5d of %d (%d distinct)\n", scan.listed, devices,
              scan.distinct);
  std::printf("  click to the last line listed            %8.1f ms (%.3f ms per device)\n", scan.last_listed_ms,
              scan.last_listed_ms / devices);
  std::printf("  click to the search over (its window)    %8.1f ms\n", scan.search_over_ms);
  std::printf("  longest event-loop stall while listing   %8.1f ms (%.2f frames of 60 Hz)\n",
              scan.longest_stall_while_listing_ms, scan.longest_stall_while_listing_ms / kFrameMs);
  std::printf("  longest stall, scan and first panel      %8.1f ms (%.2f frames of 60 Hz)\n",
              scan.longest_stall_ms, scan.longest_stall_ms / kFrameMs);
  std::printf("The same %d lines one at a time, a turn of the event loop and a status text each:\n", devices);
  std::printf("  all listed after                         %8.1f ms\n", before.total_ms);
  std::printf("  longest event-loop stall                 %8.1f ms\n", before.longest_stall_ms);
  std::printf("ratios: stall while listing / one 60 Hz frame %.2f; last line listed / search window %.2f;"
              " one-at-a-time stall / scan's stall while listing %.2f\n",
              scan.longest_stall_while_listing_ms / kFrameMs, scan.last_listed_ms / kSearchWindowMs,
              before.longest_stall_ms / std::max(0.001, scan.longest_stall_while_listing_ms));
  return 0;
}
