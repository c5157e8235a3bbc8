// A TSL UMD 5.0 TCP stream in DLE/STX form, in the pieces a socket hands
// over. The reader never holds more than one packet, and every packet it
// takes comes out again the same when stuffed and read by a fresh reader.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "tally/tsl_umd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte sets where the cuts fall.
  const size_t step = (data[0] % 61) + 1;
  const std::span<const uint8_t> bytes(data + 1, size - 1);
  zv::Tsl50StreamReader reader;
  for (size_t at = 0; at < bytes.size(); at += step) {
    for (const auto& r : reader.Feed(bytes.subspan(at, std::min(step, bytes.size() - at)))) {
      if (!r.packet) {
        if (r.problem.text.empty()) std::abort();
        continue;
      }
      if (r.packet->displays.empty()) continue;
      const std::optional<std::vector<uint8_t>> packet = zv::EncodeTsl50(*r.packet);
      if (!packet) std::abort();
      zv::Tsl50StreamReader fresh;
      const auto again = fresh.Feed(zv::StuffTsl50(*packet));
      if (again.size() != 1 || !again[0].packet || again[0].packet->screen != r.packet->screen ||
          again[0].packet->displays.size() != r.packet->displays.size() || fresh.Held() != 0)
        std::abort();
    }
    if (reader.Held() > zv::kTsl50MaxPacket) std::abort();
  }
  return 0;
}
