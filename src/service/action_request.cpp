#include "service/action_request.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>
#include <limits>

#include "registry/families.h"
#include "link/local_networks.h"
#include "link/serial_port.h"
#include "service/access_limits.h"

namespace zv {

namespace {

RequestError Bad(std::string message) { return {400, std::move(message)}; }

const ActionParam* ParamNamed(const ActionSpec& action, std::string_view name) {
  for (const ActionParam& p : action.params)
    if (p.name == name) return &p;
  return nullptr;
}

std::string ParamNames(const ActionSpec& action) {
  if (action.params.empty()) return "no parameters";
  std::string names;
  for (const ActionParam& p : action.params) names += (names.empty() ? "" : ", ") + p.name;
  return names;
}

// A word parameter whose words are all numbers ("1", "4", "9") also takes the number.
bool NumericWords(const ActionParam& p) {
  if (p.words.empty()) return false;
  for (const std::string& w : p.words)
    if (w.empty() || w.find_first_not_of("0123456789") != std::string::npos) return false;
  return true;
}

// A whole number that fits an int, or an error naming the parameter.
std::variant<int, std::string> WholeNumber(const ActionParam& p, double v) {
  if (!std::isfinite(v) || std::floor(v) != v) return p.name + " must be a whole number";
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
    return p.name + " must be " + std::to_string(p.min) + " to " + std::to_string(p.max);
  return static_cast<int>(v);
}

// One JSON value as the value of `p`.
std::variant<ActionValue, std::string> ValueFromJson(const ActionParam& p, const QJsonValue& v) {
  switch (p.kind) {
    case ParamKind::kInteger: {
      if (p.repeated) {
        std::vector<int> list;
        if (v.isDouble()) {
          auto one = WholeNumber(p, v.toDouble());
          if (auto* e = std::get_if<std::string>(&one)) return *e;
          list.push_back(std::get<int>(one));
          return ActionValue(std::move(list));
        }
        if (!v.isArray()) return p.name + " must be a number or an array of numbers";
        for (const QJsonValue item : v.toArray()) {
          if (!item.isDouble()) return p.name + " must be an array of numbers";
          auto one = WholeNumber(p, item.toDouble());
          if (auto* e = std::get_if<std::string>(&one)) return *e;
          list.push_back(std::get<int>(one));
        }
        return ActionValue(std::move(list));
      }
      if (!v.isDouble()) return p.name + " must be a number";
      auto one = WholeNumber(p, v.toDouble());
      if (auto* e = std::get_if<std::string>(&one)) return *e;
      return ActionValue(std::get<int>(one));
    }
    case ParamKind::kWord:
      if (v.isString()) return ActionValue(v.toString().toStdString());
      if (v.isDouble() && NumericWords(p)) {
        auto one = WholeNumber(p, v.toDouble());
        if (auto* e = std::get_if<std::string>(&one)) return *e;
        return ActionValue(std::to_string(std::get<int>(one)));
      }
      return p.name + (NumericWords(p) ? " must be a number" : " must be a string");
    case ParamKind::kText:
      if (v.isString()) return ActionValue(v.toString().toStdString());
      return p.name + " must be a string";
  }
  return p.name + " has a kind no action takes";
}

// One OSC argument as the value of `p` (not a repeated one).
std::variant<ActionValue, std::string> ValueFromOsc(const ActionParam& p, const OscArg& arg) {
  if (const auto* text = std::get_if<std::string>(&arg)) {
    if (p.kind == ParamKind::kInteger) return p.name + " must be a number";
    return ActionValue(*text);
  }
  const double number = std::holds_alternative<int32_t>(arg) ? std::get<int32_t>(arg) : std::get<float>(arg);
  if (p.kind == ParamKind::kText || (p.kind == ParamKind::kWord && !NumericWords(p)))
    return p.name + " must be a string";
  auto one = WholeNumber(p, number);
  if (auto* e = std::get_if<std::string>(&one)) return *e;
  if (p.kind == ParamKind::kWord) return ActionValue(std::to_string(std::get<int>(one)));
  return ActionValue(std::get<int>(one));
}

const char* KindName(ParamKind kind) {
  switch (kind) {
    case ParamKind::kInteger: return "integer";
    case ParamKind::kWord: return "word";
    case ParamKind::kText: return "text";
  }
  return "text";
}

}  // namespace

std::variant<const ActionSpec*, RequestError> FindActionByName(std::string_view name) {
  const size_t dot = name.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size())
    return RequestError{404, "no action " + std::string(name) + " (an action is named family.action, e.g. switcher.cut)"};
  const FamilyInfo* family = FamilyByKey(std::string(name.substr(0, dot)));
  if (!family) return RequestError{404, "no family " + std::string(name.substr(0, dot))};
  const ActionSpec* action = FindAction(family->actions(), std::string(name));
  if (!action) return RequestError{404, "no action " + std::string(name)};
  return action;
}

