// The matrix router's text language, the rules of the routing model, the
// link a text takes, and the virtual router that obeys the texts.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "app/main_state.h"
#include "matrix/matrix_state.h"
#include "platform/platform.h"
#include "sim/matrix_device.h"
#include "support/loopback_link.h"
#include "support/pty_pair.h"
#include "support/recorders.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

using Route = std::array<uint8_t, 8>;
using Lit = std::array<bool, 8>;
constexpr Route kOwnOutputs{1, 2, 3, 4, 5, 6, 7, 8};

// A link with the routing model beside it, as the rules are given them.
struct RouterState : LinkState, MatrixModel {};

Route RouteOf(const RouterState& s) { return std::to_array(s.m_matrix_route); }

std::string Text(const std::optional<test::ReceivedDatagram>& d) {
  return d ? std::string(d->bytes.begin(), d->bytes.end()) : "(nothing)";
}

// What the port under test wrote to the master side of a pty, waiting on the
// descriptor for the first byte.
std::string ReadMaster(int master) {
  std::string text;
  pollfd p{master, POLLIN, 0};
  char buffer[256];
  ssize_t n = 0;
  while (poll(&p, 1, text.empty() ? 1000 : 50) == 1 && (n = read(master, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(n));
  return text;
}

TEST(MatrixTextTest, BuildersAndParser) {
  const struct {
    uint8_t input;
    Route route;
    const char* text;  // as the router's documentation writes it
  } built[] = {
      {3, {3, 0, 0, 3, 0, 0, 0, 3}, "3V1,4,8."},
      {3, {3, 5, 2, 3, 0, 1, 7, 3}, "3V1,4,8."},  // other inputs' outputs are not listed
      {1, {0, 0, 0, 0, 0, 0, 0, 1}, "1V8."},
      {8, {8, 8, 8, 8, 8, 8, 8, 8}, "8V1,2,3,4,5,6,7,8."},
      {2, {5, 0, 0, 0, 0, 0, 0, 0}, ""},  // no output takes it: no text
  };
  for (const auto& row : built) {
    uint8_t route[8];
    std::copy(row.route.begin(), row.route.end(), route);
    EXPECT_EQ(BuildMatrixRouteText(row.input, route), row.text) << int(row.input);
  }
  EXPECT_EQ(BuildMatrixOneToAllText(6), "6All.");
  EXPECT_EQ(BuildMatrixOneToOneText(), "All#.");

  // What each text does to a router that routes every input to its own output.
  const struct {
    std::string_view text;
    bool ok;
    Route after;
  } parsed[] = {
      {"3V1,4,8.", true, {3, 2, 3, 3, 5, 6, 7, 3}},
      {"2V8,1.", true, {2, 2, 3, 4, 5, 6, 7, 2}},
      {"6All.", true, {6, 6, 6, 6, 6, 6, 6, 6}},
      {"All#.", true, kOwnOutputs},
      {"", false, {}}, {".", false, {}}, {"3V.", false, {}}, {"3V1,4,8", false, {}},
      {"3V1,,4.", false, {}}, {"3V1,4,.", false, {}}, {"3V1.4.", false, {}},
      {"3V1,4,8.x", false, {}}, {"9V1.", false, {}}, {"3V9.", false, {}}, {"0All.", false, {}},
      {"3v1.", false, {}}, {"all#.", false, {}}, {"3All#.", false, {}}, {"All.", false, {}},
      {"1All.2All.", false, {}}, {"3V 1.", false, {}}, {"V1,2.", false, {}},
      {"99999999999999999999V1.", false, {}}, {"3V1,99999999999999999999.", false, {}},
      {std::string_view("3V1.\0", 5), false, {}},
  };
  for (const auto& row : parsed) {
    const std::optional<MatrixCommand> command = ParseMatrixText(row.text);
    ASSERT_EQ(command.has_value(), row.ok) << row.text;
    if (!command) continue;
    Route route = kOwnOutputs;
    const Lit changed = ApplyMatrixCommand(*command, route);
    EXPECT_EQ(route, row.after) << row.text;
    for (size_t o = 0; o < 8; ++o) EXPECT_EQ(changed[o], route[o] != kOwnOutputs[o]) << row.text;
  }
}

// The shared state aimed at a stand-in router on loopback.
struct RoutedState {
  test::UdpPeer device;
  RouterState state;
  RoutedState() { test::AimAt(state, device, 0x82); }
  // Nothing arrived: the actions run on this thread, so they have sent
  // whatever they sent before the marker.
  bool Quiet() { return device.ReceiveUntilMarker().empty(); }
};

TEST(MatrixRoutingTest, OutputsWaitForApplyAndToggle) {
  RoutedState r;
  ASSERT_TRUE(r.device.ok());
  EXPECT_FALSE(MatrixApply(r.state, MatrixSendNow(r.state))) << "no input chosen";
  EXPECT_TRUE(MatrixSelectInput(r.state, 3));
  EXPECT_EQ(r.state.m_eMatrixState, 1);
  EXPECT_FALSE(MatrixApply(r.state, MatrixSendNow(r.state))) << "no output routed";
  for (int o : {8, 1, 4}) EXPECT_TRUE(MatrixToggleOutput(r.state, o));
  EXPECT_TRUE(r.Quiet()) << "clicking outputs sends nothing";
  EXPECT_EQ(MatrixButtons(r.state).output_selected, (Lit{1, 0, 0, 1, 0, 0, 0, 1}));
  const uint32_t before_apply = TickCount();
  EXPECT_TRUE(MatrixApply(r.state, MatrixSendNow(r.state)));
  const auto sent = r.device.Receive(1000);
  ASSERT_TRUE(sent);
  EXPECT_EQ(sent->bytes, (std::vector<uint8_t>{'3', 'V', '1', ',', '4', ',', '8', '.'}));
  EXPECT_TRUE(r.Quiet()) << "sent once";
  EXPECT_EQ(r.state.m_udpSockfd, -1);
  // A local port held by a program that does not share it: the text still
  // leaves, from a port the system picks, and no socket is left open.
  test::UdpPeer squatter;
  r.state.m_link_config.local_port = squatter.port();
  EXPECT_TRUE(MatrixApply(r.state, MatrixSendNow(r.state)));
  EXPECT_GE(TickCount() - before_apply, kMatrixCommandPauseMs) << "the router's pause before its next text";
  EXPECT_EQ(Text(r.device.Receive(1000)), "3V1,4,8.");
  EXPECT_EQ(r.state.m_udpSockfd, -1);

  // With input 2 chosen: fed by 5 -> 2 -> 0; unrouted -> 2 -> 0; fed by 2 -> 0 -> 2.
  const struct {
    uint8_t before, first, second;
  } toggles[] = {{5, 2, 0}, {0, 2, 0}, {2, 0, 2}};
  for (const auto& row : toggles) {
    RouterState s;
    s.m_matrix_route[6] = row.before;
    EXPECT_FALSE(MatrixToggleOutput(s, 7)) << "no input chosen";
    ASSERT_TRUE(MatrixSelectInput(s, 2));
    MatrixToggleOutput(s, 7);
    EXPECT_EQ(s.m_matrix_route[6], row.first) << int(row.before);
    MatrixToggleOutput(s, 7);
    EXPECT_EQ(RouteOf(s), (Route{0, 0, 0, 0, 0, 0, row.second, 0})) << int(row.before);
    EXPECT_FALSE(MatrixToggleOutput(s, 9));
    EXPECT_FALSE(MatrixSelectInput(s, 0));
    EXPECT_FALSE(MatrixSelectInput(s, 2)) << "the chosen input again";
  }
}

TEST(MatrixRoutingTest, ChoosingAnInputShowsExactlyTheOutputsItFeeds) {
  const struct {
    Route route;
    int input;
    Lit outputs;
  } rows[] = {
      {{5, 3, 5, 0, 2, 5, 5, 1}, 5, {1, 0, 1, 0, 0, 1, 1, 0}},
      {{5, 3, 5, 0, 2, 5, 5, 1}, 3, {0, 1, 0, 0, 0, 0, 0, 0}},
      {{5, 3, 5, 0, 2, 5, 5, 1}, 4, {}},
      {{8, 8, 8, 8, 8, 8, 8, 8}, 8, {1, 1, 1, 1, 1, 1, 1, 1}},
  };
  for (const auto& row : rows) {
    RouterState s;
    std::copy(row.route.begin(), row.route.end(), s.m_matrix_route);
    ASSERT_TRUE(MatrixSelectInput(s, row.input));
    const MatrixButtonLook look = MatrixButtons(s);
    Lit input{};
    input[static_cast<size_t>(row.input - 1)] = true;
    EXPECT_EQ(look.input_selected, input) << row.input;
    EXPECT_EQ(look.output_selected, row.outputs) << row.input;
    EXPECT_EQ(RouteOf(s), row.route) << "choosing changes no route";
  }
}

TEST(MatrixRoutingTest, OneToAllOneToOneAndTheLock) {
  RoutedState r;
  EXPECT_FALSE(MatrixOneToAll(r.state, MatrixSendNow(r.state))) << "no input chosen";
  ASSERT_TRUE(MatrixSelectInput(r.state, 6));
  EXPECT_TRUE(MatrixOneToAll(r.state, MatrixSendNow(r.state)));
  EXPECT_EQ(Text(r.device.Receive(1000)), "6All.");
  EXPECT_EQ(MatrixButtons(r.state).output_selected, (Lit{1, 1, 1, 1, 1, 1, 1, 1}));

  EXPECT_TRUE(MatrixOneToOne(r.state, MatrixSendNow(r.state)));
  EXPECT_EQ(Text(r.device.Receive(1000)), "All#.");
  EXPECT_EQ(RouteOf(r.state), kOwnOutputs);
  EXPECT_EQ(r.state.m_matrix_input, 0);
  EXPECT_EQ(r.state.m_eMatrixState, 1);
  EXPECT_EQ(MatrixButtons(r.state).input_selected, Lit{});
  EXPECT_EQ(MatrixButtons(r.state).output_selected, Lit{});
  ASSERT_TRUE(MatrixSelectInput(r.state, 4));
  EXPECT_EQ(MatrixButtons(r.state).output_selected, (Lit{0, 0, 0, 1, 0, 0, 0, 0}));

  ASSERT_TRUE(MatrixToggleOutput(r.state, 5));
  MatrixToggleLock(r.state);
  EXPECT_EQ(r.state.m_matrix_lock, kMatrixLocked);
  const std::function<bool(RouterState&)> actions[] = {
      [](RouterState& s) { return MatrixSelectInput(s, 7); },
      [](RouterState& s) { return MatrixToggleOutput(s, 5); },
      [](RouterState& s) { return MatrixToggleOutput(s, 1); },
      [](RouterState& s) { return MatrixApply(s, MatrixSendNow(s)); },
      [](RouterState& s) { return MatrixOneToAll(s, MatrixSendNow(s)); },
      [](RouterState& s) { return MatrixOneToOne(s, MatrixSendNow(s)); }};
  for (const auto& action : actions) {
    EXPECT_FALSE(action(r.state));
    EXPECT_EQ(RouteOf(r.state), (Route{1, 2, 3, 4, 4, 6, 7, 8}));
    EXPECT_EQ(r.state.m_matrix_input, 4);
  }
  EXPECT_TRUE(r.Quiet());
  MatrixToggleLock(r.state);
  EXPECT_EQ(r.state.m_matrix_lock, 0);
  EXPECT_TRUE(MatrixApply(r.state, MatrixSendNow(r.state)));
  EXPECT_EQ(Text(r.device.Receive(1000)), "4V4,5.");
}

TEST(MatrixRoutingTest, NothingLeavesNothingChanges) {
  test::PtyPair pty;
  ASSERT_GE(pty.master, 0);
  test::MessageBoxRecorder boxes;
  RouterState s;
  s.m_eState = kModeSerial;
  ASSERT_TRUE(MatrixSelectInput(s, 3));
  for (int o : {1, 4, 8}) MatrixToggleOutput(s, o);
  // Port closed: nothing leaves and nothing is reported; the model (and so
  // the buttons) stay, and one to one keeps the input chosen.
  EXPECT_FALSE(MatrixApply(s, MatrixSendNow(s)));
  EXPECT_FALSE(MatrixOneToAll(s, MatrixSendNow(s)));
  EXPECT_FALSE(MatrixOneToOne(s, MatrixSendNow(s)));
  EXPECT_EQ(RouteOf(s), (Route{3, 0, 0, 3, 0, 0, 0, 3}));
  EXPECT_EQ(s.m_matrix_input, 3);
  EXPECT_TRUE(boxes.requests.empty());

  ASSERT_TRUE(s.m_serial_port.Open(pty.slave_path, 115200));
  EXPECT_TRUE(MatrixApply(s, MatrixSendNow(s)));
  EXPECT_EQ(ReadMaster(pty.master), "3V1,4,8.");
  EXPECT_TRUE(MatrixOneToOne(s, MatrixSendNow(s)));
  EXPECT_EQ(ReadMaster(pty.master), "All#.");
  s.m_serial_port.Close();
  s.m_eState = 2;  // neither network nor serial
  EXPECT_FALSE(SendMatrixText(s, "All#."));

  // The network with no device chosen: the operator is told, nothing moves.
  s.m_eState = kModeNetwork;
  ASSERT_TRUE(MatrixSelectInput(s, 1));
  EXPECT_FALSE(MatrixOneToAll(s, MatrixSendNow(s)));
  EXPECT_EQ(RouteOf(s), kOwnOutputs);
  EXPECT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(s.m_udpSockfd, -1);
}

TEST(DeviceSimTest, MatrixRouterFollowsTextsAndRefusesMalformedOnes) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = test::LoopbackSim(port, {"Matrix8x8"}, 0x82);
  config.serial = true;
  test::SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  auto& router = dynamic_cast<sim::MatrixDevice&>(runner.sim().Device(0));
  EXPECT_EQ(router.Routes(), kOwnOutputs);
  RouterState s;
  test::AimSearchAt(s, port);
  if (s.m_device_list.empty()) s.m_device_list.resize(1);
  s.m_device_list[0].SetIpText("127.0.0.2");
  s.m_device_index = 0;
  int texts = 0;
  auto send = [&](int32_t mode, const char* text) {
    s.m_eState = mode;
    EXPECT_TRUE(SendMatrixText(s, text)) << text;
    ++texts;
    for (int i = 0; i < 200 && router.TextsTaken() + router.TextsRefused() < texts; ++i) {
      test::UdpPeer idle;
      idle.Receive(10);  // a bounded wait while the simulator's thread works
    }
    return router.Routes();
  };
  EXPECT_EQ(send(kModeNetwork, "3V1,4,8."), (Route{3, 2, 3, 3, 5, 6, 7, 3}));
  for (const char* bad : {"3V.", "9All.", "3V1,4,8", "All#.All#.", "hello"})
    EXPECT_EQ(send(kModeNetwork, bad), (Route{3, 2, 3, 3, 5, 6, 7, 3})) << bad;
  EXPECT_EQ(router.TextsRefused(), 5);
  ASSERT_TRUE(s.m_serial_port.Open(runner.sim().SerialPath(), 9600));
  EXPECT_EQ(send(kModeSerial, "6All."), (Route{6, 6, 6, 6, 6, 6, 6, 6}));
  EXPECT_EQ(send(kModeSerial, "All#."), kOwnOutputs);
  EXPECT_EQ(send(kModeSerial, "2V2."), kOwnOutputs);
  s.m_serial_port.Close();
  EXPECT_EQ(router.TextsTaken(), 4);

  std::vector<std::string> notes;
  for (const std::string& line : runner.sim().LogLines())
    if (line.find("\"note\":") != std::string::npos) notes.push_back(line);
  ASSERT_EQ(notes.size(), 9u);
  const struct {
    size_t index;
    const char* text;
  } expected[] = {
      {0, "route input 3 to outputs 1,4,8; changed out1 1->3, out4 4->3, out8 8->3"},
      {1, "refused malformed text, routing unchanged"},
      {6, "route input 6 to all outputs; changed out1 3->6, out2 2->6"},
      {7, "route each input to its own output; changed out1 6->1"},
      {8, "route input 2 to outputs 2; no route changed"}};
  for (const auto& e : expected)
    EXPECT_NE(notes[e.index].find(e.text), std::string::npos) << notes[e.index];
}

}  // namespace
}  // namespace zv
