#include "matrix/matrix_salvo.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace zv {

std::string EncodeSalvoJson(const MatrixSalvo& salvo) {
  nlohmann::json j = {{"salvo", salvo.name}, {"outputs", salvo.outputs}};
  return j.dump(2) + "\n";
}

bool DecodeSalvoJson(const std::string& text, MatrixSalvo* salvo, std::string* error) {
  const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
  const auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (j.is_discarded() || !j.is_object()) return fail("not a JSON object");
  MatrixSalvo s;
  for (const auto& [key, v] : j.items()) {
    if (key == "salvo") {
      if (!v.is_string()) return fail("\"salvo\" must be the salvo's name");
      s.name = v.get<std::string>();
    } else if (key == "outputs") {
      if (!v.is_array() || v.size() != kMatrixPortCount)
        return fail("\"outputs\" must list the input of each of the 8 outputs (0: leave it)");
      for (size_t o = 0; o < kMatrixPortCount; ++o) {
        if (!v[o].is_number_integer() || v[o].get<long>() < 0 || v[o].get<long>() > kMatrixPortCount)
          return fail("\"outputs\" entries must be inputs 1 to 8, or 0");
        s.outputs[o] = static_cast<uint8_t>(v[o].get<long>());
      }
    } else {
      return fail("unknown key \"" + key + "\"");
    }
  }
  if (!j.contains("outputs")) return fail("\"outputs\" is missing");
  *salvo = s;
  return true;
}

std::vector<std::string> SalvoTexts(const MatrixSalvo& salvo) {
  uint8_t route[kMatrixPortCount] = {};
  std::copy(salvo.outputs.begin(), salvo.outputs.end(), route);
  std::vector<std::string> texts;
  for (uint8_t input = 1; input <= kMatrixPortCount; ++input) {
    std::string text = BuildMatrixRouteText(input, route);
    if (!text.empty()) texts.push_back(std::move(text));
  }
  return texts;
}

bool MatrixRecallSalvo(MatrixModel& state, const MatrixSalvo& salvo, const MatrixSend& send) {
  if (state.m_matrix_lock) return false;
  bool any = false;
  for (const std::string& text : SalvoTexts(salvo)) {
    if (!send(text)) continue;
    any = true;
    if (const std::optional<MatrixCommand> command = ParseMatrixText(text)) {
      std::array<uint8_t, kMatrixPortCount> route;
      std::copy(std::begin(state.m_matrix_route), std::end(state.m_matrix_route), route.begin());
      ApplyMatrixCommand(*command, route);
      std::copy(route.begin(), route.end(), state.m_matrix_route);
    }
  }
  return any;
}

}  // namespace zv
