// Hours of use in minutes: drives the real main window against the four
// virtual devices on loopback with a seeded random mix of scans, device
// switches, control presses, list choices, clicks at random points of the
// windows, the frame monitor and the settings window opened and closed,
// message boxes shown and dismissed and tooltips shown, and samples the
// resident memory. Prints the memory after the warm-up, at the end, and the
// growth per hour after the warm-up (from end minus warm-up, and from a
// least-squares line through every sample after it). Not a test: a program
// to run in a Release build and read.
//
// It runs offscreen, or on the X platform (--platform xcb) with the display
// of $DISPLAY, for example an Xvfb started for it.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPixmapCache>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "app/device_browser.h"
#include "app/main_window.h"
#include "app/qt_message_box.h"
#include "app/set_configure.h"
#include "controls/heap_policy.h"
#include "monitor/frame_monitor_window.h"
#include "platform/platform.h"
#include "res/dialog_templates.h"
#include "res/skin.h"
#include "support/loopback_link.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace {

using namespace zv;

constexpr const char* kUsage =
    "usage: zv_soak [options]\n"
    "\n"
    "Drives the real main window against the four virtual devices on loopback\n"
    "with a seeded random mix of actions and prints the resident memory after\n"
    "the warm-up, at the end, and the growth per hour after the warm-up.\n"
    "\n"
    "  --minutes M           length of the run (default 30)\n"
    "  --warmup-seconds S    samples before this are not counted (default 120)\n"
    "  --seed N              seed of the random mix (default 1)\n"
    "  --sample-seconds S    a memory sample every S seconds (default 10)\n"
    "  --actions KINDS       only these kinds of action (default all, swplcmbte):\n"
    "                          s scans, w device switches, p button presses,\n"
    "                          l list choices, c clicks at random points of the\n"
    "                          windows, m frame monitor opened or closed,\n"
    "                          b message boxes shown and dismissed, t tooltips,\n"
    "                          e settings window opened or closed\n"
    "  --platform NAME       offscreen (default) or xcb (the display of $DISPLAY)\n"
    "  --print-samples 1     print every sample as it is taken\n"
    "  --pixmap-cache-kb K   limit of Qt's cache of drawn pictures (default:\n"
    "                        the program's own)\n"
    "  --quick-exit 1        end without freeing anything, so that a heap\n"
    "                        profiler (heaptrack) counts what the window still\n"
    "                        holds at the end as not freed; first the open\n"
    "                        windows are closed and the first device's panel\n"
    "                        is shown, so that runs of any length compare\n"
    "  -h, --help            print this and exit\n"
    "  --version             print the version and exit\n";

double ResidentMegabytes() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long size = 0, resident = 0;
  const int n = std::fscanf(f, "%ld %ld", &size, &resident);
  std::fclose(f);
  if (n != 2) return 0;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// What the allocator hands out now, and what it holds from the system for
// that (the rest is free space it has not given back): glibc's main arena,
// the window thread's, and its mapped blocks. The other threads (the link
// worker, the virtual devices) have arenas of their own, counted only in
// the resident size.
double HeapInUseMegabytes() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd) / (1024.0 * 1024.0);
}
double HeapHeldMegabytes() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.arena + m.hblkhd) / (1024.0 * 1024.0);
}

// The resident part of the mappings whose first line holds one of `names`,
// from /proc/self/smaps.
double ResidentOfMappingsMegabytes(std::initializer_list<const char*> names) {
  FILE* f = std::fopen("/proc/self/smaps", "r");
  if (!f) return 0;
  char line[512];
  bool counted = false;
  long kb_total = 0;
  while (std::fgets(line, sizeof line, f)) {
    long kb = 0;
    unsigned long from = 0, to = 0;
    if (std::sscanf(line, "%lx-%lx ", &from, &to) == 2) {  // a mapping's first line
      counted = false;
      for (const char* name : names) counted = counted || std::strstr(line, name);
    } else if (counted && std::sscanf(line, "Rss: %ld kB", &kb) == 1) {
      kb_total += kb;
    }
  }
  std::fclose(f);
  return static_cast<double>(kb_total) / 1024.0;
}

// The resident part of the memory shared with the X server (window
// pictures in memfd or System V shared memory): not the program's heap.
double SharedWithServerMegabytes() { return ResidentOfMappingsMegabytes({"memfd:", "SYSV"}); }

// What of the window thread's heap arena is resident: what the arena holds
// less the free pages given back (a trim gives them back without making the
// arena smaller).
double HeapResidentMegabytes() { return ResidentOfMappingsMegabytes({"[heap]"}); }

