// The multiviewer's state: decoding the read-state reply, the two read-back
// variants on loopback and on a pseudo-terminal, and the commands' way out by
// connection mode.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>
#include <utility>
#include <vector>

#include "multiview/multiview_link.h"
#include "multiview/multiview_session.h"
#include "registry/families.h"
#include "session/session_loop.h"
#include "platform/platform.h"
#include "support/inline_link.h"
#include "support/loopback_link.h"
#include "support/pty_pair.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

using Bytes = std::vector<uint8_t>;
using Writes = std::vector<std::pair<size_t, Bytes>>;

// A read-state reply frame of 669 bytes as the device sends it: the header,
// 0x32 at offset 16, the given bytes at their offsets (everything else 0),
// then the checksum and the tail.
Bytes Reply(const Writes& writes, uint8_t type = 0xA1, uint8_t link_flag = 1) {
  Bytes f(666, 0);
  f[0] = 0xA5;
  f[1] = 0x6C;
  f[2] = 669 & 0xFF;  // frame_length 669, little-endian
  f[3] = 669 >> 8;
  f[4] = type;
  f[5] = 0x01;  // device_id
  f[6] = link_flag;
  f[16] = 0x32;
  for (const auto& [offset, bytes] : writes)
    for (size_t i = 0; i < bytes.size(); ++i) f[offset + i] = bytes[i];
  uint16_t sum = 0;
  for (uint8_t b : f) sum = static_cast<uint16_t>(sum + b);
  f.push_back(sum & 0xFF);
  f.push_back(sum >> 8);
  f.push_back(0xAE);
  return f;
}

// A state with recognisable values in every field a reply can change.
void FillBefore(MultiviewerState& s) {
  s.m_all_16_view_page_data.zv_16_view_mode_type = 3;
  s.m_all_16_view_page_data.zv_16_view_resolution_type = 2;
  s.m_cur_window_count = 8;
  for (int n = 0; n < 16; ++n) {
    s.m_16_view_window_source[n] = static_cast<uint8_t>(n + 1);
    s.m_16_view_umd_name[n] = u"old";
    s.m_all_16_view_page_data.zv_16_view_umd_text_color[n] = 5;
    s.m_all_16_view_page_data.zv_16_view_umd_back_color[n] = 6;
    s.m_all_16_view_page_data.zv_16_view_resolution_text_color[n] = 9;
    s.m_all_16_view_page_data.zv_16_view_resolution_back_color[n] = 10;
  }
  s.m_all_16_view_page_data.zv_16_view_border_enable = 1;
  s.m_all_16_view_page_data.zv_16_view_lock_state = 1;
}

void Apply(MultiviewerState& s, const Bytes& frame) {
  ASSERT_EQ(frame.size(), 669u);
  s.ApplyReadStateReply(std::span<const uint8_t>(frame).first(666));
}

// A multiviewer session on `link`, its requests run in place.
struct InlineSession {
  explicit InlineSession(LinkState& link) : door(link), session(FamilyOf(FamilyKind::kMultiviewer), door, clock) {}
  test::InlineLink door;
  SessionLoop clock;
  MultiviewSession session;
  MultiviewerState& Record() { return session.MutableRecord(); }
};

TEST(MultiviewReplyTest, LayoutAndFormatCodes) {
  struct Case {
    uint8_t layout_code, format_code;
    int window_count, mode_type, resolution_type;
  };
  const Case cases[] = {
      {5, 0, 1, 3, 2},     // neither code is in its map: one window, indices kept
      {9, 14, 9, 4, 7},    // nine windows; 720p60
      {16, 7, 16, 6, 0},   // sixteen windows; 1080p60 is code 7
      {1, 6, 1, 0, 8},     // one window; 720p50
      {10, 1, 10, 5, 3},   // ten windows; 1080i50 is code 1
      {0, 255, 1, 3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "layout " << int(c.layout_code) << " format "
                                    << int(c.format_code));
    MultiviewerState s;
    FillBefore(s);
    Apply(s, Reply({{18, {c.layout_code, c.format_code}}}));
    EXPECT_EQ(s.m_cur_window_count, c.window_count);
    EXPECT_EQ(s.m_all_16_view_page_data.zv_16_view_mode_type, c.mode_type);
    EXPECT_EQ(s.m_all_16_view_page_data.zv_16_view_resolution_type, c.resolution_type);
  }
}

