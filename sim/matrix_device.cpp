// The virtual 8x8 matrix router.
#include "sim/matrix_device.h"

#include "matrix/matrix_state.h"
#include "sim/family_devices.h"

namespace zv::sim {
namespace {

// "1,4,8" for the outputs set in `outputs`.
std::string OutputList(const std::array<bool, 8>& outputs) {
  std::string list;
  for (size_t o = 0; o < outputs.size(); ++o) {
    if (!outputs[o]) continue;
    if (!list.empty()) list += ',';
    list += std::to_string(o + 1);
  }
  return list;
}

}  // namespace

MatrixDevice::MatrixDevice(DeviceConfig config) : SimDevice(std::move(config)) {}

std::vector<Bytes> MatrixDevice::OnText(const std::string& text, Link) {
  const std::optional<MatrixCommand> command = ParseMatrixText(text);
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!command) {
    ++m_texts_refused;
    Note("refused malformed text, routing unchanged");
    return {};
  }
  ++m_texts_taken;
  const std::array<uint8_t, 8> before = m_routes;
  const std::array<bool, 8> changed = ApplyMatrixCommand(*command, m_routes);
  std::string what;
  switch (command->kind) {
    case MatrixCommand::Kind::kRoute:
      what = "route input " + std::to_string(command->input) + " to outputs " +
             OutputList(command->outputs);
      break;
    case MatrixCommand::Kind::kOneToAll:
      what = "route input " + std::to_string(command->input) + " to all outputs";
      break;
    case MatrixCommand::Kind::kOneToOne:
      what = "route each input to its own output";
      break;
  }
  std::string changes;
  for (size_t o = 0; o < changed.size(); ++o) {
    if (!changed[o]) continue;
    changes += changes.empty() ? "" : ", ";
    changes += "out" + std::to_string(o + 1) + " " + std::to_string(before[o]) + "->" +
               std::to_string(m_routes[o]);
  }
  Note(what + (changes.empty() ? "; no route changed" : "; changed " + changes));
  // The router answers nothing.
  return {};
}

std::optional<FrontPanelChange> MatrixDevice::ChangeAtFrontPanel(std::mt19937& random) {
  static const std::vector<int> kInputs = {1, 2, 3, 4, 5, 6, 7, 8};
  std::lock_guard<std::mutex> lock(m_mutex);
  const int output = 1 + static_cast<int>(random() % m_routes.size());
  uint8_t& input = m_routes[static_cast<size_t>(output - 1)];
  input = static_cast<uint8_t>(PickOther(random, kInputs, input));
  return FrontPanelChange{"route", input, "output", output};
}

std::array<uint8_t, 8> MatrixDevice::Routes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_routes;
}

int MatrixDevice::TextsTaken() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_texts_taken;
}

int MatrixDevice::TextsRefused() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_texts_refused;
}

std::unique_ptr<SimDevice> MakeMatrixDevice(const DeviceConfig& config) {
  return std::make_unique<MatrixDevice>(config);
}

}  // namespace zv::sim
