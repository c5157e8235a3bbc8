// Tally's figures against the virtual multiviewer and switcher on loopback,
// with the listener, the engine, the sessions and the link worker as the
// service runs them. Times come from the frame tap, which stamps each TSL
// packet as the listener takes it and each device frame as the link worker
// sends it, on one clock:
//   - a TSL packet (new text and lamp) to its window's label frame leaving;
//   - the switcher's Cut to the last of its tally frames (0x3C) leaving;
//   - frames sent to the multiviewer for 1,000 repeats of one packet, and
//     for a burst of 1,000 different packets to one window.
// Printed from one run; informative, not a pass mark.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "link/frame_tap.h"
#include "multiview/multiview_session.h"
#include "registry/families.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/worker_link.h"
#include "switcher/switcher_session.h"
#include "tally/tally_engine.h"
#include "tally/tsl_listener.h"

namespace {

using namespace zv;

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

std::vector<uint8_t> Packet(int index, TslLamp lamp, const std::string& text) {
  Tsl50Packet p;
  p.displays.push_back({static_cast<uint16_t>(index), TslLamp::kOff, TslLamp::kOff, lamp, 3, text});
  return *EncodeTsl50(p);
}

bool IsCommand(const TappedFrame& f, uint8_t command) {
  return !f.tsl && f.direction == FrameDirection::kSent && f.bytes.size() > 16 && f.bytes[16] == command &&
         f.bytes[4] == 0xA1;
}

}  // namespace

int main() {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Mv", "Sw"});
  config.devices[0].type = 0xA1;
  config.keep_log_lines = false;
  test::SimRunner runner(config);
  if (!runner.started()) {
    std::fprintf(stderr, "virtual devices: %s\n", runner.error().c_str());
    return 1;
  }
  test::WorkerBench bench(port);
  test::WorkerLink mv_link(test::SimEntry("127.0.0.2", 0xA1), *bench.worker, "Mv");
  test::WorkerLink sw_link(test::SimEntry("127.0.0.3", 0xA5), *bench.worker, "Sw");
  MultiviewSession mv(FamilyOf(FamilyKind::kMultiviewer), mv_link, bench.loop);
  SwitcherSession sw(FamilyOf(FamilyKind::kSwitcher), sw_link, bench.loop);
  mv.Read(true);
  bench.Settle();
  TallyEngine engine;
  engine.AddMultiviewer("127.0.0.2", mv);
  int handled = 0;
  TslListener listener;
  std::string error;
  if (!listener.Start(0, CidrList::Loopback(),
                      [&](uint32_t, TslDatagram d) {
                        bench.loop.Post([&, d = std::move(d)] {
                          engine.TakeTsl(d, "tsl 127.0.0.1");
                          ++handled;
                        });
                      },
                      &error, "127.0.0.1")) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const int client = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(listener.Port());
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const auto send = [&](const std::vector<uint8_t>& bytes) {
    sendto(client, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  };
  const auto settle = [&](int count) { bench.Settle([&] { return handled >= count; }); };

  FrameRecorder& tap = FrameRecorder::Instance();
  const int token = tap.Listen();
  std::vector<TappedFrame> frames;
  uint64_t mark = tap.CopySince(~uint64_t{0}, &frames);

  // 1. TSL packet in to label frame out, one packet at a time.
  constexpr int kPackets = 300;
  std::vector<double> to_label;
  for (int i = 0; i < kPackets; ++i) {
    send(Packet(i % 16 + 1, i % 2 ? TslLamp::kRed : TslLamp::kGreen, "Take " + std::to_string(i)));
    settle(handled + 1);
    frames.clear();
    mark = tap.CopySince(mark, &frames);
    int64_t in = 0, out = 0;
    for (const TappedFrame& f : frames) {
      if (f.tsl && !in) in = f.time_us;
      if (IsCommand(f, kMvSetWindowLabel) && !out) out = f.time_us;
    }
    if (in && out) to_label.push_back(static_cast<double>(out - in) / 1000.0);
  }
  std::printf("TSL packet taken -> its label frame (0x1E) leaving, %zu packets: median %.2f ms, p99 %.2f ms\n",
              to_label.size(), Percentile(to_label, 0.5), Percentile(to_label, 0.99));

  // 2. Cut to the tally frames leaving.
  for (int w = 1; w <= 16; ++w) send(Packet(w, TslLamp::kOff, "Take"));
  settle(handled + 16);
  engine.SetSwitcher(&sw);
  sw.Invoke("switcher.program", {{"source", 2}});
  sw.Invoke("switcher.preview", {{"source", 5}});
  bench.Settle();
  constexpr int kCuts = 100;
  std::vector<double> to_tally;
  for (int i = 0; i < kCuts; ++i) {
    frames.clear();
    mark = tap.CopySince(mark, &frames);
    const int64_t pressed = std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
    sw.Invoke("switcher.cut");
    bench.Settle();
    frames.clear();
    mark = tap.CopySince(mark, &frames);
    int64_t last = 0;
    int colours = 0;
    for (const TappedFrame& f : frames)
      if (IsCommand(f, kMvSetLabelBackColour)) {
        last = f.time_us;
        ++colours;
      }
    if (colours == 2) to_tally.push_back(static_cast<double>(last - pressed) / 1000.0);
  }
  std::printf("Cut -> both tally frames (0x3C) left, %zu cuts: median %.2f ms, p99 %.2f ms "
              "(the multiviewer's 10 ms pause between its two colour frames included)\n",
              to_tally.size(), Percentile(to_tally, 0.5), Percentile(to_tally, 0.99));
  engine.SetSwitcher(nullptr);
  bench.Settle();

  // 3. Frames for 1,000 repeats of one packet, and for a burst of 1,000
  // changes to one window.
  const auto frames_for = [&](const std::function<void(int)>& packet, int count) {
    frames.clear();
    mark = tap.CopySince(mark, &frames);
    const int start = handled;
    // In batches of 20, each taken by the engine before the next leaves, so
    // the listener's socket never overflows; the device's pacing (10 ms a
    // frame) spans many batches.
    for (int i = 0; i < count; ++i) {
      packet(i);
      if (i % 20 == 19) bench.loop.RunUntil([&] { return handled >= start + i + 1; }, std::chrono::seconds(10));
    }
    settle(start + count);
    frames.clear();
    mark = tap.CopySince(mark, &frames);
    int n = 0;
    for (const TappedFrame& f : frames)
      if (IsCommand(f, kMvSetWindowLabel) || IsCommand(f, kMvSetLabelBackColour)) ++n;
    return n;
  };
  const int first = frames_for([&](int) { send(Packet(7, TslLamp::kRed, "Repeat")); }, 1);
  const uint64_t received_before = listener.Taken();
  const int repeats = frames_for([&](int) { send(Packet(7, TslLamp::kRed, "Repeat")); }, 1000);
  std::printf("1,000 repeats of one packet (%llu taken): %d frames to the multiviewer (the first packet: %d)\n",
              static_cast<unsigned long long>(listener.Taken() - received_before), repeats, first);
  const int burst = frames_for(
      [&](int i) { send(Packet(8, i % 2 ? TslLamp::kRed : TslLamp::kGreen, "Burst " + std::to_string(i))); }, 1000);
  std::printf("a burst of 1,000 different packets to one window: %d frames (one label and one colour each "
              "would be 2,000)\n",
              burst);
  tap.Unlisten(token);
  close(client);
  return 0;
}
