// The serial frame scanner over whatever the line delivers: once over the
// whole input as one buffer, and once fed through the accumulation buffer in
// the pieces a port would hand over.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "link/command_frame.h"
#include "link/link_state.h"

namespace {
constexpr size_t kMaxPieces = 32;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zv::SerialScan scan = zv::ScanSerialReply(data, size);
  if (scan.result < 0) std::abort();
  if (scan.found == zv::SerialScan::Found::kStateFrame &&
      (scan.frame_length < zv::CommandFrame::kOverhead || scan.frame_start + scan.frame_length > size))
    std::abort();
  if (scan.found == zv::SerialScan::Found::kNames && scan.last_name.size() > size) std::abort();

  // The first byte chooses the piece size, as a port's waiting count would.
  // The whole buffer is scanned after every piece, so the number of pieces
  // is bounded: an input of up to kMaxPieces bytes still arrives a byte at a
  // time, a longer one in pieces at least as large as that bound needs.
  if (size == 0) return 0;
  const size_t rest = size - 1;
  const size_t piece = std::max<size_t>(1 + data[0] % 255, (rest + kMaxPieces - 1) / kMaxPieces);
  zv::LinkState link;
  link.m_state_frame_handler = [size](std::span<const uint8_t> frame) {
    if (frame.size() < zv::CommandFrame::kOverhead || frame.size() > size) std::abort();
  };
  for (size_t at = 1; at < size; at += piece) {
    const size_t n = size - at < piece ? size - at : piece;
    link.AppendSerialBytes(std::span<const uint8_t>(data + at, n));
    if (link.m_serial_rx_count < 0 ||
        link.m_serial_rx_count > static_cast<int32_t>(zv::kSerialRxBufferSize))
      std::abort();
    link.ParseSerialReply();
  }
  return 0;
}
