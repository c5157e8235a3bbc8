// What the program keeps about the chosen four-channel switcher (device type
// 0x60), its command set, the rules its panel follows, and the two
// exchanges that read the device back: the whole state when the panel opens
// and the input signal status every five seconds. Every exchange with this
// device goes over UDP, whatever the connection mode.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "fourch/fourch_show_modes.h"

namespace zv {

class LinkState;

#pragma pack(push, 1)
struct TriskPageData {
  uint8_t zv_trisk_show_mode_type;    // 0 to 16; 255 for a moment while a read-back applies
  uint8_t zv_trisk_output_format;     // a code of kTriskOutputFormats
  uint8_t zv_trisk_pip_child_ch[2];   // channels 1 to 4; 0 when none was received yet
  uint8_t zv_trisk_loop_state;        // 0 off, anything else on
  uint8_t zv_trisk_signal_status[4];  // as last shown by the indicators; 1 = signal
};
#pragma pack(pop)
static_assert(sizeof(TriskPageData) == 9, "the four-channel record is 9 packed bytes");

// The four slots of the preview picture.
using TriskPreviewSlots = std::array<TriskPreviewWindow, kTriskSlotCount>;

inline constexpr uint8_t kTriskDeviceType = 0x60;
inline constexpr int kTriskChannelCount = 4;
// The show mode the record holds while a read-back hands its mode over,
// and while the device's mode is unknown.
inline constexpr uint8_t kTriskModeBeingRead = 255;

inline constexpr uint8_t kTriskCommandReadState = 0x90;
inline constexpr uint8_t kTriskCommandSetOutputFormat = 0x92;
inline constexpr uint8_t kTriskCommandSetShowMode = 0x94;
inline constexpr uint8_t kTriskCommandSetPipChannels = 0xA5;
inline constexpr uint8_t kTriskCommandSetLoopState = 0xA6;
inline constexpr uint8_t kTriskCommandSetLoopTime = 0xA7;
inline constexpr uint8_t kTriskCommandReadSignalStatus = 0xAA;
struct TriskCommandName {
  uint8_t command;
  const char* name;
};
// What the frame monitor calls each command.
inline constexpr std::array<TriskCommandName, 7> kTriskCommandNames{{
    {kTriskCommandReadState, "read state"},
    {kTriskCommandSetOutputFormat, "output format"},
    {kTriskCommandSetShowMode, "show mode"},
    {kTriskCommandSetPipChannels, "PIP channels"},
    {kTriskCommandSetLoopState, "loop on/off"},
    {kTriskCommandSetLoopTime, "loop time"},
    {kTriskCommandReadSignalStatus, "read signal status"},
}};

// The loop time the device accepts at the least, in seconds.
inline constexpr int kTriskMinLoopTime = 3;

// ---- output formats ----------------------------------------------------------
struct TriskOutputFormat {
  const char* text;
  uint8_t code;  // the value sent and stored
};
inline constexpr std::array<TriskOutputFormat, 6> kTriskOutputFormats{{
    {"1080P60", 0},
    {"1080P50", 1},
    {"1080P30", 2},
    {"1080P25", 3},
    {"720P60", 7},
    {"720P50", 8},
}};
// The code of a list entry, or nothing for an entry outside the table.
std::optional<uint8_t> TriskOutputFormatCode(int entry);
// The list entry of a code; -1 when no entry has it.
int TriskOutputFormatEntry(uint8_t code);

// ---- the read-state reply -----------------------------------------------------
inline constexpr size_t kTriskReplyBufferSize = 1024;
inline constexpr uint32_t kTriskReplyWindowMs = 1000;
inline constexpr size_t kTriskStateOffsetFlag = 17;
inline constexpr size_t kTriskStateOffsetFormat = 20;
inline constexpr size_t kTriskStateOffsetMode = 22;
inline constexpr size_t kTriskStateOffsetText = 30;
inline constexpr size_t kTriskStateTextSize = 17;
inline constexpr size_t kTriskStateOffsetNameLength = 54;
inline constexpr size_t kTriskStateLineSize = 40;
inline constexpr uint8_t kTriskNameLengthMax = 32;
inline constexpr size_t kTriskStateOffsetPip = 255;
inline constexpr size_t kTriskStateOffsetLoop = 257;
// A reply that carries every field the program reads.
inline constexpr size_t kTriskStateReplyLength = 258;

// What a read-state reply says. A field the datagram is too short to hold is
// empty: only bytes actually received are applied, so a cut reply never
// clears what the record held.
struct TriskStateReply {
  bool is_reply = false;  // byte 16 is 0x90
  uint8_t flag = 0;       // byte 17, for the trace
  std::optional<uint8_t> output_format;
  std::optional<uint8_t> show_mode;
  size_t text_length = 0;  // of the text field, up to its first zero byte
  // Name length of each channel line; 0 where the byte did not arrive.
  std::array<uint8_t, kTriskChannelCount> name_lengths{};
  std::array<std::optional<uint8_t>, 2> pip_child_ch;
  std::optional<uint8_t> loop_state;
};
// Never reads outside `datagram`.
TriskStateReply DecodeTriskStateReply(std::span<const uint8_t> datagram);

// ---- the signal-status reply ------------------------------------------------------
inline constexpr size_t kTriskSignalOffsetStatus = 18;

struct TriskSignalReply {
  bool is_reply = false;  // byte 16 is 0xAA
  // Status of inputs 1 to 4 (1 = signal); empty where the byte did not arrive.
  std::array<std::optional<uint8_t>, kTriskChannelCount> status;
};
TriskSignalReply DecodeTriskSignalReply(std::span<const uint8_t> datagram);

// ---- rules of the panel ---------------------------------------------------------
// The output format, the channels and the loop state of a reply go into the
// record; the show mode is handed back for the panel's mode selection.
std::optional<uint8_t> ApplyTriskStateReply(TriskPageData& data, const TriskStateReply& reply);

// Stores every received status that differs from the record. Bit n of the
// result is set when indicator n must change.
unsigned ApplyTriskSignalReply(TriskPageData& data, const TriskSignalReply& reply);

// What a mode selection did.
struct TriskModeChange {
  bool changed = false;     // false: the mode was already current, nothing happened
  int old_mode = 0;
  bool first_pip_set = false;   // list 1189 shows "1" now
  bool second_pip_set = false;  // list 1192 shows "2" now
  bool send = false;            // set show mode goes to the device
};
// Selects mode `mode`. The operator's choice of a single-inset mode (7 to
// 10) puts the inset on channel 1, moving the second channel to 2 when it
// held 1, and is sent. A mode read from the device (a set `from_device`
// mark, which is cleared) keeps the device's channels and sends nothing.
TriskModeChange SelectTriskShowMode(TriskPageData& data, int mode, bool& from_device);
// The read-back brought no show mode (no reply, or one cut before the mode):
// the mode is unknown, no button is marked, and any mode button sends.
void ForgetTriskShowMode(TriskPageData& data);

// Choosing `channel` (1 to 4) in list `list` (0: 1189, 1: 1192). A channel
// either list already holds is refused (false) and the list goes back;
// otherwise the record takes it and the caller sends both channels.
bool ChooseTriskPipChannel(TriskPageData& data, int list, int channel);
// The list entry that shows a channel: channel - 1, the first entry for 0,
// and no entry (-1) for a channel outside 1 to 4.
int TriskPipListEntry(uint8_t channel);

enum class ListEnable { kUnchanged, kDisabled, kEnabled };
struct TriskPipListStates {
  ListEnable first;   // list 1189
  ListEnable second;  // list 1192
};
// The enabled state of the two picture-in-picture lists in a show mode.
TriskPipListStates TriskPipListEnable(int mode, bool loop_on);

// The loop time the field's number gives: at least 3, at most what 16 bits
// carry.
uint16_t TriskLoopTime(long value);

// ---- commands -----------------------------------------------------------------------
// Each builds the frame for the chosen device and sends it by UDP, pausing
// 10 ms after the send; the values come from the record.
bool SendTriskShowMode(LinkState& link, const TriskPageData& data);
bool SendTriskOutputFormat(LinkState& link, const TriskPageData& data);
bool SendTriskPipChannels(LinkState& link, const TriskPageData& data);
bool SendTriskLoopState(LinkState& link, const TriskPageData& data);
bool SendTriskLoopTime(LinkState& link, uint16_t seconds);

// ---- read-backs -------------------------------------------------------------------------
// Sends the read-state request and waits up to a second from before the send
// for a read-state reply from the chosen device's address. `apply` takes the
// reply before the socket closes (the panel's mode selection runs there).
// Writes the program's trace lines; returns nothing when no reply came.
std::optional<TriskStateReply> ReadTriskState(
    LinkState& link, const std::function<void(const TriskStateReply&)>& apply = {});
// Sends the signal-status request and waits up to a second from after the
// pause that follows the send.
std::optional<TriskSignalReply> ReadTriskSignalStatus(LinkState& link);

}  // namespace zv
