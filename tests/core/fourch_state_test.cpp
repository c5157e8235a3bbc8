// The four-channel switcher's tables, rules, frames and reply decoders, and
// its two read-backs against stand-in devices on loopback.
#include <gtest/gtest.h>

#include <vector>

#include "fourch/fourch_state.h"
#include "link/link_state.h"
#include "platform/platform.h"
#include "support/loopback_link.h"
#include "support/recorders.h"
#include "support/scripted_device.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

using Bytes = std::vector<uint8_t>;

// A read-state reply as the device sends it, long enough for every field.
Bytes StateReply(uint8_t mode, uint8_t format, uint8_t ch1, uint8_t ch2, uint8_t loop,
                 size_t length = 263) {
  Bytes r(length, 0);
  r[0] = 0xA5;
  r[1] = 0x6C;
  r[16] = 0x90;
  auto put = [&r](size_t at, uint8_t v) {
    if (at < r.size()) r[at] = v;
  };
  put(20, format);
  put(22, mode);
  put(255, ch1);
  put(256, ch2);
  put(257, loop);
  return r;
}

TEST(TriskTablesTest, SeventeenShowModesSlots) {
  // {x, y, width, height, label} for slots 1 to 4; an empty slot is all zero.
  using W = TriskPreviewWindow;
  constexpr W no{0, 0, 0, 0, 0};
  const std::array<W, 4> expected[17] = {
      {W{0, 0, 360, 240, 1}, W{360, 0, 360, 240, 2}, W{0, 240, 360, 240, 3}, W{360, 240, 360, 240, 4}},
      {W{100, 160, 520, 320, 1}, W{0, 0, 240, 160, 2}, W{240, 0, 240, 160, 3}, W{480, 0, 240, 160, 4}},
      {W{100, 0, 520, 320, 1}, W{0, 320, 240, 160, 2}, W{240, 320, 240, 160, 3}, W{480, 320, 240, 160, 4}},
      {W{0, 80, 480, 320, 1}, W{480, 0, 240, 160, 2}, W{480, 160, 240, 160, 3}, W{480, 320, 240, 160, 4}},
      {W{240, 80, 480, 320, 1}, W{0, 0, 240, 160, 2}, W{0, 160, 240, 160, 3}, W{0, 320, 240, 160, 4}},
      {W{0, 0, 720, 480, 1}, W{40, 330, 180, 120, 2}, W{500, 330, 180, 120, 3}, no},
      {W{180, 0, 360, 240, 1}, W{0, 240, 360, 240, 2}, W{360, 240, 360, 240, 3}, no},
      {W{0, 0, 720, 480, 1}, W{500, 30, 180, 120, 2}, no, no},
      {W{0, 0, 720, 480, 1}, W{40, 30, 180, 120, 2}, no, no},
      {W{0, 0, 720, 480, 1}, W{40, 330, 180, 120, 2}, no, no},
      {W{0, 0, 720, 480, 1}, W{500, 330, 180, 120, 2}, no, no},
      {W{0, 0, 360, 480, 1}, W{360, 0, 360, 480, 2}, no, no},
      {no, no, no, W{0, 0, 720, 480, 4}},  // channel 4 alone, in slot 4
      {no, no, W{0, 0, 720, 480, 3}, no},
      {no, W{0, 0, 720, 480, 2}, no, no},
      {W{0, 0, 720, 480, 1}, no, no, no},
      {W{180, 0, 360, 240, 1}, W{180, 240, 360, 240, 2}, no, no},
  };
  for (int mode = 0; mode < 17; ++mode) {
    SCOPED_TRACE(mode);
    const auto slots = TriskPreviewWindows(mode);
    for (size_t n = 0; n < 4; ++n) {
      const W& e = expected[mode][n];
      EXPECT_EQ(slots[n].x, e.x) << "slot " << n + 1;
      EXPECT_EQ(slots[n].y, e.y) << "slot " << n + 1;
      EXPECT_EQ(slots[n].width, e.width) << "slot " << n + 1;
      EXPECT_EQ(slots[n].height, e.height) << "slot " << n + 1;
      EXPECT_EQ(slots[n].label, e.label) << "slot " << n + 1;
    }
  }
  // Outside the table every slot is empty.
  for (int mode : {-1, 17, 255})
    for (const W& w : TriskPreviewWindows(mode)) EXPECT_TRUE(w.width == 0 && w.height == 0 && w.label == 0);
}

