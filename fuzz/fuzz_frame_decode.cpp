// The frame monitor's reading of whatever the wire delivers: the decoder,
// the JSON line made of it, and the serial assembler over the same bytes cut
// into pieces. The assembler gives back every byte it took, in order, once
// and only once, and a piece it calls a frame is one whole frame or text.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/frame_tap.h"
#include "monitor/frame_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const zv::DecodedFrame decoded = zv::DecodeFrame(bytes);
  if (decoded.checksum_ok && decoded.declared_length != size) std::abort();
  zv::TappedFrame frame;
  frame.bytes.assign(data, data + size);
  if (zv::FrameJsonLine(frame).find('\n') != std::string::npos) std::abort();

  // The first byte sets where the cuts fall.
  const size_t step = size ? (data[0] % 37) + 1 : 1;
  zv::SerialFrameAssembler assembler;
  std::vector<uint8_t> out;
  auto take = [&](const std::vector<zv::SerialFrameAssembler::Piece>& pieces) {
    for (const auto& piece : pieces) {
      if (piece.bytes.empty()) std::abort();
      if (!piece.unframed) {
        const zv::DecodedFrame d = zv::DecodeFrame(piece.bytes);
        if (d.kind == zv::DecodedFrame::Kind::kCommandFrame && d.declared_length != piece.bytes.size())
          std::abort();
        if (d.kind == zv::DecodedFrame::Kind::kUnframed) std::abort();
      }
      out.insert(out.end(), piece.bytes.begin(), piece.bytes.end());
    }
  };
  int64_t time_us = 0;
  for (size_t at = 0; at < size; at += step) {
    take(assembler.Feed(bytes.subspan(at, std::min(step, size - at)), time_us));
    time_us += 1000;
    if (assembler.Pending() > zv::SerialFrameAssembler::kMaxPending) std::abort();
  }
  take(assembler.Flush());
  if (out != std::vector<uint8_t>(data, data + size)) std::abort();
  return 0;
}
