// The multiviewer's frames and read-back on a link. They are blocking: the
// link worker runs them for a session (multiview_session.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/link_state.h"
#include "multiview/multiview_state.h"

namespace zv {

// ---- on a link (blocking; the worker runs them) ------------------------------
// A multiviewer command by the link's connection mode: by UDP in network
// mode, on the serial port in serial mode. Returns 1 when the whole frame
// left (the datagram was sent, or the line took every byte), else 0.
int SendMultiviewerFrame(LinkState& link, uint8_t command, std::span<const uint8_t> params = {});
// The label of window n + 1 (set window label) by the connection mode.
int SendMultiviewerLabelFrame(LinkState& link, int n, const std::u16string& label);
// Asks for the whole device state and returns the reply's content (the
// bytes the decoder takes), or nothing when the window passed. By UDP in
// network mode or when `udp_only`, otherwise on the serial port.
std::optional<std::vector<uint8_t>> FetchMultiviewerState(LinkState& link, bool udp_only = false);
std::optional<std::vector<uint8_t>> FetchMultiviewerStateUdp(LinkState& link);
std::optional<std::vector<uint8_t>> FetchMultiviewerStateSerial(LinkState& link);

}  // namespace zv