TEST(TriskTablesTest, ModeButtonImages) {
  const struct {
    int mode, normal, selected;
  } rows[] = {{0, 309, 310}, {1, 311, 312}, {8, 325, 326}, {15, 339, 340},
              {16, 371, 372}, {17, 0, 0}, {-1, 0, 0}};
  for (const auto& row : rows) {
    EXPECT_EQ(TriskShowModeNormalImage(row.mode), row.normal) << row.mode;
    EXPECT_EQ(TriskShowModeSelectedImage(row.mode), row.selected) << row.mode;
  }
}

TEST(TriskTablesTest, OutputFormatCodes) {
  const struct {
    int entry;
    const char* text;
    uint8_t code;
  } rows[] = {{0, "1080P60", 0}, {1, "1080P50", 1}, {2, "1080P30", 2},
              {3, "1080P25", 3}, {4, "720P60", 7},  {5, "720P50", 8}};
  for (const auto& row : rows) {
    EXPECT_STREQ(kTriskOutputFormats[static_cast<size_t>(row.entry)].text, row.text);
    EXPECT_EQ(TriskOutputFormatCode(row.entry), row.code);
    EXPECT_EQ(TriskOutputFormatEntry(row.code), row.entry);
  }
  EXPECT_FALSE(TriskOutputFormatCode(6));
  EXPECT_FALSE(TriskOutputFormatCode(-1));
  for (uint8_t code : {4, 5, 6, 9, 255}) EXPECT_EQ(TriskOutputFormatEntry(code), -1) << int(code);
}

TEST(TriskTablesTest, PipListsEnabledStateForEveryModeAndLoop) {
  constexpr auto U = ListEnable::kUnchanged, D = ListEnable::kDisabled, E = ListEnable::kEnabled;
  // mode: {first, second} with the loop off, then with the loop on.
  const struct {
    int mode;
    ListEnable off1, off2, on1, on2;
  } rows[] = {
      {0, D, D, D, D},  {1, D, D, D, D},  {2, D, D, D, D},  {3, D, D, D, D},  {4, D, D, D, D},
      {5, U, U, U, U},  {6, U, U, U, U},  {7, D, E, D, D},  {8, D, E, D, D},  {9, D, E, D, D},
      {10, D, E, D, D}, {11, E, E, D, D}, {12, D, D, D, D}, {13, D, D, D, D}, {14, D, D, D, D},
      {15, D, D, D, D}, {16, E, E, D, D}, {17, U, U, U, U}, {255, U, U, U, U},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.mode);
    const TriskPipListStates off = TriskPipListEnable(row.mode, false);
    const TriskPipListStates on = TriskPipListEnable(row.mode, true);
    EXPECT_EQ(off.first, row.off1);
    EXPECT_EQ(off.second, row.off2);
    EXPECT_EQ(on.first, row.on1);
    EXPECT_EQ(on.second, row.on2);
  }
}

