// From a request to an action of the table. The HTTP API names an action in
// its path and gives the arguments as a JSON object; OSC names it in the
// message's address with the arguments as the message's arguments. Both
// come here and leave as an action of the family registry with arguments
// checked against its parameters, or as the status the client gets.
#pragma once

#include <QJsonArray>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "service/token_store.h"
#include "session/action_table.h"

namespace zv {

// 400 bad parameter / malformed, 404 unknown.
struct RequestError {
  int status;
  std::string message;
};

// The action named `name` ("switcher.program") in the family registry (registry/families.h:
// FamilyByKey(prefix)->actions()), or 404.
std::variant<const ActionSpec*, RequestError> FindActionByName(std::string_view name);

// A JSON body ("{}" or {"source": 3}, {"input": 2, "outputs": [5, 6]}, {"text": "Camera 1"}) as the
// action's arguments, checked with CheckActionArgs: 400 with a clear message for malformed JSON,
// a body that is not an object, a value of the wrong type, an unknown key, a value out of range.
// An empty body counts as {}. A local-only parameter (matrix.salvo's file) is refused with 400
// before anything is read: a client names a salvo, never a path on the service's machine. An
// integer is a JSON number without a fraction; a word or a text is a JSON string; a repeated
// parameter takes an array of integers (or one integer).
std::variant<ActionArgs, RequestError> ArgsFromJson(const ActionSpec& action, std::string_view body);

// The role a client needs to run `action`: operate for every action (what would need more, a
// path on the service's machine, is refused to every client).
Role ActionRole(const ActionSpec& action);

// A device address in a path: a dotted IPv4 address of one device (not 0.x, broadcast or multicast),
// or the key of the device on a serial line ("serial-ttyUSB0", hub/device_hub.h: SerialDeviceKey).
bool IsDeviceAddress(std::string_view text);

// OSC: "/zv/10.0.0.5/switcher/program" with arguments (3) -> address, action, args
// ("/zv/10.0.0.3/matrix/route" 2 5 -> input 2, outputs [5]; a repeated last parameter takes the rest;
// "/zv/10.0.0.3/matrix/salvo" "Studio A" -> the salvo's name: a local-only parameter has no place).
// OSC senders have the operate role.
using OscArg = std::variant<int32_t, float, std::string>;
struct ActionRequest {
  std::string address;
  const ActionSpec* action = nullptr;
  ActionArgs args;
};
std::variant<ActionRequest, RequestError> ActionFromOsc(std::string_view path, std::span<const OscArg> args);

// The action table as JSON (GET /api/v1/actions): [{name, help, params:[{name, kind, min, max,
// words, repeated, optional, help}]}] for every family in the registry.
QJsonArray ActionTableJson();

// A JSON body that runs `action`, made from its parameters' examples (the optional ones left
// out): {"input": 3, "outputs": [1, 4, 8]}.
std::string ActionExampleBody(const ActionSpec& action);

// The actions part of docs/api.md, as Markdown, generated from the same table.
std::string ActionTableMarkdown();

}  // namespace zv
