// Builders against the literal frames of the device protocol documentation.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "link/command_frame.h"

namespace zv {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Built(size_t length, const uint8_t* buffer) { return Bytes(buffer, buffer + length); }

TEST(CommandFrameTest, DiscoveryQueryByUdpAndBySerial) {
  const Bytes udp = {
      0xA5, 0x6C,              // sync
      0x14, 0x00,              // frame_length 20
      0x81, 0xFF,              // device_type, device_id of the query
      0x01,                    // link_flag: UDP
      0, 0, 0, 0, 0, 0, 0, 0,  // reserved
      0x00, 0xFF,              // command_group, command
      0xA5, 0x03,              // checksum
      0xAE,                    // tail
  };
  const Bytes serial = {
      0xA5, 0x6C, 0x14, 0x00, 0x81, 0xFF,
      0x00,                    // link_flag: serial
      0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xFF,
      0xA4, 0x03,              // checksum one lower
      0xAE,
  };
  EXPECT_EQ(Bytes(DISCOVERY_QUERY.begin(), DISCOVERY_QUERY.end()), udp);
  EXPECT_EQ(Bytes(DISCOVERY_QUERY_SERIAL.begin(), DISCOVERY_QUERY_SERIAL.end()), serial);
}

TEST(CommandFrameTest, SetIpFrame) {
  uint8_t buffer[1024] = {};
  const size_t n = BuildSetIpFrame(buffer, 0xA1, 0x01, {192, 168, 1, 100}, {0, 0, 0, 0},
                                   {0, 0, 0, 0});
  const Bytes expected = {
      0xA5, 0x6C, 0x20, 0x00,  // sync, frame_length 32
      0xA1, 0x01, 0x01,        // type, id, UDP
      0, 0, 0, 0, 0, 0, 0, 0,  // reserved
      0x00, 0x05,              // group, set IP
      0xC0, 0xA8, 0x01, 0x64,  // 192.168.1.100
      0, 0, 0, 0,              // mask
      0, 0, 0, 0,              // gateway
      0xA6, 0x03, 0xAE,        // checksum, tail
  };
  EXPECT_EQ(Built(n, buffer), expected);
}

// Fixed-size commands of the production switcher, as its documentation
// writes them out.
TEST(CommandFrameTest, SwitcherCommandsFromTheDocumentation) {
  struct Case {
    const char* name;
    uint8_t command;
    Bytes params;
    Bytes expected;
  };
  const Case cases[] = {
      {"programme source 3", 0x80, {0x03},
       {0xA5, 0x6C, 0x15, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0,
        0x00, 0x80,   // group, programme source
        0x03,         // source 3
        0x50, 0x02, 0xAE}},
      {"cut", 0x83, {},
       {0xA5, 0x6C, 0x14, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0,
        0x00, 0x83,   // group, cut
        0x4F, 0x02, 0xAE}},
      {"T-bar progress 8", 0x82, {0x00, 0x08},
       {0xA5, 0x6C, 0x16, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0,
        0x00, 0x82,   // group, T-bar
        0x00, 0x08,   // forward, progress 8
        0x58, 0x02, 0xAE}},
      {"PIP X 1600", 0xA0, {0x40, 0x06},
       {0xA5, 0x6C, 0x16, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0,
        0x00, 0xA0,   // group, PIP X
        0x40, 0x06,   // 1600, low byte first
        0xB4, 0x02, 0xAE}},
  };
  for (const Case& c : cases) {
    uint8_t buffer[1024] = {};
    const size_t n = BuildCommandFrame(buffer, 0xA5, 0x01, kLinkFlagUdp, c.command, c.params);
    EXPECT_EQ(n, 20 + c.params.size()) << c.name;
    EXPECT_EQ(Built(n, buffer), c.expected) << c.name;
  }
}

TEST(CommandFrameTest, ChecksumWrapsModulo65536) {
  // 257 bytes of 0xFF sum to 65535; six more make 0x10005.
  Bytes bytes(257, 0xFF);
  bytes.push_back(0x06);
  EXPECT_EQ(FrameChecksum(bytes.data(), bytes.size()), 0x0005);

  // The same wrap inside a frame: parameters lowered from the end until
  // bytes 0..16+P sum to 0x10005.
  Bytes params(270, 0xFF);
  const size_t length = 20 + params.size();
  uint32_t sum = 0xA5 + 0x6C + (length & 0xFF) + (length >> 8);
  for (uint8_t b : params) sum += b;
  for (size_t i = params.size(); sum > 0x10005 && i-- > 0;) {
    const uint32_t cut = std::min<uint32_t>(params[i], sum - 0x10005);
    params[i] = static_cast<uint8_t>(params[i] - cut);
    sum -= cut;
  }
  ASSERT_EQ(sum, 0x10005u);
  uint8_t buffer[1024] = {};
  const size_t n = BuildCommandFrame(buffer, 0, 0, 0, 0, params);
  ASSERT_EQ(n, length);
  EXPECT_EQ(buffer[n - 3], 0x05);
  EXPECT_EQ(buffer[n - 2], 0x00);
  EXPECT_EQ(buffer[n - 1], 0xAE);
}

TEST(CommandFrameTest, PayloadFramesAndTheirTwins) {
  uint8_t udp[1024] = {};
  uint8_t serial[1024] = {};
  // An empty label: selector, the fixed prefix and nothing else.
  const size_t n = BuildPayloadFrame(udp, 0xA1, 0x02, 7, {});
  const Bytes expected = {
      0xA5, 0x6C, 0x1C, 0x00,                   // frame_length 28
      0xA1, 0x02, 0x01,                         // type, id, UDP
      0, 0, 0, 0, 0, 0, 0, 0,                   // reserved
      0x00, 0x1E,                               // group, payload command
      0x07,                                     // selector: window 7
      0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, // fixed prefix
      0xFA, 0x01,                               // checksum
      0xAE,
  };
  EXPECT_EQ(Built(n, udp), expected);

  const uint8_t label[] = {'C', 0, 'A', 0, 'M', 0};
  const size_t m = BuildPayloadFrame(udp, 0xA1, 0x02, 7, label);
  const size_t k = BuildPayloadFrameSerial(serial, 0xA1, 0x02, 7, label);
  ASSERT_EQ(m, 34u);
  ASSERT_EQ(k, 34u);
  EXPECT_EQ(Bytes(udp + 25, udp + 31), Bytes(label, label + 6));
  // The twins differ in the link flag and, through it, the checksum only.
  EXPECT_EQ(udp[6], 1);
  EXPECT_EQ(serial[6], 0);
  for (size_t i = 0; i < m; ++i) {
    if (i == 6 || i == m - 3) continue;
    EXPECT_EQ(udp[i], serial[i]) << "byte " << i;
  }
  EXPECT_EQ(udp[m - 3], serial[m - 3] + 1);
}

TEST(CommandFrameTest, NetworkDiscoveryReplies) {
  auto reply = [](const std::string& name_bytes, size_t pad_to = 0) {
    Bytes d = {0xA5, 0x6C, 0, 0, 0xA1, 0x07, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0};
    d.insert(d.end(), name_bytes.begin(), name_bytes.end());
    while (d.size() + 1 < pad_to) d.push_back(0);
    d.push_back(0xAE);
    return d;
  };
  struct Case {
    const char* what;
    Bytes datagram;
    bool is_reply;
    std::vector<std::string> names;
  };
  Bytes wrong_tail = reply("AB-1-xx");
  wrong_tail.back() = 0xAF;
  const Case cases[] = {
      {"one name", reply("Studio1-1-xx"), true, {"Studio1"}},
      {"name AB", reply("AB-1-"), true, {"AB"}},
      {"two markers", reply("AB-1-CD-2-yy"), true, {"AB", "AB-1-CD"}},
      {"no marker", reply("Studio1xxxx"), true, {}},
      {"own query echoed", Bytes(DISCOVERY_QUERY.begin(), DISCOVERY_QUERY.end()), true, {}},
      // 21 bytes: n - 3 = 18, so no position is examined.
      {"21 bytes", reply("-x", 21), true, {}},
      // 22 bytes: the shortest reply with a marker, and its name is empty.
      {"22 bytes", reply("-x-"), true, {""}},
      {"wrong tail", wrong_tail, false, {}},
      {"too short", Bytes{0xA5, 0x6C, 0xAE}, false, {}},
      {"empty", Bytes{}, false, {}},
  };
  for (const Case& c : cases) {
    const DiscoveryReply r = ParseDiscoveryDatagram(c.datagram.data(), c.datagram.size());
    EXPECT_EQ(r.is_reply, c.is_reply) << c.what;
    EXPECT_EQ(r.names, c.names) << c.what;
    if (c.is_reply && !c.names.empty()) {
      EXPECT_EQ(r.device_type, 0xA1) << c.what;
      EXPECT_EQ(r.device_id, 0x07) << c.what;
    }
  }
}

}  // namespace
}  // namespace zv
