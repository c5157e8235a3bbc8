// The longest time the window's event loop did not run while the link was
// busy with a device, measured by a 1 ms heartbeat timer, in four cases:
// a scan with devices answering, opening the multiviewer with its device
// silent, the four-channel panel with a silent device (its signal poll),
// and a T-bar drag. Each case runs twice in one process: through the link
// worker, as the program does, and with the same blocking link operations
// called on the window's thread, as the window waited before the worker
// (the baseline). Figures from one run; not a pass mark.
//
// ZV_BENCH_QUAD_SECONDS shortens the four-channel case (default 30).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/main_window.h"
#include "multiview/multiview_link.h"
#include "controls/bitmap_slider.h"
#include "fourch/fourch_state.h"
#include "multiview/multiview_link.h"
#include "platform/platform.h"
#include "support/heartbeat.h"
#include "support/loopback_link.h"
#include "support/bench_loop.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "switcher/switcher_commands.h"
#include "switcher/switcher_panel.h"

namespace {

using namespace zv;
using test::RunFor;
using test::RunUntil;


void Choose(CZELVIKDlg& dlg, const char* address, uint8_t type, const char* line) {
  dlg.DeviceCombo()->clear();
  if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
  dlg.m_device_list[0].SetIpText(address);
  dlg.m_device_list[0].device_type = type;
  dlg.m_device_list[0].device_id = 1;
  dlg.DeviceCombo()->addItem(line);
  dlg.m_device_index = 0;
}

bool Idle(const CZELVIKDlg& dlg) { return dlg.LinkIdle() && !dlg.Searching(); }

struct Figures {
  double worker_ms;
  double blocking_ms;
};

Figures Scan(uint16_t port) {
  CZELVIKDlg dlg(test::LoopbackConfig(port));
  Figures f{};
  {
    test::Heartbeat beat;
    dlg.OnScanButton();
    RunUntil([&] { return Idle(dlg); });
    f.worker_ms = beat.LongestGapMs();
  }
  {
    test::Heartbeat beat;
    bool done = false;
    QTimer::singleShot(0, [&] {
      std::vector<std::string> lines;
      dlg.SearchNetworkDevices(&lines);
      done = true;
    });
    RunUntil([&] { return done; });
    f.blocking_ms = beat.LongestGapMs();
  }
  return f;
}

Figures OpenSilentMultiviewer(uint16_t port) {
  CZELVIKDlg dlg(test::LoopbackConfig(port));
  Choose(dlg, "127.0.0.4", 0xA1, "Mute_127.0.0.4");
  Figures f{};
  {
    test::Heartbeat beat;
    dlg.OpenDevicePanel();
    RunUntil([&] { return Idle(dlg); });
    f.worker_ms = beat.LongestGapMs();
  }
  {
    test::Heartbeat beat;
    bool done = false;
    QTimer::singleShot(0, [&] {
      // The read-back's own call, as the worker runs it, here on the
      // window's thread: what the worker keeps off the window.
      (void)FetchMultiviewerStateUdp(dlg);
      done = true;
    });
    RunUntil([&] { return done; });
    f.blocking_ms = beat.LongestGapMs();
  }
  return f;
}

Figures SilentFourChannel(uint16_t port, int seconds) {
  Figures f{};
  {
    CZELVIKDlg dlg(test::LoopbackConfig(port));
    Choose(dlg, "127.0.0.4", 0x60, "Mute_127.0.0.4");
    test::Heartbeat beat;
    dlg.OpenDevicePanel();
    RunFor(seconds * 1000);
    f.worker_ms = beat.LongestGapMs();
  }
  {
    CZELVIKDlg dlg(test::LoopbackConfig(port));
    Choose(dlg, "127.0.0.4", 0x60, "Mute_127.0.0.4");
    test::Heartbeat beat;
    // The read-back and the first poll on opening, then a poll every five
    // seconds, each waiting on the window's thread.
    QTimer::singleShot(0, [&] {
      ReadTriskState(dlg, nullptr);
      ReadTriskSignalStatus(dlg);
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { ReadTriskSignalStatus(dlg); });
    poll.start(5000);
    RunFor(seconds * 1000);
    f.blocking_ms = beat.LongestGapMs();
  }
  return f;
}

Figures TbarDrag(uint16_t port) {
  Figures f{};
  CZELVIKDlg dlg(test::LoopbackConfig(port));
  Choose(dlg, "127.0.0.2", 0xA5, "PS_127.0.0.2");
  dlg.OpenDevicePanel();
  auto* panel = qobject_cast<CClass_switcher_dlg*>(dlg.m_p_mian_show_dlg.data());
  if (!panel) return f;
  CBitmapSlider* tbar = panel->m_tbar;
  // One mouse event at a time, as the window system delivers a drag.
  std::vector<int> ys;
  for (int y = tbar->height() - 1; y >= 0; y -= 3) ys.push_back(y);
  auto drag = [&](size_t i) {
    const QEvent::Type type = i == 0 ? QEvent::MouseButtonPress
                              : i + 1 == ys.size() ? QEvent::MouseButtonRelease
                                                   : QEvent::MouseMove;
    const QPointF at(80, ys[i]);
    QMouseEvent e(type, at, tbar->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton),
                  Qt::NoModifier);
    QApplication::sendEvent(tbar, &e);
  };
  {
    test::Heartbeat beat;
    for (size_t i = 0; i < ys.size(); ++i) {
      QTimer::singleShot(0, [&, i] { drag(i); });
      RunFor(2);
    }
    RunUntil([&] { return Idle(dlg); });
    f.worker_ms = beat.LongestGapMs();
  }
  {
    // The same drag's frames, each sent where its mouse event is handled.
    test::Heartbeat beat;
    for (int progress = 1; progress <= 128; progress += 8) {
      QTimer::singleShot(0, [&, progress] {
        const uint8_t params[] = {0, static_cast<uint8_t>(progress)};
        dlg.SendCommand(kSwitcherTbar, params);
      });
      RunFor(2);
    }
    f.blocking_ms = beat.LongestGapMs();
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  SetTraceSink([](const std::string&) {});
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"PS", "MV", "Mute"});
  config.devices[1].type = 0xA1;
  config.devices[1].faults.delay_ms = 40;
  config.devices[2].faults.silent = true;
  test::SimRunner runner(config);
  if (!runner.started()) {
    std::fprintf(stderr, "virtual devices: %s\n", runner.error().c_str());
    return 1;
  }
  const char* env = std::getenv("ZV_BENCH_QUAD_SECONDS");
  const int quad_seconds = env ? std::max(6, std::atoi(env)) : 30;

  std::printf("Longest time the event loop did not run (1 ms heartbeat), link worker / blocking:\n");
  const auto row = [](const char* what, const Figures& f) {
    std::printf("  %-44s %7.1f ms / %7.1f ms  (%s)\n", what, f.worker_ms, f.blocking_ms,
                f.worker_ms <= 16 ? "within 16 ms" : f.worker_ms <= 50 ? "within 50 ms" : "over 50 ms");
  };
  row("scan, three devices answering", Scan(port));
  row("multiviewer opened, device silent", OpenSilentMultiviewer(port));
  char what[64];
  std::snprintf(what, sizeof what, "four-channel panel, device silent, %d s", quad_seconds);
  row(what, SilentFourChannel(port, quad_seconds));
  row("T-bar drag", TbarDrag(port));
  return 0;
}
