// A virtual multiviewer (127.0.0.2) and production switcher (127.0.0.3) on
// loopback, each with a session on one link worker: what the tally tests
// drive an engine with.
#pragma once

#include <cstdint>

#include "multiview/multiview_session.h"
#include "registry/families.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/worker_link.h"
#include "switcher/switcher_session.h"

namespace zv::test {

inline sim::SimConfig TwoDevices(uint16_t port) {
  sim::SimConfig config = LoopbackSim(port, {"Mv", "Sw"});
  config.devices[0].type = 0xA1;
  return config;
}

struct TallyDevices {
  TallyDevices()
      : port(FreeUdpPort()),
        runner(TwoDevices(port)),
        bench(port),
        mv_link(SimEntry("127.0.0.2", 0xA1), *bench.worker, "Mv"),
        sw_link(SimEntry("127.0.0.3", 0xA5), *bench.worker, "Sw"),
        mv(FamilyOf(FamilyKind::kMultiviewer), mv_link, bench.loop),
        sw(FamilyOf(FamilyKind::kSwitcher), sw_link, bench.loop) {}

  uint16_t port;
  SimRunner runner;
  WorkerBench bench;
  WorkerLink mv_link, sw_link;
  MultiviewSession mv;
  SwitcherSession sw;
};

}  // namespace zv::test
