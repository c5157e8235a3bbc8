// The service's parts on their own: token files, the failure limiter,
// address lists, requests and OSC messages mapped onto the action table,
// the actions' part of docs/api.md, and the OSC listener fed by oscsend.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <lo/lo_lowlevel.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "link/serial_port.h"
#include "registry/families.h"
#include "service/access_limits.h"
#include "service/action_request.h"
#include "service/osc_listener.h"
#include "service/token_store.h"

extern char** environ;

namespace zv {
namespace {

namespace fs = std::filesystem;

// A private directory, removed afterwards.
struct TempDir {
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zv_service_XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path); }
  std::string File(const std::string& name) const { return path + "/" + name; }
  std::string path;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text, mode_t mode) {
  std::ofstream(path) << text;
  chmod(path.c_str(), mode);
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// ---- tokens ------------------------------------------------------------------

TEST(TokenStore, MadeTokensAreFoundWithTheirNameAndRoleAndOnlyTheirHashIsKept) {
  TempDir dir;
  const std::string path = dir.File("tokens");
  const mode_t old_umask = umask(0);  // the file is private whatever the umask
  std::string error;
  const std::optional<std::string> desk = TokenStore::AddToken(path, "desk", Role::kOperate, &error);
  umask(old_umask);
  ASSERT_TRUE(desk) << error;
  const std::optional<std::string> ops = TokenStore::AddToken(path, "ops", Role::kAdmin, &error);
  const std::optional<std::string> wall = TokenStore::AddToken(path, "wall", Role::kView, &error);
  ASSERT_TRUE(ops && wall) << error;
  EXPECT_EQ(ModeOf(path), 0600u);
  EXPECT_GE(desk->size(), 32u);  // at least 128 bits in hex
  EXPECT_NE(*desk, *ops);

  const std::string text = ReadFile(path);
  for (const std::string* token : {&*desk, &*ops, &*wall}) EXPECT_EQ(text.find(*token), std::string::npos);

  TokenStore store;
  ASSERT_TRUE(store.Load(path, &error)) << error;
  EXPECT_FALSE(store.Empty());
  const struct {
    std::string token;
    std::optional<std::string> name;
    Role role;
  } cases[] = {
      {*desk, "desk", Role::kOperate},
      {*ops, "ops", Role::kAdmin},
      {*wall, "wall", Role::kView},
      {"", std::nullopt, Role::kView},
      {desk->substr(1), std::nullopt, Role::kView},
      {*desk + "0", std::nullopt, Role::kView},
      {std::string(desk->size(), '0'), std::nullopt, Role::kView},
  };
  for (const auto& c : cases) {
    const std::optional<TokenHolder> holder = store.Check(c.token);
    ASSERT_EQ(holder.has_value(), c.name.has_value()) << "token " << c.token;
    if (!holder) continue;
    EXPECT_EQ(holder->name, *c.name);
    EXPECT_EQ(holder->role, c.role);
  }

  EXPECT_FALSE(TokenStore::AddToken(path, "desk", Role::kView, &error)) << "a second token named desk";
  EXPECT_NE(error.find("desk"), std::string::npos);
  EXPECT_FALSE(TokenStore::AddToken(path, "two words", Role::kView, &error));
  EXPECT_FALSE(TokenStore::AddToken(path, "", Role::kView, &error));
}

TEST(TokenStore, FilesOthersCanReadOrWriteOrThatAreNotPlainFilesAreRefused) {
  TempDir dir;
  const std::string line = "desk operate " + std::string(64, 'a') + "\n";
  const struct {
    mode_t mode;
    bool taken;
  } cases[] = {{0600, true}, {0400, true}, {0644, false}, {0640, false}, {0604, false}, {0620, false}, {0602, false}};
  for (const auto& c : cases) {
    const std::string path = dir.File("tokens" + std::to_string(c.mode));
    WriteFile(path, line, c.mode);
    TokenStore store;
    std::string error;
    EXPECT_EQ(store.Load(path, &error), c.taken) << std::oct << c.mode;
    EXPECT_EQ(store.Empty(), !c.taken);
    if (!c.taken) {
      EXPECT_NE(error.find("chmod 600"), std::string::npos) << error;
      EXPECT_FALSE(TokenStore::AddToken(path, "other", Role::kView, &error)) << std::oct << c.mode;
      EXPECT_EQ(ReadFile(path), line) << "a refused file is left as it was";
    }
  }
  // A link to a private file is not followed, for reading or for adding.
  const std::string target = dir.File("tokens600"), link = dir.File("link");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  TokenStore store;
  std::string error;
  EXPECT_FALSE(store.Load(link, &error));
  EXPECT_FALSE(TokenStore::AddToken(link, "other", Role::kView, &error));
  EXPECT_FALSE(store.Load(dir.File("missing"), &error));
  EXPECT_FALSE(store.Load(dir.path, &error)) << "a directory";
}

TEST(TokenStore, LinesAreReadStrictlyWithCommentsAndBlankLinesLeftOut) {
  TempDir dir;
  const std::string hash(64, 'b');
  const struct {
    const char* what;
    std::string text;
    bool taken;
  } cases[] = {
      {"comments, blank lines, tabs", "# tokens\n\n  desk\toperate " + hash + "\n# end\n", true},
      {"no newline at the end", "desk view " + hash, true},
      {"a role nobody has", "desk root " + hash + "\n", false},
      {"a short hash", "desk view " + hash.substr(1) + "\n", false},
      {"a hash that is not hex", "desk view " + std::string(63, 'b') + "g\n", false},
      {"a word too many", "desk view " + hash + " extra\n", false},
      {"no hash", "desk view\n", false},
      {"a name twice", "desk view " + hash + "\ndesk admin " + std::string(64, 'c') + "\n", false},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File("tokens");
    fs::remove(path);
    WriteFile(path, c.text, 0600);
    TokenStore store;
    std::string error;
    EXPECT_EQ(store.Load(path, &error), c.taken) << c.what << ": " << error;
    if (!c.taken) {
      EXPECT_NE(error.find("line"), std::string::npos) << c.what << ": " << error;
    }
  }
}

TEST(TokenStore, RolesHaveTheirNames) {
  for (Role role : {Role::kView, Role::kOperate, Role::kAdmin}) EXPECT_EQ(RoleFromName(RoleName(role)), role);
  EXPECT_FALSE(RoleFromName("Admin"));
  EXPECT_FALSE(RoleFromName(""));
}

// ---- the failure limiter ---------------------------------------------------------

TEST(FailureLimiter, TenFailuresInAMinuteBlockTheAddressForAMinute) {
  using namespace std::chrono_literals;
  FailureLimiter limiter;  // 10 in 60 s, blocked for 60 s
  const auto t0 = FailureLimiter::Clock::time_point{} + 1000s;
  for (int i = 0; i < 9; ++i) EXPECT_FALSE(limiter.Failed("10.0.0.9", t0 + i * 1s));
  EXPECT_FALSE(limiter.Blocked("10.0.0.9", t0 + 9s));
  EXPECT_TRUE(limiter.Failed("10.0.0.9", t0 + 9s)) << "the tenth failure blocks";
  EXPECT_FALSE(limiter.Failed("10.0.0.9", t0 + 10s)) << "said once";
  EXPECT_FALSE(limiter.Blocked("10.0.0.8", t0 + 10s)) << "other addresses go on";
  EXPECT_TRUE(limiter.Blocked("10.0.0.9", t0 + 68s));
  EXPECT_FALSE(limiter.Blocked("10.0.0.9", t0 + 69s)) << "a minute after the block";
  EXPECT_FALSE(limiter.Failed("10.0.0.9", t0 + 70s)) << "counting starts again";
}

TEST(FailureLimiter, FailuresOlderThanTheWindowDoNotCount) {
  using namespace std::chrono_literals;
  FailureLimiter limiter(3, 10s, 30s);
  const auto t0 = FailureLimiter::Clock::time_point{} + 1000s;
  EXPECT_FALSE(limiter.Failed("a", t0));
  EXPECT_FALSE(limiter.Failed("a", t0 + 5s));
  EXPECT_FALSE(limiter.Failed("a", t0 + 10s)) << "the first has left the window";
  EXPECT_TRUE(limiter.Failed("a", t0 + 11s));
  EXPECT_TRUE(limiter.Blocked("a", t0 + 40s));
  EXPECT_FALSE(limiter.Blocked("a", t0 + 41s));
}

TEST(FailureLimiter, MemoryIsBoundedByForgettingTheOldestAddress) {
  using namespace std::chrono_literals;
  FailureLimiter limiter(2, 60s, 60s, 3);
  const auto t0 = FailureLimiter::Clock::time_point{} + 1000s;
  limiter.Failed("a", t0);
  limiter.Failed("b", t0);
  limiter.Failed("c", t0);
  limiter.Failed("a", t0 + 1s);  // a blocked, and the newest
  limiter.Failed("d", t0 + 2s);  // b forgotten
  EXPECT_EQ(limiter.Tracked(), 3u);
  EXPECT_TRUE(limiter.Blocked("a", t0 + 3s));
  EXPECT_FALSE(limiter.Failed("b", t0 + 3s)) << "b starts from nothing";
  EXPECT_TRUE(limiter.Failed("d", t0 + 3s));
}

// ---- address lists ---------------------------------------------------------------

uint32_t Host(const char* text) {
  in_addr a{};
  EXPECT_EQ(inet_pton(AF_INET, text, &a), 1) << text;
  return ntohl(a.s_addr);
}

TEST(CidrList, NetworksAreParsedStrictly) {
  const struct {
    const char* text;
    const char* normal;  // null: refused
    std::vector<const char*> inside, outside;
  } cases[] = {
      {"127.0.0.0/8", "127.0.0.0/8", {"127.0.0.1", "127.255.255.255"}, {"126.255.255.255", "128.0.0.0"}},
      {"192.168.1.20", "192.168.1.20/32", {"192.168.1.20"}, {"192.168.1.21", "192.168.1.19"}},
      {"10.1.2.0/24, 172.16.0.0/12", "10.1.2.0/24,172.16.0.0/12", {"10.1.2.255", "172.31.0.1"}, {"10.1.3.0", "172.32.0.0"}},
      {"0.0.0.0/0", "0.0.0.0/0", {"0.0.0.0", "255.255.255.255"}, {}},
      {"10.0.0.5/32", "10.0.0.5/32", {"10.0.0.5"}, {"10.0.0.4"}},
      {"", nullptr, {}, {}},
      {"10.1.2.3/24", nullptr, {}, {}},
      {"10.1.2/24", nullptr, {}, {}},
      {"256.0.0.1", nullptr, {}, {}},
      {"10.0.0.1/33", nullptr, {}, {}},
      {"10.0.0.1/", nullptr, {}, {}},
      {"/8", nullptr, {}, {}},
      {"10.0.0.01", nullptr, {}, {}},
      {"10.0.0.1,,10.0.0.2", nullptr, {}, {}},
      {"10.0.0.1/-1", nullptr, {}, {}},
      {"10.0.0.0/08", nullptr, {}, {}},
      {"10.0.0.1 10.0.0.2", nullptr, {}, {}},
      {"localhost", nullptr, {}, {}},
  };
  for (const auto& c : cases) {
    std::string error;
    const std::optional<CidrList> list = CidrList::Parse(c.text, &error);
    ASSERT_EQ(list.has_value(), c.normal != nullptr) << "'" << c.text << "' " << error;
    if (!list) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(list->Text(), c.normal);
    for (const char* a : c.inside) EXPECT_TRUE(list->Contains(Host(a))) << c.text << " " << a;
    for (const char* a : c.outside) EXPECT_FALSE(list->Contains(Host(a))) << c.text << " " << a;
  }
  EXPECT_EQ(CidrList::Loopback().Text(), "127.0.0.0/8");
}

// ---- requests to actions -----------------------------------------------------------

const ActionSpec& Named(const std::string& name) {
  auto found = FindActionByName(name);
  EXPECT_TRUE(std::holds_alternative<const ActionSpec*>(found)) << name;
  return *std::get<const ActionSpec*>(found);
}

TEST(ActionRequest, ActionsAreFoundByTheirFullNameOnly) {
  const struct {
    const char* name;
    bool found;
  } cases[] = {{"switcher.program", true}, {"matrix.route", true}, {"multiview.layout", true}, {"fourch.mode", true},
               {"switcher.nope", false},   {"nope.cut", false},    {"switcher", false},         {"", false},
               {".cut", false},            {"switcher.", false},   {"Switcher.cut", false},     {"switcher.cut.x", false}};
  for (const auto& c : cases) {
    auto found = FindActionByName(c.name);
    if (c.found) {
      ASSERT_TRUE(std::holds_alternative<const ActionSpec*>(found)) << c.name;
      EXPECT_EQ(std::get<const ActionSpec*>(found)->name, c.name);
    } else {
      ASSERT_TRUE(std::holds_alternative<RequestError>(found)) << c.name;
      EXPECT_EQ(std::get<RequestError>(found).status, 404) << c.name;
    }
  }
}

TEST(ActionRequest, JsonBodiesBecomeCheckedArguments) {
  const struct {
    const char* action;
    std::string body;
    std::map<std::string, ActionValue> args;  // empty and status 0: taken with no arguments
    int status = 0;                            // 0: taken
    const char* says = "";                     // what the refusal must say
  } cases[] = {
      // The API's own examples.
      {"switcher.program", R"({"source": 3})", {{"source", 3}}},
      {"switcher.preview", R"({"source": 2})", {{"source", 2}}},
      {"switcher.cut", "{}", {}},
      {"switcher.auto", "{}", {}},
      {"switcher.cut", "", {}},
      {"switcher.cut", " \r\n", {}},
      {"matrix.route", R"({"input": 2, "outputs": [5, 6]})", {{"input", 2}, {"outputs", std::vector<int>{5, 6}}}},
      {"matrix.route", R"({"input": 2, "outputs": 5})", {{"input", 2}, {"outputs", std::vector<int>{5}}}},
      {"multiview.layout", R"({"windows": 9})", {{"windows", std::string("9")}}},
      {"multiview.layout", R"({"windows": "4"})", {{"windows", std::string("4")}}},
      {"multiview.label", R"({"win": 1, "text": "Camera 1"})", {{"win", 1}, {"text", std::string("Camera 1")}}},
      {"switcher.auto", R"({"rate": "r2"})", {{"rate", std::string("r2")}}},
      {"switcher.program", R"({"source": 3.0})", {{"source", 3}}},  // JSON has one kind of number
      // Refused: 400, nothing to run.
      {"switcher.program", "{", {}, 400},
      {"switcher.program", R"({"source": 3,})", {}, 400},
      {"switcher.program", "[3]", {}, 400},
      {"switcher.program", "3", {}, 400},
      {"switcher.program", "null", {}, 400},
      {"switcher.program", R"({"source": "3"})", {}, 400},
      {"switcher.program", R"({"source": 3.5})", {}, 400},
      {"switcher.program", R"({"source": 1e10})", {}, 400},
      {"switcher.program", R"({"source": 4294967299})", {}, 400},
      {"switcher.program", R"({"source": -1})", {}, 400},
      {"switcher.program", R"({"source": 0})", {}, 400},
      {"switcher.program", R"({"source": 13})", {}, 400},
      {"switcher.program", R"({"source": null})", {}, 400},
      {"switcher.program", R"({"source": true})", {}, 400},
      {"switcher.program", R"({"source": [3]})", {}, 400},
      {"switcher.program", R"({})", {}, 400},
      {"switcher.program", R"({"sourc": 3})", {}, 400},
      {"switcher.cut", R"({"source": 3})", {}, 400},
      {"matrix.route", R"({"input": 2, "outputs": []})", {}, 400},
      {"matrix.route", R"({"input": 2, "outputs": [5, "6"]})", {}, 400},
      {"matrix.route", R"({"input": 2, "outputs": [5, 9]})", {}, 400},
      {"matrix.route", R"({"input": 2, "outputs": [5.5]})", {}, 400},
      {"matrix.route", R"({"in": 2, "out": [5]})", {}, 400},
      {"multiview.layout", R"({"windows": 5})", {}, 400},
      {"multiview.layout", R"({"windows": 9.5})", {}, 400},
      {"switcher.auto", R"({"rate": "r4"})", {}, 400},
      {"switcher.auto", R"({"rate": 1})", {}, 400},
      {"multiview.label", R"({"win": 1, "text": "seventeen letters"})", {}, 400},
      {"multiview.label", R"({"win": 1, "text": 7})", {}, 400},
      // A salvo: by its name in the salvo folder, never by a path on the
      // service's machine (the file's check, which would open it, never runs).
      {"matrix.salvo", R"({"name": "Studio A"})", {{"name", std::string("Studio A")}}},
      {"matrix.salvo", R"({"name": "a-1_b.2"})", {{"name", std::string("a-1_b.2")}}},
      {"matrix.salvo", "{\"name\": \"" + std::string(64, 'x') + "\"}", {{"name", std::string(64, 'x')}}},
      {"matrix.salvo", R"({"file": "/etc/passwd"})", {}, 400, "salvos are recalled by name from the salvo folder"},
      {"matrix.salvo", R"({"file": "studio.json", "name": "Studio A"})", {}, 400, "recalled by name"},
      {"matrix.salvo", R"({})", {}, 400, "needs its file or name"},
      {"matrix.salvo", R"({"name": ""})", {}, 400},
      {"matrix.salvo", "{\"name\": \"" + std::string(65, 'x') + "\"}", {}, 400},
      {"matrix.salvo", R"({"name": "../tokens"})", {}, 400},
      {"matrix.salvo", R"({"name": "a/b"})", {}, 400},
      {"matrix.salvo", R"({"name": "/etc/passwd"})", {}, 400},
      {"matrix.salvo", R"({"name": "a..b"})", {}, 400},
      {"matrix.salvo", R"({"name": ".hidden"})", {}, 400},
      {"matrix.salvo", R"({"name": "a\\b"})", {}, 400},
      {"matrix.salvo", R"({"name": "tab\there"})", {}, 400},
      {"matrix.salvo", R"({"name": "B\u00fchne"})", {}, 400},
      {"matrix.salvo", R"({"name": "x\u0000"})", {}, 400},
      {"matrix.salvo", R"({"name": 3})", {}, 400},
  };
  for (const auto& c : cases) {
    const ActionSpec& action = Named(c.action);
    auto result = ArgsFromJson(action, c.body);
    if (c.status == 0) {
      ASSERT_TRUE(std::holds_alternative<ActionArgs>(result))
          << c.action << " " << c.body << ": " << std::get<RequestError>(result).message;
      EXPECT_EQ(std::get<ActionArgs>(result).Values(), c.args) << c.action << " " << c.body;
    } else {
      ASSERT_TRUE(std::holds_alternative<RequestError>(result)) << c.action << " " << c.body;
      EXPECT_EQ(std::get<RequestError>(result).status, c.status) << c.action << " " << c.body;
      EXPECT_FALSE(std::get<RequestError>(result).message.empty());
      EXPECT_NE(std::get<RequestError>(result).message.find(c.says), std::string::npos)
          << c.body << ": " << std::get<RequestError>(result).message;
    }
  }
}

TEST(ActionRequest, OscMessagesBecomeAnAddressAnActionAndCheckedArguments) {
  using Args = std::vector<OscArg>;
  const struct {
    const char* path;
    Args args;
    const char* address = nullptr;  // null: refused with `status`
    const char* action = nullptr;
    std::map<std::string, ActionValue> values = {};
    int status = 0;
  } cases[] = {
      {"/zv/10.0.0.5/switcher/program", {3}, "10.0.0.5", "switcher.program", {{"source", 3}}},
      {"/zv/10.0.0.5/switcher/program", {3.0f}, "10.0.0.5", "switcher.program", {{"source", 3}}},
      {"/zv/10.0.0.5/switcher/cut", {}, "10.0.0.5", "switcher.cut", {}},
      {"/zv/10.0.0.3/matrix/route", {2, 5}, "10.0.0.3", "matrix.route", {{"input", 2}, {"outputs", std::vector<int>{5}}}},
      {"/zv/10.0.0.3/matrix/route", {2, 5, 6.0f}, "10.0.0.3", "matrix.route",
       {{"input", 2}, {"outputs", std::vector<int>{5, 6}}}},
      {"/zv/10.0.0.2/multiview/layout", {9}, "10.0.0.2", "multiview.layout", {{"windows", std::string("9")}}},
      {"/zv/10.0.0.2/multiview/label", {1, std::string("Camera 1")}, "10.0.0.2", "multiview.label",
       {{"win", 1}, {"text", std::string("Camera 1")}}},
      {"/zv/10.0.0.2/multiview/audio_source", {4}, "10.0.0.2", "multiview.audio_source", {{"win", 4}}},
      {"/zv/10.0.0.5/switcher/auto", {std::string("r3")}, "10.0.0.5", "switcher.auto", {{"rate", std::string("r3")}}},
      {"/zv/10.0.0.5/switcher/program", {3.5f}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.5/switcher/program", {std::string("3")}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.5/switcher/program", {}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.5/switcher/program", {3, 4}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.5/switcher/program", {99}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.5/switcher/cut", {1}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.3/matrix/route", {2}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.3/matrix/route", {2, std::string("5")}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.2/multiview/layout", {5}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.2/multiview/label", {1, 7}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.5/switcher/nope", {}, nullptr, nullptr, {}, 404},
      // A salvo's one argument is its name: a path is no name.
      {"/zv/10.0.0.3/matrix/salvo", {std::string("Studio A")}, "10.0.0.3", "matrix.salvo",
       {{"name", std::string("Studio A")}}},
      {"/zv/10.0.0.3/matrix/salvo", {std::string("/etc/passwd")}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.3/matrix/salvo", {std::string("studio.json"), std::string("Studio A")}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.3/matrix/salvo", {}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.5/nope/cut", {}, nullptr, nullptr, {}, 404},
      {"/zv/10.0.0.5/switcher.program", {3}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.5/switcher/program/x", {3}, nullptr, nullptr, {}, 400},
      {"/zv/10.0.0.5/switcher", {}, nullptr, nullptr, {}, 400},
      {"/zv/255.255.255.255/switcher/cut", {}, nullptr, nullptr, {}, 400},
      {"/zv/224.0.0.1/switcher/cut", {}, nullptr, nullptr, {}, 400},
      {"/zv/0.0.0.5/switcher/cut", {}, nullptr, nullptr, {}, 400},
      {"/zv/studio/switcher/cut", {}, nullptr, nullptr, {}, 400},
      {"/zv/serial-ttyUSB0/multiview/layout", {4}, "serial-ttyUSB0", "multiview.layout", {{"windows", std::string("4")}}},
      {"/zv/serial-/multiview/layout", {4}, nullptr, nullptr, {}, 400},
      {"/zv//switcher/cut", {}, nullptr, nullptr, {}, 400},
      {"/other/10.0.0.5/switcher/cut", {}, nullptr, nullptr, {}, 400},
      {"zv/10.0.0.5/switcher/cut", {}, nullptr, nullptr, {}, 400},
  };
  for (const auto& c : cases) {
    auto result = ActionFromOsc(c.path, c.args);
    if (c.address) {
      ASSERT_TRUE(std::holds_alternative<ActionRequest>(result))
          << c.path << ": " << std::get<RequestError>(result).message;
      const ActionRequest& request = std::get<ActionRequest>(result);
      EXPECT_EQ(request.address, c.address) << c.path;
      EXPECT_EQ(request.action->name, c.action) << c.path;
      EXPECT_EQ(request.args.Values(), c.values) << c.path;
    } else {
      ASSERT_TRUE(std::holds_alternative<RequestError>(result)) << c.path;
      EXPECT_EQ(std::get<RequestError>(result).status, c.status) << c.path;
    }
  }
}

// A device is one device's dotted address, or the key of the device on a
// serial line, which no dotted address can be mistaken for and which a URL's
// path and an OSC address take as it is.
TEST(ActionRequest, DeviceAddressesAreOneDevicesDottedAddressOrASerialKey) {
  const struct {
    const char* text;
    bool device;
  } cases[] = {{"10.0.0.5", true},        {"127.0.0.2", true},        {"192.168.1.255", true},
               {"223.255.255.254", true}, {"0.0.0.0", false},         {"0.1.2.3", false},
               {"255.255.255.255", false}, {"224.0.0.1", false},      {"239.255.255.250", false},
               {"240.0.0.1", false},      {"10.0.0", false},          {"10.0.0.5 ", false},
               {" 10.0.0.5", false},      {"010.0.0.5", false},       {"10.0.0.256", false},
               {"10.0.0.5/24", false},    {"10.0.0.5.6", false},      {"", false},
               {"localhost", false},      {"10.0.0.+5", false},       {"serial-ttyUSB0", true},
               {"serial-3", true},        {"serial-", false},         {"serial-a/b", false},
               {"serial-a b", false},     {"serial-a%2Fb", false},    {"Serial-ttyUSB0", false},
               {"ttyUSB0", false},        {"serial-a#b", false}};
  for (const auto& c : cases) EXPECT_EQ(IsDeviceAddress(c.text), c.device) << "'" << c.text << "'";
  EXPECT_TRUE(IsDeviceAddress("serial-" + std::string(64, 'x')));
  EXPECT_FALSE(IsDeviceAddress("serial-" + std::string(65, 'x')));

  // The port's file name, what would break a path or an OSC address made _.
  const struct {
    const char* port;
    const char* key;
  } ports[] = {{"/dev/ttyUSB0", "serial-ttyUSB0"},
               {"/dev/pts/3", "serial-3"},
               {"/dev/serial/by-id/usb-FTDI 232R#1:0", "serial-usb-FTDI_232R_1_0"},
               {"/dev/tty.usb{a}*?,[b]", "serial-tty.usb_a_____b_"},
               {"ttyS1", "serial-ttyS1"},
               {"/dev/", "serial-port"},
               {"/dev/t\xc3\xa9l\xc3\xa9", "serial-t__l__"}};
  for (const auto& p : ports) {
    EXPECT_EQ(SerialDeviceKey(p.port), p.key) << p.port;
    EXPECT_TRUE(IsDeviceAddress(SerialDeviceKey(p.port))) << p.port;
  }
  EXPECT_TRUE(IsDeviceAddress(SerialDeviceKey("/dev/" + std::string(200, 'u'))));
}

// The table a client reads (GET /api/v1/actions) is the one requests are
// held to: every published range's ends are taken and one past them is
// refused, every published word is taken, and every documented example
// body runs.
TEST(ActionRequest, ThePublishedTableIsTheOneRequestsAreCheckedAgainst) {
  const QJsonArray table = ActionTableJson();
  size_t count = 0;
  for (const FamilyInfo& family : Families()) count += family.actions().size();
  ASSERT_EQ(static_cast<size_t>(table.size()), count);
  for (const QJsonValue entry : table) {
    const QJsonObject object = entry.toObject();
    const std::string name = object["name"].toString().toStdString();
    const ActionSpec& action = Named(name);
    EXPECT_EQ(object["role"].toString().toStdString(), RoleName(ActionRole(action))) << name;
    {
      const std::string example = ActionExampleBody(action);
      auto ran = ArgsFromJson(action, example);
      EXPECT_TRUE(std::holds_alternative<ActionArgs>(ran))
          << name << " " << example << ": " << std::get<RequestError>(ran).message;
    }
    // One parameter at a time, the others as in the example.
    const QJsonObject example = QJsonDocument::fromJson(QByteArray::fromStdString(ActionExampleBody(action))).object();
    for (const QJsonValue param_value : object["params"].toArray()) {
      const QJsonObject param = param_value.toObject();
      const std::string pname = param["name"].toString().toStdString();
      const bool repeated = param["repeated"].toBool();
      const auto refused_for_value = [&](const std::string& value) {
        QJsonObject with = example;
        with.remove(QString::fromStdString(pname));
        std::string body = QJsonDocument(with).toJson(QJsonDocument::Compact).toStdString();
        body.pop_back();
        body += std::string(with.isEmpty() ? "" : ",") + "\"" + pname + "\": " + (repeated ? "[" + value + "]" : value) + "}";
        return std::holds_alternative<RequestError>(ArgsFromJson(action, body));
      };
      const std::string kind = param["kind"].toString().toStdString();
      if (kind == "integer") {
        const int min = param["min"].toInt(), max = param["max"].toInt();
        EXPECT_FALSE(refused_for_value(std::to_string(min))) << name << " " << pname << " " << min;
        EXPECT_FALSE(refused_for_value(std::to_string(max))) << name << " " << pname << " " << max;
        EXPECT_TRUE(refused_for_value(std::to_string(min - 1))) << name << " " << pname;
        EXPECT_TRUE(refused_for_value(std::to_string(max + 1))) << name << " " << pname;
      } else if (kind == "word") {
        for (const QJsonValue word : param["words"].toArray())
          EXPECT_FALSE(refused_for_value("\"" + word.toString().toStdString() + "\"")) << name << " " << pname;
        EXPECT_TRUE(refused_for_value("\"no such word\"")) << name << " " << pname;
      } else {
        EXPECT_EQ(kind, "text") << name << " " << pname;
      }
    }
  }
}

// docs/api.md carries the generated part between its markers; this fails
// when the table changed and the page was not made again
// (scripts/api_doc.sh).
TEST(ApiDoc, TheActionsPartOfTheApiPageIsTheTableAsItIsNow) {
  const std::string page = ReadFile(ZV_SOURCE_DIR "/docs/api.md");
  const std::string begin = "<!-- actions: begin -->\n", end = "<!-- actions: end -->";
  const size_t from = page.find(begin), to = page.find(end);
  ASSERT_NE(from, std::string::npos);
  ASSERT_NE(to, std::string::npos);
  EXPECT_EQ(page.substr(from + begin.size(), to - from - begin.size()), ActionTableMarkdown())
      << "docs/api.md is behind the action table: run scripts/api_doc.sh";
}

// ---- the OSC listener -------------------------------------------------------------

struct Received {
  uint32_t from;
  std::string path;
  std::vector<OscArg> args;
};

// What the listener handed on, with a wait for the next one.
class Inbox {
 public:
  OscListener::Handler Handler() {
    return [this](uint32_t from, std::string path, std::vector<OscArg> args) {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_received.push_back({from, std::move(path), std::move(args)});
      m_arrived.notify_all();
    };
  }
  // Waits until `count` messages arrived (false after 10 s).
  bool WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_arrived.wait_for(lock, std::chrono::seconds(10), [&] { return m_received.size() >= count; });
  }
  std::vector<Received> Taken() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_arrived;
  std::vector<Received> m_received;
};

// oscsend as its own process: oscsend HOST PORT PATH TYPES ARGS...; its exit status.
int OscSend(std::vector<std::string> args) {
  args.insert(args.begin(), "oscsend");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, "oscsend", nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveOscSend() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (access((dir + "/oscsend").c_str(), X_OK) == 0) return true;
  return false;
}

// One OSC message sent from a socket bound to `source`.
void SendFrom(const char* source, uint16_t port, const char* path, int32_t value) {
  lo_message message = lo_message_new();
  lo_message_add_int32(message, value);
  size_t size = 0;
  void* bytes = lo_message_serialise(message, path, nullptr, &size);
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in from{}, to{};
  from.sin_family = to.sin_family = AF_INET;
  inet_pton(AF_INET, source, &from.sin_addr);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  to.sin_port = htons(port);
  EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
  EXPECT_EQ(sendto(fd, bytes, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), static_cast<ssize_t>(size));
  close(fd);
  std::free(bytes);
  lo_message_free(message);
}

TEST(OscListener, MessagesFromOscsendArriveWithTheirArguments) {
  if (!HaveOscSend()) GTEST_SKIP() << "oscsend (liblo-tools) is not installed";
  OscListener listener;
  Inbox inbox;
  std::string error;
  ASSERT_TRUE(listener.Start(0, CidrList::Loopback(), inbox.Handler(), &error, "127.0.0.1")) << error;
  const std::string port = std::to_string(listener.Port());
  ASSERT_EQ(OscSend({"127.0.0.1", port, "/zv/10.0.0.5/switcher/program", "i", "3"}), 0);
  ASSERT_EQ(OscSend({"127.0.0.1", port, "/zv/10.0.0.2/multiview/label", "ifs", "1", "2.5", "Camera 1"}), 0);
  ASSERT_EQ(OscSend({"127.0.0.1", port, "/zv/10.0.0.5/switcher/cut"}), 0);
  // A type the actions have no use for (a 64-bit integer): not handed on.
  ASSERT_EQ(OscSend({"127.0.0.1", port, "/zv/10.0.0.5/switcher/program", "h", "3"}), 0);
  ASSERT_EQ(OscSend({"127.0.0.1", port, "/zv/10.0.0.5/switcher/auto", "s", "r2"}), 0);
  ASSERT_TRUE(inbox.WaitFor(4));
  const std::vector<Received> taken = inbox.Taken();
  ASSERT_EQ(taken.size(), 4u);
  EXPECT_EQ(taken[0].from, 0x7F000001u);
  EXPECT_EQ(taken[0].path, "/zv/10.0.0.5/switcher/program");
  EXPECT_EQ(taken[0].args, std::vector<OscArg>{3});
  EXPECT_EQ(taken[1].args, (std::vector<OscArg>{1, 2.5f, std::string("Camera 1")}));
  EXPECT_EQ(taken[2].path, "/zv/10.0.0.5/switcher/cut");
  EXPECT_TRUE(taken[2].args.empty());
  EXPECT_EQ(taken[3].args, std::vector<OscArg>{std::string("r2")});
  EXPECT_EQ(listener.Refused(), 1u);
  EXPECT_EQ(listener.Dropped(), 0u);
}

TEST(OscListener, SourcesOutsideTheAllowListAreDroppedAndCounted) {
  if (!HaveOscSend()) GTEST_SKIP() << "oscsend (liblo-tools) is not installed";
  OscListener listener;
  Inbox inbox;
  std::string error;
  std::optional<CidrList> allow = CidrList::Parse("127.0.0.2/32", &error);
  ASSERT_TRUE(allow);
  ASSERT_TRUE(listener.Start(0, *allow, inbox.Handler(), &error, "127.0.0.1")) << error;
  const std::string port = std::to_string(listener.Port());
  // oscsend sends from 127.0.0.1, outside the list.
  ASSERT_EQ(OscSend({"127.0.0.1", port, "/zv/10.0.0.5/switcher/program", "i", "3"}), 0);
  ASSERT_EQ(OscSend({"127.0.0.1", port, "/zv/10.0.0.5/switcher/cut"}), 0);
  // Then one from 127.0.0.2: when it is handed on, the two before it were
  // read and dropped (one socket keeps the order of what reached it).
  SendFrom("127.0.0.2", listener.Port(), "/zv/10.0.0.5/switcher/preview", 2);
  ASSERT_TRUE(inbox.WaitFor(1));
  const std::vector<Received> taken = inbox.Taken();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].from, 0x7F000002u);
  EXPECT_EQ(taken[0].path, "/zv/10.0.0.5/switcher/preview");
  EXPECT_EQ(listener.Dropped(), 2u);
}

TEST(OscListener, APortInUseIsSaid) {
  OscListener first, second;
  Inbox inbox;
  std::string error;
  ASSERT_TRUE(first.Start(0, CidrList::Loopback(), inbox.Handler(), &error, "127.0.0.1")) << error;
  EXPECT_FALSE(second.Start(first.Port(), CidrList::Loopback(), inbox.Handler(), &error, "127.0.0.1"));
  EXPECT_NE(error.find(std::to_string(first.Port())), std::string::npos) << error;
  EXPECT_FALSE(second.Start(0, CidrList::Loopback(), inbox.Handler(), &error, "example"));
}

}  // namespace
}  // namespace zv
