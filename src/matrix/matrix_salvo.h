// A salvo: the matrix router's routes saved under a name and recalled as one
// text per input ("3V1,4,8."), so that a whole studio changes over at once.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "matrix/matrix_state.h"

namespace zv {

struct MatrixSalvo {
  std::string name;
  // Entry o - 1: the input output o takes; 0 leaves the output as it is.
  std::array<uint8_t, kMatrixPortCount> outputs{};
  bool operator==(const MatrixSalvo&) const = default;
};

// {"salvo": NAME, "outputs": [input of output 1, ... output 8]}
std::string EncodeSalvoJson(const MatrixSalvo& salvo);
bool DecodeSalvoJson(const std::string& text, MatrixSalvo* salvo, std::string* error);

// One route text per input that some output takes, inputs in ascending order.
std::vector<std::string> SalvoTexts(const MatrixSalvo& salvo);

// Recalls a salvo through `send` and brings the routing model along with
// every text that left. Refused (false, nothing sent) while the lock is on.
bool MatrixRecallSalvo(MatrixModel& state, const MatrixSalvo& salvo, const MatrixSend& send);

}  // namespace zv
