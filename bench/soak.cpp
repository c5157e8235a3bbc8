// Hours of use in minutes: drives the real main window (offscreen) against
// the four virtual devices on loopback with a seeded random mix of scans,
// device switches, page changes and control presses, and samples the
// resident memory. Prints the memory after the warm-up, at the end, and the
// growth per hour after the warm-up (from end minus warm-up, and from a
// least-squares line through every sample after it). Not a test: a program
// to run in a Release build and read.
//
//   zv_soak [--minutes M] [--warmup-seconds S] [--seed N] [--sample-seconds S]
//           [--actions swpl] [--print-samples 1]
//
// Defaults: 30 minutes, 120 s warm-up, seed 1, a sample every 10 s, every
// kind of action. --actions keeps only some kinds (s scans, w device
// switches, p button presses, l list choices), to see which one grows;
// --print-samples 1 prints every sample as it is taken.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/platform.h"
#include "support/loopback_link.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace {

using namespace zv;

double ResidentMegabytes() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long size = 0, resident = 0;
  const int n = std::fscanf(f, "%ld %ld", &size, &resident);
  std::fclose(f);
  if (n != 2) return 0;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Runs the event loop until `done` holds or `limit_ms` passed. A 10 ms timer
// wakes the loop to look again; between wake-ups it sleeps.
bool RunUntil(const std::function<bool()>& done, int limit_ms) {
  QElapsedTimer t;
  t.start();
  QTimer wake;
  wake.start(10);
  while (!done()) {
    if (t.elapsed() >= limit_ms) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

void RunFor(int ms) {
  QElapsedTimer t;
  t.start();
  RunUntil([&] { return t.elapsed() >= ms; }, ms + 1000);
}

template <typename T>
std::vector<T*> Usable(QWidget* root) {
  std::vector<T*> found;
  if (!root) return found;
  for (T* w : root->findChildren<T*>())
    if (w->isVisible() && w->isEnabled()) found.push_back(w);
  return found;
}

struct Counts {
  long scans = 0, switches = 0, presses = 0, choices = 0, stuck = 0, network_again = 0;
};

struct Sample {
  double seconds;
  double megabytes;
};

}  // namespace

int main(int argc, char** argv) {
  double minutes = 30, warmup_s = 120, sample_s = 10;
  unsigned seed = 1;
  std::string kinds = "swpl";
  bool print_samples = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--minutes") minutes = std::atof(argv[i + 1]);
    else if (a == "--warmup-seconds") warmup_s = std::atof(argv[i + 1]);
    else if (a == "--seed") seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 0));
    else if (a == "--sample-seconds") sample_s = std::atof(argv[i + 1]);
    else if (a == "--actions") kinds = argv[i + 1];
    else if (a == "--print-samples") print_samples = std::atoi(argv[i + 1]) != 0;
    else {
      std::fprintf(stderr,
                   "usage: %s [--minutes M] [--warmup-seconds S] [--seed N] [--sample-seconds S] [--actions swpl] "
                   "[--print-samples 1]\n",
                   argv[0]);
      return 2;
    }
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  SetTraceSink([](const std::string&) {});
  SetMessageBoxHandler([](const MessageBoxRequest&) { return MessageBoxAnswer::kOk; });

  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config;
  config.hub_address = "127.0.0.1";
  config.port = port;
  config.devices = sim::DefaultDevices();
  // The devices' own record of every frame would grow with the run and is
  // not the program's memory.
  config.keep_log_lines = false;
  test::SimRunner runner(config);
  if (!runner.started()) {
    std::fprintf(stderr, "virtual devices: %s\n", runner.error().c_str());
    return 1;
  }

  CZELVIKDlg dlg(test::LoopbackConfig(port));
  dlg.show();
  const auto idle = [&] { return dlg.LinkIdle() && !dlg.Searching(); };

  std::mt19937 rng(seed);
  const auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  Counts counts;
  std::vector<Sample> samples;
  QElapsedTimer clock;
  clock.start();
  const double total_s = minutes * 60;
  double next_sample = 0;
  double warm_mb = -1;
  std::printf("seed %u, %.1f min, warm-up %.0f s, resident at start %.1f MB\n", seed, minutes, warmup_s,
              ResidentMegabytes());

  for (;;) {
    const double now = static_cast<double>(clock.elapsed()) / 1000.0;
    if (now >= next_sample) {
      samples.push_back({now, ResidentMegabytes()});
      if (print_samples) {
        std::printf("sample %.0f s: %.1f MB\n", now, samples.back().megabytes);
        std::fflush(stdout);
      }
      if (warm_mb < 0 && now >= warmup_s) {
        warm_mb = samples.back().megabytes;
        std::printf("after warm-up (%.0f s): %.1f MB, %lld widgets\n", now, warm_mb,
                    static_cast<long long>(QApplication::allWidgets().size()));
        std::fflush(stdout);
      }
      next_sample += sample_s;
    }
    if (now >= total_s) break;

    const unsigned roll = static_cast<unsigned>(pick(100));
    const char kind = roll < 12 ? 's' : roll < 35 ? 'w' : roll < 85 ? 'p' : 'l';
    QComboBox* devices = dlg.DeviceCombo();
    if (devices->count() > 0 && kinds.find(kind) == std::string::npos) continue;
    if (kind == 's' || devices->count() == 0) {
      // A list choice may have put the link on the serial line (the
      // matrix's connection page), where a scan with no port open finds
      // nothing and the run would only scan from then on: back to the
      // network, as an operator would go.
      if (dlg.m_eState != kModeNetwork) {
        ++counts.network_again;
        dlg.m_eState = kModeNetwork;
      }
      ++counts.scans;
      dlg.OnScanButton();
    } else if (kind == 'w') {
      ++counts.switches;
      emit devices->activated(static_cast<int>(pick(static_cast<size_t>(devices->count()))));
    } else if (kind == 'p') {
      // A button of the panel: page tabs, buses, keys, routes, modes.
      const auto buttons = Usable<QAbstractButton>(dlg.m_p_mian_show_dlg.data());
      if (!buttons.empty()) {
        ++counts.presses;
        buttons[pick(buttons.size())]->click();
      }
    } else {
      const auto lists = Usable<QComboBox>(dlg.m_p_mian_show_dlg.data());
      if (!lists.empty()) {
        QComboBox* list = lists[pick(lists.size())];
        if (list->count() > 0) {
          ++counts.choices;
          const int index = static_cast<int>(pick(static_cast<size_t>(list->count())));
          list->setCurrentIndex(index);
          emit list->activated(index);
        }
      }
    }
    if (!RunUntil(idle, 20000)) ++counts.stuck;
    // The panel's own timers (polls, the loop) run between actions.
    RunFor(static_cast<int>(pick(200)));
  }

  const double end_mb = samples.back().megabytes;
  const double end_s = samples.back().seconds;
  std::printf("actions: %ld scans, %ld device switches, %ld button presses, %ld list choices, "
              "%ld waits over 20 s, %ld times back from the serial line to the network\n",
              counts.scans, counts.switches, counts.presses, counts.choices, counts.stuck,
              counts.network_again);
  std::printf("at the end (%.0f s): %.1f MB, %lld widgets\n", end_s, end_mb,
              static_cast<long long>(QApplication::allWidgets().size()));
  if (warm_mb < 0 || end_s <= warmup_s) {
    std::printf("run shorter than the warm-up: no growth figure\n");
    return 0;
  }
  // Least squares through the samples after the warm-up.
  double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const Sample& s : samples) {
    if (s.seconds < warmup_s) continue;
    n += 1; sx += s.seconds; sy += s.megabytes; sxx += s.seconds * s.seconds; sxy += s.seconds * s.megabytes;
  }
  const double denominator = n * sxx - sx * sx;
  const double slope = denominator > 0 ? (n * sxy - sx * sy) / denominator : 0;
  const double hours = (end_s - warmup_s) / 3600.0;
  std::printf("growth after warm-up: %+.2f MB per hour (end minus warm-up over %.1f min), "
              "%+.2f MB per hour (fitted line, %.0f samples)\n",
              (end_mb - warm_mb) / hours, hours * 60, slope * 3600, n);
  return 0;
}