std::variant<ActionArgs, RequestError> ArgsFromJson(const ActionSpec& action, std::string_view body) {
  ActionArgs args;
  if (body.find_first_not_of(" \t\r\n") == std::string_view::npos) body = "{}";
  QJsonParseError parse{};
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray(body.data(), static_cast<qsizetype>(body.size())), &parse);
  if (parse.error != QJsonParseError::NoError)
    return Bad("the body is not JSON: " + parse.errorString().toStdString() + " at byte " +
               std::to_string(parse.offset));
  if (!document.isObject()) return Bad("the body must be a JSON object of parameters, such as {}");
  const QJsonObject object = document.object();
  for (auto it = object.begin(); it != object.end(); ++it) {
    const std::string key = it.key().toStdString();
    const ActionParam* p = ParamNamed(action, key);
    if (!p) return Bad(action.name + " takes no parameter '" + key + "' (it takes " + ParamNames(action) + ")");
    // A path on the service's machine is no client's to name: refused
    // before its check could open it.
    if (!p->local_only.empty()) return Bad(action.name + ": " + p->local_only + ", not given by a file path");
    auto value = ValueFromJson(*p, it.value());
    if (auto* e = std::get_if<std::string>(&value)) return Bad(*e);
    args.Set(key, std::move(std::get<ActionValue>(value)));
  }
  if (std::string problem = CheckActionArgs(action, args); !problem.empty()) return Bad(problem);
  return args;
}

Role ActionRole(const ActionSpec&) { return Role::kOperate; }

bool IsDeviceAddress(std::string_view text) {
  if (IsSerialDeviceKey(text)) return true;
  uint32_t address = 0;
  if (text.empty() || text.size() > 15 || !ParseIpv4(std::string(text), &address)) return false;
  // Not 0.x, multicast or the broadcast (as zvctl refuses them), nor the
  // reserved 240.0.0.0/4.
  return OneDeviceAddressProblem(address, {}).empty() && (address >> 28) != 0xF;
}

std::variant<ActionRequest, RequestError> ActionFromOsc(std::string_view path, std::span<const OscArg> args) {
  constexpr std::string_view kPrefix = "/zv/";
  if (path.substr(0, kPrefix.size()) != kPrefix)
    return Bad("an OSC address is /zv/DEVICE/FAMILY/ACTION, not " + std::string(path));
  std::string_view rest = path.substr(kPrefix.size());
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return Bad("an OSC address is /zv/DEVICE/FAMILY/ACTION, not " + std::string(path));
  ActionRequest request;
  request.address = std::string(rest.substr(0, slash));
  if (!IsDeviceAddress(request.address)) return Bad(request.address + " is not a device's address");
  std::string name(rest.substr(slash + 1));
  const size_t family_end = name.find('/');
  if (family_end == std::string::npos || name.find('/', family_end + 1) != std::string::npos ||
      name.find('.') != std::string::npos)
    return Bad("an OSC address is /zv/DEVICE/FAMILY/ACTION, not " + std::string(path));
  name[family_end] = '.';
  auto found = FindActionByName(name);
  if (auto* e = std::get_if<RequestError>(&found)) return *e;
  request.action = std::get<const ActionSpec*>(found);
  const ActionSpec& action = *request.action;

  // The arguments fill the parameters in order; a local-only one (a salvo's
  // file) has no place, so a salvo's argument is its name.
  size_t next = 0;
  for (const ActionParam& p : action.params) {
    if (!TakenInOrder(action, p, true)) continue;
    if (next >= args.size()) {
      if (p.optional) break;
      return Bad(action.name + " needs its " + p.name);
    }
    if (p.kind == ParamKind::kInteger && p.repeated) {
      std::vector<int> list;
      for (; next < args.size(); ++next) {
        auto value = ValueFromOsc(p, args[next]);
        if (auto* e = std::get_if<std::string>(&value)) return Bad(*e);
        list.push_back(std::get<int>(std::get<ActionValue>(value)));
      }
      request.args.Set(p.name, std::move(list));
      continue;
    }
    auto value = ValueFromOsc(p, args[next++]);
    if (auto* e = std::get_if<std::string>(&value)) return Bad(*e);
    request.args.Set(p.name, std::move(std::get<ActionValue>(value)));
  }
  if (next < args.size())
    return Bad(action.name + " takes no more than " + std::to_string(next) + " arguments");
  if (std::string problem = CheckActionArgs(action, request.args); !problem.empty()) return Bad(problem);
  return request;
}

