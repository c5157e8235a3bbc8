// Several devices at once, measured in one run (figures, not pass marks):
// - eight panels open at once, two of each family, each in a window of its
//   own: resident memory against one panel open (what each extra panel
//   costs);
// - the CPU the program uses at rest with all eight following their devices
//   (the multiviewers and four-channel switchers read back every period),
//   the virtual devices' own thread taken off;
// - a change at a virtual multiviewer's front panel: the time until the
//   panel shows it, against the reading period plus 200 ms.
//
// ZV_BENCH_REST_SECONDS sets the CPU window (default 20).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <random>
#include <vector>

#include "app/main_window.h"
#include "app/panel_window.h"
#include "controls/heap_policy.h"
#include "multiview/multiview_control_page.h"
#include "multiview/multiview_panel.h"
#include "platform/platform.h"
#include "session/device_session.h"
#include "sim/multiview_device.h"
#include "support/loopback_link.h"
#include "support/bench_loop.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace {

using namespace zv;
using test::RunFor;
using test::RunUntil;


double ResidentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  ReturnLargeBlocksToSystem();
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  SetTraceSink([](const std::string&) {});
  const int period_ms = 2000;
  DeviceSession::SetFollowPeriodMs(period_ms);
  const uint16_t port = test::FreeUdpPort();
  const uint8_t types[] = {0xA1, 0x82, 0x60, 0xA5};
  std::vector<std::string> names;
  for (int i = 0; i < 8; ++i) names.push_back("Dev" + std::to_string(i + 1));
  sim::SimConfig config = test::LoopbackSim(port, names);
  for (size_t i = 0; i < config.devices.size(); ++i) config.devices[i].type = types[i % 4];
  test::SimRunner runner(config);
  if (!runner.started()) {
    std::fprintf(stderr, "virtual devices: %s\n", runner.error().c_str());
    return 1;
  }
  LinkConfig link = test::LoopbackConfig(port);
  link.search_address = "127.0.0.1";
  CZELVIKDlg dlg(link);
  dlg.show();
  dlg.NetworkSearch();
  RunUntil([&] { return !dlg.Searching() && dlg.LinkIdle(); });
  const int lines = dlg.DeviceCombo()->count();
  if (lines != 8) {
    std::fprintf(stderr, "the search listed %d devices, not 8\n", lines);
    return 1;
  }

  // One panel window, settled; then the other seven.
  dlg.OpenPanelWindow(0);
  RunFor(3000);
  const double one = ResidentMegabytes();
  for (int line = 1; line < 8; ++line) dlg.OpenPanelWindow(line);
  RunFor(3000);
  const double eight = ResidentMegabytes();
  const double per_panel = (eight - one) / 7.0;
  // Each top-level window keeps an image of itself to paint from (four
  // bytes a pixel): the part of a panel's cost that comes with its own
  // window, not with the panel.
  double backing = 0;
  for (PanelWindow* w : dlg.PanelWindows()) backing += w->width() * w->height() * 4.0 / (1024.0 * 1024.0);
  backing /= static_cast<double>(std::max<size_t>(1, dlg.PanelWindows().size()));

  // At rest, all following.
  const char* rest_env = std::getenv("ZV_BENCH_REST_SECONDS");
  const int rest_s = rest_env ? std::max(1, std::atoi(rest_env)) : 20;
  const double cpu0 = ProcessCpuSeconds() - runner.CpuSeconds();
  {
    // The program's own loop, with nothing of the benchmark's waking it.
    QEventLoop rest;
    QTimer::singleShot(rest_s * 1000, &rest, &QEventLoop::quit);
    rest.exec();
  }
  const double cpu = ProcessCpuSeconds() - runner.CpuSeconds() - cpu0;
  const double cpu_percent = 100.0 * cpu / rest_s;

  // A front-panel change at the first multiviewer, at a random moment of
  // the period; the time until its window's control page shows it.
  PanelWindow* mv_window = nullptr;
  for (PanelWindow* w : dlg.PanelWindows())
    if (w->Device().device_type == 0xA1 && !mv_window) mv_window = w;
  auto* host = mv_window ? qobject_cast<CClass_16view_dlg*>(mv_window->Panel()) : nullptr;
  auto* page = host ? qobject_cast<CClass_16view_control*>(host->m_p_cur_page.data()) : nullptr;
  auto* window2 = page ? qobject_cast<QComboBox*>(page->Item(CClass_16view_control::kIdFirstSourceList + 1)) : nullptr;
  std::vector<double> delays;
  size_t mv_index = 0;
  for (size_t i = 0; i < config.devices.size(); ++i)
    if (config.devices[i].address == mv_window->Device().IpText()) mv_index = i;
  auto& device = dynamic_cast<sim::MultiviewerDevice&>(runner.sim().Device(mv_index));
  std::mt19937 random(7);
  for (int trial = 0; trial < 10 && window2; ++trial) {
    RunFor(static_cast<int>(random() % period_ms));
    sim::MultiviewerDeviceState s = device.State();
    s.sources[1] = static_cast<uint8_t>(1 + (s.sources[1] % 16));
    const QString expected = QStringLiteral("SDI %1").arg(s.sources[1]);
    QElapsedTimer t;
    t.start();
    device.SetState(s);
    RunUntil([&] { return window2->currentText() == expected || t.elapsed() > 3 * period_ms; });
    delays.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  std::sort(delays.begin(), delays.end());
  const double median = delays.empty() ? 0 : delays[delays.size() / 2];
  const double worst = delays.empty() ? 0 : delays.back();

  std::printf("many panels (one run; figures, not a pass mark)\n");
  std::printf("  resident memory, one panel window:    %7.1f MB\n", one);
  std::printf("  resident memory, eight panel windows: %7.1f MB\n", eight);
  std::printf("  each extra panel:                     %7.2f MB (goal 2 MB: ratio %.2f)\n", per_panel,
              per_panel / 2.0);
  std::printf("  of which its window's own image:      %7.2f MB; the panel itself %.2f MB (ratio %.2f)\n",
              backing, per_panel - backing, (per_panel - backing) / 2.0);
  std::printf("  CPU at rest, eight following, %2d s:   %7.2f %% of one core (goal 1 %%: ratio %.2f)\n", rest_s,
              cpu_percent, cpu_percent / 1.0);
  std::printf("  front-panel change shown after:       median %.0f ms, worst %.0f ms of %zu "
              "(goal %d ms: ratio %.2f)\n",
              median, worst, delays.size(), period_ms + 200, worst / (period_ms + 200));
  return 0;
}
