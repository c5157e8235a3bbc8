// How long the switcher's automatic transition really takes at each rate,
// from the press until its last frame has left, against its nominal length
// as the timer really runs: a step every period on the window's thread,
// each step's frames queued for the link worker, which sends one frame and
// then pauses 10 ms before the next. The nominal end is the later of the
// last step and the worker's last pause; at 1 ms the worker's queue sets it,
// at 10 and 20 ms the steps do (the pause fits inside a period). The steps
// and their frames come from the panel's own rules, run on a copy of its
// record. Printed as ratios from one run; not a pass mark.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "controls/bitmap_slider.h"
#include "link/link_state.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "switcher/switcher_panel.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const uint16_t port = zv::test::FreeUdpPort();
  zv::test::SimRunner runner(zv::test::LoopbackSim(port, {"PS"}));
  if (!runner.started()) {
    std::fprintf(stderr, "virtual switcher: %s\n", runner.error().c_str());
    return 1;
  }
  zv::LinkConfig config;
  config.local_port = 0;
  config.search_address = "127.0.0.1";
  config.device_port = port;
  zv::CZELVIKDlg dlg(config);
  if (dlg.m_device_list.empty()) dlg.m_device_list.resize(1);
  dlg.m_device_list[0].SetIpText("127.0.0.2");
  dlg.m_device_list[0].device_type = 0xA5;
  dlg.m_device_list[0].device_id = 0x01;
  dlg.DeviceCombo()->addItem("PS_127.0.0.2");
  emit dlg.DeviceCombo()->activated(0);
  auto* panel = qobject_cast<zv::CClass_switcher_dlg*>(dlg.m_p_mian_show_dlg.data());
  if (!panel) return 1;

  std::printf("Auto travel until its last frame left, measured / nominal (steps every period,\n"
              "frames through the worker with a %u ms pause after each):\n",
              zv::kCommandPauseMs);
  for (int rate = 0; rate < 3; ++rate) {
    static_cast<QAbstractButton*>(panel->Item(zv::kRateImages[rate].control_id))->click();
    // Let the rate's own frame leave first.
    while (!dlg.LinkIdle()) {
      QTimer wake;
      wake.start(5);
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const zv::AutoTimer timer = zv::kAutoTimers[static_cast<size_t>(rate)];
    // The nominal: the same press and steps on a copy of the record.
    zv::SwitcherPageData copy = panel->Session().Data();
    zv::SwitcherRules rules(copy);
    zv::SwitcherEffects fx = rules.Auto(panel->m_tbar->GetPosition());
    double worker_free_ms = 0;
    const auto queue = [&](double at_ms, size_t frames) {
      for (size_t f = 0; f < frames; ++f) worker_free_ms = std::max(worker_free_ms, at_ms) + zv::kCommandPauseMs;
    };
    queue(0, fx.frames.size());
    int steps = 0;
    while (rules.RunningTimer() != 0 && steps < 10000) {
      ++steps;
      fx = rules.TimerStep(rules.RunningTimer());
      queue(static_cast<double>(steps) * timer.period_ms, fx.frames.size());
    }
    const double nominal_ms = std::max(static_cast<double>(steps) * timer.period_ms, worker_free_ms);

    QElapsedTimer clock;
    clock.start();
    static_cast<QAbstractButton*>(panel->Item(zv::kIdSwAuto))->click();
    QTimer wake;  // looks at the worker again while the steps run
    wake.start(1);
    double steps_end_ms = -1;
    while (panel->Session().Data().zv_switcher_in_transition == 1 || !dlg.LinkIdle()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      if (steps_end_ms < 0 && panel->Session().Data().zv_switcher_in_transition != 1)
        steps_end_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }
    const double measured_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("  r%d (%2d ms): %7.1f ms / %7.1f ms = %.2f  (%d steps: last step nominal %d ms, measured %.0f ms;"
                " worker nominal done at %.0f ms)\n",
                rate + 1, timer.period_ms, measured_ms, nominal_ms, measured_ms / nominal_ms, steps,
                steps * timer.period_ms, steps_end_ms, worker_free_ms);
  }
  return 0;
}