QJsonArray ActionTableJson() {
  QJsonArray actions;
  for (const FamilyInfo& family : Families()) {
    for (const ActionSpec& action : family.actions()) {
      QJsonArray params;
      for (const ActionParam& p : action.params) {
        QJsonObject param{{"name", QString::fromStdString(p.name)},
                          {"kind", KindName(p.kind)},
                          {"repeated", p.repeated},
                          {"optional", p.optional},
                          {"help", QString::fromStdString(p.help)}};
        if (p.kind == ParamKind::kInteger) {
          param["min"] = p.min;
          param["max"] = p.max;
        }
        if (p.kind == ParamKind::kWord) {
          QJsonArray words;
          for (const std::string& w : p.words) words.append(QString::fromStdString(w));
          param["words"] = words;
        }
        if (!p.local_only.empty()) param["local_only"] = true;
        params.append(param);
      }
      QJsonObject entry{{"name", QString::fromStdString(action.name)},
                        {"family", family.key},
                        {"help", QString::fromStdString(action.help)},
                        {"params", params},
                        {"role", RoleName(ActionRole(action))}};
      if (action.record_only) entry["record_only"] = true;
      if (!action.one_of.empty()) {
        QJsonArray one_of;
        for (const std::string& n : action.one_of) one_of.append(QString::fromStdString(n));
        entry["one_of"] = one_of;
      }
      actions.append(entry);
    }
  }
  return actions;
}

namespace {

std::string Cell(std::string text) {
  std::string out;
  for (const char c : text) {
    if (c == '|') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::string ActionExampleBody(const ActionSpec& action) {
  std::string body;
  for (const ActionParam& p : action.params) {
    // What a client sends: of a one_of group, the member it may give.
    if (!TakenInOrder(action, p, true) || (p.optional && !InOneOf(action, p))) continue;
    std::string value;
    std::string example = p.example;
    if (example.size() >= 2 && example.front() == '\'' && example.back() == '\'')
      example = example.substr(1, example.size() - 2);
    switch (p.kind) {
      case ParamKind::kInteger:
        if (p.repeated) {
          std::string list;
          if (example.empty()) example = std::to_string(p.min);
          for (size_t i = 0; i < example.size();) {
            const size_t space = example.find(' ', i);
            list += (list.empty() ? "" : ", ") + example.substr(i, space - i);
            i = space == std::string::npos ? example.size() : space + 1;
          }
          value = "[" + list + "]";
        } else {
          value = example.empty() ? std::to_string(p.min) : example;
        }
        break;
      case ParamKind::kWord: {
        const std::string word = example.empty() ? (p.words.empty() ? "" : p.words.front()) : example;
        value = NumericWords(p) ? word : "\"" + word + "\"";
        break;
      }
      case ParamKind::kText:
        value = QString(QJsonDocument(QJsonArray{QString::fromStdString(example)}).toJson(QJsonDocument::Compact))
                    .mid(1)
                    .chopped(1)
                    .toStdString();
        break;
    }
    body += (body.empty() ? "" : ", ") + ("\"" + p.name + "\": ") + value;
  }
  return "{" + body + "}";
}

namespace {

std::string ParamLine(const ActionParam& p) {
  std::string text = "`" + p.name + "`: ";
  switch (p.kind) {
    case ParamKind::kInteger:
      text += p.repeated ? "one or more integers" : "integer";
      text += " " + std::to_string(p.min) + " to " + std::to_string(p.max);
      if (p.repeated) text += " (an array, or one number)";
      break;
    case ParamKind::kWord:
      text += NumericWords(p) ? "one of the numbers " : "one of ";
      for (size_t i = 0; i < p.words.size(); ++i) text += (i ? ", " : "") + p.words[i];
      break;
    case ParamKind::kText: text += "text"; break;
  }
  if (p.optional) text += ", optional";
  if (!p.local_only.empty()) text += ", not taken over the network";
  // A help that only repeats the range says nothing more.
  if (!p.help.empty() && p.help != std::to_string(p.min) + "-" + std::to_string(p.max)) text += " -- " + p.help;
  return Cell(text);
}

}  // namespace

std::string ActionTableMarkdown() {
  std::string md;
  md += "Made from the action table; `scripts/api_doc.sh` writes it again.\n";
  for (const FamilyInfo& family : Families()) {
    md += "\n### " + std::string(family.key) + ": " + family.name + "\n\n";
    md += "| Action | What it does | Parameters | Example body |\n";
    md += "|---|---|---|---|\n";
    for (const ActionSpec& action : family.actions()) {
      std::string params;
      for (const ActionParam& p : action.params) params += (params.empty() ? "" : "<br>") + ParamLine(p);
      if (params.empty()) params = "none";
      std::string help = action.help;
      if (action.record_only) help += " (changes the service's record only; sends nothing)";
      if (!action.one_of.empty()) {
        std::string names;
        for (const std::string& n : action.one_of) names += (names.empty() ? "`" : " or `") + n + "`";
        help += " (one of " + names + ")";
      }
      md += "| `" + action.name + "` | " + Cell(help) + " | " + params + " | `" + Cell(ActionExampleBody(action)) + "` |\n";
    }
  }
  return md;
}

}  // namespace zv