TEST(MultiviewReplyTest, SwitchesAndTheirShowFlags) {
  MultiviewerState s;
  // Labels 2 (any non-zero is on), audio 0, audio source 12, overlay 1.
  Apply(s, Reply({{20, {2, 0, 12, 1}}}));
  const MultiviewPageData& d = s.m_all_16_view_page_data;
  EXPECT_EQ(d.zv_16_view_umd_enable, 2);
  EXPECT_EQ(s.m_16_view_show_umd, 1);
  EXPECT_EQ(d.zv_16_view_audio_enable, 0);
  EXPECT_EQ(s.m_16_view_show_audio, 0);
  EXPECT_EQ(d.zv_16_view_audio_source_channel, 12);
  EXPECT_EQ(d.zv_16_view_resolution_enable, 1);
  EXPECT_EQ(s.m_16_view_show_resolution, 1);
}

TEST(MultiviewReplyTest, Labels) {
  struct Case {
    const char* what;
    size_t window;  // 0-based slot
    Bytes slot;     // length byte, then text bytes
    std::u16string label;
  };
  Bytes forty(1, 40);
  for (int i = 0; i < 32; ++i) forty.push_back(i % 2 ? 0x00 : static_cast<uint8_t>('a' + i / 2));
  const Case cases[] = {
      {"L = 0", 0, {0, 'Z', 0}, u""},
      {"L = 7, odd", 1, {7, 0x41, 0x00, 0x42, 0x00, 0x43, 0x00, 0x44}, u"ABCD"},
      {"odd L keeps a zero high byte even when one follows", 2, {3, 0x41, 0x00, 0x42, 0x01}, u"AB"},
      {"0x0000 in the third code unit", 3, {10, 'C', 0, 'D', 0, 0, 0, 'E', 0, 'F', 0}, u"CD"},
      {"UTF-16LE above Latin", 4, {4, 0x2D, 0x4E, 0x87, 0x65}, u"\u4E2D\u6587"},
      // Clamped to the slot's 32 bytes: sixteen characters, and the next
      // slot's length byte (left 0 here) is not read as text.
      {"L = 40", 14, forty, u"abcdefghijklmnop"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MultiviewerState s;
    FillBefore(s);
    Apply(s, Reply({{24 + 33 * c.window, c.slot}}));
    EXPECT_EQ(s.m_16_view_umd_name[c.window], c.label);
    // Every other slot was all zero: an empty label.
    EXPECT_EQ(s.m_16_view_umd_name[c.window == 0 ? 1 : 0], u"");
  }
}

TEST(MultiviewReplyTest, SourcesBorderLockAndColoursByteForByte) {
  MultiviewerState s;
  Bytes sources, text, back, otext, oback;
  for (uint8_t n = 0; n < 16; ++n) {
    sources.push_back(static_cast<uint8_t>(16 - n));
    text.push_back(n);
    back.push_back(static_cast<uint8_t>(15 - n));
    otext.push_back(static_cast<uint8_t>(n % 3));
    oback.push_back(static_cast<uint8_t>(20 + n));  // stored as received
  }
  Apply(s, Reply({{552, sources}, {600, {1, 1}}, {602, text}, {618, back}, {634, otext},
                  {650, oback}}));
  const MultiviewPageData& d = s.m_all_16_view_page_data;
  for (int n = 0; n < 16; ++n) {
    EXPECT_EQ(s.m_16_view_window_source[n], 16 - n);
    EXPECT_EQ(d.zv_16_view_umd_text_color[n], n);
    EXPECT_EQ(d.zv_16_view_umd_back_color[n], 15 - n);
    EXPECT_EQ(d.zv_16_view_resolution_text_color[n], n % 3);
    EXPECT_EQ(d.zv_16_view_resolution_back_color[n], 20 + n);
  }
  EXPECT_EQ(d.zv_16_view_border_enable, 1);
  EXPECT_EQ(d.zv_16_view_lock_state, 1);
}

// A datagram cut short applies what arrived and keeps every field beyond it.
TEST(MultiviewReplyTest, TruncatedReplyKeepsWhatDidNotArrive) {
  struct Case {
    size_t length;
    int labels_taken;  // whole label slots within the bytes
    bool sources, colours;
  };
  const Case cases[] = {{100, 3, false, false}, {92, 2, false, false}, {57, 1, false, false}, {560, 16, false, false},
                        {602, 16, true, false}, {666, 16, true, true}};
  Writes writes = {{18, {4, 11, 1, 1, 3, 1}}, {552, Bytes(16, 7)}, {600, {0, 0}},
                   {602, Bytes(64, 2)}};
  for (size_t n = 0; n < 16; ++n) writes.push_back({24 + 33 * n, {2, 'N', 0}});
  const Bytes full = Reply(writes);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    MultiviewerState s;
    FillBefore(s);
    s.ApplyReadStateReply(std::span<const uint8_t>(full).first(c.length));
    EXPECT_EQ(s.m_cur_window_count, 4);
    EXPECT_EQ(s.m_all_16_view_page_data.zv_16_view_resolution_type, 1);
    EXPECT_EQ(s.m_16_view_show_resolution, 1);
    for (int n = 0; n < 16; ++n)
      EXPECT_EQ(s.m_16_view_umd_name[n], n < c.labels_taken ? u"N" : u"old") << n;
    EXPECT_EQ(s.m_16_view_window_source[3], c.sources ? 7 : 4);
    EXPECT_EQ(s.m_all_16_view_page_data.zv_16_view_border_enable, c.sources ? 0 : 1);
    EXPECT_EQ(s.m_all_16_view_page_data.zv_16_view_lock_state, c.sources ? 0 : 1);
    EXPECT_EQ(s.m_all_16_view_page_data.zv_16_view_umd_text_color[0], c.colours ? 2 : 5);
    EXPECT_EQ(s.m_all_16_view_page_data.zv_16_view_resolution_back_color[15], c.colours ? 2 : 10);
  }
}

