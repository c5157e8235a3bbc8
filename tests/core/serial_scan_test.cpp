// The serial frame scanner over the accumulation buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/command_frame.h"
#include "link/link_state.h"

namespace zv {
namespace {

using Bytes = std::vector<uint8_t>;

// A reply frame as a device sends it: header, command, byte 17, body, checksum, tail.
Bytes Reply(uint8_t type, uint8_t command, const std::string& body) {
  Bytes f = {0xA5, 0x6C, 0, 0, type, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, command, 0x00};
  f.insert(f.end(), body.begin(), body.end());
  const size_t length = f.size() + 3;
  f[2] = length & 0xFF;
  f[3] = length >> 8;
  const uint16_t sum = FrameChecksum(f.data(), f.size());
  f.push_back(sum & 0xFF);
  f.push_back(sum >> 8);
  f.push_back(0xAE);
  return f;
}

SerialScan Scan(const Bytes& b) { return ScanSerialReply(b.data(), b.size()); }

TEST(SerialScanTest, DiscoveryRepliesAndNames) {
  struct Case {
    const char* what;
    Bytes bytes;
    int result;
    std::u16string name;
  };
  Bytes with_noise = {0x00, 0xA5, 0x11, 0x6C, 0x42};
  const Bytes studio = Reply(0x81, 0xFF, "Studio1-1-zz");
  with_noise.insert(with_noise.end(), studio.begin(), studio.end());
  Bytes double_a5 = {0xA5};
  double_a5.insert(double_a5.end(), studio.begin(), studio.end());
  Bytes other_then_names = Reply(0x81, 0x19, "xxxx");
  const Bytes names = Reply(0x81, 0xFF, "AB-1-");
  other_then_names.insert(other_then_names.end(), names.begin(), names.end());
  const Case cases[] = {
      {"name AB", Reply(0x81, 0xFF, "AB-1-"), 1, u"AB"},
      {"two markers keep the longer second name", Reply(0x81, 0xFF, "AB-1-CD-2-"), 2, u"AB-1-CD"},
      {"no marker", Reply(0x81, 0xFF, "Studio1"), 0, u""},
      {"noise before the frame", with_noise, 1, u"Studio1"},
      // The A5 before the frame's A5 was taken as a failed sync pair, so
      // the frame's own A5 is where the second sync byte was expected.
      {"A5 A5 6C does not start a frame", double_a5, 0, u""},
      {"another command is stepped over", other_then_names, 1, u"AB"},
  };
  for (const Case& c : cases) {
    const SerialScan s = Scan(c.bytes);
    EXPECT_EQ(s.result, c.result) << c.what;
    EXPECT_EQ(s.last_name, c.name) << c.what;
  }
}

TEST(SerialScanTest, ReplyInPiecesIsFoundOnceItsLastByteArrives) {
  LinkState link;
  const Bytes reply = Reply(0xA5, 0xFF, "Switcher-7-");
  // Every prefix short of the whole reply: nothing complete yet.
  for (size_t cut : {1u, 2u, 4u, 5u, 17u, 20u}) {
    link.ClearSerialBuffer();
    link.AppendSerialBytes(std::span<const uint8_t>(reply.data(), cut));
    EXPECT_EQ(link.ParseSerialReply(), 0) << "after " << cut << " bytes";
  }
  link.ClearSerialBuffer();
  link.AppendSerialBytes(std::span<const uint8_t>(reply.data(), 10));
  EXPECT_EQ(link.ParseSerialReply(), 0);
  link.AppendSerialBytes(std::span<const uint8_t>(reply.data() + 10, reply.size() - 11));
  EXPECT_EQ(link.ParseSerialReply(), 0);
  link.AppendSerialBytes(std::span<const uint8_t>(reply.data() + reply.size() - 1, 1));
  EXPECT_EQ(link.ParseSerialReply(), 1);
  EXPECT_EQ(link.m_serial_device_name, u"Switcher");
  EXPECT_EQ(link.m_main_com_dev_type, 0xA5);
}

TEST(SerialScanTest, RejectedCandidateStillSetsTheTypeByte) {
  LinkState link;
  link.m_main_com_dev_type = 0x60;
  link.m_serial_device_name = u"Earlier";
  Bytes reply = Reply(0x82, 0xFF, "Matrix-1-");
  reply.back() = 0x00;  // wrong tail
  link.AppendSerialBytes(reply);
  EXPECT_EQ(link.ParseSerialReply(), 0);
  EXPECT_EQ(link.m_main_com_dev_type, 0x82);
  EXPECT_EQ(link.m_serial_device_name, u"Earlier");
}

TEST(SerialScanTest, LyingLengthFieldsNeverReachOutsideTheBytes) {
  struct Case {
    const char* what;
    uint16_t length;
  };
  const Case cases[] = {
      {"zero", 0}, {"one", 1}, {"below the smallest frame", 19},
      {"beyond the data", 600}, {"largest", 0xFFFF},
  };
  for (const Case& c : cases) {
    // A frame whose length lies, with a tail byte placed where a short
    // length would point, followed by nothing.
    Bytes b = Reply(0x81, 0xFF, "AB-1-");
    b[2] = c.length & 0xFF;
    b[3] = c.length >> 8;
    if (c.length >= 6 && c.length <= b.size()) b[c.length - 1] = 0xAE;
    // Copy into an exactly sized heap block so that AddressSanitizer sees
    // any read past the end.
    auto* exact = new uint8_t[b.size()];
    std::copy(b.begin(), b.end(), exact);
    const SerialScan s = ScanSerialReply(exact, b.size());
    delete[] exact;
    EXPECT_EQ(s.result, 0) << c.what;
    EXPECT_TRUE(s.type_seen) << c.what;
    EXPECT_EQ(s.last_type, 0x81) << c.what;
  }
  // A header cut before the type byte: nothing judged, no type.
  const Bytes header = {0xA5, 0x6C, 0x14, 0x00};
  const SerialScan s = Scan(header);
  EXPECT_FALSE(s.type_seen);
}

TEST(SerialScanTest, MultiviewerStateFrameGoesToTheHandler) {
  LinkState link;
  std::vector<Bytes> handled;
  link.m_state_frame_handler = [&](std::span<const uint8_t> frame) {
    handled.emplace_back(frame.begin(), frame.end());
  };
  Bytes stream = {0x55, 0x66};
  const Bytes state = Reply(0xA1, 0x32, std::string(40, 'x'));
  stream.insert(stream.end(), state.begin(), state.end());
  link.AppendSerialBytes(stream);
  EXPECT_EQ(link.ParseSerialReply(), 1);
  ASSERT_EQ(handled.size(), 1u);
  EXPECT_EQ(handled[0], state);

  // The same frame from another kind of device is found but not applied.
  handled.clear();
  link.ClearSerialBuffer();
  link.AppendSerialBytes(Reply(0x60, 0x32, std::string(40, 'x')));
  EXPECT_EQ(link.ParseSerialReply(), 0);
  EXPECT_TRUE(handled.empty());
  EXPECT_EQ(link.m_main_com_dev_type, 0x60);
}

TEST(SerialScanTest, AccumulationBufferStartsAgainRatherThanOverflow) {
  LinkState link;
  const Bytes chunk(256, 0x11);
  for (int i = 0; i < 4; ++i) link.AppendSerialBytes(chunk);
  EXPECT_EQ(link.m_serial_rx_count, 1024);
  const Bytes reply = Reply(0x81, 0xFF, "AB-1-");
  link.AppendSerialBytes(reply);
  EXPECT_EQ(link.m_serial_rx_count, static_cast<int32_t>(reply.size()));
  EXPECT_EQ(link.ParseSerialReply(), 1);
}

}  // namespace
}  // namespace zv