// The threads of the process: a first file dialog starts Qt's own.
int ThreadCount() {
  int threads = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') ++threads;
    closedir(dir);
  }
  return threads;
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
  long scans = 0, switches = 0, presses = 0, choices = 0, clicks = 0, monitor_opened = 0,
       monitor_closed = 0, boxes = 0, boxes_dismissed = 0, tooltips = 0, settings_opened = 0,
       settings_closed = 0, other_closed = 0, file_dialogs = 0, device_lists = 0, stuck = 0,
       network_again = 0;
};

struct Sample {
  double seconds;
  double megabytes;
  // Whether the main window was the only one shown: no frame monitor,
  // settings window, message box, open list or tooltip, each of which holds
  // its memory while it is open.
  bool main_alone;
};

struct Options {
  double minutes = 30, warmup_s = 120, sample_s = 10;
  unsigned seed = 1;
  std::string kinds = "swplcmbte";
  std::string platform = "offscreen";
  bool print_samples = false;
  bool quick_exit = false;
  int pixmap_cache_kb = -1;
};

bool ParseNumber(const char* text, double* out) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v >= 0)) return false;
  *out = v;
  return true;
}

// 0: run; 1: help or version printed, exit 0; 2: bad command line, exit 2.
int ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 1;
    }
    if (a == "--version") {
      std::printf("zv_soak %s\n", ZV_VERSION);
      return 1;
    }
    const bool known = a == "--minutes" || a == "--warmup-seconds" || a == "--seed" ||
                       a == "--sample-seconds" || a == "--actions" || a == "--platform" ||
                       a == "--print-samples" || a == "--quick-exit" ||
                       a == "--pixmap-cache-kb";
    if (!known) {
      std::fprintf(stderr, "zv_soak: unknown option \"%s\"\nTry \"zv_soak --help\".\n", a.c_str());
      return 2;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "zv_soak: %s needs a value\nTry \"zv_soak --help\".\n", a.c_str());
      return 2;
    }
    const char* v = argv[++i];
    bool ok = true;
    double number = 0;
    if (a == "--minutes") ok = ParseNumber(v, &o->minutes);
    else if (a == "--warmup-seconds") ok = ParseNumber(v, &o->warmup_s);
    else if (a == "--sample-seconds") ok = ParseNumber(v, &o->sample_s) && o->sample_s > 0;
    else if (a == "--seed") {
      ok = ParseNumber(v, &number) && number <= 4294967295.0;
      o->seed = static_cast<unsigned>(number);
    } else if (a == "--print-samples") {
      ok = ParseNumber(v, &number);
      o->print_samples = number != 0;
    } else if (a == "--pixmap-cache-kb") {
      ok = ParseNumber(v, &number) && number < 1e7;
      o->pixmap_cache_kb = static_cast<int>(number);
    } else if (a == "--quick-exit") {
      ok = ParseNumber(v, &number);
      o->quick_exit = number != 0;
    } else if (a == "--actions") {
      o->kinds = v;
      ok = !o->kinds.empty() && o->kinds.find_first_not_of("swplcmbte") == std::string::npos;
    } else if (a == "--platform") {
      o->platform = v;
      ok = o->platform == "offscreen" || o->platform == "xcb";
    }
    if (!ok) {
      std::fprintf(stderr, "zv_soak: bad value \"%s\" for %s\nTry \"zv_soak --help\".\n", v, a.c_str());
      return 2;
    }
  }
  if (o->platform == "xcb" && !std::getenv("DISPLAY")) {
    std::fprintf(stderr, "zv_soak: --platform xcb needs DISPLAY (for example of an Xvfb)\n");
    return 2;
  }
  return 0;
}

// The offscreen platform's notes on what it cannot do (raise a window, grab
// the keyboard) say nothing about the run.
void QuietPlatformNotes(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (text.startsWith(QLatin1String("This plugin does not support"))) return;
  std::fprintf(stderr, "%s%s\n", type == QtWarningMsg ? "warning: " : "", text.toLocal8Bit().constData());
}

int Finish(const Options& o, int code) {
  std::fflush(stdout);
  if (o.quick_exit) _exit(code);
  return code;
}