TEST(MultiviewReplyTest, ContentLengthOfADatagram) {
  const Bytes full = Reply({});
  EXPECT_EQ(MultiviewReplyContentLength(full), 666u);
  // Cut short, it is no longer a frame: every byte is content.
  EXPECT_EQ(MultiviewReplyContentLength(std::span<const uint8_t>(full).first(100)), 100u);
  Bytes bad_tail = full;
  bad_tail.back() = 0x00;
  EXPECT_EQ(MultiviewReplyContentLength(bad_tail), 669u);
}

// ---- the UDP read-back -------------------------------------------------------

// A socket on another loopback address, standing in for a second device.
int SocketOn(const char* address) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  inet_pton(AF_INET, address, &a.sin_addr);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

TEST(MultiviewReadBackTest, UdpTakesTheChosenDevicesReplyOnly) {
  test::UdpPeer device;
  ASSERT_TRUE(device.ok());
  const int other = SocketOn("127.0.0.9");
  ASSERT_GE(other, 0);
  LinkState state;
  test::AimAt(state, device, 0xA1, 0x01);
  InlineSession mv(state);
  Bytes request_bytes;
  std::thread answer([&] {
    const auto request = device.Receive(2000);
    if (!request) return;
    request_bytes = request->bytes;
    const sockaddr_in to = request->from;
    // Another multiviewer's reply, a frame with another command, then ours.
    const Bytes stray = Reply({{18, {16}}});
    sendto(other, stray.data(), stray.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    Bytes not_state = Reply({{18, {16}}});
    not_state[16] = 0x33;
    device.SendTo(to, not_state);
    device.SendTo(to, Reply({{18, {9}}}));
  });
  mv.session.Read(false);
  answer.join();
  close(other);
  EXPECT_EQ(mv.Record().m_cur_window_count, 9);
  EXPECT_EQ(mv.Record().m_all_16_view_page_data.zv_16_view_mode_type, 4);
  EXPECT_EQ(mv.Record().m_16_view_state_read, 1);
  EXPECT_EQ(state.m_udpSockfd, -1);

  const Bytes expected = {0xA5, 0x6C,              // sync
                          0x14, 0x00,              // frame_length 20
                          0xA1, 0x01,              // device_type, device_id
                          0x01,                    // link flag: UDP
                          0, 0, 0, 0, 0, 0, 0, 0,  // reserved
                          0x00, 0x32,              // group, read state
                          0xFA, 0x01,              // checksum 0x01FA
                          0xAE};
  EXPECT_EQ(request_bytes, expected);
}

TEST(MultiviewReadBackTest, UdpWithoutAReplyKeepsTheStateAndSetsTheFlag) {
  test::UdpPeer device;  // never answers
  LinkState state;
  test::AimAt(state, device, 0xA1, 0x01);
  InlineSession mv(state);
  FillBefore(mv.Record());
  const uint32_t start = TickCount();
  bool answered = true;
  mv.session.Read(false, [&](bool yes) { answered = yes; });
  const uint32_t took = TickCount() - start;
  EXPECT_FALSE(answered);
  EXPECT_GE(took, 200u);
  EXPECT_LT(took, 1000u);
  EXPECT_EQ(mv.Record().m_cur_window_count, 8);
  EXPECT_EQ(mv.Record().m_16_view_umd_name[0], u"old");
  EXPECT_EQ(mv.Record().m_16_view_state_read, 1);
  ASSERT_FALSE(mv.door.statuses.empty());
  EXPECT_EQ(mv.door.statuses.back(), std::make_pair(std::string("No answer from MV (0.2 s)"), true));
}

// ---- the serial read-back ------------------------------------------------------

// Plays the device on the master side: waits for the read-state request and
// answers with `pieces`, the device pausing briefly between them.
std::thread SerialDevice(test::PtyPair& pty, std::vector<Bytes> pieces, Bytes* request) {
  return std::thread([&pty, pieces = std::move(pieces), request] {
    pollfd p{pty.master, POLLIN, 0};
    Bytes got;
    while (got.size() < 20 && poll(&p, 1, 3000) == 1 && (p.revents & POLLIN)) {
      uint8_t buffer[64];
      const ssize_t n = read(pty.master, buffer, sizeof buffer);
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    *request = got;
    for (const Bytes& piece : pieces) {
      (void)!write(pty.master, piece.data(), piece.size());
      SleepMs(20);
    }
  });
}

Bytes Slice(const Bytes& b, size_t from, size_t count) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + count));
}