TEST(TriskRulesTest, ModeSelection) {
  struct Row {
    uint8_t old_mode, ch1, ch2;
    bool from_device;
    int mode;
    bool changed, send;
    uint8_t new_ch1, new_ch2;
  };
  const Row rows[] = {
      {3, 2, 3, false, 3, false, false, 2, 3},   // the current mode: nothing at all
      {0, 1, 1, false, 8, true, true, 1, 2},     // inset on 1, second moves off 1
      {0, 3, 4, false, 8, true, true, 1, 4},     // inset on 1, second kept
      {0, 3, 4, false, 11, true, true, 3, 4},    // two windows: channels kept
      {255, 2, 3, true, 9, true, false, 2, 3},   // from the device: its channels, not sent back
      {255, 3, 4, true, 3, true, false, 3, 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode);
    TriskPageData data{};
    data.zv_trisk_show_mode_type = row.old_mode;
    data.zv_trisk_pip_child_ch[0] = row.ch1;
    data.zv_trisk_pip_child_ch[1] = row.ch2;
    bool mark = row.from_device;
    const TriskModeChange c = SelectTriskShowMode(data, row.mode, mark);
    EXPECT_EQ(c.changed, row.changed);
    EXPECT_EQ(c.send, row.send);
    EXPECT_FALSE(mark && row.changed) << "a used mark is cleared";
    EXPECT_EQ(data.zv_trisk_show_mode_type, row.changed ? row.mode : row.old_mode);
    EXPECT_EQ(data.zv_trisk_pip_child_ch[0], row.new_ch1);
    EXPECT_EQ(data.zv_trisk_pip_child_ch[1], row.new_ch2);
    if (row.changed) {
      EXPECT_EQ(c.old_mode, row.old_mode);
    }
  }
}

TEST(TriskRulesTest, PipChannelsNeverEqual) {
  struct Row {
    int list, channel;
    bool accepted;
    uint8_t ch1, ch2;
  };
  // Starting from channels 2 and 3 each time.
  const Row rows[] = {
      {0, 3, false, 2, 3}, {0, 2, false, 2, 3}, {0, 4, true, 4, 3}, {0, 1, true, 1, 3},
      {1, 2, false, 2, 3}, {1, 1, true, 2, 1},  {1, 5, false, 2, 3}, {0, 0, false, 2, 3},
  };
  for (const Row& row : rows) {
    TriskPageData data{};
    data.zv_trisk_pip_child_ch[0] = 2;
    data.zv_trisk_pip_child_ch[1] = 3;
    EXPECT_EQ(ChooseTriskPipChannel(data, row.list, row.channel), row.accepted)
        << row.list << " " << row.channel;
    EXPECT_EQ(data.zv_trisk_pip_child_ch[0], row.ch1);
    EXPECT_EQ(data.zv_trisk_pip_child_ch[1], row.ch2);
  }
  EXPECT_EQ(TriskPipListEntry(0), 0);
  EXPECT_EQ(TriskPipListEntry(4), 3);
  EXPECT_EQ(TriskPipListEntry(5), -1);
}

TEST(TriskRulesTest, LoopTimeIsAtLeastThree) {
  const struct {
    long in;
    uint16_t out;
  } rows[] = {{-5, 3}, {0, 3}, {1, 3}, {3, 3}, {4, 4}, {300, 300}, {999, 999}, {70000, 65535}};
  for (const auto& row : rows) EXPECT_EQ(TriskLoopTime(row.in), row.out) << row.in;
}

