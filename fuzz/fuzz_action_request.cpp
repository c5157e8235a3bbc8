// From a remote request to an action: what a client puts in a request's
// path and body, or in an OSC message, mapped onto the action table.
//
// The first byte chooses the surface. HTTP: "ADDRESS\nACTION\nBODY", the
// device address and action name of the path and the JSON body. OSC:
// "PATH\n" then arguments, each a type byte and its value ('i' and 'f' four
// bytes, 's' a text up to a NUL).
//
// Whatever is taken fits the action's parameters, names a device's address,
// and is taken again, the same, when written back the way a client would
// write it; whatever is refused is refused as a bad request (400) or an
// unknown action (404), with a sentence (or, for OSC, as an action that
// needs the admin role: 403).
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "service/action_request.h"

namespace {

std::string_view Line(std::string_view* rest) {
  const size_t end = rest->find('\n');
  const std::string_view line = rest->substr(0, end);
  *rest = end == std::string_view::npos ? std::string_view() : rest->substr(end + 1);
  return line;
}

void CheckRefusal(const zv::RequestError& error) {
  if ((error.status != 400 && error.status != 404) || error.message.empty()) std::abort();
}

// The arguments as a client's JSON body.
std::string JsonBody(const zv::ActionArgs& args) {
  QJsonObject object;
  for (const auto& [name, value] : args.Values()) {
    const QString key = QString::fromStdString(name);
    if (const int* v = std::get_if<int>(&value)) object[key] = *v;
    if (const std::string* v = std::get_if<std::string>(&value)) object[key] = QString::fromStdString(*v);
    if (const std::vector<int>* v = std::get_if<std::vector<int>>(&value)) {
      QJsonArray list;
      for (int i : *v) list.append(i);
      object[key] = list;
    }
  }
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

// The arguments as an OSC message's, in the parameters' order.
std::vector<zv::OscArg> OscArgs(const zv::ActionSpec& action, const zv::ActionArgs& args) {
  std::vector<zv::OscArg> out;
  for (const zv::ActionParam& p : action.params) {
    const auto it = args.Values().find(p.name);
    if (it == args.Values().end()) break;  // an optional one left out: so are those after it
    if (const int* v = std::get_if<int>(&it->second)) out.emplace_back(int32_t{*v});
    if (const std::string* v = std::get_if<std::string>(&it->second)) out.emplace_back(*v);
    if (const std::vector<int>* v = std::get_if<std::vector<int>>(&it->second))
      for (int i : *v) out.emplace_back(int32_t{i});
  }
  return out;
}

void CheckTaken(const zv::ActionSpec& action, const zv::ActionArgs& args) {
  if (!zv::CheckActionArgs(action, args).empty()) std::abort();
  for (const zv::ActionParam& p : action.params) {
    if (p.kind != zv::ParamKind::kInteger || !args.Has(p.name)) continue;
    std::vector<int> values = args.Ints(p.name);
    if (!p.repeated) values = {args.Int(p.name)};
    for (int v : values)
      if (v < p.min || v > p.max) std::abort();
  }
}

void Http(std::string_view input) {
  const std::string_view address = Line(&input);
  const std::string_view name = Line(&input);
  (void)zv::IsDeviceAddress(address);
  auto found = zv::FindActionByName(name);
  if (auto* error = std::get_if<zv::RequestError>(&found)) {
    if (error->status != 404) std::abort();
    return;
  }
  const zv::ActionSpec& action = *std::get<const zv::ActionSpec*>(found);
  if (action.name != name) std::abort();
  // An action with a parameter that names a file (a salvo's) is left out:
  // its check opens what it names.
  for (const zv::ActionParam& p : action.params)
    if (!p.local_only.empty()) return;
  auto args = zv::ArgsFromJson(action, input);
  if (auto* error = std::get_if<zv::RequestError>(&args)) {
    if (error->status != 400) std::abort();
    CheckRefusal(*error);
    return;
  }
  const zv::ActionArgs& taken = std::get<zv::ActionArgs>(args);
  CheckTaken(action, taken);
  auto again = zv::ArgsFromJson(action, JsonBody(taken));
  if (!std::holds_alternative<zv::ActionArgs>(again) || std::get<zv::ActionArgs>(again).Values() != taken.Values())
    std::abort();
}

void Osc(std::string_view input) {
  const std::string path(Line(&input));
  std::vector<zv::OscArg> args;
  while (!input.empty() && args.size() < 64) {
    const char type = input.front();
    input.remove_prefix(1);
    if (type == 's') {
      const size_t end = input.find('\0');
      args.emplace_back(std::string(input.substr(0, end)));
      input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    } else if (input.size() >= 4) {
      uint32_t bits = 0;
      std::memcpy(&bits, input.data(), 4);
      input.remove_prefix(4);
      if (type == 'f') {
        float f = 0;
        std::memcpy(&f, &bits, 4);
        args.emplace_back(f);
      } else {
        args.emplace_back(static_cast<int32_t>(bits));
      }
    } else {
      break;
    }
  }
  auto request = zv::ActionFromOsc(path, args);
  if (auto* error = std::get_if<zv::RequestError>(&request)) {
    if (error->status != 403) CheckRefusal(*error);
    return;
  }
  // OSC never takes an action that needs more than the operate role.
  if (zv::ActionRole(*std::get<zv::ActionRequest>(request).action) > zv::Role::kOperate) std::abort();
  const zv::ActionRequest& taken = std::get<zv::ActionRequest>(request);
  if (!taken.action || !zv::IsDeviceAddress(taken.address)) std::abort();
  CheckTaken(*taken.action, taken.args);
  const std::vector<zv::OscArg> written = OscArgs(*taken.action, taken.args);
  auto again = zv::ActionFromOsc(path, written);
  if (!std::holds_alternative<zv::ActionRequest>(again) ||
      std::get<zv::ActionRequest>(again).args.Values() != taken.args.Values())
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1)
    Osc(input);
  else
    Http(input);
  return 0;
}