TEST(MultiviewReadBackTest, SerialReplyInThreePieces) {
  test::PtyPair pty;
  LinkState state;
  state.m_eState = kModeSerial;
  if (state.m_device_list.empty()) state.m_device_list.resize(1);
  state.m_device_list[0].device_type = 0xA1;
  state.m_device_list[0].device_id = 0x01;
  state.m_device_index = 0;
  InlineSession mv(state);
  ASSERT_TRUE(state.m_serial_port.Open(pty.slave_path, 115200));
  // A reply left by an earlier read-back (six windows) must not be taken.
  const Bytes old_reply = Reply({{18, {6}}}, 0xA1, 0);
  state.AppendSerialBytes(old_reply);
  const Bytes reply = Reply({{18, {10, 13}}, {552, {3}}}, 0xA1, 0);
  Bytes request;
  std::thread device =
      SerialDevice(pty, {Slice(reply, 0, 256), Slice(reply, 256, 256), Slice(reply, 512, 157)},
                   &request);
  mv.session.Read(false);
  device.join();
  EXPECT_EQ(mv.Record().m_cur_window_count, 10);
  EXPECT_EQ(mv.Record().m_all_16_view_page_data.zv_16_view_resolution_type, 5);
  EXPECT_EQ(mv.Record().m_16_view_window_source[0], 3);
  EXPECT_EQ(mv.Record().m_16_view_state_read, 1);
  const Bytes expected = {0xA5, 0x6C, 0x14, 0x00, 0xA1, 0x01,
                          0x00,  // link flag: serial
                          0,    0,    0,    0,    0,    0,    0, 0, 0x00, 0x32,
                          0xF9, 0x01,  // checksum 0x01F9
                          0xAE};
  EXPECT_EQ(request, expected);
  state.m_serial_port.Close();
}

