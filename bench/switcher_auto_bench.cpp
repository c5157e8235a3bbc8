// How long the switcher's automatic transition really takes at each rate,
// against its nominal length: 129 timer steps of the rate's period plus the
// 10 ms pause after each of the 17 frames it sends. Printed as ratios from
// one run; not a pass mark.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
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
  dlg.m_device_list[0].SetIpText("127.0.0.2");
  dlg.m_device_list[0].device_type = 0xA5;
  dlg.m_device_list[0].device_id = 0x01;
  dlg.DeviceCombo()->addItem("PS_127.0.0.2");
  emit dlg.DeviceCombo()->activated(0);
  auto* panel = qobject_cast<zv::CClass_switcher_dlg*>(dlg.m_p_mian_show_dlg.data());
  if (!panel) return 1;

  std::printf("Auto travel, measured / nominal (129 steps x period + 17 x %u ms):\n",
              zv::kCommandPauseMs);
  for (int rate = 0; rate < 3; ++rate) {
    static_cast<QAbstractButton*>(panel->Item(zv::kRateImages[rate].control_id))->click();
    const zv::AutoTimer timer = zv::kAutoTimers[static_cast<size_t>(rate)];
    const double nominal_ms = 129.0 * timer.period_ms + 17.0 * zv::kCommandPauseMs;
    QElapsedTimer clock;
    clock.start();
    static_cast<QAbstractButton*>(panel->Item(zv::kIdSwAuto))->click();
    while (dlg.m_all_switcher_page_data.zv_switcher_in_transition == 1)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double measured_ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("  r%d (%2d ms): %7.1f ms / %7.1f ms = %.2f\n", rate + 1, timer.period_ms,
                measured_ms, nominal_ms, measured_ms / nominal_ms);
  }
  return 0;
}
