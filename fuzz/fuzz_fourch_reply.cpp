// The four-channel switcher's two reply decoders over whatever a datagram
// holds, each applied to a record as the panel applies it.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fourch/fourch_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> datagram(data, size);
  const bool has_command = size > 16;

  const zv::TriskStateReply state = zv::DecodeTriskStateReply(datagram);
  if (state.is_reply != (has_command && data[16] == zv::kTriskCommandReadState)) std::abort();
  if (state.text_length > zv::kTriskStateTextSize) std::abort();
  // A field is there exactly when its byte arrived.
  if (state.is_reply && (state.loop_state.has_value() != (size > zv::kTriskStateOffsetLoop) ||
                         state.show_mode.has_value() != (size > zv::kTriskStateOffsetMode)))
    std::abort();
  zv::TriskPageData record{};
  record.zv_trisk_pip_child_ch[1] = 0xEE;
  const std::optional<uint8_t> mode = zv::ApplyTriskStateReply(record, state);
  if (state.is_reply && size <= zv::kTriskStateOffsetPip + 1 && record.zv_trisk_pip_child_ch[1] != 0xEE)
    std::abort();
  if (mode) {
    bool from_device = true;
    record.zv_trisk_show_mode_type = zv::kTriskModeBeingRead;
    const zv::TriskModeChange change = zv::SelectTriskShowMode(record, *mode, from_device);
    if (change.send) std::abort();
  }

  const zv::TriskSignalReply signal = zv::DecodeTriskSignalReply(datagram);
  if (signal.is_reply != (has_command && data[16] == zv::kTriskCommandReadSignalStatus)) std::abort();
  const unsigned changed = zv::ApplyTriskSignalReply(record, signal);
  if (changed > 0xF) std::abort();
  if (zv::ApplyTriskSignalReply(record, signal) != 0) std::abort();
  return 0;
}