// The windows of the program a person can see: the main window, and the
// frame monitor and the settings window while they are open.
std::vector<QWidget*> OpenWindows(CZELVIKDlg& dlg) {
  std::vector<QWidget*> windows{&dlg};
  if (dlg.m_frame_monitor && dlg.m_frame_monitor->isVisible()) windows.push_back(dlg.m_frame_monitor);
  if (dlg.m_pSetConfigure && dlg.m_pSetConfigure->isVisible()) windows.push_back(dlg.m_pSetConfigure);
  return windows;
}

// Dismisses what a person dismisses: a message box is answered with a click
// on one of its buttons a little after it shows; a file dialog, a menu or
// the device list window left open is closed.
class Dismisser : public QObject {
 public:
  Dismisser(std::mt19937* rng, Counts* counts) : m_rng(rng), m_counts(counts) {
    connect(&m_timer, &QTimer::timeout, this, [this] { Look(); });
    m_timer.start(50);
  }

 private:
  void Look() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible()) continue;
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        // How many more looks before the answer, kept on the box itself.
        QVariant left = box->property("soak_looks_left");
        if (!left.isValid()) left = 2 + static_cast<int>((*m_rng)() % 8);  // 100 to 450 ms
        box->setProperty("soak_looks_left", left.toInt() - 1);
        if (left.toInt() - 1 > 0) continue;
        const QList<QAbstractButton*> buttons = box->buttons();
        if (buttons.isEmpty()) {
          box->reject();
        } else {
          QAbstractButton* b = buttons[static_cast<int>((*m_rng)() % static_cast<unsigned>(buttons.size()))];
          QTest::mouseClick(b, Qt::LeftButton);
        }
        ++m_counts->boxes_dismissed;
        return;  // the box's loop ends; look again next time
      }
      if (auto* files = qobject_cast<QFileDialog*>(w)) {
        files->reject();
        ++m_counts->other_closed;
        ++m_counts->file_dialogs;
      } else if (auto* menu = qobject_cast<QMenu*>(w)) {
        menu->close();
        ++m_counts->other_closed;
      } else if (auto* devices = qobject_cast<DeviceBrowser*>(w)) {
        // The device list window a click on its button opened: nothing else
        // of the run closes it, and left open it would be open at every
        // sample from then on.
        devices->close();
        ++m_counts->other_closed;
        ++m_counts->device_lists;
      }
    }
  }

  QTimer m_timer;
  std::mt19937* m_rng;
  Counts* m_counts;
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (const int r = ParseOptions(argc, argv, &o)) return r == 1 ? 0 : 2;

  // As the program's main does.
  ReturnLargeBlocksToSystem();
  setenv("QT_QPA_PLATFORM", o.platform.c_str(), 1);
  // The clicks may land on the matrix lock, which is kept in the user's
  // state folder: the soak keeps its locks in a folder of its own.
  char state[] = "/tmp/zv_soak_state_XXXXXX";
  if (mkdtemp(state)) setenv("XDG_STATE_HOME", state, 1);
  qInstallMessageHandler(QuietPlatformNotes);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  if (o.pixmap_cache_kb >= 0) QPixmapCache::setCacheLimit(o.pixmap_cache_kb);
  SetTraceSink([](const std::string&) {});
  // The program's own message boxes: real windows with their own loop,
  // answered by the dismisser below.
  InstallQtMessageBox();

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
  // Clicks at random points never land on the window's own close and
  // minimise buttons: the run would end, or go on with the window hidden.
  const QRect close_rect = dlg.Item(kIdClose)->geometry().adjusted(-2, -2, 2, 2);
  const QRect minimise_rect = dlg.Item(kIdMinimise)->geometry().adjusted(-2, -2, 2, 2);

  std::mt19937 rng(o.seed);
  const auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  Counts counts;
  Dismisser dismisser(&rng, &counts);
  std::vector<Sample> samples;
  QElapsedTimer clock;
  clock.start();
  const double total_s = o.minutes * 60;
  double next_sample = 0;
  double warm_mb = -1;
  const auto windows_alive = [] { return static_cast<long long>(QApplication::topLevelWidgets().size()); };
  const auto widgets_alive = [] { return static_cast<long long>(QApplication::allWidgets().size()); };
  std::printf("platform %s, seed %u, %.1f min, warm-up %.0f s, actions %s, resident at start %.1f MB\n",
              QApplication::platformName().toUtf8().constData(), o.seed, o.minutes, o.warmup_s,
              o.kinds.c_str(), ResidentMegabytes());

  for (;;) {
    const double now = static_cast<double>(clock.elapsed()) / 1000.0;
    if (now >= next_sample) {
      bool main_alone = true;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w != &dlg && w->isVisible()) main_alone = false;
      samples.push_back({now, ResidentMegabytes(), main_alone});
      if (o.print_samples) {
        std::printf("sample %.0f s: %.1f MB, heap %.1f MB in use of %.1f MB held (%.1f MB of its arena resident), %lld windows%s, "
                    "%.1f MB shared with the X server, %lld widgets, %d skin pictures, %zu device sessions, %zu frames in the recorder (%zu kB), "
                    "%d in the monitor, %ld file dialogs so far, %d threads, %d heap trims\n",
                    now, samples.back().megabytes, HeapInUseMegabytes(), HeapHeldMegabytes(), HeapResidentMegabytes(),
                    windows_alive(), main_alone ? " (main alone)" : "", SharedWithServerMegabytes(),
                    widgets_alive(), SkinPicturesKept(), dlg.SessionCount(), FrameRecorder::Instance().Size(),
                    FrameRecorder::Instance().ReservedBytes() / 1024,
                    dlg.m_frame_monitor ? dlg.m_frame_monitor->Model()->rowCount() : 0,
                    counts.file_dialogs, ThreadCount(), dlg.HeapTrims());
        std::fflush(stdout);
      }
      if (warm_mb < 0 && now >= o.warmup_s) {
        warm_mb = samples.back().megabytes;
        std::printf("after warm-up (%.0f s): %.1f MB, %lld windows, %lld widgets\n", now, warm_mb,
                    windows_alive(), widgets_alive());
        std::fflush(stdout);
      }
      next_sample += o.sample_s;
    }
    if (now >= total_s) break;

    // A person may have minimised or closed nothing: the clicks keep off
    // those buttons. A press on the background that moved the window (no
    // window manager moves it under Xvfb) is put back.
    if (dlg.isMinimized() || !dlg.isVisible()) dlg.showNormal();

    const unsigned roll = static_cast<unsigned>(pick(100));
    const char kind = roll < 4    ? 's'
                      : roll < 10 ? 'w'
                      : roll < 35 ? 'p'
                      : roll < 43 ? 'l'
                      : roll < 75 ? 'c'
                      : roll < 82 ? 'm'
                      : roll < 88 ? 'b'
                      : roll < 95 ? 't'
                                  : 'e';
    QComboBox* devices = dlg.DeviceCombo();
    if (devices->count() > 0 && o.kinds.find(kind) == std::string::npos) continue;
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
    } else if (kind == 'l') {
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
    } else if (kind == 'c' || kind == 't') {
      // A point of one of the open windows, the main window most often.
      // The mouse comes through the window as the window system gives it:
      // the widget under the point gets it, an open drop-down list takes
      // it, a modal box blocks it. 'c' clicks there; 't' rests the pointer
      // there until the tooltip's delay has passed.
      const std::vector<QWidget*> windows = OpenWindows(dlg);
      QWidget* target = pick(3) == 0 ? windows[pick(windows.size())] : &dlg;
      QWindow* handle = target->windowHandle();
      if (!handle) continue;
      QPoint at;
      do {
        at = QPoint(static_cast<int>(pick(static_cast<size_t>(target->width()))),
                    static_cast<int>(pick(static_cast<size_t>(target->height()))));
      } while (target == &dlg && (close_rect.contains(at) || minimise_rect.contains(at)));
      if (kind == 'c') {
        ++counts.clicks;
        QTest::mouseClick(handle, Qt::LeftButton, {}, at);
      } else {
        ++counts.tooltips;
        QTest::mouseMove(handle, at);
        RunFor(900);
        QTest::mouseMove(handle, QPoint(1, 1));
      }
    } else if (kind == 'm') {
      // The button beside the status strip opens it; closed as its
      // window's close box closes it.
      if (dlg.m_frame_monitor && dlg.m_frame_monitor->isVisible()) {
        ++counts.monitor_closed;
        dlg.m_frame_monitor->close();
      } else {
        ++counts.monitor_opened;
        QTest::mouseClick(dlg.FrameMonitorButton(), Qt::LeftButton);
      }
    } else if (kind == 'b') {
      ++counts.boxes;
      ShowMessageBox("Notice " + std::to_string(counts.boxes) + " of the soak", "Soak",
                     pick(2) ? MessageBoxButtons::kOk : MessageBoxButtons::kOkCancel);
    } else if (kind == 'e') {
      if (dlg.m_pSetConfigure && dlg.m_pSetConfigure->isVisible()) {
        ++counts.settings_closed;
        dlg.m_pSetConfigure->close();
      } else {
        ++counts.settings_opened;
        QTest::mouseClick(static_cast<QAbstractButton*>(dlg.Item(kIdSet)), Qt::LeftButton);
      }
    }
    if (!RunUntil(idle, 20000)) ++counts.stuck;
    // The panel's own timers (polls, the loop) run between actions.
    RunFor(static_cast<int>(pick(200)));
  }

  // Before a quick exit the window is brought back to one state, whatever
  // the run did last, so that what a heap profiler finds held at the end of
  // a short and of a long run can be compared: a drop-down list left open,
  // the frame monitor and the settings window closed, and the first
  // device's panel shown.
  if (o.quick_exit) {
    while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    if (dlg.m_frame_monitor) dlg.m_frame_monitor->close();
    if (dlg.m_pSetConfigure && dlg.m_pSetConfigure->isVisible()) dlg.m_pSetConfigure->close();
    if (dlg.m_eState != kModeNetwork) dlg.m_eState = kModeNetwork;
    if (QComboBox* devices = dlg.DeviceCombo(); devices->count() > 0) emit devices->activated(0);
    RunUntil(idle, 20000);
    RunFor(1000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  const double end_mb = samples.back().megabytes;
  const double end_s = samples.back().seconds;
  std::printf("actions: %ld scans, %ld device switches, %ld button presses, %ld list choices, "
              "%ld clicks at random points, %ld tooltips, frame monitor opened %ld and closed %ld times, "
              "settings window opened %ld and closed %ld times, %ld message boxes shown (%ld dismissed "
              "in all, with those the clicks raised), %ld other windows closed (%ld device list windows), "
              "%ld waits over 20 s, "
              "%ld times back from the serial line to the network\n",
              counts.scans, counts.switches, counts.presses, counts.choices, counts.clicks, counts.tooltips,
              counts.monitor_opened, counts.monitor_closed, counts.settings_opened, counts.settings_closed,
              counts.boxes, counts.boxes_dismissed, counts.other_closed, counts.device_lists, counts.stuck,
              counts.network_again);
  std::printf("at the end (%.0f s): %.1f MB, %lld windows, %lld widgets\n", end_s, end_mb, windows_alive(),
              widgets_alive());
  if (warm_mb < 0 || end_s <= o.warmup_s) {
    std::printf("run shorter than the warm-up: no growth figure\n");
    return Finish(o, 0);
  }
  // Least squares through the samples after the warm-up (all of them, or
  // only those taken while the main window was alone).
  const auto fitted_slope = [&](bool alone_only, double* count) {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Sample& s : samples) {
      if (s.seconds < o.warmup_s || (alone_only && !s.main_alone)) continue;
      n += 1; sx += s.seconds; sy += s.megabytes; sxx += s.seconds * s.seconds; sxy += s.seconds * s.megabytes;
    }
    *count = n;
    const double denominator = n * sxx - sx * sx;
    return denominator > 0 ? (n * sxy - sx * sy) / denominator : 0;
  };
  double n = 0;
  const double slope = fitted_slope(false, &n);
  const double hours = (end_s - o.warmup_s) / 3600.0;
  std::printf("growth after warm-up: %+.2f MB per hour (end minus warm-up over %.1f min), "
              "%+.2f MB per hour (fitted line, %.0f samples)\n",
              (end_mb - warm_mb) / hours, hours * 60, slope * 3600, n);
  // The same with the main window alone, so that a monitor or a message box
  // open at one sample and not at another says nothing about growth.
  const Sample* first_alone = nullptr;
  const Sample* last_alone = nullptr;
  for (const Sample& s : samples) {
    if (s.seconds < o.warmup_s || !s.main_alone) continue;
    if (!first_alone) first_alone = &s;
    last_alone = &s;
  }
  double n_alone = 0;
  const double slope_alone = fitted_slope(true, &n_alone);
  if (first_alone && last_alone != first_alone) {
    std::printf("main window alone: %.1f MB at %.0f s, %.1f MB at %.0f s: %+.2f MB per hour "
                "(last minus first), %+.2f MB per hour (fitted line, %.0f samples)\n",
                first_alone->megabytes, first_alone->seconds, last_alone->megabytes,
                last_alone->seconds,
                (last_alone->megabytes - first_alone->megabytes) /
                    ((last_alone->seconds - first_alone->seconds) / 3600.0),
                slope_alone * 3600, n_alone);
  }
  return Finish(o, 0);
}
