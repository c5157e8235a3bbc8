#include "matrix/matrix_state.h"

#include <algorithm>
#include <span>

#include "link/link_state.h"

namespace zv {
namespace {

constexpr std::string_view kOneToOneText = "All#.";
constexpr std::string_view kOneToAllTail = "All.";

bool IsPort(int n) { return n >= 1 && n <= kMatrixPortCount; }

// A decimal number at `pos` that names a port (1 to 8); moves past it.
bool ReadPort(std::string_view text, size_t* pos, uint8_t* port) {
  const size_t start = *pos;
  unsigned value = 0;
  while (*pos < text.size() && text[*pos] >= '0' && text[*pos] <= '9') {
    value = value * 10 + static_cast<unsigned>(text[*pos] - '0');
    if (value > 255) return false;  // no port is that long; stop before it overflows
    ++*pos;
  }
  if (*pos == start || !IsPort(static_cast<int>(value))) return false;
  *port = static_cast<uint8_t>(value);
  return true;
}

bool HasChosenInput(const MatrixModel& state) { return IsPort(state.m_matrix_input); }

}  // namespace

std::string BuildMatrixRouteText(uint8_t input, const uint8_t (&route)[kMatrixPortCount]) {
  std::string text = std::to_string(input) + "V";
  const size_t head = text.size();
  for (int o = 1; o <= kMatrixPortCount; ++o) {
    if (route[o - 1] != input) continue;
    text += std::to_string(o);
    text += ',';
  }
  if (text.size() == head) return {};
  text.back() = '.';
  return text;
}

std::string BuildMatrixOneToAllText(uint8_t input) {
  return std::to_string(input) + std::string(kOneToAllTail);
}

std::string BuildMatrixOneToOneText() { return std::string(kOneToOneText); }

std::optional<MatrixCommand> ParseMatrixText(std::string_view text) {
  MatrixCommand command;
  if (text == kOneToOneText) {
    command.kind = MatrixCommand::Kind::kOneToOne;
    return command;
  }
  size_t pos = 0;
  if (!ReadPort(text, &pos, &command.input)) return std::nullopt;
  if (text.substr(pos) == kOneToAllTail) {
    command.kind = MatrixCommand::Kind::kOneToAll;
    return command;
  }
  if (pos >= text.size() || text[pos] != 'V') return std::nullopt;
  ++pos;
  for (;;) {
    uint8_t output = 0;
    if (!ReadPort(text, &pos, &output)) return std::nullopt;
    command.outputs[output - 1] = true;
    if (pos >= text.size()) return std::nullopt;  // no closing full stop
    const char separator = text[pos++];
    if (separator == '.') break;
    if (separator != ',') return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;
  command.kind = MatrixCommand::Kind::kRoute;
  return command;
}

std::array<bool, kMatrixPortCount> ApplyMatrixCommand(
    const MatrixCommand& command, std::array<uint8_t, kMatrixPortCount>& route) {
  std::array<bool, kMatrixPortCount> changed{};
  for (int o = 1; o <= kMatrixPortCount; ++o) {
    uint8_t input = route[o - 1];
    switch (command.kind) {
      case MatrixCommand::Kind::kRoute:
        if (command.outputs[o - 1]) input = command.input;
        break;
      case MatrixCommand::Kind::kOneToAll:
        input = command.input;
        break;
      case MatrixCommand::Kind::kOneToOne:
        input = static_cast<uint8_t>(o);
        break;
    }
    changed[o - 1] = input != route[o - 1];
    route[o - 1] = input;
  }
  return changed;
}

bool SendMatrixText(LinkState& link, std::string_view text) {
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  // A socket that could not take the local port still sends from one the
  // system picks; without a chosen device the operator has been told and
  // there is no socket, so nothing is sent.
  if (link.m_eState == kModeNetwork) return link.SendAndClose(bytes, kMatrixCommandPauseMs);
  if (link.m_eState == kModeSerial && link.m_serial_port.IsOpen())
    return link.WriteSerial(bytes.data(), static_cast<uint32_t>(bytes.size())) ==
           bytes.size();
  return false;
}

MatrixSend MatrixSendNow(LinkState& link) {
  return [&link](std::string_view text) { return SendMatrixText(link, text); };
}

bool MatrixSelectInput(MatrixModel& state, int k) {
  if (state.m_matrix_lock || !IsPort(k) || k == state.m_matrix_input) return false;
  state.m_eMatrixState = 1;
  state.m_matrix_input = static_cast<uint8_t>(k);
  return true;
}

bool MatrixToggleOutput(MatrixModel& state, int o) {
  if (state.m_matrix_lock || !IsPort(o) || !HasChosenInput(state)) return false;
  uint8_t& entry = state.m_matrix_route[o - 1];
  entry = entry == state.m_matrix_input ? 0 : state.m_matrix_input;
  return true;
}

bool MatrixApply(MatrixModel& state, const MatrixSend& send) {
  if (state.m_matrix_lock || !HasChosenInput(state) || state.m_eMatrixState != 1) return false;
  const std::string text = BuildMatrixRouteText(state.m_matrix_input, state.m_matrix_route);
  if (text.empty()) return false;
  return send(text);
}

bool MatrixOneToAll(MatrixModel& state, const MatrixSend& send) {
  if (state.m_matrix_lock || !HasChosenInput(state) || state.m_eMatrixState != 1) return false;
  // The router's routing is never read back: the model may only move with a
  // text that actually left, or it would run ahead of the device.
  if (!send(BuildMatrixOneToAllText(state.m_matrix_input))) return false;
  for (uint8_t& entry : state.m_matrix_route) entry = state.m_matrix_input;
  return true;
}

bool MatrixOneToOne(MatrixModel& state, const MatrixSend& send) {
  if (state.m_matrix_lock) return false;
  if (!send(BuildMatrixOneToOneText())) return false;
  for (int o = 1; o <= kMatrixPortCount; ++o) state.m_matrix_route[o - 1] = static_cast<uint8_t>(o);
  // m_eMatrixState keeps its value: an input has been chosen before.
  state.m_matrix_input = 0;
  return true;
}

void MatrixToggleLock(MatrixModel& state) {
  state.m_matrix_lock = state.m_matrix_lock ? 0 : kMatrixLocked;
}

void MatrixTextTaken(MatrixModel& state, std::string_view text) {
  const std::optional<MatrixCommand> command = ParseMatrixText(text);
  if (!command) return;
  for (uint8_t* table : {state.m_matrix_taken, state.m_matrix_route}) {
    std::array<uint8_t, kMatrixPortCount> route{};
    std::copy(table, table + kMatrixPortCount, route.begin());
    ApplyMatrixCommand(*command, route);
    std::copy(route.begin(), route.end(), table);
  }
}

void MatrixForgetUnsent(MatrixModel& state) {
  std::copy(std::begin(state.m_matrix_taken), std::end(state.m_matrix_taken), state.m_matrix_route);
}

MatrixButtonLook MatrixButtons(const MatrixModel& state) {
  MatrixButtonLook look;
  look.routing_enabled = !state.m_matrix_lock;
  if (!HasChosenInput(state)) return look;
  look.input_selected[state.m_matrix_input - 1] = true;
  for (int o = 1; o <= kMatrixPortCount; ++o)
    look.output_selected[o - 1] = state.m_matrix_route[o - 1] == state.m_matrix_input;
  return look;
}

}  // namespace zv
