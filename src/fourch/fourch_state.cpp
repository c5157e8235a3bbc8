#include "fourch/fourch_state.h"

#include <algorithm>
#include <vector>

#include "link/link_state.h"
#include "platform/platform.h"

namespace zv {
namespace {

std::optional<uint8_t> ByteAt(std::span<const uint8_t> bytes, size_t offset) {
  if (offset >= bytes.size()) return std::nullopt;
  return bytes[offset];
}

// Single-inset modes put the inset on channel 1.
bool IsSingleInsetMode(int mode) { return mode >= 7 && mode <= 10; }

struct PipListRow {
  int first_mode, last_mode;
  // kEnabled in a row means "enabled while the loop is off".
  ListEnable first, second;
};
constexpr std::array<PipListRow, 6> kPipListRows{{
    {0, 4, ListEnable::kDisabled, ListEnable::kDisabled},
    {5, 6, ListEnable::kUnchanged, ListEnable::kUnchanged},
    {7, 10, ListEnable::kDisabled, ListEnable::kEnabled},
    {11, 11, ListEnable::kEnabled, ListEnable::kEnabled},
    {12, 15, ListEnable::kDisabled, ListEnable::kDisabled},
    {16, 16, ListEnable::kEnabled, ListEnable::kEnabled},
}};

bool SendTrisk(LinkState& link, uint8_t command, std::span<const uint8_t> params = {}) {
  return link.SendCommand(command, params);
}

// Sends a request without parameters to the chosen device and takes the
// first datagram from the device's address whose command byte is
// `reply_command`, tracing each one that arrives. The window starts before
// the send, or after the pause that follows it.
bool ExchangeWithDevice(LinkState& link, uint8_t request_command, uint8_t reply_command,
                        bool window_after_pause,
                        const std::function<void(std::span<const uint8_t>)>& apply) {
  // Replies count only from the device that was asked: anything else on the
  // local port (another device, a stray sender) must not fill the record. An
  // entry without an address is not asked at all, since no reply could be
  // taken; opening the socket still tells the operator when no device is
  // chosen.
  const std::optional<in_addr> device_address = link.ChosenDeviceAddress();
  if (!device_address) {
    link.OpenCommandSocket();
    link.CloseUdpSocket();
    Trace("wait time over");
    return false;
  }
  uint8_t frame[CommandFrame::kSenderBufferSize] = {};
  const DeviceEntry& device = link.ChosenDevice();
  const size_t length = BuildCommandFrame(frame, device.device_type, device.device_id,
                                          kLinkFlagUdp, request_command);
  const ReplyTest is_reply = [&](std::span<const uint8_t> bytes, const sockaddr_in& from) {
    if (bytes.empty()) return false;
    Trace("recv len is %d", static_cast<int>(bytes.size()));
    if (from.sin_addr.s_addr != device_address->s_addr) {
      Trace("the reply is not from the device");
      return false;
    }
    if (bytes.size() <= CommandFrame::kOffsetCommand || bytes[CommandFrame::kOffsetCommand] != reply_command) {
      Trace("the cmd is not right");
      return false;
    }
    return true;
  };
  const std::optional<Datagram> reply =
      link.ReceiveWithTimeout(std::span<const uint8_t>(frame, length), kTriskReplyBufferSize,
                              kTriskReplyWindowMs, is_reply, kCommandPauseMs, window_after_pause);
  if (!reply) return false;
  apply(reply->bytes);
  return true;
}

}  // namespace

std::optional<uint8_t> TriskOutputFormatCode(int entry) {
  if (entry < 0 || entry >= static_cast<int>(kTriskOutputFormats.size())) return std::nullopt;
  return kTriskOutputFormats[static_cast<size_t>(entry)].code;
}

int TriskOutputFormatEntry(uint8_t code) {
  for (size_t i = 0; i < kTriskOutputFormats.size(); ++i)
    if (kTriskOutputFormats[i].code == code) return static_cast<int>(i);
  return -1;
}

TriskStateReply DecodeTriskStateReply(std::span<const uint8_t> datagram) {
  TriskStateReply r;
  r.is_reply = ByteAt(datagram, CommandFrame::kOffsetCommand) == kTriskCommandReadState;
  if (!r.is_reply) return r;
  r.flag = ByteAt(datagram, kTriskStateOffsetFlag).value_or(0);
  r.output_format = ByteAt(datagram, kTriskStateOffsetFormat);
  r.show_mode = ByteAt(datagram, kTriskStateOffsetMode);
  while (r.text_length < kTriskStateTextSize &&
         ByteAt(datagram, kTriskStateOffsetText + r.text_length).value_or(0) != 0)
    ++r.text_length;
  for (size_t n = 0; n < r.name_lengths.size(); ++n)
    r.name_lengths[n] =
        ByteAt(datagram, kTriskStateOffsetNameLength + kTriskStateLineSize * n).value_or(0);
  r.pip_child_ch[0] = ByteAt(datagram, kTriskStateOffsetPip);
  r.pip_child_ch[1] = ByteAt(datagram, kTriskStateOffsetPip + 1);
  r.loop_state = ByteAt(datagram, kTriskStateOffsetLoop);
  return r;
}

TriskSignalReply DecodeTriskSignalReply(std::span<const uint8_t> datagram) {
  TriskSignalReply r;
  r.is_reply = ByteAt(datagram, CommandFrame::kOffsetCommand) == kTriskCommandReadSignalStatus;
  if (!r.is_reply) return r;
  for (size_t n = 0; n < r.status.size(); ++n)
    r.status[n] = ByteAt(datagram, kTriskSignalOffsetStatus + 2 * n);
  return r;
}

std::optional<uint8_t> ApplyTriskStateReply(TriskPageData& data, const TriskStateReply& reply) {
  if (!reply.is_reply) return std::nullopt;
  if (reply.output_format) data.zv_trisk_output_format = *reply.output_format;
  for (size_t i = 0; i < 2; ++i)
    if (reply.pip_child_ch[i]) data.zv_trisk_pip_child_ch[i] = *reply.pip_child_ch[i];
  if (reply.loop_state) data.zv_trisk_loop_state = *reply.loop_state;
  return reply.show_mode;
}

unsigned ApplyTriskSignalReply(TriskPageData& data, const TriskSignalReply& reply) {
  unsigned changed = 0;
  if (!reply.is_reply) return changed;
  for (size_t n = 0; n < reply.status.size(); ++n) {
    if (!reply.status[n] || *reply.status[n] == data.zv_trisk_signal_status[n]) continue;
    data.zv_trisk_signal_status[n] = *reply.status[n];
    changed |= 1u << n;
  }
  return changed;
}

TriskModeChange SelectTriskShowMode(TriskPageData& data, int mode, bool& from_device) {
  TriskModeChange change;
  if (mode < 0 || mode > 255 || mode == data.zv_trisk_show_mode_type) return change;
  change.changed = true;
  change.old_mode = data.zv_trisk_show_mode_type;
  data.zv_trisk_show_mode_type = static_cast<uint8_t>(mode);
  // A mode the device reported comes with the channels the device uses:
  // they stay, and nothing goes back. Only the operator's choice of a
  // single-inset mode puts the inset on channel 1.
  const bool operator_choice = !from_device;
  from_device = false;
  if (IsSingleInsetMode(mode) && operator_choice) {
    data.zv_trisk_pip_child_ch[0] = 1;
    change.first_pip_set = true;
    if (data.zv_trisk_pip_child_ch[1] == 1) {
      data.zv_trisk_pip_child_ch[1] = 2;
      change.second_pip_set = true;
    }
  }
  change.send = operator_choice;
  return change;
}

void ForgetTriskShowMode(TriskPageData& data) { data.zv_trisk_show_mode_type = kTriskModeBeingRead; }

bool ChooseTriskPipChannel(TriskPageData& data, int list, int channel) {
  if (list < 0 || list > 1 || channel < 1 || channel > kTriskChannelCount) return false;
  if (channel == data.zv_trisk_pip_child_ch[0] || channel == data.zv_trisk_pip_child_ch[1])
    return false;
  data.zv_trisk_pip_child_ch[list] = static_cast<uint8_t>(channel);
  return true;
}

int TriskPipListEntry(uint8_t channel) {
  if (channel == 0) return 0;
  if (channel > kTriskChannelCount) return -1;
  return channel - 1;
}

TriskPipListStates TriskPipListEnable(int mode, bool loop_on) {
  const auto resolve = [loop_on](ListEnable e) {
    if (e == ListEnable::kEnabled && loop_on) return ListEnable::kDisabled;
    return e;
  };
  for (const PipListRow& row : kPipListRows)
    if (mode >= row.first_mode && mode <= row.last_mode)
      return {resolve(row.first), resolve(row.second)};
  return {ListEnable::kUnchanged, ListEnable::kUnchanged};
}

uint16_t TriskLoopTime(long value) {
  return static_cast<uint16_t>(std::clamp<long>(value, kTriskMinLoopTime, 0xFFFF));
}

bool SendTriskShowMode(LinkState& link, const TriskPageData& data) {
  const uint8_t params[] = {data.zv_trisk_show_mode_type};
  return SendTrisk(link, kTriskCommandSetShowMode, params);
}

bool SendTriskOutputFormat(LinkState& link, const TriskPageData& data) {
  const uint8_t params[] = {data.zv_trisk_output_format};
  return SendTrisk(link, kTriskCommandSetOutputFormat, params);
}

bool SendTriskPipChannels(LinkState& link, const TriskPageData& data) {
  const uint8_t params[] = {data.zv_trisk_pip_child_ch[0], data.zv_trisk_pip_child_ch[1]};
  return SendTrisk(link, kTriskCommandSetPipChannels, params);
}

bool SendTriskLoopState(LinkState& link, const TriskPageData& data) {
  const uint8_t params[] = {static_cast<uint8_t>(data.zv_trisk_loop_state ? 1 : 0)};
  return SendTrisk(link, kTriskCommandSetLoopState, params);
}

bool SendTriskLoopTime(LinkState& link, uint16_t seconds) {
  const uint8_t params[] = {static_cast<uint8_t>(seconds & 0xFF), static_cast<uint8_t>(seconds >> 8)};
  return SendTrisk(link, kTriskCommandSetLoopTime, params);
}

std::optional<TriskStateReply> ReadTriskState(
    LinkState& link, const std::function<void(const TriskStateReply&)>& apply) {
  std::optional<TriskStateReply> result;
  ExchangeWithDevice(link, kTriskCommandReadState, kTriskCommandReadState, false,
                     [&](std::span<const uint8_t> datagram) {
                       const TriskStateReply reply = DecodeTriskStateReply(datagram);
                       Trace("cmd flag is %d", reply.flag);
                       Trace("text len is %d", static_cast<int>(reply.text_length));
                       for (size_t n = 0; n < reply.name_lengths.size(); ++n) {
                         const int line = static_cast<int>(n);
                         Trace("line %d umdNameLen = %d", line, reply.name_lengths[n]);
                         if (reply.name_lengths[n] > kTriskNameLengthMax)
                           Trace("line %d umdNameLen is wrong,please check the recv data.", line);
                       }
                       if (apply) apply(reply);
                       result = reply;
                     });
  Trace("read over");
  return result;
}

std::optional<TriskSignalReply> ReadTriskSignalStatus(LinkState& link) {
  std::optional<TriskSignalReply> result;
  ExchangeWithDevice(link, kTriskCommandReadSignalStatus, kTriskCommandReadSignalStatus, true,
                     [&](std::span<const uint8_t> datagram) {
                       result = DecodeTriskSignalReply(datagram);
                     });
  return result;
}

}  // namespace zv
