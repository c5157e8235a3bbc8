// The actions a device offers, named and described once. Each family
// declares its actions in one table: a stable name ("switcher.cut"), its
// parameters with their kinds and ranges, a line of help, and the function
// that applies it to the device's session. Every surface (a panel's button
// or key, zvctl, a saved setup, a salvo) invokes actions from the table and
// nothing else builds a frame; the table is also data, from which zvctl's
// help is made.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace zv {

class DeviceSession;

enum class ParamKind : uint8_t {
  kInteger,  // a whole number in [min, max]
  kWord,     // one of `words`
  kText,     // a text, as `check` allows it
};

struct ActionParam {
  std::string name;  // "source"
  ParamKind kind = ParamKind::kInteger;
  int min = 0, max = 0;            // kInteger
  std::vector<std::string> words;  // kWord
  // kText: why a text is refused (empty when it is taken); the family
  // knows what its device takes.
  std::function<std::string(const std::string& text)> check;
  std::string help;
  // The last parameter may take several values ("outputs 1 4 8").
  bool repeated = false;
  // A parameter that may be left out (it then has no value).
  bool optional = false;
  // What zvctl's help shows for it in an example ("3", "'Camera 1'"); a
  // value from the range or the words when empty.
  std::string example;
  // Not empty: the parameter names a file on the machine that runs the
  // action (a salvo file). The surfaces of that machine (the panels,
  // zvctl) take it; the remote ones (HTTP, OSC) refuse it with this
  // sentence, before anything is read.
  std::string local_only{};
};

// Parameters as the tables write them.
ActionParam IntParam(std::string name, int min, int max, std::string help);
ActionParam WordParam(std::string name, std::vector<std::string> words, std::string help);
ActionParam Optional(ActionParam param);
ActionParam WithExample(ActionParam param, std::string example);
// The place of `word` among `words` (0 when it is not there: the table
// checked it before).
int WordIndex(const std::vector<std::string>& words, const std::string& word);

// A parameter's value: a number, a word or a text, or numbers for a
// repeated one.
using ActionValue = std::variant<int, std::string, std::vector<int>>;

class ActionArgs {
 public:
  ActionArgs() = default;
  ActionArgs(std::initializer_list<std::pair<const std::string, ActionValue>> values) : m_values(values) {}
  void Set(const std::string& name, ActionValue value) { m_values[name] = std::move(value); }
  bool Has(const std::string& name) const { return m_values.count(name) != 0; }
  // The value of a parameter the action checked to be there; 0, "" or {}
  // for one that is not.
  int Int(const std::string& name) const;
  const std::string& Text(const std::string& name) const;
  const std::vector<int>& Ints(const std::string& name) const;
  const std::map<std::string, ActionValue>& Values() const { return m_values; }

 private:
  std::map<std::string, ActionValue> m_values;
};

// What became of an action.
struct ActionOutcome {
  enum Status : uint8_t {
    kDone,          // applied; its frames are on their way
    kBadParameter,  // a parameter is missing or out of range; nothing was sent
    kNotNow,        // the device's state does not allow it now; nothing was sent
    kUnknown,       // no such action for this device
  };
  Status status = kDone;
  std::string message;  // for people; empty when done
  bool ok() const { return status == kDone; }
  static ActionOutcome Done() { return {}; }
  static ActionOutcome Bad(std::string message) { return {kBadParameter, std::move(message)}; }
  static ActionOutcome NotNow(std::string message) { return {kNotNow, std::move(message)}; }
};

struct ActionSpec {
  std::string name;  // "switcher.cut": the family's short name, a dot, the action
  std::string help;
  std::vector<ActionParam> params;
  // Applies the action to a session of the action's family, with arguments
  // already checked against `params`.
  std::function<ActionOutcome(DeviceSession& session, const ActionArgs& args)> apply;
  // Changes the session's record only and sends the device nothing (the
  // Auto rate, which only the program's timer knows): a surface that keeps
  // no session, such as one zvctl run, has no use for it.
  bool record_only = false;
  // Parameters of which exactly one is given (a salvo's file or its
  // name); each is optional in `params`. Surfaces that take the values in
  // order (zvctl's words, OSC's arguments) fill the first of them that the
  // surface takes, and no other.
  std::vector<std::string> one_of{};

  // The action's name without its family ("cut").
  std::string ShortName() const;
};

using ActionTable = std::span<const ActionSpec>;

const ActionSpec* FindAction(ActionTable table, const std::string& name);

// Whether `param` is one of the action's `one_of`.
bool InOneOf(const ActionSpec& action, const ActionParam& param);

// Whether a surface that takes the values in order gives `param` a place:
// not a local-only one on a `remote` surface, and of `one_of` only the
// first the surface takes.
bool TakenInOrder(const ActionSpec& action, const ActionParam& param, bool remote);

// Why the arguments do not fit the action's parameters (a missing one, a
// number out of range, an unknown word, a text too long or with control
// characters, a name the action does not take); empty when they fit.
std::string CheckActionArgs(const ActionSpec& action, const ActionArgs& args);

// The arguments from words as a person types them after the action's name
// ("3", "wipe", "Camera 1", "1 4 8"), in the order of the parameters.
std::optional<ActionArgs> ParseActionWords(const ActionSpec& action, std::span<const std::string> words,
                                           std::string* error);

// "N (1-12)", "mix|dip|wipe", "TEXT": how a parameter is written in a
// usage line.
std::string ParamUsage(const ActionParam& param);

}  // namespace zv
