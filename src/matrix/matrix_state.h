// The 8x8 matrix router without the window: its text command language, the
// rules of the routing model that the router's session keeps
// (m_eMatrixState, m_matrix_input, m_matrix_route, m_matrix_lock) and the
// link a text takes.
//
// The router takes plain ASCII, no frame: "3V1,4,8." routes input 3 to
// outputs 1, 4 and 8; "6All." routes input 6 to every output; "All#." routes
// each input to the output of the same number. Nothing is ever read back, so
// the model is the program's own idea of the routing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zv {

class LinkState;

inline constexpr int kMatrixPortCount = 8;
// m_matrix_lock while locked: every bit set.
inline constexpr int32_t kMatrixLocked = ~0;

// ---- the text language -----------------------------------------------------
// Input `input`, "V", then every output whose entry in `route` is `input`, in
// ascending order, separated by "," and closed by "."; empty when no output
// takes the input (a text without outputs would route nothing).
std::string BuildMatrixRouteText(uint8_t input, const uint8_t (&route)[kMatrixPortCount]);
// Input `input` followed by "All.".
std::string BuildMatrixOneToAllText(uint8_t input);
// "All#.".
std::string BuildMatrixOneToOneText();

// One text as the router understands it.
struct MatrixCommand {
  enum class Kind { kRoute, kOneToAll, kOneToOne };
  Kind kind = Kind::kRoute;
  uint8_t input = 0;                                // 1 to 8; 0 for one to one
  std::array<bool, kMatrixPortCount> outputs{};     // the outputs a route lists
};
// Reads exactly one whole text (numbers 1 to 8, the last character the full
// stop). Anything else, including a route without outputs, is refused.
std::optional<MatrixCommand> ParseMatrixText(std::string_view text);
// Applies a command to a routing table (entry o - 1: the input output o
// takes). Returns, per output, whether its entry changed.
std::array<bool, kMatrixPortCount> ApplyMatrixCommand(
    const MatrixCommand& command, std::array<uint8_t, kMatrixPortCount>& route);

// ---- the link ----------------------------------------------------------------
// Network: one datagram to the chosen device, a 20 ms pause, the socket
// closed again. Serial: written to the open port. Any other mode, or a
// closed port, sends nothing and tells the operator nothing. Returns true
// when the whole text was handed to the link.
bool SendMatrixText(LinkState& link, std::string_view text);

// The routing model a router's session keeps while the window lives, and the
// two texts of the connection page.
struct MatrixModel {
  std::string m_matrix_ip_text;
  std::string m_matrix_port_text;
  int32_t m_eMatrixState = 0;
  uint8_t m_matrix_input = 0;
  uint8_t m_matrix_route[kMatrixPortCount] = {};
  int32_t m_matrix_lock = 0;
  // The routing as the router took it: only texts that left whole move it.
  // The buttons never show more than this plus the edits not yet applied.
  uint8_t m_matrix_taken[kMatrixPortCount] = {};
};

// Hands a text to the link; true when it will leave (the panel queues it on
// the link worker; a blocking caller sends it at once).
using MatrixSend = std::function<bool(std::string_view text)>;
// Sends on `link` at once, as SendMatrixText does.
MatrixSend MatrixSendNow(LinkState& link);

// ---- the routing rules -----------------------------------------------------------
// Each returns true when it changed the model (or, for apply, sent). While
// m_matrix_lock is set every one of them does nothing.

// Chooses input k (1 to 8); choosing the chosen input again does nothing.
bool MatrixSelectInput(MatrixModel& state, int k);
// Output o (1 to 8) takes the chosen input, or nothing when it already took
// it. Nothing is sent: the change waits for apply.
bool MatrixToggleOutput(MatrixModel& state, int o);
// Sends the routing of the chosen input; nothing when no output takes it.
bool MatrixApply(MatrixModel& state, const MatrixSend& send);
// Routes the chosen input to every output. The model follows only when the
// text left: with the serial port closed nothing changes.
bool MatrixOneToAll(MatrixModel& state, const MatrixSend& send);
// Routes every input to its own output and forgets the chosen input; again
// only when the text left.
bool MatrixOneToOne(MatrixModel& state, const MatrixSend& send);
void MatrixToggleLock(MatrixModel& state);
// A text that left whole: the router holds its routing now, and so do the
// buttons (a later failure does not take it back).
void MatrixTextTaken(MatrixModel& state, std::string_view text);
// A text that did not leave (the line did not take it, or it was dropped
// before it ran): the routing goes back to what the router took, so no
// output shows a route the router never got.
void MatrixForgetUnsent(MatrixModel& state);

// What the sixteen row buttons show: input k selected when it is the chosen
// one, output o selected when it takes the chosen input. While the lock is
// on, the rows and the routing buttons of the function page (apply, one to
// all, one to one) take no click, so they show disabled.
struct MatrixButtonLook {
  std::array<bool, kMatrixPortCount> input_selected{};
  std::array<bool, kMatrixPortCount> output_selected{};
  bool routing_enabled = true;
};
MatrixButtonLook MatrixButtons(const MatrixModel& state);

}  // namespace zv
