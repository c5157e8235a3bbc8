#include "session/action_table.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace zv {

int ActionArgs::Int(const std::string& name) const {
  const auto it = m_values.find(name);
  if (it == m_values.end()) return 0;
  if (const int* v = std::get_if<int>(&it->second)) return *v;
  return 0;
}

const std::string& ActionArgs::Text(const std::string& name) const {
  static const std::string kNone;
  const auto it = m_values.find(name);
  if (it == m_values.end()) return kNone;
  if (const std::string* v = std::get_if<std::string>(&it->second)) return *v;
  return kNone;
}

const std::vector<int>& ActionArgs::Ints(const std::string& name) const {
  static const std::vector<int> kNone;
  const auto it = m_values.find(name);
  if (it == m_values.end()) return kNone;
  if (const std::vector<int>* v = std::get_if<std::vector<int>>(&it->second)) return *v;
  return kNone;
}

ActionParam IntParam(std::string name, int min, int max, std::string help) {
  ActionParam p;
  p.name = std::move(name);
  p.kind = ParamKind::kInteger;
  p.min = min;
  p.max = max;
  p.help = std::move(help);
  return p;
}

ActionParam WordParam(std::string name, std::vector<std::string> words, std::string help) {
  ActionParam p;
  p.name = std::move(name);
  p.kind = ParamKind::kWord;
  p.words = std::move(words);
  p.help = std::move(help);
  return p;
}

ActionParam Optional(ActionParam param) {
  param.optional = true;
  return param;
}

ActionParam WithExample(ActionParam param, std::string example) {
  param.example = std::move(example);
  return param;
}

int WordIndex(const std::vector<std::string>& words, const std::string& word) {
  for (size_t i = 0; i < words.size(); ++i)
    if (words[i] == word) return static_cast<int>(i);
  return 0;
}

std::string ActionSpec::ShortName() const {
  const size_t dot = name.find('.');
  return dot == std::string::npos ? name : name.substr(dot + 1);
}

const ActionSpec* FindAction(ActionTable table, const std::string& name) {
  for (const ActionSpec& action : table)
    if (action.name == name) return &action;
  return nullptr;
}

bool InOneOf(const ActionSpec& action, const ActionParam& param) {
  return std::find(action.one_of.begin(), action.one_of.end(), param.name) != action.one_of.end();
}

bool TakenInOrder(const ActionSpec& action, const ActionParam& param, bool remote) {
  if (remote && !param.local_only.empty()) return false;
  if (!InOneOf(action, param)) return true;
  for (const std::string& name : action.one_of) {
    const auto p = std::find_if(action.params.begin(), action.params.end(),
                                [&name](const ActionParam& q) { return q.name == name; });
    if (p == action.params.end() || (remote && !p->local_only.empty())) continue;
    return p->name == param.name;
  }
  return false;
}

namespace {

std::string RangeText(const ActionParam& p) {
  return std::to_string(p.min) + " to " + std::to_string(p.max);
}

std::string CheckInteger(const ActionParam& p, int v) {
  if (v < p.min || v > p.max)
    return p.name + " must be " + RangeText(p) + ", not " + std::to_string(v);
  return {};
}

std::string CheckValue(const ActionParam& p, const ActionValue& value) {
  switch (p.kind) {
    case ParamKind::kInteger:
      if (p.repeated) {
        const auto* list = std::get_if<std::vector<int>>(&value);
        if (!list || list->empty()) return p.name + " takes one or more numbers";
        for (int v : *list)
          if (std::string problem = CheckInteger(p, v); !problem.empty()) return problem;
        return {};
      }
      if (const int* v = std::get_if<int>(&value)) return CheckInteger(p, *v);
      return p.name + " must be a number";
    case ParamKind::kWord: {
      const auto* word = std::get_if<std::string>(&value);
      if (!word) return p.name + " must be a word";
      for (const std::string& w : p.words)
        if (w == *word) return {};
      std::string list;
      for (const std::string& w : p.words) list += (list.empty() ? "" : ", ") + w;
      return p.name + " must be one of " + list + ", not '" + *word + "'";
    }
    case ParamKind::kText: {
      const auto* text = std::get_if<std::string>(&value);
      if (!text) return p.name + " must be a text";
      if (p.check)
        if (std::string problem = p.check(*text); !problem.empty()) return p.name + " " + problem;
      return {};
    }
  }
  return p.name + " has a kind no action takes";
}

}  // namespace

