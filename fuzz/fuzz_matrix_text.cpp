// The matrix router's text reader over whatever a datagram or the serial line
// delivers. A text it takes names ports 1 to 8 only, leaves every route on a
// port, and reads back the same from the text the panel would build for it.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "matrix/matrix_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<zv::MatrixCommand> command = zv::ParseMatrixText(text);
  if (!command) return 0;
  using Kind = zv::MatrixCommand::Kind;
  if (command->kind != Kind::kOneToOne && (command->input < 1 || command->input > 8)) std::abort();

  std::array<uint8_t, zv::kMatrixPortCount> route{1, 2, 3, 4, 5, 6, 7, 8};
  zv::ApplyMatrixCommand(*command, route);
  for (uint8_t input : route)
    if (input < 1 || input > 8) std::abort();

  if (command->kind == Kind::kRoute) {
    uint8_t model[zv::kMatrixPortCount] = {};
    for (size_t o = 0; o < command->outputs.size(); ++o)
      if (command->outputs[o]) model[o] = command->input;
    const std::optional<zv::MatrixCommand> again =
        zv::ParseMatrixText(zv::BuildMatrixRouteText(command->input, model));
    if (!again || again->kind != Kind::kRoute || again->input != command->input ||
        again->outputs != command->outputs)
      std::abort();
  }
  return 0;
}
