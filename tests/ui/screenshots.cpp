// Renders the main window with each family's panel, and the connection
// settings window, against the virtual devices, into PNG files for the
// README. scripts/screenshots.sh runs it; run it again whenever a panel
// changes, so the pictures never go stale.
//   zv_screenshots OUT_DIR [ADDRESS_PREFIX]   (prefix of the devices'
//   loopback addresses, default 127.0.0: devices at .2 to .5, search at .1)
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "app/set_configure.h"
#include "platform/platform.h"
#include "res/dialog_templates.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: zv_screenshots OUT_DIR [ADDRESS_PREFIX]\n");
    return 2;
  }
  zv::SetTraceSink([](const std::string&) {});
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const std::string prefix = argc > 2 ? argv[2] : "127.0.0";
  if (!out.mkpath(".")) {
    std::fprintf(stderr, "zv_screenshots: cannot make %s\n", argv[1]);
    return 1;
  }

  // One device of each family, on a port of their own so that they never
  // meet other virtual devices on this machine.
  const uint16_t port = zv::test::FreeUdpPort();
  zv::sim::SimConfig sim_config;
  sim_config.hub_address = prefix + ".1";
  sim_config.port = port;
  sim_config.devices = zv::sim::DefaultDevices();
  for (size_t i = 0; i < sim_config.devices.size(); ++i)
    sim_config.devices[i].address = prefix + "." + std::to_string(i + 2);
  zv::test::SimRunner runner(sim_config);
  if (!runner.started()) {
    std::fprintf(stderr, "zv_screenshots: %s\n", runner.error().c_str());
    return 1;
  }

  zv::LinkConfig link;
  link.device_port = port;
  link.local_port = 0;
  link.search_address = prefix + ".1";
  zv::CZELVIKDlg dlg(link);
  dlg.show();
  QTest::mouseClick(static_cast<QAbstractButton*>(dlg.Item(zv::kIdScan)), Qt::LeftButton);
  QComboBox* combo = dlg.DeviceCombo();
  if (!QTest::qWaitFor([&] { return combo->count() == 4; }, 10000)) {
    std::fprintf(stderr, "zv_screenshots: the search found %d devices, not 4\n", combo->count());
    return 1;
  }

  // File name by device type; the lines come in the order the devices answered.
  const std::pair<uint8_t, const char*> files[] = {
      {0xA1, "multiviewer.png"}, {0x82, "matrix_router.png"},
      {0x60, "four_channel_switcher.png"}, {0xA5, "production_switcher.png"}};
  int written = 0;
  for (int line = 0; line < combo->count(); ++line) {
    combo->setCurrentIndex(line);
    emit combo->activated(line);
    // Panels that read their device back show the answer after its window.
    QTest::qWait(2500);
    for (const auto& [type, file] : files) {
      if (dlg.m_device_list[line].device_type != type) continue;
      if (dlg.grab().save(out.filePath(file))) ++written;
    }
  }
  zv::CSetConfigure settings(&dlg);
  settings.show();
  QTest::qWait(200);
  if (settings.grab().save(out.filePath("settings.png"))) ++written;
  std::printf("zv_screenshots: %d pictures in %s\n", written, argv[1]);
  return written == 5 ? 0 : 1;
}
