// The multiviewer's read-state reply decoder over whatever a device or a
// stray sender delivers: once as a network datagram, and once as serial
// bytes fed through the accumulation buffer and the frame scanner in the
// pieces a port would hand over.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "link/link_state.h"
#include "multiview/multiview_state.h"

namespace {

void CheckState(const zv::MultiviewerState& s) {
  switch (s.m_cur_window_count) {
    case 1: case 4: case 6: case 8: case 9: case 10: case 16: break;
    default: std::abort();
  }
  if (s.m_all_16_view_page_data.zv_16_view_mode_type > 6) std::abort();
  if (s.m_all_16_view_page_data.zv_16_view_resolution_type > 8) std::abort();
  for (const std::u16string& label : s.m_16_view_umd_name)
    if (label.size() > 16) std::abort();
}

constexpr size_t kMaxPieces = 32;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> datagram(data, size);
  {
    zv::MultiviewerState s;
    const size_t content = zv::MultiviewReplyContentLength(datagram);
    if (content > size) std::abort();
    s.ApplyReadStateReply(datagram.first(content));
    CheckState(s);
    s.RecomputeWindows();
    s.RecomputeAudioMeters();
    s.RecomputeLabels();
    s.RecomputeOverlays();
  }
  if (size == 0) return 0;
  // The first byte chooses the piece size, as a port's waiting count would.
  // The whole buffer is scanned after every piece, so the number of pieces
  // is bounded: an input of up to kMaxPieces bytes still arrives a byte at a
  // time, a longer one in pieces at least as large as that bound needs.
  const size_t rest = size - 1;
  const size_t piece = std::max<size_t>(1 + data[0] % 255, (rest + kMaxPieces - 1) / kMaxPieces);
  zv::LinkState state;
  zv::MultiviewerState record;
  state.m_state_frame_handler = [&record](std::span<const uint8_t> frame) {
    record.ApplyReadStateReply(frame.first(zv::MultiviewReplyContentLength(frame)));
  };
  for (size_t at = 1; at < size; at += piece) {
    const size_t n = size - at < piece ? size - at : piece;
    state.AppendSerialBytes(datagram.subspan(at, n));
    state.ParseSerialReply();
    CheckState(record);
  }
  return 0;
}