// Other traffic before the reply fills the 1024-byte buffer: once the count
// would pass 1024 the buffer is cleared and a reply split there is lost. A
// second reply that follows is then the one taken.
TEST(MultiviewReadBackTest, SerialBufferOverflowLosesTheSplitReply) {
  struct Case {
    size_t noise;
    int window_count;
  };
  const Case cases[] = {{300, 4}, {355, 4}, {356, 9}, {400, 9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.noise);
    test::PtyPair pty;
    LinkState state;
    state.m_eState = kModeSerial;
    if (state.m_device_list.empty()) state.m_device_list.resize(1);
    state.m_device_list[0].device_type = 0xA1;
    state.m_device_index = 0;
    InlineSession mv(state);
    ASSERT_TRUE(state.m_serial_port.Open(pty.slave_path, 115200));
    Bytes stream(c.noise, 0x00);
    const Bytes first = Reply({{18, {4}}}, 0xA1, 0);
    const Bytes second = Reply({{18, {9}}}, 0xA1, 0);
    stream.insert(stream.end(), first.begin(), first.end());
    Bytes request;
    std::thread device = SerialDevice(pty, {stream, second}, &request);
    mv.session.Read(false);
    device.join();
    EXPECT_EQ(mv.Record().m_cur_window_count, c.window_count);
    state.m_serial_port.Close();
  }
}

// No wait for an answer that cannot come: the record keeps what it held and
// the operator is told.
TEST(MultiviewReadBackTest, SerialWithThePortClosedWaitsForNothing) {
  LinkState state;
  state.m_eState = kModeSerial;
  state.m_device_index = 0;
  InlineSession mv(state);
  FillBefore(mv.Record());
  const uint32_t start = TickCount();
  bool answered = true;
  mv.session.Read(false, [&](bool yes) { answered = yes; });
  EXPECT_LT(TickCount() - start, 100u);
  EXPECT_FALSE(answered);
  EXPECT_EQ(mv.Record().m_cur_window_count, 8);
  EXPECT_EQ(mv.Record().m_16_view_umd_name[0], u"old");
  ASSERT_FALSE(mv.door.statuses.empty());
  EXPECT_TRUE(mv.door.statuses.back().second);
}

// A multiviewer state frame from a device of another type is not applied.
TEST(MultiviewReadBackTest, SerialFrameScannerAppliesOnlyMultiviewerReplies) {
  LinkState state;
  MultiviewerState record;
  state.m_state_frame_handler = [&record](std::span<const uint8_t> frame) {
    record.ApplyReadStateReply(frame.first(MultiviewReplyContentLength(frame)));
  };
  state.AppendSerialBytes(Reply({{18, {9}}}, 0x60, 0));
  EXPECT_EQ(state.ParseSerialReply(), 0);
  EXPECT_EQ(record.m_cur_window_count, 1);
  state.ClearSerialBuffer();
  state.AppendSerialBytes(Reply({{18, {9}}}, 0xA1, 0));
  EXPECT_EQ(state.ParseSerialReply(), 1);
  EXPECT_EQ(record.m_cur_window_count, 9);
}

// ---- commands by connection mode ------------------------------------------------

