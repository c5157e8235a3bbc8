// The frame monitor's reading of the wire: the decoder over good, damaged
// and foreign bytes, the serial assembler over reads cut anywhere, the
// recorder's bound and its silence while nobody listens, and a JSON line.
#include <gtest/gtest.h>
#include <arpa/inet.h>

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

}  // namespace
}  // namespace zv
