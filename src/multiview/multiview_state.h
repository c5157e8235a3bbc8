// What the program keeps about the chosen multiviewer: the device record, the
// value maps between device codes and list positions, the colour table, the
// command set, the preview model and the decoding of the read-state reply.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "res/preview_box.h"

namespace zv {

inline constexpr int kMultiviewWindowCount = 16;

#pragma pack(push, 1)
struct MultiviewPageData {
  uint8_t zv_16_view_mode_type;
  uint8_t zv_16_view_resolution_type;
  uint8_t zv_16_view_resolution_enable;
  uint8_t zv_16_view_umd_enable;
  uint8_t zv_16_view_umd_text_color[16];
  uint8_t zv_16_view_umd_back_color[16];
  uint8_t zv_16_view_resolution_text_color[16];
  uint8_t zv_16_view_resolution_back_color[16];
  uint8_t zv_16_view_audio_enable;
  uint8_t zv_16_view_audio_source_channel;
  uint8_t zv_16_view_color_channel;
  uint8_t zv_16_view_color_window;
  uint8_t zv_16_view_border_enable;
  uint8_t zv_16_view_lock_state;
};
#pragma pack(pop)
static_assert(sizeof(MultiviewPageData) == 74, "the multiviewer record is 74 packed bytes");

// All zero, except the two colour-page selections, which start at window 1.
void ResetMultiviewPageData(MultiviewPageData& data);

// ---- value maps ---------------------------------------------------------------
// A pair of a map: the device's code and the list position + 1 (0 is never a
// position, so a zeroed pair matches nothing).
struct MultiviewCodePair {
  uint8_t code;
  uint8_t position;
};

// Layouts: the device code is the number of windows.
inline constexpr std::array<MultiviewCodePair, 7> zv_16_view_mode_map{{
    {1, 1}, {4, 2}, {6, 3}, {8, 4}, {9, 5}, {10, 6}, {16, 7}}};
// Video formats; the device's codes are not in list order.
inline constexpr std::array<MultiviewCodePair, 9> zv_16_view_resolution_map{{
    {7, 1}, {11, 2}, {9, 3}, {1, 4}, {3, 5}, {13, 6}, {5, 7}, {14, 8}, {6, 9}}};

// The list index of a device code, searching from the first pair; nothing
// for a code that is in no pair.
std::optional<int> MultiviewIndexForCode(std::span<const MultiviewCodePair> map, int code);
// The device code of a list index, searching from the first pair.
std::optional<uint8_t> MultiviewCodeForIndex(std::span<const MultiviewCodePair> map, int index);

inline constexpr std::array<const char*, 7> kMultiviewLayoutNames{
    "单画面", "四画面", "六画面", "八画面", "九画面", "十画面", "十六画面"};
inline constexpr std::array<const char*, 9> kMultiviewFormatNames{
    "1080p60", "1080p50", "1080i60", "1080i50", "1080p30",
    "1080p25", "1080p24", "720p60",  "720p50"};

// ---- colours --------------------------------------------------------------------
struct Rgb {
  uint8_t r, g, b;
  friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};
inline constexpr int kMultiviewColourCount = 16;
inline constexpr std::array<const char*, kMultiviewColourCount> kMultiviewColourNames{
    "Black", "Blue",      "Red",       "Magenta",   "Green",      "Cyan",
    "Yellow", "White",    "Gray",      "VioletRed", "LightBlue",  "LightGreen",
    "LightCyan", "LightYellow", "Trans", "HalfTrans"};
// How the preview paints each colour index. "Trans" shows white.
inline constexpr std::array<Rgb, kMultiviewColourCount> kMultiviewColourRgb{{
    {0, 0, 0},       {0, 0, 255},     {255, 0, 0},     {255, 0, 255},
    {0, 255, 0},     {0, 255, 255},   {255, 255, 0},   {255, 255, 255},
    {186, 183, 186}, {219, 112, 147}, {173, 216, 230}, {144, 238, 144},
    {224, 255, 255}, {255, 255, 224}, {255, 255, 255}, {245, 245, 245}}};

// ---- commands ---------------------------------------------------------------------
enum MultiviewCommand : uint8_t {
  kMvSetIp = 0x05,
  kMvSetVideoFormat = 0x19,
  kMvSetWindowLabel = 0x1E,
  kMvReadState = 0x32,
  kMvSetLayout = 0x33,
  kMvSetWindowSource = 0x34,
  kMvSetLabels = 0x36,
  kMvSetAudioMeter = 0x37,
  kMvRestoreDefaults = 0x38,
  kMvSetAudioSource = 0x39,
  kMvSetResolutionOverlay = 0x3A,
  kMvSetLabelTextColour = 0x3B,
  kMvSetLabelBackColour = 0x3C,
  kMvSetOverlayTextColour = 0x3D,
  kMvSetOverlayBackColour = 0x3E,
  kMvSetBorder = 0x3F,
  kMvSetLock = 0x50,
};
struct MultiviewCommandName {
  uint8_t command;
  const char* name;
};
// What the frame monitor calls each command.
inline constexpr std::array<MultiviewCommandName, 17> kMultiviewCommandNames{{
    {kMvSetIp, "set IP"},
    {kMvSetVideoFormat, "video format"},
    {kMvSetWindowLabel, "window label"},
    {kMvReadState, "read state"},
    {kMvSetLayout, "layout"},
    {kMvSetWindowSource, "window source"},
    {kMvSetLabels, "labels on/off"},
    {kMvSetAudioMeter, "audio meter"},
    {kMvRestoreDefaults, "restore defaults"},
    {kMvSetAudioSource, "audio source"},
    {kMvSetResolutionOverlay, "resolution overlay"},
    {kMvSetLabelTextColour, "label text colour"},
    {kMvSetLabelBackColour, "label background colour"},
    {kMvSetOverlayTextColour, "overlay text colour"},
    {kMvSetOverlayBackColour, "overlay background colour"},
    {kMvSetBorder, "border"},
    {kMvSetLock, "lock"},
}};

// ---- the read-state reply -----------------------------------------------------
struct MultiviewReply {
  static constexpr size_t kLayout = 18;
  static constexpr size_t kFormat = 19;
  static constexpr size_t kLabelsOn = 20;
  static constexpr size_t kAudioOn = 21;
  static constexpr size_t kAudioSource = 22;
  static constexpr size_t kOverlayOn = 23;
  static constexpr size_t kLabelSlots = 24;     // slot n: length at 24 + 33n, text after it
  static constexpr size_t kLabelSlotSize = 33;
  static constexpr size_t kLabelTextSize = 32;  // at most 16 UTF-16 characters
  static constexpr size_t kSources = 552;
  static constexpr size_t kBorder = 600;
  static constexpr size_t kLock = 601;
  static constexpr size_t kUmdTextColours = 602;
  static constexpr size_t kUmdBackColours = 618;
  static constexpr size_t kOverlayTextColours = 634;
  static constexpr size_t kOverlayBackColours = 650;
  static constexpr size_t kContentSize = 666;
  // Content, checksum and tail.
  static constexpr size_t kFullSize = kContentSize + 3;
};

// The label of one slot: the first `length` bytes (at most the slot's 32) as
// zero-terminated UTF-16LE; an odd length makes the last code unit from the
// last byte and a zero high byte.
std::u16string DecodeMultiviewLabel(const uint8_t* text, size_t length);

// The label as the set-window-label frame carries it: two bytes per UTF-16
// code unit, low byte first, no terminator.
std::u16string::size_type EncodeMultiviewLabel(const std::u16string& label, uint8_t* out,
                                               size_t capacity);

// The part of a received read-state datagram that holds content: a datagram
// that is a whole frame (sync bytes, its own length, tail) ends its content
// before the checksum; anything else is taken as content up to its last byte.
size_t MultiviewReplyContentLength(std::span<const uint8_t> datagram);

// ---- the preview model ----------------------------------------------------------
// One slot of m_16_view_windows: slot n holds window n + 1; an empty slot is
// all zeros.
struct MultiviewWindow {
  int x, y, width, height, number;
};

// Everything the program keeps about one multiviewer: the record of its
// session (multiview_session.h), one per device.
struct MultiviewerState {
  MultiviewerState();

