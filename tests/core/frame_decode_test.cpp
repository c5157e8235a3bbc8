// The frame monitor's reading of the wire: the decoder over good, damaged
// and foreign bytes, the serial assembler over reads cut anywhere, the
// recorder's bound and its silence while nobody listens, its ring keeping
// each frame whole in a fixed memory, and a JSON line.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <malloc.h>

#include <functional>
#include <map>

#include <nlohmann/json.hpp>

#include "link/command_frame.h"
#include "link/frame_tap.h"
#include "monitor/frame_decode.h"

namespace zv {
namespace {

std::vector<uint8_t> Frame(uint8_t type, uint8_t id, uint8_t command, std::vector<uint8_t> params = {}) {
  std::vector<uint8_t> frame(CommandFrame::kOverhead + params.size());
  BuildCommandFrame(frame.data(), type, id, kLinkFlagUdp, command, params);
  return frame;
}

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(FrameDecodeTest, Table) {
  std::vector<uint8_t> bad_sum = Frame(0xA5, 0x01, 0x80, {3});
  bad_sum[17] = 4;
  std::vector<uint8_t> no_tail = Frame(0xA5, 0x01, 0x83);
  no_tail.back() = 0x00;
  std::vector<uint8_t> huge = Frame(0xA1, 0x01, 0x32);
  huge[2] = huge[3] = 0xFF;
  std::vector<uint8_t> tiny = Frame(0xA1, 0x01, 0x32);
  tiny[2] = 5;
  tiny[3] = 0;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string device, command;
    bool ok;
    std::string problem;
  };
  const Case cases[] = {
      {"switcher programme", Frame(0xA5, 0x01, 0x80, {3}), "production switcher A5/01",
       "0x80 program source", true, ""},
      {"discovery query", std::vector<uint8_t>(DISCOVERY_QUERY.begin(), DISCOVERY_QUERY.end()),
       "all (discovery) 81/FF", "0xFF discovery", true, ""},
      {"multiviewer read", Frame(0xA1, 0x02, 0x32), "multiviewer A1/02", "0x32 read state", true, ""},
      {"label payload", Frame(0xA1, 0x02, 0x1E, {1}), "multiviewer A1/02", "0x1E window label", true, ""},
      {"four-channel mode", Frame(0x60, 0x01, 0x94, {2}), "four-channel switcher 60/01",
       "0x94 show mode", true, ""},
      {"same byte, other family", Frame(0x60, 0x01, 0xA5, {1}), "four-channel switcher 60/01",
       "0xA5 PIP channels", true, ""},
      {"set IP to a switcher", Frame(0xA5, 0x01, 0x05), "production switcher A5/01", "0x05 set IP",
       true, ""},
      {"unknown command", Frame(0xA1, 0x01, 0x77), "multiviewer A1/01", "0x77 unknown command",
       true, ""},
      {"unknown type", Frame(0x12, 0x01, 0x80), "device 12/01", "0x80 unknown command", true, ""},
      {"bad checksum", bad_sum, "production switcher A5/01", "0x80 program source", false,
       "bad checksum"},
      {"no tail", no_tail, "production switcher A5/01", "0x83 cut", false, "no tail"},
      {"extra bytes", Join(Frame(0xA5, 0x01, 0x83), {0xAE}), "production switcher A5/01", "0x83 cut",
       false, "extra bytes"},
      {"cut before the command", std::vector<uint8_t>(bad_sum.begin(), bad_sum.begin() + 10),
       "production switcher A5/01", "(cut short)", false, "truncated"},
      {"cut in the length", {0xA5, 0x6C, 0x15}, "", "(cut short)", false, "truncated"},
      {"length beyond the bytes", huge, "multiviewer A1/01", "0x32 read state", false, "truncated"},
      {"length below a frame", tiny, "multiviewer A1/01", "0x32 read state", false, "too short"},
      {"matrix text", Bytes("3V1,4,8."), "matrix router (text)", "\"3V1,4,8.\"", false, ""},
      {"garbage", {0x00, 0x01, 0xFF, 0xA5}, "", "no frame", false, "no frame"},
      {"nothing", {}, "", "no frame", false, "no frame"},
  };
  for (const Case& c : cases) {
    const DecodedFrame d = DecodeFrame(c.bytes);
    EXPECT_EQ(DeviceText(d), c.device) << c.what;
    EXPECT_EQ(CommandText(d), c.command) << c.what;
    EXPECT_EQ(d.checksum_ok, c.ok) << c.what;
    EXPECT_EQ(d.problem, c.problem) << c.what;
  }
}

TEST(FrameDecodeTest, SerialReadsBecomeFrames) {
  const std::vector<uint8_t> a = Frame(0xA1, 0x07, 0x32);
  const std::vector<uint8_t> b = Frame(0xA1, 0x07, 0x33, {4});
  using Piece = std::pair<std::vector<uint8_t>, bool>;  // bytes, unframed
  struct Read {
    std::vector<uint8_t> bytes;
    int64_t at_ms;
  };
  struct Case {
    const char* what;
    std::vector<Read> reads;
    std::vector<Piece> pieces;  // after the last read and a flush
  };
  const Case cases[] = {
      {"one frame in three reads",
       {{{a.begin(), a.begin() + 3}, 0}, {{a.begin() + 3, a.begin() + 17}, 5}, {{a.begin() + 17, a.end()}, 9}},
       {{a, false}}},
      {"two frames in one read", {{Join(a, b), 0}}, {{a, false}, {b, false}}},
      {"noise before a frame", {{Join({0x00, 0x11}, a), 0}}, {{{0x00, 0x11}, true}, {a, false}}},
      {"a false start", {{Join({0xA5, 0x00}, a), 0}}, {{{0xA5, 0x00}, true}, {a, false}}},
      {"a length too small", {{Join({0xA5, 0x6C, 0x05, 0x00}, a), 0}},
       {{{0xA5, 0x6C, 0x05, 0x00}, true}, {a, false}}},
      {"text in two reads", {{Bytes("3V1,"), 0}, {Bytes("4."), 3}}, {{Bytes("3V1,4."), false}}},
      {"a frame cut short, then a whole one after a pause",
       {{{a.begin(), a.begin() + 8}, 0}, {b, 900}},
       {{{a.begin(), a.begin() + 8}, true}, {b, false}}},
      {"a frame cut short at the end", {{{b.begin(), b.begin() + 19}, 0}},
       {{{b.begin(), b.begin() + 19}, true}}},
  };
  for (const Case& c : cases) {
    SerialFrameAssembler assembler;
    std::vector<Piece> got;
    for (const Read& r : c.reads)
      for (auto& p : assembler.Feed(r.bytes, r.at_ms * 1000)) got.emplace_back(p.bytes, p.unframed);
    for (auto& p : assembler.Flush()) got.emplace_back(p.bytes, p.unframed);
    EXPECT_EQ(got, c.pieces) << c.what;
  }
}

TEST(FrameDecodeTest, RecorderKeepsTheLastFramesOnlyWhileListenedTo) {
  FrameRecorder& recorder = FrameRecorder::Instance();
  recorder.Clear();
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(7000);
  peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const std::vector<uint8_t> frame = Frame(0xA5, 0x01, 0x83);
  TapDatagram(FrameDirection::kSent, peer, -1, frame);
  EXPECT_EQ(recorder.Size(), 0u) << "nobody listens";

  std::vector<std::string> lines;
  const int token = recorder.Listen([&](const TappedFrame& f) { lines.push_back(FrameJsonLine(f)); });
  const size_t extra = 5;
  for (size_t i = 0; i < FrameRecorder::kCapacity + extra; ++i)
    TapDatagram(FrameDirection::kSent, peer, -1, frame);
  TapSerial(FrameDirection::kReceived, u"/dev/ttyUSB0", {frame.data(), 7});
  TapSerial(FrameDirection::kReceived, u"/dev/ttyUSB0", {frame.data() + 7, frame.size() - 7});
  recorder.Unlisten(token);
  TapDatagram(FrameDirection::kSent, peer, -1, frame);

  std::vector<TappedFrame> held;
  const uint64_t last = recorder.CopySince(0, &held);
  ASSERT_EQ(held.size(), FrameRecorder::kCapacity);
  EXPECT_EQ(held.back().seq, last);
  EXPECT_EQ(held.front().seq, last - FrameRecorder::kCapacity + 1);
  EXPECT_EQ(held.back().link, FrameLinkKind::kSerial);
  EXPECT_EQ(held.back().bytes, frame) << "the two reads make one frame";
  ASSERT_EQ(lines.size(), FrameRecorder::kCapacity + extra + 1);

  const auto udp = nlohmann::json::parse(lines.front());
  EXPECT_EQ(udp["direction"], "sent");
  EXPECT_EQ(udp["link"], "udp");
  EXPECT_EQ(udp["peer"], "127.0.0.1:7000");
  EXPECT_EQ(udp["type"], "0xA5");
  EXPECT_EQ(udp["command"], "0x83");
  EXPECT_EQ(udp["name"], "cut");
  EXPECT_EQ(udp["length"], frame.size());
  EXPECT_EQ(udp["checksum_ok"], true);
  EXPECT_EQ(udp["hex"], HexText(frame));
  const auto serial = nlohmann::json::parse(lines.back());
  EXPECT_EQ(serial["peer"], "/dev/ttyUSB0");
  EXPECT_EQ(serial["direction"], "received");
  EXPECT_TRUE(serial["local_port"].is_null());
  recorder.Clear();
}

// The bytes of the frame with this seq and length: each frame its own, so a
// frame read back from the wrong place of the ring shows.
std::vector<uint8_t> Numbered(uint64_t seq, size_t length) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(seq * 31 + i * 7);
  return bytes;
}