TEST(TriskDecodeTest, StateReplyFieldsAndShortReplies) {
  Bytes full = StateReply(3, 8, 2, 4, 1);
  const char text[] = "FourCh";
  std::copy(text, text + 6, full.begin() + 30);
  full[17] = 0x05;
  full[54] = 7;
  full[94] = 33;
  full[174] = 32;
  const TriskStateReply r = DecodeTriskStateReply(full);
  ASSERT_TRUE(r.is_reply);
  EXPECT_EQ(r.flag, 5);
  EXPECT_EQ(r.output_format, 8);
  EXPECT_EQ(r.show_mode, 3);
  EXPECT_EQ(r.text_length, 6u);
  EXPECT_EQ(r.name_lengths, (std::array<uint8_t, 4>{7, 33, 0, 32}));
  EXPECT_EQ(r.pip_child_ch[0], 2);
  EXPECT_EQ(r.pip_child_ch[1], 4);
  EXPECT_EQ(r.loop_state, 1);

  // Only the bytes that arrived are applied: a cut reply leaves the rest of
  // the record as it was.
  struct Row {
    size_t length;
    uint8_t format, mode_or_none, ch1, ch2, loop;
    bool has_mode;
  };
  const Row rows[] = {
      {258, 8, 3, 2, 4, 1, true}, {257, 8, 3, 2, 4, 9, true}, {256, 8, 3, 2, 9, 9, true},
      {255, 8, 3, 9, 9, 9, true}, {23, 8, 3, 9, 9, 9, true},  {22, 8, 0, 9, 9, 9, false},
      {20, 9, 0, 9, 9, 9, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.length);
    Bytes cut(full.begin(), full.begin() + static_cast<long>(row.length));
    TriskPageData data{};
    data.zv_trisk_output_format = 9;
    data.zv_trisk_pip_child_ch[0] = 9;
    data.zv_trisk_pip_child_ch[1] = 9;
    data.zv_trisk_loop_state = 9;
    const std::optional<uint8_t> mode = ApplyTriskStateReply(data, DecodeTriskStateReply(cut));
    EXPECT_EQ(mode.has_value(), row.has_mode);
    if (row.has_mode) {
      EXPECT_EQ(*mode, row.mode_or_none);
    }
    EXPECT_EQ(data.zv_trisk_output_format, row.format);
    EXPECT_EQ(data.zv_trisk_pip_child_ch[0], row.ch1);
    EXPECT_EQ(data.zv_trisk_pip_child_ch[1], row.ch2);
    EXPECT_EQ(data.zv_trisk_loop_state, row.loop);
  }

  // Not this reply: another command, or too short to have a command byte.
  for (const Bytes& other : {Bytes(16, 0x90), [&] { Bytes b = full; b[16] = 0x94; return b; }(), Bytes{}})
    EXPECT_FALSE(DecodeTriskStateReply(other).is_reply);
  // A text field without a zero byte stops at its 17 bytes.
  Bytes long_text = full;
  std::fill(long_text.begin() + 30, long_text.begin() + 54, 'A');
  EXPECT_EQ(DecodeTriskStateReply(long_text).text_length, 17u);
}

TEST(TriskDecodeTest, SignalReplyAndIndicatorChanges) {
  const Bytes reply = {0xA5, 0x6C, 29, 0, 0x60, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0,
                       0x01, 0x77,  // input 1: signal, then an unused byte
                       0x00, 0x55,  // input 2: none
                       0x01, 0xFF,  // input 3: signal
                       0x02, 0x10,  // input 4: not 1, so no signal
                       0x00, 0x00, 0xAE};
  TriskPageData data{};
  const TriskSignalReply r = DecodeTriskSignalReply(reply);
  ASSERT_TRUE(r.is_reply);
  // Inputs 1, 3 and 4 differ from the record's zeros; 2 does not.
  EXPECT_EQ(ApplyTriskSignalReply(data, r), 0b1101u);
  EXPECT_EQ(data.zv_trisk_signal_status[0], 1);
  EXPECT_EQ(data.zv_trisk_signal_status[1], 0);
  EXPECT_EQ(data.zv_trisk_signal_status[2], 1);
  EXPECT_EQ(data.zv_trisk_signal_status[3], 2);
  EXPECT_EQ(ApplyTriskSignalReply(data, r), 0u) << "the same reply changes nothing";

  // A reply cut after input 2 leaves inputs 3 and 4 as they were.
  TriskPageData cut_data{};
  cut_data.zv_trisk_signal_status[2] = 1;
  const Bytes cut(reply.begin(), reply.begin() + 21);
  EXPECT_EQ(ApplyTriskSignalReply(cut_data, DecodeTriskSignalReply(cut)), 0b0001u);
  EXPECT_EQ(cut_data.zv_trisk_signal_status[2], 1);

  Bytes other = reply;
  other[16] = 0x90;
  EXPECT_FALSE(DecodeTriskSignalReply(other).is_reply);
  EXPECT_EQ(ApplyTriskSignalReply(data, DecodeTriskSignalReply(other)), 0u);
}

