// TSL UMD datagrams of either version, as a tally controller or a stray
// sender delivers them to the listener. Whatever a packet says it holds,
// nothing is read outside it; what is taken encodes again, and the encoded
// form reads back as itself.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "tally/tsl_umd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  zv::TslProblem problem;
  const std::optional<zv::TslDatagram> d = zv::DecodeTslDatagram(bytes, &problem);
  if (!d) {
    if (problem.text.empty() || problem.fault >= zv::TslFault::kCount) std::abort();
    return 0;
  }
  (void)zv::TslDatagramText(*d);
  if (d->version == zv::TslVersion::k31) {
    if (size != zv::kTsl31Size || d->v31.address > zv::kTsl31MaxAddress) std::abort();
    const std::vector<uint8_t> again = zv::EncodeTsl31(d->v31);
    const std::optional<zv::Tsl31Message> m = zv::DecodeTsl31(again, nullptr);
    if (!m || !(*m == d->v31)) std::abort();
    return 0;
  }
  for (const zv::Tsl50Display& display : d->v50.displays)
    if (display.text.size() > 4 * zv::kTsl50MaxPacket) std::abort();
  if (d->v50.displays.empty()) return 0;
  // One pass through the encoder settles the text (a character the byte
  // form cannot carry becomes '?'); after it, encoding is stable.
  const std::optional<std::vector<uint8_t>> first = zv::EncodeTsl50(d->v50);
  if (!first || first->size() > zv::kTsl50MaxPacket) std::abort();
  const std::optional<zv::Tsl50Packet> p = zv::DecodeTsl50(*first, nullptr);
  if (!p || p->displays.size() != d->v50.displays.size() || p->screen != d->v50.screen) std::abort();
  const std::optional<std::vector<uint8_t>> second = zv::EncodeTsl50(*p);
  if (!second || *second != *first) std::abort();
  // The wrapped form is the same packet.
  const std::optional<zv::TslDatagram> wrapped = zv::DecodeTslDatagram(zv::StuffTsl50(*first), nullptr);
  if (!wrapped || wrapped->version != zv::TslVersion::k50 || !(wrapped->v50 == *p)) std::abort();
  return 0;
}
