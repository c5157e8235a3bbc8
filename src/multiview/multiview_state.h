// What the program keeps about the chosen multiviewer.
#pragma once

#include <cstdint>
#include <string>

namespace zv {

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

inline constexpr int kMultiviewWindowCount = 16;

}  // namespace zv