size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Frames of many lengths through the ring, far more than it holds: each
// frame held comes back with its own bytes, port and address, the newest
// ones in order, and as many as the arena has room for.
TEST(FrameDecodeTest, RecorderRingKeepsTheNewestFramesWholeWhateverTheirLength) {
  constexpr size_t kArena = FrameRecorder::kArenaBytes;
  struct Case {
    const char* what;
    size_t frames;
    std::function<size_t(size_t)> length;  // of the i-th frame sent
    bool serial_every_third;
  };
  const Case cases[] = {
      {"short frames: the count bounds", 25'000, [](size_t i) { return 20 + i % 60; }, true},
      {"long frames: the arena bounds, wrapping many times", 3'000,
       [](size_t) { return size_t{1500}; }, false},
      {"long and short mixed", 20'000, [](size_t i) { return i % 10 == 0 ? size_t{9000} : i % 50; },
       true},
      {"empty frames", 12'000, [](size_t) { return size_t{0}; }, false},
      {"a frame longer than the arena keeps its start", 3,
       [&](size_t i) { return i == 2 ? kArena + 100 : size_t{64}; }, false},
  };
  FrameRecorder& recorder = FrameRecorder::Instance();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    recorder.Clear();
    const int token = recorder.Listen();
    std::vector<TappedFrame> none;
    const uint64_t before = recorder.CopySince(UINT64_MAX, &none);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    std::map<uint64_t, size_t> length_of;
    for (size_t i = 0; i < c.frames; ++i) {
      const uint64_t seq = before + i + 1;
      const size_t length = c.length(i);
      length_of[seq] = length;
      const std::vector<uint8_t> bytes = Numbered(seq, length);
      if (c.serial_every_third && i % 3 == 0) {
        // Sent serial bytes are one frame a write, whatever they hold.
        TapSerial(FrameDirection::kSent, i % 2 ? u"/dev/ttyS1" : u"/dev/ttyUSB0", bytes);
      } else {
        peer.sin_addr.s_addr = htonl(0x7F000000u + static_cast<uint32_t>(seq % 250 + 1));
        peer.sin_port = htons(static_cast<uint16_t>(7000 + seq % 100));
        TapDatagram(FrameDirection::kReceived, peer, -1, bytes);
      }
    }
    recorder.Unlisten(token);

    std::vector<TappedFrame> held;
    const uint64_t last = recorder.CopySince(before, &held);
    ASSERT_EQ(last, before + c.frames);
    ASSERT_FALSE(held.empty());
    EXPECT_EQ(held.size(), recorder.Size());
    EXPECT_EQ(held.back().seq, last) << "the newest is held";
    size_t held_bytes = 0;
    size_t longest = 0;
    for (size_t k = 0; k < held.size(); ++k) {
      const TappedFrame& f = held[k];
      ASSERT_EQ(f.seq, held.front().seq + k) << "consecutive";
      const size_t i = f.seq - before - 1;
      const size_t sent = length_of[f.seq];
      ASSERT_EQ(f.bytes, Numbered(f.seq, std::min(sent, kArena))) << "frame " << f.seq;
      held_bytes += f.bytes.size();
      longest = std::max(longest, f.bytes.size());
      if (c.serial_every_third && i % 3 == 0) {
        EXPECT_EQ(f.link, FrameLinkKind::kSerial);
        EXPECT_EQ(f.serial_port, i % 2 ? "/dev/ttyS1" : "/dev/ttyUSB0");
        EXPECT_EQ(f.direction, FrameDirection::kSent);
      } else {
        EXPECT_EQ(f.link, FrameLinkKind::kUdp);
        EXPECT_EQ(PeerText(f), "127.0.0." + std::to_string(f.seq % 250 + 1) + ":" +
                                   std::to_string(7000 + f.seq % 100));
        EXPECT_EQ(f.direction, FrameDirection::kReceived);
      }
    }
    EXPECT_LE(held_bytes, kArena);
    // Fewer than the count allows only when the frame before the oldest
    // held had no room left: the arena is used, less one frame's length
    // left over where the bytes went back to its beginning.
    if (held.size() < FrameRecorder::kCapacity && held.front().seq > before + 1) {
      const size_t older = std::min(length_of[held.front().seq - 1], kArena);
      EXPECT_GT(held_bytes + older + longest, kArena) << held.size() << " frames held";
    }
    EXPECT_LE(held.size(), FrameRecorder::kCapacity);
    // Asked for the frames after a given one, it gives those only.
    std::vector<TappedFrame> tail;
    recorder.CopySince(last - 2, &tail);
    ASSERT_EQ(tail.size(), std::min<size_t>(2, held.size()));
    EXPECT_EQ(tail.back().seq, last);
  }
  recorder.Clear();
}

// The ring takes its memory when the first listener comes, not while it
// fills: tens of thousands of frames later the heap in use is where it was.
TEST(FrameDecodeTest, RecorderTakesNoMoreMemoryWhileItFills) {
  {
    // Where the allocator does not count (a sanitizer's), nothing to see.
    const size_t before = HeapInUse();
    std::vector<uint8_t> probe(1 << 20, 1);
    if (HeapInUse() < before + probe.size()) GTEST_SKIP() << "the allocator does not report its use";
  }
  FrameRecorder& recorder = FrameRecorder::Instance();
  recorder.Clear();
  const int token = recorder.Listen();
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // The serial ports' names are kept once each: both seen before measuring.
  TapSerial(FrameDirection::kSent, u"/dev/ttyUSB0", Numbered(0, 30));
  TapSerial(FrameDirection::kSent, u"/dev/ttyS1", Numbered(0, 30));
  const size_t start = HeapInUse();
  for (uint64_t i = 0; i < 30'000; ++i) {
    const std::vector<uint8_t> bytes = Numbered(i, 10 + i % 90);
    if (i % 4 == 0)
      TapSerial(FrameDirection::kSent, i % 8 ? u"/dev/ttyS1" : u"/dev/ttyUSB0", bytes);
    else
      TapDatagram(FrameDirection::kSent, peer, -1, bytes);
  }
  const size_t end = HeapInUse();
  recorder.Unlisten(token);
  EXPECT_EQ(recorder.Size(), FrameRecorder::kCapacity);
  // Before, each frame was a block of its own: 10,000 of them held over 2 MB.
  EXPECT_LE(end, start + 4096) << "heap in use " << start << " bytes after the first frames, " << end
                               << " after 30,000 more";
  recorder.Clear();
}

}  // namespace
}  // namespace zv