TEST(TriskFrameTest, CommandFrames) {
  test::UdpPeer device;
  ASSERT_TRUE(device.ok());
  LinkState link;
  test::AimAt(link, device, 0x60, 0x01);
  TriskPageData data{};
  data.zv_trisk_show_mode_type = 8;
  data.zv_trisk_output_format = 7;
  data.zv_trisk_pip_child_ch[0] = 4;
  data.zv_trisk_pip_child_ch[1] = 3;
  data.zv_trisk_loop_state = 1;

  const struct {
    std::function<void()> send;
    Bytes expected;
  } rows[] = {
      {[&] { SendTriskLoopTime(link, 300); },
       {0xA5, 0x6C,              // sync
        0x16, 0x00,              // frame_length 22
        0x60, 0x01, 0x01,        // type, id, UDP link flag
        0, 0, 0, 0, 0, 0, 0, 0,  // reserved
        0x00, 0xA7,              // group, set loop time
        0x2C, 0x01,              // 300, low byte first
        0x5D, 0x02,              // checksum 0x025D
        0xAE}},
      {[&] { SendTriskShowMode(link, data); },
       {0xA5, 0x6C, 0x15, 0x00, 0x60, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0,
        0x00, 0x94,  // set show mode
        0x08,        // mode 8
        0x24, 0x02, 0xAE}},
      {[&] { SendTriskOutputFormat(link, data); },
       {0xA5, 0x6C, 0x15, 0x00, 0x60, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0,
        0x00, 0x92,  // set output format
        0x07,        // 720P60
        0x21, 0x02, 0xAE}},
      {[&] { SendTriskPipChannels(link, data); },
       {0xA5, 0x6C, 0x16, 0x00, 0x60, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0,
        0x00, 0xA5,  // set picture-in-picture channels
        0x04, 0x03,  // first 4, second 3
        0x35, 0x02, 0xAE}},
      {[&] { SendTriskLoopState(link, data); },
       {0xA5, 0x6C, 0x15, 0x00, 0x60, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0,
        0x00, 0xA6,  // set loop state
        0x01,        // on
        0x2F, 0x02, 0xAE}},
  };
  for (const auto& row : rows) {
    row.send();
    const auto got = device.Receive(1000);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->bytes, row.expected);
  }
}

// ---- read-backs against stand-in devices on loopback ------------------------

struct Aimed {
  LinkState link;
  explicit Aimed(uint16_t port) { test::AimAt(link, port, "127.0.0.1", 0x60); }
};

size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == line) return i;
  return lines.size();
}

TEST(TriskReadBackTest, OtherCommandSkippedThenReplyApplied) {
  Bytes other = StateReply(5, 1, 3, 4, 1);
  other[16] = 0x94;
  test::ScriptedDevice device({{0x90, {{other}, {StateReply(2, 8, 3, 1, 1)}}}});
  ASSERT_TRUE(device.ok());
  Aimed a(device.port());
  test::TraceRecorder trace;
  TriskPageData data{};
  std::optional<uint8_t> mode;
  const auto reply = ReadTriskState(a.link, [&](const TriskStateReply& r) { mode = ApplyTriskStateReply(data, r); });
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(device.Requests(), Bytes{0x90});
  EXPECT_EQ(mode, 2);
  EXPECT_EQ(data.zv_trisk_output_format, 8);
  EXPECT_EQ(data.zv_trisk_pip_child_ch[0], 3);
  EXPECT_EQ(data.zv_trisk_pip_child_ch[1], 1);
  EXPECT_EQ(data.zv_trisk_loop_state, 1);
  const auto& l = trace.lines;
  const size_t skipped = IndexOf(l, "the cmd is not right");
  ASSERT_LT(skipped, l.size());
  EXPECT_EQ(l[skipped - 1], "recv len is 263");
  EXPECT_LT(skipped, IndexOf(l, "line 0 umdNameLen = 0"));
  EXPECT_EQ(l.back(), "read over");
  EXPECT_FALSE(trace.Has("wait time over"));
  EXPECT_EQ(a.link.m_udpSockfd, -1) << "the socket is closed again";
}

