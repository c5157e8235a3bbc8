#include "matrix/matrix_session.h"

#include <nlohmann/json.hpp>

#include "link/link_state.h"
#include "session/family_info.h"
#include "matrix/matrix_lock.h"
#include "matrix/salvo_folder.h"
#include "platform/small_file.h"

namespace zv {

MatrixSession::MatrixSession(const FamilyInfo& family, DeviceLink& link, SessionClock& clock)
    : DeviceSession(family, link, clock) {
  if (link.Mode() == kModeNetwork) m_lock_address = link.Device().IpText();
  RefreshLock();
}

bool MatrixSession::RefreshLock() {
  // A lock the store did not take is the session's own until one is stored:
  // the store's answer would undo it.
  if (m_lock_address.empty() || !m_lock_error.empty()) return Locked();
  std::string error;
  const std::optional<bool> locked = ReadMatrixLock(m_lock_address, &error);
  if (!locked) {
    // The question stays open: the lock stays as the session had it.
    Link().ShowStatus(error, true);
    return Locked();
  }
  const int32_t lock = *locked ? kMatrixLocked : 0;
  if (lock != m_model.m_matrix_lock) {
    m_model.m_matrix_lock = lock;
    RecordChanged();
  }
  return Locked();
}

ActionOutcome MatrixSession::LockedRefusal() const {
  const std::string where = m_lock_address.empty() ? "" : " at " + m_lock_address;
  return ActionOutcome::NotNow("the matrix router" + where + " is locked" +
                               (m_lock_address.empty() ? "" : " (zvctl " + m_lock_address + " matrix lock off)"));
}

ActionOutcome MatrixSession::CannotLeave() {
  return ActionOutcome::NotNow("no text can leave for " + Link().DeviceName() +
                               (Link().Mode() == kModeSerial ? ": the serial port is closed" : ""));
}

bool MatrixSession::SelectInput(int k) {
  if (!MatrixSelectInput(m_model, k)) return false;
  RecordChanged();
  return true;
}

bool MatrixSession::ToggleOutput(int o) {
  if (!MatrixToggleOutput(m_model, o)) return false;
  RecordChanged();
  return true;
}

void MatrixSession::ForgetUnsent() {
  MatrixForgetUnsent(m_model);
  RecordChanged();
}

bool MatrixSession::SendText(std::string_view text) {
  DeviceLink& link = Link();
  const int32_t mode = link.Mode();
  if (mode != kModeNetwork && mode != kModeSerial) return false;
  if (mode == kModeSerial && !link.SerialPortOpen()) return false;
  const std::string what = "Route " + std::string(text) + " to " + link.DeviceName();
  ++m_pending;
  link.Request("Sending: " + what, [this, t = std::string(text), what](LinkState& state) -> std::function<void()> {
    const bool serial = state.m_eState == kModeSerial;
    const bool sent = SendMatrixText(state, t);
    return [this, t, what, sent, serial] { TextDone(t, what, sent, serial); };
  });
  return true;
}

void MatrixSession::TextDone(const std::string& text, const std::string& what, bool sent, bool serial) {
  --m_pending;
  if (sent) {
    MatrixTextTaken(m_model, text);
    Link().ShowStatus("Sent: " + what);
  } else {
    MatrixForgetUnsent(m_model);
    Link().ShowStatus("Not sent: " + what + (serial ? " (the serial line did not take it)" : ""), true);
  }
  RecordChanged();
}

ActionOutcome MatrixSession::Route(int input, const std::vector<int>& outputs) {
  if (RefreshLock()) return LockedRefusal();
  uint8_t table[kMatrixPortCount] = {};
  for (int o : outputs) table[o - 1] = static_cast<uint8_t>(input);
  const std::string text = BuildMatrixRouteText(static_cast<uint8_t>(input), table);
  if (!SendText(text)) return CannotLeave();
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MatrixSession::All(int input) {
  if (RefreshLock()) return LockedRefusal();
  // The input routed to all is the chosen one from now on.
  m_model.m_eMatrixState = 1;
  m_model.m_matrix_input = static_cast<uint8_t>(input);
  // The model follows only a text that will leave.
  if (!MatrixOneToAll(m_model, [this](std::string_view t) { return SendText(t); })) {
    RecordChanged();
    return CannotLeave();
  }
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MatrixSession::Through() {
  if (RefreshLock()) return LockedRefusal();
  if (!MatrixOneToOne(m_model, [this](std::string_view t) { return SendText(t); })) return CannotLeave();
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MatrixSession::Lock(bool on) {
  m_model.m_matrix_lock = on ? kMatrixLocked : 0;
  m_lock_error.clear();
  // A lock that cannot be stored still holds in this session; the operator
  // is told why zvctl will not see it.
  if (!m_lock_address.empty() && !WriteMatrixLock(m_lock_address, on, &m_lock_error))
    Link().ShowStatus(m_lock_error, true);
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MatrixSession::Salvo(const MatrixSalvo& salvo) {
  if (RefreshLock()) return LockedRefusal();
  const bool sent = MatrixRecallSalvo(m_model, salvo, [this](std::string_view t) { return SendText(t); });
  RecordChanged();
  if (!sent) return ActionOutcome::NotNow("Salvo \"" + salvo.name + "\" not sent");
  return ActionOutcome::Done();
}

std::string ReadSalvoFile(const std::string& path, MatrixSalvo* salvo) {
  std::string text;
  std::string error;
  if (!ReadSmallFile(path, &text, &error)) return path + " " + error;
  if (!DecodeSalvoJson(text, salvo, &error)) return path + ": " + error;
  return {};
}

// ---- the table -----------------------------------------------------------------

namespace {

MatrixSession& Of(DeviceSession& s) { return static_cast<MatrixSession&>(s); }

ActionParam Port(std::string name, std::string help, bool repeated = false) {
  ActionParam p = IntParam(std::move(name), 1, kMatrixPortCount, std::move(help));
  p.repeated = repeated;
  return p;
}

std::vector<ActionSpec> MakeMatrixActions() {
  ActionParam state;
  state.name = "state";
  state.kind = ParamKind::kWord;
  state.words = {"on", "off"};
  state.help = "on refuses routes, from the panel and zvctl alike; off allows them";
  ActionParam file;
  file.name = "file";
  file.kind = ParamKind::kText;
  file.help = "a salvo file: {\"salvo\": NAME, \"outputs\": [8 inputs, 0 leaves an output]}";
  file.example = "studio.json";
  file.optional = true;
  file.local_only = "salvos are recalled by name from the salvo folder";
  file.check = [](const std::string& path) {
    MatrixSalvo salvo;
    return ReadSalvoFile(path, &salvo);
  };
  ActionParam name;
  name.name = "name";
  name.kind = ParamKind::kText;
  name.help = "a salvo saved in the salvo folder (NAME.json there): 1-64 letters, digits, spaces, - _ .";
  name.example = "'Studio A'";
  name.optional = true;
  // The name alone is checked here: the file is read when the salvo is
  // recalled, in the folder of that moment.
  name.check = [](const std::string& text) { return SalvoNameProblem(text); };
  std::vector<ActionSpec> t;
  t.push_back({"matrix.route", "route an input to one or more outputs",
               {WithExample(Port("input", "1-8"), "3"), WithExample(Port("outputs", "1-8, one or more", true), "1 4 8")},
               [](DeviceSession& s, const ActionArgs& a) { return Of(s).Route(a.Int("input"), a.Ints("outputs")); }});
  t.push_back({"matrix.all", "route an input to every output", {Port("input", "1-8")},
               [](DeviceSession& s, const ActionArgs& a) { return Of(s).All(a.Int("input")); }});
  t.push_back({"matrix.through", "each input to the output of its number", {},
               [](DeviceSession& s, const ActionArgs&) { return Of(s).Through(); }});
  t.push_back({"matrix.lock", "lock the router (on) or unlock it (off)", {state},
               [](DeviceSession& s, const ActionArgs& a) { return Of(s).Lock(a.Text("state") == "on"); }});
  t.push_back({"matrix.salvo", "recall a salvo, one route per input: a saved one by its name, or a file", {file, name},
               [](DeviceSession& s, const ActionArgs& a) {
                 MatrixSalvo salvo;
                 const std::string problem = a.Has("name") ? ReadNamedSalvo(SalvoFolder(), a.Text("name"), &salvo)
                                                           : ReadSalvoFile(a.Text("file"), &salvo);
                 if (!problem.empty()) return ActionOutcome::Bad(problem);
                 return Of(s).Salvo(salvo);
               }});
  t.back().one_of = {"file", "name"};
  return t;
}

}  // namespace

ActionTable MatrixActions() {
  static const std::vector<ActionSpec> table = MakeMatrixActions();
  return table;
}

// ---- the family's row in the registry -------------------------------------------

namespace {
constexpr uint8_t kMatrixTypes[] = {0x81, 0x82};
}  // namespace

namespace {
// The routing as the router took it (the input each output shows, 0 for
// none yet), the input chosen on the panel and the lock. The router is
// never read back: this is what the program sent it.
nlohmann::json MatrixStateFields(const DeviceSession& session) {
  const MatrixModel& m = static_cast<const MatrixSession&>(session).Model();
  return {{"routes", std::vector<int>(std::begin(m.m_matrix_taken), std::end(m.m_matrix_taken))},
          {"input", m.m_matrix_input},
          {"locked", m.m_matrix_lock != 0}};
}
}  // namespace

const FamilyInfo& MatrixFamily() {
  static const FamilyInfo row{FamilyKind::kMatrix, "matrix", "matrix router", kMatrixTypes,
                              "8x8 matrix router (type 0x82)", 206, false, &MatrixActions,
                              &MakeSession<MatrixSession>, nullptr, &MatrixStateFields,
                              nullptr};
  return row;
}

}  // namespace zv