std::string CheckActionArgs(const ActionSpec& action, const ActionArgs& args) {
  for (const auto& [name, value] : args.Values()) {
    bool known = false;
    for (const ActionParam& p : action.params) known = known || p.name == name;
    if (!known) return action.name + " takes no parameter '" + name + "'";
  }
  for (const ActionParam& p : action.params) {
    const auto it = args.Values().find(p.name);
    if (it == args.Values().end()) {
      if (p.optional) continue;
      return action.name + " needs its " + p.name;
    }
    if (std::string problem = CheckValue(p, it->second); !problem.empty()) return problem;
  }
  if (!action.one_of.empty()) {
    std::string names;
    size_t given = 0;
    for (size_t i = 0; i < action.one_of.size(); ++i) {
      given += args.Has(action.one_of[i]);
      names += (i == 0 ? "" : i + 1 == action.one_of.size() ? " or " : ", ") + action.one_of[i];
    }
    if (given == 0) return action.name + " needs its " + names;
    if (given > 1) return action.name + " takes its " + names + ", not more than one";
  }
  return {};
}

std::optional<ActionArgs> ParseActionWords(const ActionSpec& action, std::span<const std::string> words,
                                           std::string* error) {
  ActionArgs args;
  size_t next = 0;
  // The words are a person's on the machine that runs the action.
  const auto placed = [&action](const ActionParam& p) { return TakenInOrder(action, p, false); };
  const auto number = [&](const std::string& word, const ActionParam& p, int* out) {
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, *out);
    if (ec != std::errc() || ptr != end || word.empty()) {
      *error = p.name + " must be a number, not '" + word + "'";
      return false;
    }
    return true;
  };
  for (const ActionParam& p : action.params) {
    if (!placed(p)) continue;
    if (next >= words.size()) {
      // The place of a one_of group must be filled.
      if (p.optional && !InOneOf(action, p)) break;
      *error = action.name + " needs its " + p.name;
      return std::nullopt;
    }
    if (p.kind == ParamKind::kInteger && p.repeated) {
      std::vector<int> list;
      for (; next < words.size(); ++next) {
        int v = 0;
        if (!number(words[next], p, &v)) return std::nullopt;
        list.push_back(v);
      }
      args.Set(p.name, std::move(list));
      continue;
    }
    if (p.kind == ParamKind::kInteger) {
      int v = 0;
      if (!number(words[next++], p, &v)) return std::nullopt;
      args.Set(p.name, v);
    } else {
      args.Set(p.name, words[next++]);
    }
  }
  if (next < words.size()) {
    *error = action.name + " takes no more than " + std::to_string(next) + " values";
    return std::nullopt;
  }
  if (std::string problem = CheckActionArgs(action, args); !problem.empty()) {
    *error = problem;
    return std::nullopt;
  }
  return args;
}

std::string ParamUsage(const ActionParam& param) {
  std::string upper;
  for (char c : param.name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string text;
  switch (param.kind) {
    case ParamKind::kInteger:
      text = upper + (param.repeated ? "..." : "") + " (" + std::to_string(param.min) + "-" +
             std::to_string(param.max) + ")";
      break;
    case ParamKind::kWord:
      for (const std::string& w : param.words) text += (text.empty() ? "" : "|") + w;
      break;
    case ParamKind::kText: text = upper; break;
  }
  return param.optional ? "[" + text + "]" : text;
}

}  // namespace zv