TEST(TriskReadBackTest, NameLengthAbove32WarnsAndStillApplies) {
  Bytes reply = StateReply(4, 3, 2, 3, 1);
  reply[54] = 32;   // line 0: the most a name may have
  reply[134] = 33;  // line 2: one too many
  test::ScriptedDevice device({{0x90, {{reply}}}});
  ASSERT_TRUE(device.ok());
  Aimed a(device.port());
  test::TraceRecorder trace;
  TriskPageData data{};
  ReadTriskState(a.link, [&](const TriskStateReply& r) { ApplyTriskStateReply(data, r); });
  EXPECT_TRUE(trace.Has("line 0 umdNameLen = 32"));
  EXPECT_FALSE(trace.Has("line 0 umdNameLen is wrong,please check the recv data."));
  EXPECT_TRUE(trace.Has("line 2 umdNameLen = 33"));
  EXPECT_TRUE(trace.Has("line 2 umdNameLen is wrong,please check the recv data."));
  EXPECT_EQ(data.zv_trisk_pip_child_ch[0], 2);
  EXPECT_EQ(data.zv_trisk_pip_child_ch[1], 3);
  EXPECT_EQ(data.zv_trisk_loop_state, 1);
}

TEST(TriskReadBackTest, RepliesOnlyFromTheChosenDevice) {
  // A stranger's reply (another address) arrives first and is passed over;
  // the device's own reply is taken. The same holds for the signal poll.
  Bytes signal = {0xA5, 0x6C, 29, 0, 0x60, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0,
                  1, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0xAE};
  Bytes own_signal = signal;
  own_signal[18] = 0;
  test::ScriptedDevice device({{0x90, {{StateReply(9, 1, 4, 4, 1), true}, {StateReply(2, 2, 1, 2, 0)}}},
                               {0xAA, {{signal, true}, {own_signal}}}});
  ASSERT_TRUE(device.ok());
  Aimed a(device.port());
  test::TraceRecorder trace;
  const auto state = ReadTriskState(a.link);
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(state->show_mode, 2);
  EXPECT_EQ(state->output_format, 2);
  EXPECT_TRUE(trace.Has("the reply is not from the device"));
  const auto status = ReadTriskSignalStatus(a.link);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status[0], 0);
}

TEST(TriskReadBackTest, SilenceEndsWithWaitTimeOverWithinTheWindow) {
  // A device that never answers: each read ends after its second, not before.
  test::ScriptedDevice device({});
  ASSERT_TRUE(device.ok());
  Aimed a(device.port());
  struct Row {
    const char* name;
    std::function<bool()> read;
    bool read_over;
  };
  const Row rows[] = {
      {"read state", [&] { return ReadTriskState(a.link).has_value(); }, true},
      {"signal status", [&] { return ReadTriskSignalStatus(a.link).has_value(); }, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::TraceRecorder trace;
    const uint32_t start = TickCount();
    EXPECT_FALSE(row.read());
    const uint32_t took = TickCount() - start;
    EXPECT_GE(took, 1000u);
    EXPECT_LT(took, 1500u);
    ASSERT_FALSE(trace.lines.empty());
    EXPECT_EQ(trace.lines.back(), row.read_over ? "read over" : "wait time over");
    EXPECT_TRUE(trace.Has("wait time over"));
    EXPECT_EQ(a.link.m_udpSockfd, -1);
  }
}

TEST(TriskReadBackTest, NoDeviceOrNoAddressEndsAtOnce) {
  LinkState link;
  test::MessageBoxRecorder boxes;
  test::TraceRecorder trace;
  const uint32_t start = TickCount();
  EXPECT_FALSE(ReadTriskState(link).has_value());
  EXPECT_FALSE(ReadTriskSignalStatus(link).has_value());
  EXPECT_LT(TickCount() - start, 500u);
  EXPECT_TRUE(trace.Has("wait time over"));
  ASSERT_EQ(boxes.requests.size(), 2u);
  EXPECT_EQ(boxes.requests[0].text, "Please choose a device");

  // A chosen entry without an address (the serial search lists no address).
  link.m_device_index = 1;
  link.m_link_config.local_port = 0;
  const uint32_t again = TickCount();
  EXPECT_FALSE(ReadTriskState(link).has_value());
  EXPECT_FALSE(ReadTriskSignalStatus(link).has_value());
  EXPECT_LT(TickCount() - again, 500u);
  EXPECT_EQ(link.m_udpSockfd, -1);
}

}  // namespace
}  // namespace zv