TEST(MultiviewCommandTest, SentOrNotByConnectionMode) {
  // Set layout with code 9.
  const Bytes udp_frame = {0xA5, 0x6C, 0x15, 0x00, 0xA1, 0x01,
                           0x01,                          // link flag: UDP
                           0,    0,    0,    0,    0,    0, 0, 0,
                           0x00, 0x33,                    // set layout
                           0x09,                          // nine windows
                           0x05, 0x02,                    // checksum 0x0205
                           0xAE};
  Bytes serial_frame = udp_frame;
  serial_frame[6] = 0x00;
  serial_frame[18] = 0x04;  // checksum 0x0204

  test::UdpPeer device;
  LinkState state;
  test::AimAt(state, device, 0xA1, 0x01);
  InlineSession mv(state);
  const auto sent = [&] {
    const std::vector<std::pair<std::string, bool>> s = mv.door.statuses;
    mv.door.statuses.clear();
    return s;
  };
  ASSERT_TRUE(mv.session.Invoke("multiview.layout", {{"windows", std::string("9")}}).ok());
  const auto got = device.Receive(1000);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->bytes, udp_frame);
  EXPECT_EQ(state.m_udpSockfd, -1);
  EXPECT_EQ(sent(), (std::vector<std::pair<std::string, bool>>{{"Sent: Layout to MV", false}}));

  state.m_eState = kModeSerial;
  ASSERT_TRUE(mv.session.Invoke("multiview.layout", {{"windows", std::string("9")}}).ok());
  EXPECT_TRUE(sent().empty()) << "port closed: nothing queued";
  EXPECT_TRUE(device.ReceiveUntilMarker().empty()) << "nothing goes by UDP in serial mode";

  test::PtyPair pty;
  ASSERT_TRUE(state.m_serial_port.Open(pty.slave_path, 115200));
  ASSERT_TRUE(mv.session.Invoke("multiview.layout", {{"windows", std::string("9")}}).ok());
  EXPECT_EQ(sent(), (std::vector<std::pair<std::string, bool>>{{"Sent: Layout to MV", false}}));
  pollfd p{pty.master, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 1000), 1);
  uint8_t buffer[64];
  const ssize_t n = read(pty.master, buffer, sizeof buffer);
  EXPECT_EQ(Bytes(buffer, buffer + std::max<ssize_t>(n, 0)), serial_frame);
  state.m_serial_port.Close();
}

TEST(MultiviewCommandTest, LabelFrame) {
  test::UdpPeer device;
  LinkState state;
  test::AimAt(state, device, 0xA1, 0x01);
  InlineSession mv(state);
  ASSERT_TRUE(mv.session.Invoke("multiview.label", {{"win", 7}, {"text", std::string("CAM 2")}}).ok());
  const auto got = device.Receive(1000);
  ASSERT_TRUE(got);
  const Bytes expected = {0xA5, 0x6C, 0x26, 0x00,  // frame_length 38
                          0xA1, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
                          0x1E,                                        // set window label
                          0x07,                                        // window 7
                          0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01,    // fixed bytes
                          0x43, 0x00, 0x41, 0x00, 0x4D, 0x00, 0x20, 0x00, 0x32, 0x00,  // "CAM 2"
                          0x26, 0x03,  // checksum 0x0326
                          0xAE};
  EXPECT_EQ(got->bytes, expected);
}

TEST(MultiviewStateTest, MapsSearchFromTheFirstPair) {
  struct Case {
    int index;
    int mode_code, format_code;
  };
  const Case cases[] = {{0, 1, 7}, {1, 4, 11}, {2, 6, 9}, {3, 8, 1}, {4, 9, 3},
                        {5, 10, 13}, {6, 16, 5}, {7, -1, 14}, {8, -1, 6}, {9, -1, -1}, {-1, -1, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    const auto mode = MultiviewCodeForIndex(zv_16_view_mode_map, c.index);
    const auto format = MultiviewCodeForIndex(zv_16_view_resolution_map, c.index);
    EXPECT_EQ(mode ? *mode : -1, c.mode_code);
    EXPECT_EQ(format ? *format : -1, c.format_code);
    if (mode) {
      EXPECT_EQ(MultiviewIndexForCode(zv_16_view_mode_map, *mode), c.index);
    }
    if (format) {
      EXPECT_EQ(MultiviewIndexForCode(zv_16_view_resolution_map, *format), c.index);
    }
  }
}

TEST(MultiviewStateTest, GatewayFromTheDeviceAddress) {
  struct Case {
    const char* ip;
    const char* gateway;
  };
  const Case cases[] = {{"10.0.0.25", "10.0.0.1"},
                        {"192.168.1.200", "192.168.1.1"},
                        {"", "1"},
                        {"nodot", "1"},
                        {"1.2.3.", "1.2.3.1"}};
  for (const Case& c : cases) EXPECT_EQ(DefaultGatewayText(c.ip), c.gateway) << c.ip;
}

}  // namespace
}  // namespace zv
