#include "multiview/multiview_state.h"

#include <algorithm>
#include <cstring>

#include "link/command_frame.h"
#include "multiview/multiview_layout.h"

namespace zv {

void ResetMultiviewPageData(MultiviewPageData& data) {
  std::memset(&data, 0, sizeof data);
  data.zv_16_view_color_channel = 1;
  data.zv_16_view_color_window = 1;
}

std::optional<int> MultiviewIndexForCode(std::span<const MultiviewCodePair> map, int code) {
  for (const MultiviewCodePair& pair : map)
    if (pair.code == code) return pair.position - 1;
  return std::nullopt;
}

std::optional<uint8_t> MultiviewCodeForIndex(std::span<const MultiviewCodePair> map, int index) {
  for (const MultiviewCodePair& pair : map)
    if (pair.position == index + 1) return pair.code;
  return std::nullopt;
}

std::u16string DecodeMultiviewLabel(const uint8_t* text, size_t length) {
  length = std::min(length, MultiviewReply::kLabelTextSize);
  // Two spare zero bytes: an odd length still ends in a whole code unit and
  // a full slot still ends in a terminator.
  uint8_t buffer[MultiviewReply::kLabelTextSize + 2] = {};
  std::memcpy(buffer, text, length);
  std::u16string label;
  for (size_t i = 0; i + 1 < sizeof buffer; i += 2) {
    const char16_t unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
    if (unit == 0) break;
    label.push_back(unit);
  }
  return label;
}

std::u16string::size_type EncodeMultiviewLabel(const std::u16string& label, uint8_t* out,
                                               size_t capacity) {
  const size_t units = std::min(label.size(), capacity / 2);
  for (size_t i = 0; i < units; ++i) {
    out[2 * i] = static_cast<uint8_t>(label[i] & 0xFF);
    out[2 * i + 1] = static_cast<uint8_t>(label[i] >> 8);
  }
  return units;
}

size_t MultiviewReplyContentLength(std::span<const uint8_t> d) {
  if (d.size() >= CommandFrame::kOverhead && d[0] == CommandFrame::kSync1 &&
      d[1] == CommandFrame::kSync2 && (d[2] | (d[3] << 8)) == static_cast<int>(d.size()) &&
      d.back() == CommandFrame::kTail)
    return d.size() - 3;
  return d.size();
}

MultiviewerState::MultiviewerState() { ResetMultiviewPageData(m_all_16_view_page_data); }

void MultiviewerState::ApplyReadStateReply(std::span<const uint8_t> c) {
  MultiviewPageData& d = m_all_16_view_page_data;
  const auto has = [&c](size_t offset, size_t size) { return offset + size <= c.size(); };

  if (has(MultiviewReply::kLayout, 1)) {
    const uint8_t code = c[MultiviewReply::kLayout];
    const std::optional<int> index = MultiviewIndexForCode(zv_16_view_mode_map, code);
    // The device code is the window count; an unknown code counts as one
    // window while the layout index stays.
    m_cur_window_count = index ? static_cast<int8_t>(code) : 1;
    if (index) d.zv_16_view_mode_type = static_cast<uint8_t>(*index);
  }
  if (has(MultiviewReply::kFormat, 1)) {
    if (const auto index =
            MultiviewIndexForCode(zv_16_view_resolution_map, c[MultiviewReply::kFormat]))
      d.zv_16_view_resolution_type = static_cast<uint8_t>(*index);
  }
  if (has(MultiviewReply::kLabelsOn, 1)) {
    d.zv_16_view_umd_enable = c[MultiviewReply::kLabelsOn];
    m_16_view_show_umd = d.zv_16_view_umd_enable != 0;
  }
  if (has(MultiviewReply::kAudioOn, 1)) {
    d.zv_16_view_audio_enable = c[MultiviewReply::kAudioOn];
    m_16_view_show_audio = d.zv_16_view_audio_enable != 0;
  }
  if (has(MultiviewReply::kAudioSource, 1))
    d.zv_16_view_audio_source_channel = c[MultiviewReply::kAudioSource];
  if (has(MultiviewReply::kOverlayOn, 1)) {
    d.zv_16_view_resolution_enable = c[MultiviewReply::kOverlayOn];
    m_16_view_show_resolution = d.zv_16_view_resolution_enable != 0;
  }
  for (size_t n = 0; n < kMultiviewWindowCount; ++n) {
    const size_t slot = MultiviewReply::kLabelSlots + MultiviewReply::kLabelSlotSize * n;
    if (!has(slot, 1)) break;
    const size_t length = std::min<size_t>(c[slot], MultiviewReply::kLabelTextSize);
    // A label whose bytes did not all arrive is not taken half.
    if (!has(slot + 1, length)) break;
    m_16_view_umd_name[n] = DecodeMultiviewLabel(c.data() + slot + 1, length);
  }
  const auto copy = [&](size_t offset, uint8_t* to, size_t size) {
    if (has(offset, size)) std::memcpy(to, c.data() + offset, size);
  };
  copy(MultiviewReply::kSources, m_16_view_window_source, kMultiviewWindowCount);
  copy(MultiviewReply::kBorder, &d.zv_16_view_border_enable, 1);
  copy(MultiviewReply::kLock, &d.zv_16_view_lock_state, 1);
  copy(MultiviewReply::kUmdTextColours, d.zv_16_view_umd_text_color, kMultiviewWindowCount);
  copy(MultiviewReply::kUmdBackColours, d.zv_16_view_umd_back_color, kMultiviewWindowCount);
  copy(MultiviewReply::kOverlayTextColours, d.zv_16_view_resolution_text_color,
       kMultiviewWindowCount);
  copy(MultiviewReply::kOverlayBackColours, d.zv_16_view_resolution_back_color,
       kMultiviewWindowCount);
}

void MultiviewerState::RecomputeWindows() {
  const auto windows = MultiviewLayoutWindows(m_all_16_view_page_data.zv_16_view_mode_type);
  std::copy(windows.begin(), windows.end(), m_16_view_windows);
}

void MultiviewerState::RecomputeAudioMeters() {
  for (int n = 0; n < kMultiviewWindowCount; ++n)
    m_16_view_audio_rects[n] = MultiviewAudioMeterBox(m_16_view_windows[n]);
}

void MultiviewerState::RecomputeLabels() {
  for (int n = 0; n < kMultiviewWindowCount; ++n) {
    m_16_view_umd_rects[n] = MultiviewLabelBox(m_16_view_windows[n]);
    const uint8_t k = m_all_16_view_page_data.zv_16_view_umd_back_color[n];
    if (k < kMultiviewColourCount) m_16_view_umd_rgb[n] = kMultiviewColourRgb[k];
  }
}

void MultiviewerState::RecomputeOverlays() {
  for (int n = 0; n < kMultiviewWindowCount; ++n) {
    m_16_view_resolution_rects[n] = MultiviewOverlayBox(m_16_view_windows[n]);
    const uint8_t k = m_all_16_view_page_data.zv_16_view_resolution_back_color[n];
    if (k < kMultiviewColourCount) m_16_view_resolution_rgb[n] = kMultiviewColourRgb[k];
  }
}

void MultiviewerState::SetTargetColour(uint8_t (&colours)[kMultiviewWindowCount], int target,
                                       uint8_t k) {
  if (target == 0) {
    std::fill(std::begin(colours), std::end(colours), k);
  } else if (target >= 1 && target <= kMultiviewWindowCount) {
    colours[target - 1] = k;
  }
}

uint8_t MultiviewerState::TargetColour(const uint8_t (&colours)[kMultiviewWindowCount],
                                       int target) {
  if (target < 1 || target > kMultiviewWindowCount) return colours[0];
  return colours[target - 1];
}

void MultiviewerState::ApplyLocalDefaults() {
  MultiviewPageData& d = m_all_16_view_page_data;
  d.zv_16_view_audio_enable = 1;
  m_16_view_show_audio = 1;
  d.zv_16_view_audio_source_channel = 0;
  d.zv_16_view_mode_type = 6;
  m_cur_window_count = 16;
  d.zv_16_view_resolution_type = 0;
  d.zv_16_view_resolution_enable = 0;
  m_16_view_show_resolution = 0;
  d.zv_16_view_umd_enable = 1;
  m_16_view_show_umd = 1;
}

std::string DefaultGatewayText(const std::string& ip_text) {
  const size_t dot = ip_text.rfind('.');
  if (dot == std::string::npos) return "1";
  return ip_text.substr(0, dot + 1) + "1";
}

}  // namespace zv