  MultiviewPageData m_all_16_view_page_data{};
  // Label texts of windows 1 to 16, UTF-16 as the device keeps them.
  std::u16string m_16_view_umd_name[kMultiviewWindowCount];
  // Windows of the current layout. Before the first read-back the record
  // says layout 0, one window, and so does this.
  int8_t m_cur_window_count = 1;
  uint8_t m_16_view_window_source[kMultiviewWindowCount] = {};
  uint8_t m_16_view_cur_window = 0;
  int32_t m_16_view_state_read = 0;

  // The preview model, in a 720 x 480 picture.
  MultiviewWindow m_16_view_windows[kMultiviewWindowCount] = {};
  PreviewBox m_16_view_audio_rects[kMultiviewWindowCount] = {};
  PreviewBox m_16_view_umd_rects[kMultiviewWindowCount] = {};
  PreviewBox m_16_view_resolution_rects[kMultiviewWindowCount] = {};
  Rgb m_16_view_umd_rgb[kMultiviewWindowCount] = {};
  Rgb m_16_view_resolution_rgb[kMultiviewWindowCount] = {};
  int32_t m_16_view_show_audio = 0;
  int32_t m_16_view_show_umd = 0;
  int32_t m_16_view_show_resolution = 0;

  // Applies the content of a read-state reply (offset 0 is the frame's first
  // byte). Only fields whose bytes all lie within `content` are taken, so a
  // reply cut short leaves the rest of the state as it was. A label length
  // above its slot's 32 bytes is taken as 32. The preview is not recomputed.
  void ApplyReadStateReply(std::span<const uint8_t> content);

  // The four recompute operations of the preview model.
  void RecomputeWindows();
  void RecomputeAudioMeters();
  void RecomputeLabels();
  void RecomputeOverlays();

  // The colour-page rule: target 0 sets all sixteen entries, target c (1 to
  // 16) entry c - 1; any other target changes nothing.
  static void SetTargetColour(uint8_t (&colours)[kMultiviewWindowCount], int target, uint8_t k);
  // The entry the colour page shows for a target: window 1 for target 0.
  static uint8_t TargetColour(const uint8_t (&colours)[kMultiviewWindowCount], int target);

  // The settings page's local defaults after a restore-defaults command.
  void ApplyLocalDefaults();
};

// The gateway the settings page offers for a device address: the address up
// to and including its last dot, then "1"; "1" without a dot.
std::string DefaultGatewayText(const std::string& ip_text);

}  // namespace zv
