// The matrix router's text language, the rules of the routing model, the
// link a text takes, and the virtual router that obeys the texts.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "app/main_state.h"
#include "matrix/matrix_state.h"
#include "sim/matrix_device.h"
#include "support/loopback_link.h"
#include "support/pty_pair.h"
#include "support/recorders.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

using Route = std::array<uint8_t, 8>;

std::string Text(const test::ReceivedDatagram& d) { return std::string(d.bytes.begin(), d.bytes.end()); }

Route RouteOf(const CZELVIKState& s) {
  Route r{};
  std::copy(std::begin(s.m_matrix_route), std::end(s.m_matrix_route), r.begin());
  return r;
}

// Reads what the port under test wrote to the master side of a pty, waiting
// on the descriptor up to `wait_ms` for the first byte.
std::string ReadMaster(int master, int wait_ms) {
  std::string text;
  pollfd p{master, POLLIN, 0};
  while (poll(&p, 1, text.empty() ? wait_ms : 50) == 1 && (p.revents & POLLIN)) {
    char buffer[256];
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

TEST(MatrixTextTest, BuildersGiveTheRouterLanguage) {
  struct Row {
    uint8_t input;
    Route route;
    const char* text;  // as the router's documentation writes it
  };
  const Row rows[] = {
      {3, {3, 0, 0, 3, 0, 0, 0, 3}, "3V1,4,8."},
      // Outputs fed by other inputs are not listed.
      {3, {3, 5, 2, 3, 0, 1, 7, 3}, "3V1,4,8."},
      {1, {0, 0, 0, 0, 0, 0, 0, 1}, "1V8."},
      {8, {8, 8, 8, 8, 8, 8, 8, 8}, "8V1,2,3,4,5,6,7,8."},
      // No output takes the input: no text at all.
      {2, {5, 0, 0, 0, 0, 0, 0, 0}, ""},
  };
  for (const Row& row : rows) {
    uint8_t route[8];
    std::copy(row.route.begin(), row.route.end(), route);
    EXPECT_EQ(BuildMatrixRouteText(row.input, route), row.text) << int(row.input);
  }
  EXPECT_EQ(BuildMatrixRouteText(3, {3, 0, 0, 3, 0, 0, 0, 3}).size(), 8u);
  EXPECT_EQ(BuildMatrixOneToAllText(6), "6All.");
  EXPECT_EQ(BuildMatrixOneToOneText(), "All#.");
  EXPECT_EQ(BuildMatrixOneToOneText().size(), 5u);
}

TEST(MatrixTextTest, ParserTakesWholeCommandsOnly) {
  using K = MatrixCommand::Kind;
  struct Row {
    const char* text;
    bool ok;
    K kind;
    uint8_t input;
    Route after;  // a one-to-one routing after the command
  };
  const Route same{1, 2, 3, 4, 5, 6, 7, 8};
  const Row rows[] = {
      {"3V1,4,8.", true, K::kRoute, 3, {3, 2, 3, 3, 5, 6, 7, 3}},
      {"2V8,1.", true, K::kRoute, 2, {2, 2, 3, 4, 5, 6, 7, 2}},
      {"6All.", true, K::kOneToAll, 6, {6, 6, 6, 6, 6, 6, 6, 6}},
      {"All#.", true, K::kOneToOne, 0, same},
      {"", false, K::kRoute, 0, same},
      {".", false, K::kRoute, 0, same},
      {"3V.", false, K::kRoute, 0, same},
      {"3V1,4,8", false, K::kRoute, 0, same},
      {"3V1,,4.", false, K::kRoute, 0, same},
      {"3V1,4,.", false, K::kRoute, 0, same},
      {"3V1.4.", false, K::kRoute, 0, same},
      {"3V1,4,8.x", false, K::kRoute, 0, same},
      {"9V1.", false, K::kRoute, 0, same},
      {"3V9.", false, K::kRoute, 0, same},
      {"0All.", false, K::kRoute, 0, same},
      {"9All.", false, K::kRoute, 0, same},
      {"3v1.", false, K::kRoute, 0, same},
      {"all#.", false, K::kRoute, 0, same},
      {"3All#.", false, K::kRoute, 0, same},
      {"All.", false, K::kRoute, 0, same},
      {"1All.2All.", false, K::kRoute, 0, same},
      {"3V 1.", false, K::kRoute, 0, same},
      {"V1,2.", false, K::kRoute, 0, same},
      {"99999999999999999999V1.", false, K::kRoute, 0, same},
      {"3V1,99999999999999999999.", false, K::kRoute, 0, same},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const std::optional<MatrixCommand> command = ParseMatrixText(row.text);
    ASSERT_EQ(command.has_value(), row.ok);
    if (!command) continue;
    EXPECT_EQ(command->kind, row.kind);
    EXPECT_EQ(command->input, row.input);
    Route route = same;
    const std::array<bool, 8> changed = ApplyMatrixCommand(*command, route);
    EXPECT_EQ(route, row.after);
    for (size_t o = 0; o < 8; ++o) EXPECT_EQ(changed[o], route[o] != same[o]) << o + 1;
  }
  // A NUL inside a text is not the end of it.
  EXPECT_FALSE(ParseMatrixText(std::string_view("3V1.\0", 5)));
}

// The shared state aimed at a stand-in router on loopback.
struct RoutedState {
  test::UdpPeer device;
  CZELVIKState state;
  RoutedState() { test::AimAt(state, device, 0x82); }
  // Nothing more arrives within a short wait.
  bool Quiet() { return !device.Receive(60); }
};

TEST(MatrixRoutingTest, ApplySendsTheRoutingOnceAfterTheClicks) {
  RoutedState r;
  ASSERT_TRUE(r.device.ok());
  EXPECT_TRUE(MatrixSelectInput(r.state, 3));
  EXPECT_EQ(r.state.m_eMatrixState, 1);
  for (int o : {1, 4, 8}) EXPECT_TRUE(MatrixToggleOutput(r.state, o));
  EXPECT_TRUE(r.Quiet()) << "clicking outputs sends nothing";
  EXPECT_EQ(RouteOf(r.state), (Route{3, 0, 0, 3, 0, 0, 0, 3}));

  EXPECT_TRUE(MatrixApply(r.state));
  const auto sent = r.device.Receive(1000);
  ASSERT_TRUE(sent);
  EXPECT_EQ(sent->bytes, (std::vector<uint8_t>{'3', 'V', '1', ',', '4', ',', '8', '.'}));
  EXPECT_TRUE(r.Quiet()) << "sent once";
  EXPECT_EQ(r.state.m_udpSockfd, -1) << "the socket is closed again";
}

TEST(MatrixRoutingTest, ApplyWithoutARoutedOutputSendsNothing) {
  RoutedState r;
  r.state.m_matrix_route[0] = 5;
  EXPECT_FALSE(MatrixApply(r.state)) << "no input chosen";
  ASSERT_TRUE(MatrixSelectInput(r.state, 2));
  EXPECT_FALSE(MatrixApply(r.state));
  // A routed output that is clicked away again leaves nothing to apply.
  MatrixToggleOutput(r.state, 3);
  MatrixToggleOutput(r.state, 3);
  EXPECT_FALSE(MatrixApply(r.state));
  EXPECT_TRUE(r.Quiet());
}

TEST(MatrixRoutingTest, ToggleOutputTable) {
  struct Row {
    uint8_t before;
    uint8_t first, second;
  };
  // With input 2 chosen: fed by 5 -> 2 -> 0; unrouted -> 2 -> 0; fed by 2 -> 0 -> 2.
  const Row rows[] = {{5, 2, 0}, {0, 2, 0}, {2, 0, 2}};
  for (const Row& row : rows) {
    CZELVIKState s;
    s.m_matrix_route[6] = row.before;
    ASSERT_TRUE(MatrixSelectInput(s, 2));
    EXPECT_TRUE(MatrixToggleOutput(s, 7));
    EXPECT_EQ(s.m_matrix_route[6], row.first) << int(row.before);
    EXPECT_TRUE(MatrixToggleOutput(s, 7));
    EXPECT_EQ(s.m_matrix_route[6], row.second) << int(row.before);
    // Only the clicked output moved.
    for (int o : {1, 2, 3, 4, 5, 6, 8}) EXPECT_EQ(s.m_matrix_route[o - 1], 0);
  }
  CZELVIKState s;
  EXPECT_FALSE(MatrixToggleOutput(s, 1)) << "no input chosen";
  EXPECT_EQ(s.m_matrix_route[0], 0);
  ASSERT_TRUE(MatrixSelectInput(s, 1));
  for (int o : {0, 9, -1}) EXPECT_FALSE(MatrixToggleOutput(s, o)) << o;
}

TEST(MatrixRoutingTest, ChoosingAnInputShowsTheOutputsItFeeds) {
  CZELVIKState s;
  const Route route{5, 1, 5, 0, 2, 5, 8, 4};
  std::copy(route.begin(), route.end(), s.m_matrix_route);
  MatrixButtonLook look = MatrixButtons(s);
  EXPECT_EQ(look.input_selected, (std::array<bool, 8>{}));
  EXPECT_EQ(look.output_selected, (std::array<bool, 8>{})) << "no input: no output lit";

  ASSERT_TRUE(MatrixSelectInput(s, 5));
  look = MatrixButtons(s);
  EXPECT_EQ(look.input_selected, (std::array<bool, 8>{0, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(look.output_selected, (std::array<bool, 8>{1, 0, 1, 0, 0, 1, 0, 0}));
  EXPECT_FALSE(MatrixSelectInput(s, 5)) << "the chosen input again";
  for (int k : {0, 9}) EXPECT_FALSE(MatrixSelectInput(s, k)) << k;
  EXPECT_EQ(s.m_matrix_input, 5);
}

TEST(MatrixRoutingTest, OneToAllAndOneToOne) {
  RoutedState r;
  EXPECT_FALSE(MatrixOneToAll(r.state)) << "no input chosen";
  EXPECT_TRUE(r.Quiet());

  ASSERT_TRUE(MatrixSelectInput(r.state, 6));
  EXPECT_TRUE(MatrixOneToAll(r.state));
  auto sent = r.device.Receive(1000);
  ASSERT_TRUE(sent);
  EXPECT_EQ(Text(*sent), "6All.");
  EXPECT_EQ(RouteOf(r.state), (Route{6, 6, 6, 6, 6, 6, 6, 6}));
  EXPECT_EQ(MatrixButtons(r.state).output_selected, (std::array<bool, 8>{1, 1, 1, 1, 1, 1, 1, 1}));

  EXPECT_TRUE(MatrixOneToOne(r.state));
  sent = r.device.Receive(1000);
  ASSERT_TRUE(sent);
  EXPECT_EQ(sent->bytes, (std::vector<uint8_t>{'A', 'l', 'l', '#', '.'}));
  EXPECT_EQ(RouteOf(r.state), (Route{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(r.state.m_matrix_input, 0);
  EXPECT_EQ(r.state.m_eMatrixState, 1);
  EXPECT_EQ(MatrixButtons(r.state).input_selected, (std::array<bool, 8>{}));
  EXPECT_EQ(MatrixButtons(r.state).output_selected, (std::array<bool, 8>{}));

  ASSERT_TRUE(MatrixSelectInput(r.state, 4));
  EXPECT_EQ(MatrixButtons(r.state).output_selected, (std::array<bool, 8>{0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_TRUE(r.Quiet());
}

TEST(MatrixRoutingTest, TheLockBlocksEveryRoutingAction) {
  RoutedState r;
  ASSERT_TRUE(MatrixSelectInput(r.state, 2));
  ASSERT_TRUE(MatrixToggleOutput(r.state, 5));
  MatrixToggleLock(r.state);
  EXPECT_EQ(r.state.m_matrix_lock, kMatrixLocked);
  struct Action {
    const char* name;
    std::function<bool(CZELVIKState&)> run;
  };
  const Action actions[] = {
      {"select input", [](CZELVIKState& s) { return MatrixSelectInput(s, 7); }},
      {"toggle output", [](CZELVIKState& s) { return MatrixToggleOutput(s, 5); }},
      {"toggle another output", [](CZELVIKState& s) { return MatrixToggleOutput(s, 1); }},
      {"apply", MatrixApply},
      {"one to all", MatrixOneToAll},
      {"one to one", MatrixOneToOne},
  };
  const Route before = RouteOf(r.state);
  for (const Action& a : actions) {
    EXPECT_FALSE(a.run(r.state)) << a.name;
    EXPECT_EQ(RouteOf(r.state), before) << a.name;
    EXPECT_EQ(r.state.m_matrix_input, 2) << a.name;
  }
  EXPECT_TRUE(r.Quiet());

  MatrixToggleLock(r.state);
  EXPECT_EQ(r.state.m_matrix_lock, 0);
  EXPECT_TRUE(MatrixApply(r.state));
  const auto sent = r.device.Receive(1000);
  ASSERT_TRUE(sent);
  EXPECT_EQ(Text(*sent), "2V5.");
}

TEST(MatrixRoutingTest, SerialModeWritesToTheOpenPortOnly) {
  test::PtyPair pty;
  ASSERT_GE(pty.master, 0);
  CZELVIKState s;
  s.m_eState = kModeSerial;
  ASSERT_TRUE(MatrixSelectInput(s, 3));
  for (int o : {1, 4, 8}) MatrixToggleOutput(s, o);

  // Port closed: nothing leaves, nothing is reported, and one to all and one
  // to one leave the model (and so the buttons) where they were.
  test::MessageBoxRecorder boxes;
  const Route before = RouteOf(s);
  EXPECT_FALSE(MatrixLinkReady(s));
  EXPECT_FALSE(MatrixApply(s));
  EXPECT_FALSE(MatrixOneToAll(s));
  EXPECT_FALSE(MatrixOneToOne(s));
  EXPECT_EQ(RouteOf(s), before);
  EXPECT_EQ(s.m_matrix_input, 3) << "one to one keeps the input chosen";
  EXPECT_TRUE(boxes.requests.empty());

  ASSERT_TRUE(s.m_serial_port.Open(pty.slave_path, 115200));
  EXPECT_TRUE(MatrixLinkReady(s));
  EXPECT_TRUE(MatrixApply(s));
  EXPECT_EQ(ReadMaster(pty.master, 1000), "3V1,4,8.");
  EXPECT_TRUE(MatrixOneToOne(s));
  EXPECT_EQ(ReadMaster(pty.master, 1000), "All#.");
  EXPECT_EQ(RouteOf(s), (Route{1, 2, 3, 4, 5, 6, 7, 8}));
  s.m_serial_port.Close();

  // A mode that is neither network nor serial sends nothing either.
  s.m_eState = 2;
  EXPECT_FALSE(SendMatrixText(s, "All#."));
}

TEST(MatrixRoutingTest, NetworkWithoutAChosenDeviceSendsNothing) {
  CZELVIKState s;
  test::MessageBoxRecorder boxes;
  ASSERT_TRUE(MatrixSelectInput(s, 1));
  EXPECT_FALSE(MatrixOneToAll(s));
  EXPECT_EQ(RouteOf(s), Route{}) << "nothing left, so the model stays";
  ASSERT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(s.m_udpSockfd, -1);
}

// ---- the virtual router --------------------------------------------------------

struct RouterSim {
  explicit RouterSim(bool serial) : port(test::FreeUdpPort()), runner(Config(port, serial)) {}
  static sim::SimConfig Config(uint16_t port, bool serial) {
    sim::SimConfig c = test::LoopbackSim(port, {"Matrix8x8"});
    c.devices[0].type = 0x82;
    c.serial = serial;
    return c;
  }
  sim::MatrixDevice& router() { return dynamic_cast<sim::MatrixDevice&>(runner.sim().Device(0)); }
  // Waits (on an idle socket, in short bounded steps) until the router has
  // seen `count` texts.
  bool WaitForTexts(int count) {
    for (int i = 0; i < 200; ++i) {
      if (router().TextsTaken() + router().TextsRefused() >= count) return true;
      test::UdpPeer idle;
      idle.Receive(10);
    }
    return false;
  }
  std::vector<std::string> Notes() {
    std::vector<std::string> notes;
    for (const std::string& line : runner.sim().LogLines())
      if (line.find("\"note\":") != std::string::npos) notes.push_back(line);
    return notes;
  }
  uint16_t port;
  test::SimRunner runner;
};

TEST(DeviceSimTest, MatrixRouterFollowsTheTextsOverUdpAndSerial) {
  RouterSim sim(true);
  ASSERT_TRUE(sim.runner.started()) << sim.runner.error();
  EXPECT_EQ(sim.router().Routes(), (Route{1, 2, 3, 4, 5, 6, 7, 8}));

  CZELVIKState s;
  test::AimSearchAt(s, sim.port);
  s.m_device_list[0].SetIpText("127.0.0.2");
  s.m_device_index = 0;
  ASSERT_TRUE(SendMatrixText(s, "3V1,4,8."));
  ASSERT_TRUE(sim.WaitForTexts(1));
  EXPECT_EQ(sim.router().Routes(), (Route{3, 2, 3, 3, 5, 6, 7, 3}));

  s.m_eState = kModeSerial;
  ASSERT_TRUE(s.m_serial_port.Open(sim.runner.sim().SerialPath(), 9600));
  ASSERT_TRUE(SendMatrixText(s, "6All."));
  ASSERT_TRUE(sim.WaitForTexts(2));
  EXPECT_EQ(sim.router().Routes(), (Route{6, 6, 6, 6, 6, 6, 6, 6}));
  ASSERT_TRUE(SendMatrixText(s, "All#."));
  ASSERT_TRUE(sim.WaitForTexts(3));
  EXPECT_EQ(sim.router().Routes(), (Route{1, 2, 3, 4, 5, 6, 7, 8}));
  s.m_serial_port.Close();
  EXPECT_EQ(sim.router().TextsRefused(), 0);

  const std::vector<std::string> notes = sim.Notes();
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_NE(notes[0].find("route input 3 to outputs 1,4,8; changed out1 1->3, out4 4->3, out8 8->3"),
            std::string::npos)
      << notes[0];
  EXPECT_NE(notes[1].find("route input 6 to all outputs; changed out1 3->6"), std::string::npos)
      << notes[1];
  EXPECT_NE(notes[2].find("route each input to its own output; changed"), std::string::npos)
      << notes[2];
}

TEST(DeviceSimTest, MatrixRouterRefusesMalformedTextsUnchanged) {
  RouterSim sim(false);
  ASSERT_TRUE(sim.runner.started()) << sim.runner.error();
  CZELVIKState s;
  test::AimSearchAt(s, sim.port);
  s.m_device_list[0].SetIpText("127.0.0.2");
  s.m_device_index = 0;
  const char* texts[] = {"3V.", "9All.", "3V1,4,8", "All#.All#.", "3V1,,2.", "hello"};
  int count = 0;
  for (const char* text : texts) {
    ASSERT_TRUE(SendMatrixText(s, text));
    ASSERT_TRUE(sim.WaitForTexts(++count)) << text;
    EXPECT_EQ(sim.router().Routes(), (Route{1, 2, 3, 4, 5, 6, 7, 8})) << text;
  }
  EXPECT_EQ(sim.router().TextsRefused(), count);
  // A good text afterwards still works, and one that changes nothing says so.
  ASSERT_TRUE(SendMatrixText(s, "2V2."));
  ASSERT_TRUE(sim.WaitForTexts(++count));
  const std::vector<std::string> notes = sim.Notes();
  ASSERT_EQ(notes.size(), static_cast<size_t>(count));
  EXPECT_NE(notes[0].find("refused malformed text"), std::string::npos) << notes[0];
  EXPECT_NE(notes.back().find("route input 2 to outputs 2; no route changed"), std::string::npos)
      << notes.back();
}

}  // namespace
}  // namespace zv
