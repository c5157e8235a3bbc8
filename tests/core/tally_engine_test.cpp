// Tally on a virtual multiviewer: TSL displays and the production
// switcher's buses become window labels and label colours, as the exact
// frames the device receives, paced by the real link worker.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "multiview/multiview_session.h"
#include "platform/small_file.h"
#include "registry/families.h"
#include "sim/multiview_device.h"
#include "support/sim_frames.h"
#include "support/tally_devices.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/worker_link.h"
#include "switcher/switcher_session.h"
#include "tally/tally_engine.h"
#include "session/session_loop.h"
#include "tally/tally_service.h"

namespace zv {
namespace {

using test::LabelParams;
using test::SimFrame;
using test::TwoBytes;

constexpr uint8_t kBlue = 1, kRed = 2, kGreen = 4, kYellow = 6;
const std::string kLabel = "0x1e", kColour = "0x3c", kLabels = "0x36";

using test::TwoDevices;

TslDatagram Tsl50(uint16_t screen, uint16_t index, TslLamp left, const std::string& text,
                  TslLamp right = TslLamp::kOff) {
  TslDatagram d;
  d.version = TslVersion::k50;
  d.v50.screen = screen;
  d.v50.displays.push_back({index, right, TslLamp::kOff, left, 3, text});
  return d;
}

TslDatagram Tsl31(uint8_t address, std::array<bool, 4> tally, const std::string& text) {
  TslDatagram d;
  d.version = TslVersion::k31;
  d.v31 = {address, tally, 3, text};
  return d;
}

// The virtual multiviewer and switcher, their sessions on one link worker,
// and the engine, with the multiviewer read once as the service does.
class TallyBench : public test::TallyDevices {
 public:
  explicit TallyBench(TallyMap map = TallyMap::Defaults())
      : engine(std::move(map)) {
    bool answered = false;
    mv.Read(true, [&](bool a) { answered = a; });
    bench.Settle();
    EXPECT_TRUE(answered);
    engine.AddMultiviewer("127.0.0.2", mv);
    engine.SubscribeEvents([this](const TallyEvent& e) { events.push_back(e); });
  }

  // What the multiviewer received since the last call, once the link is idle
  // and the device has logged all of it.
  std::vector<SimFrame> NewFrames() {
    EXPECT_TRUE(bench.Settle());
    EXPECT_TRUE(test::DeviceHasLoggedAll("127.0.0.2", port));
    const std::vector<SimFrame> all = test::FramesOf(runner.sim(), "Mv");
    std::vector<SimFrame> out(all.begin() + static_cast<long>(std::min(seen, all.size())), all.end());
    seen = all.size();
    return out;
  }
  sim::MultiviewerDeviceState Device() {
    return dynamic_cast<sim::MultiviewerDevice&>(runner.sim().Device(0)).State();
  }

  TallyEngine engine;
  std::vector<TallyEvent> events;
  size_t seen = 0;
};

TallyMap MixedMap() {
  std::string error;
  std::optional<TallyMap> map = ParseTallyMap(R"({
    "displays": [
      {"tsl": "5.0", "screen": 0, "index": 3, "window": 3},
      {"tsl": "5.0", "screen": 0, "index": 5, "window": 5},
      {"tsl": "3.1", "address": 12, "window": 4, "tally": 1, "green": 2},
      {"tsl": "5.0", "screen": 1, "index": 254, "multiviewer": "127.0.0.2", "window": 9, "tally": "right"},
      {"tsl": "5.0", "screen": 0, "index": 9, "multiviewer": "127.0.0.9", "window": 9}
    ]})", &error);
  EXPECT_TRUE(map) << error;
  return map.value_or(TallyMap::Defaults());
}

TEST(TallyEngineTest, DisplaysBecomeLabelsAndColoursFrameByFrame) {
  TallyBench t(MixedMap());
  ASSERT_TRUE(t.runner.started()) << t.runner.error();
  ASSERT_TRUE(t.NewFrames().size() == 1);  // the read-back's request
  struct Row {
    const char* what;
    TslDatagram packet;
    std::vector<SimFrame> frames;
  } const rows[] = {
      {"text and red lamp", Tsl50(0, 3, TslLamp::kRed, "Studio A"),
       {{kLabel, LabelParams(3, "Studio A")}, {kColour, TwoBytes(3, kRed)}}},
      {"the same again", Tsl50(0, 3, TslLamp::kRed, "Studio A"), {}},
      {"lamp off: the colour from before", Tsl50(0, 3, TslLamp::kOff, "Studio A"), {{kColour, TwoBytes(3, kBlue)}}},
      {"3.1: its green tally, text trimmed", Tsl31(12, {false, true, false, false}, "  CAM B         "),
       {{kLabel, LabelParams(4, "CAM B")}, {kColour, TwoBytes(4, kGreen)}}},
      {"3.1: red wins over green", Tsl31(12, {true, true, false, false}, "  CAM B         "),
       {{kColour, TwoBytes(4, kRed)}}},
      {"5.0 by its right lamp, no text: the label stays", Tsl50(1, 254, TslLamp::kRed, "", TslLamp::kAmber),
       {{kColour, TwoBytes(9, kYellow)}}},
      {"a row for a multiviewer nobody knows", Tsl50(0, 9, TslLamp::kRed, "Nowhere"), {}},
      {"control characters out, cut to 16", Tsl50(0, 5, TslLamp::kOff, "\x01Very long camera name"),
       {{kLabel, LabelParams(5, "Very long camera")}}},
      {"broadcast to screen 0, nothing new", Tsl50(0, 0xFFFF, TslLamp::kOff, ""), {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    t.engine.TakeTsl(row.packet, "tsl 127.0.0.1");
    EXPECT_EQ(t.NewFrames(), row.frames);
  }
  const sim::MultiviewerDeviceState device = t.Device();
  EXPECT_EQ(device.umd_back[2], kBlue);
  EXPECT_EQ(device.umd_back[3], kRed);
  EXPECT_EQ(device.umd_back[8], kYellow);
  // Events name the window, the lamp and who lit it.
  ASSERT_FALSE(t.events.empty());
  EXPECT_EQ(t.events.front().window, 3);
  EXPECT_EQ(t.events.front().lamp, TslLamp::kRed);
  EXPECT_EQ(t.events.front().from, "tsl 127.0.0.1");
}

TEST(TallyEngineTest, LabelsSwitchedOnWhenTallyBringsText) {
  TallyBench t;
  ASSERT_TRUE(t.runner.started()) << t.runner.error();
  ASSERT_TRUE(t.mv.Invoke("multiview.labels", {{"state", std::string("off")}}).ok());
  t.NewFrames();
  t.engine.TakeTsl(Tsl50(0, 2, TslLamp::kOff, "Host"), "tsl 127.0.0.1");
  EXPECT_EQ(t.NewFrames(), (std::vector<SimFrame>{{kLabels, "01"}, {kLabel, LabelParams(2, "Host")}}));
  EXPECT_EQ(t.Device().labels_on, 1);
}

TEST(TallyEngineTest, RepeatsSendNothingAndABurstSendsItsLatest) {
  TallyBench t;
  ASSERT_TRUE(t.runner.started()) << t.runner.error();
  t.NewFrames();
  t.engine.TakeTsl(Tsl50(0, 6, TslLamp::kGreen, "One"), "tsl 127.0.0.1");
  for (int i = 0; i < 1000; ++i) t.engine.TakeTsl(Tsl50(0, 6, TslLamp::kGreen, "One"), "tsl 127.0.0.1");
  EXPECT_EQ(t.NewFrames().size(), 2u);
  EXPECT_EQ(t.engine.Count().unchanged, 1000u);

  // Twenty changes at once: the first goes, the rest wait for its pacing
  // and only the last of them follows.
  for (int i = 0; i < 20; ++i)
    t.engine.TakeTsl(Tsl50(0, 6, i % 2 ? TslLamp::kRed : TslLamp::kAmber, "Take " + std::to_string(i)),
                     "tsl 127.0.0.1");
  EXPECT_EQ(t.NewFrames(), (std::vector<SimFrame>{{kLabel, LabelParams(6, "Take 0")},
                                                  {kColour, TwoBytes(6, kYellow)},
                                                  {kLabel, LabelParams(6, "Take 19")},
                                                  {kColour, TwoBytes(6, kRed)}}));
}

TEST(TallyEngineTest, SwitcherBusesFollowCutAutoAndFadeToBlack) {
  TallyBench t;
  ASSERT_TRUE(t.runner.started()) << t.runner.error();
  t.engine.SetSwitcher(&t.sw);
  t.NewFrames();
  const auto invoke = [&](const char* action, ActionArgs args = {}) {
    ASSERT_TRUE(t.sw.Invoke(action, args).ok()) << action;
    t.bench.Settle([&] { return !t.sw.Busy(); });
  };
  struct Row {
    const char* action;
    ActionArgs args;
    std::vector<SimFrame> frames;  // at the multiviewer
  } const rows[] = {
      {"switcher.program", {{"source", 2}}, {{kColour, TwoBytes(2, kRed)}}},
      {"switcher.preview", {{"source", 5}}, {{kColour, TwoBytes(5, kGreen)}}},
      {"switcher.cut", {}, {{kColour, TwoBytes(2, kGreen)}, {kColour, TwoBytes(5, kRed)}}},
      {"switcher.auto", {{"rate", std::string("r1")}}, {{kColour, TwoBytes(2, kRed)}, {kColour, TwoBytes(5, kGreen)}}},
      {"switcher.ftb", {}, {{kColour, TwoBytes(2, kBlue)}}},
      {"switcher.ftb", {}, {{kColour, TwoBytes(2, kRed)}}},
      // BLK has no input of the multiviewer: the window it left goes dark.
      {"switcher.preview", {{"source", 11}}, {{kColour, TwoBytes(5, kBlue)}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.action);
    invoke(row.action, row.args);
    EXPECT_EQ(t.NewFrames(), row.frames);
  }
  // A window that is given the programme's input turns red with it.
  ASSERT_TRUE(t.mv.Invoke("multiview.source", {{"win", 7}, {"sdi", 2}}).ok());
  EXPECT_EQ(t.NewFrames(), (std::vector<SimFrame>{{"0x34", TwoBytes(2, 7)}, {kColour, TwoBytes(7, kRed)}}));
  ASSERT_FALSE(t.events.empty());
  EXPECT_EQ(t.events.back().from, "switcher");
  EXPECT_EQ(t.events.back().window, 7);
}

TEST(TallyEngineTest, TallyWaitsForTheFirstReadBackSoTheRightColourComesBack) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(TwoDevices(port));
  ASSERT_TRUE(runner.started()) << runner.error();
  test::WorkerBench bench(port);
  test::WorkerLink link(test::SimEntry("127.0.0.2", 0xA1), *bench.worker, "Mv");
  MultiviewSession mv(FamilyOf(FamilyKind::kMultiviewer), link, bench.loop);
  TallyEngine engine;
  engine.AddMultiviewer("127.0.0.2", mv);
  // Before the record holds the device's colours, nothing goes.
  engine.TakeTsl(Tsl50(0, 4, TslLamp::kRed, "Early"), "tsl 127.0.0.1");
  bench.Settle();
  ASSERT_TRUE(test::DeviceHasLoggedAll("127.0.0.2", port));
  EXPECT_TRUE(test::FramesOf(runner.sim(), "Mv").empty());
  mv.Read(true);
  bench.Settle();
  engine.TakeTsl(Tsl50(0, 4, TslLamp::kOff, "Early"), "tsl 127.0.0.1");
  bench.Settle();
  ASSERT_TRUE(test::DeviceHasLoggedAll("127.0.0.2", port));
  EXPECT_EQ(test::FramesOf(runner.sim(), "Mv"),
            (std::vector<SimFrame>{{"0x32", ""},
                                   {kLabel, LabelParams(4, "Early")},
                                   {kColour, TwoBytes(4, kRed)},
                                   {kColour, TwoBytes(4, kBlue)}}));
}

TEST(TallyEngineTest, TallyBeforeTheMultiviewerIsKnownShowsWhenItIs) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(TwoDevices(port));
  ASSERT_TRUE(runner.started()) << runner.error();
  test::WorkerBench bench(port);
  test::WorkerLink link(test::SimEntry("127.0.0.2", 0xA1), *bench.worker, "Mv");
  MultiviewSession mv(FamilyOf(FamilyKind::kMultiviewer), link, bench.loop);
  mv.Read(true);
  bench.Settle();
  TallyEngine engine;
  engine.TakeTsl(Tsl50(0, 8, TslLamp::kRed, "Early"), "tsl 127.0.0.1");
  engine.AddMultiviewer("127.0.0.2", mv);
  bench.Settle();
  ASSERT_TRUE(test::DeviceHasLoggedAll("127.0.0.2", port));
  const auto frames = test::FramesOf(runner.sim(), "Mv");
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[1], (SimFrame{kLabel, LabelParams(8, "Early")}));
  EXPECT_EQ(frames[2], (SimFrame{kColour, TwoBytes(8, kRed)}));
  ASSERT_EQ(engine.Current().size(), 1u);
  EXPECT_EQ(engine.Current()[0].label, "Early");
}

TEST(TallyMapTest, BadFilesSayWhatIsWrong) {
  struct Row {
    const char* text;
    const char* error;
  } const rows[] = {
      {"[1,2]", "one JSON object"},
      {"{\"displays\": 3}", "displays must be a list"},
      {"{\"sources\": [], \"extra\": 1}", "unknown key \"extra\""},
      {"{\"displays\": [{\"tsl\": \"4.0\", \"window\": 1}]}", "displays[0]: tsl must be"},
      {"{\"displays\": [{\"tsl\": \"5.0\", \"screen\": 0, \"index\": 1, \"window\": 17}]}",
       "displays[0]: window must be a whole number 1 to 16"},
      {"{\"displays\": [{\"tsl\": \"5.0\", \"screen\": 0, \"window\": 1}]}", "displays[0]: index is missing"},
      {"{\"displays\": [{\"tsl\": \"5.0\", \"screen\": 0, \"index\": 65535, \"window\": 1}]}",
       "index must be a whole number 0 to 65534"},
      {"{\"displays\": [{\"tsl\": \"5.0\", \"screen\": 0, \"index\": 1, \"window\": 1, \"tally\": \"top\"}]}",
       "tally must be \"left\", \"right\" or \"text\""},
      {"{\"displays\": [{\"tsl\": \"3.1\", \"address\": 127, \"window\": 1}]}", "address must be a whole number 0 to 126"},
      {"{\"displays\": [{\"tsl\": \"3.1\", \"address\": 1, \"window\": 1, \"tally\": 2, \"green\": 2}]}",
       "green must be another tally"},
      {"{\"displays\": [{\"tsl\": \"3.1\", \"address\": 1, \"window\": 1, \"screen\": 0}]}", "unknown key \"screen\""},
      {"{\"displays\": [{\"tsl\": \"5.0\", \"screen\": 0, \"index\": 1, \"window\": 1, \"multiviewer\": \"mv1\"}]}",
       "multiviewer must be an IPv4 address"},
      {"{\"sources\": [{\"source\": 13, \"input\": 1}]}", "sources[0]: source must be a whole number 1 to 12"},
      {"{\"sources\": [{\"source\": 1, \"input\": 1}, {\"source\": 1, \"input\": 2}]}",
       "sources[1]: source 1 is listed twice"},
      {"{\"sources\": [{\"source\": 1, \"input\": 1, \"name\": \"A name far too long\"}]}",
       "name must be text of at most 16 characters"},
      {"{\"displays\": [", "not JSON"},
  };
  for (const Row& row : rows) {
    std::string error;
    EXPECT_FALSE(ParseTallyMap(row.text, &error)) << row.text;
    EXPECT_NE(error.find(row.error), std::string::npos) << row.text << " said: " << error;
  }
  std::string error;
  EXPECT_FALSE(LoadTallyMap("/nonexistent/map.json", &error));
  EXPECT_NE(error.find("/nonexistent/map.json"), std::string::npos);
}

TEST(TallyMapTest, RowsAndDefaults) {
  std::string error;
  const std::optional<TallyMap> map = ParseTallyMap(
      R"({"sources": [{"source": 3, "input": 12, "name": "Jib"}, {"source": 12, "input": 16}]})", &error);
  ASSERT_TRUE(map) << error;
  // Displays left out keep their default: screen 0 index n on window n.
  ASSERT_EQ(map->displays.size(), 16u);
  EXPECT_EQ(map->Rows50(0, 7), std::vector<size_t>{6});
  EXPECT_TRUE(map->Rows50(1, 7).empty());
  EXPECT_EQ(map->Rows50(0xFFFF, 7), std::vector<size_t>{6});
  EXPECT_EQ(map->Rows50(0, 0xFFFF).size(), 16u);
  EXPECT_EQ(map->InputOf(3), 12);
  EXPECT_FALSE(map->InputOf(1));  // the file's rows replace the default ones
  EXPECT_EQ(map->NameOf(3), "Jib");
  EXPECT_EQ(map->NameOf(12), "MP1");
  EXPECT_EQ(map->NameOf(4), "Cam 04");
  EXPECT_EQ(TallyMap::Defaults().InputOf(10), 10);
  EXPECT_FALSE(TallyMap::Defaults().InputOf(11));
}

// The window's table writes its rows into the mapping file: the rest of the
// file stays, a link stays a link to the file it names, and a file that is
// no mapping is left as it was, with a sentence.
TEST(TallyMapTest, SourcesWrittenIntoTheFileKeepTheRestOrNothingChanges) {
  char pattern[] = "/tmp/zv_tally_map_XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::string displays = R"([{"tsl": "3.1", "address": 12, "window": 4, "tally": 1, "green": 2}])";
  const std::vector<TallySourceRow> rows = {{3, 7, "CAM 3"}, {12, 16, ""}};
  struct Case {
    const char* what;
    std::string text;
    bool through_link;
    bool written;
    const char* said;
  } const cases[] = {
      {"a mapping", "{\"displays\": " + displays + "}", false, true, ""},
      {"a mapping behind a link", "{\"displays\": " + displays + ", \"sources\": []}", true, true, ""},
      {"no JSON", "{\"displays\": [", false, false, "displays cannot be kept"},
      {"a bad display", R"({"displays": [{"tsl": "5.0", "window": 1}]})", false, false, "displays[0]: screen is missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = dir + "/map.json", link = dir + "/link.json";
    unlink(link.c_str());
    {
      std::ofstream out(file, std::ios::trunc);
      out << c.text;
    }
    if (c.through_link) {
      ASSERT_EQ(symlink("map.json", link.c_str()), 0);
    }
    std::string error;
    EXPECT_EQ(WriteTallySources(c.through_link ? link : file, rows, &error), c.written) << error;
    EXPECT_NE(error.find(c.said), std::string::npos) << error;
    std::string text;
    ASSERT_TRUE(ReadSmallFile(file, &text, &error)) << error;
    if (!c.written) {
      EXPECT_EQ(text, c.text);
      continue;
    }
    const nlohmann::json j = nlohmann::json::parse(text);
    EXPECT_EQ(j["displays"], nlohmann::json::parse(displays));
    EXPECT_EQ(j["sources"], nlohmann::json::parse(R"([{"source": 3, "input": 7, "name": "CAM 3"},
                                                      {"source": 12, "input": 16}])"));
    std::string why;
    const std::optional<TallyMap> map = LoadTallyMap(c.through_link ? link : file, &why);
    ASSERT_TRUE(map) << why;
    EXPECT_EQ(map->sources, rows);
    struct stat st {};
    EXPECT_EQ(lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode), c.through_link);
  }
  unlink((dir + "/link.json").c_str());
  unlink((dir + "/map.json").c_str());
  EXPECT_EQ(rmdir(dir.c_str()), 0) << "a temporary file was left beside the map";
}

}  // namespace
}  // namespace zv

namespace zv {
namespace {

TallyOptions Options(std::string map, std::string allow = "127.0.0.0/8", std::vector<std::string> send = {},
                     std::string version = "5.0") {
  TallyOptions o;
  o.map_file = std::move(map);
  o.allow = std::move(allow);
  o.send = std::move(send);
  o.send_version = std::move(version);
  return o;
}

TEST(TallyServiceTest, OptionsAreCheckedBeforeAnythingListens) {
  SessionLoop loop;
  const auto post = [&loop](std::function<void()> f) { loop.Post(std::move(f)); };
  struct Row {
    TallyOptions options;
    const char* error;
  } const rows[] = {
      {Options("/nonexistent/map.json"), "/nonexistent/map.json"},
      {Options("", "10.0.0.0/33"), "--tsl-allow"},
      {Options("", "127.0.0.0/8", {"127.0.0.1:9000", "studio"}), "--tsl-send: \"studio\" is not HOST:PORT"},
      {Options("", "127.0.0.0/8", {"127.0.0.1:9000"}, "4.0"), "--tsl-send-version must be 5.0 or 3.1"},
  };
  for (const Row& row : rows) {
    std::string error;
    EXPECT_FALSE(TallyService::Start(row.options, post, loop, &error));
    EXPECT_NE(error.find(row.error), std::string::npos) << error;
  }
  // A port taken by another socket is said, not ignored.
  test::UdpPeer holder;
  TallyOptions taken;
  taken.listen_port = holder.port();
  taken.listen_address = "127.0.0.1";
  std::string error;
  EXPECT_FALSE(TallyService::Start(taken, post, loop, &error));
  EXPECT_NE(error.find("cannot listen"), std::string::npos) << error;

  const std::string event = TallyService::EventJson({"127.0.0.2", 3, TslLamp::kRed, "tsl 127.0.0.1"});
  EXPECT_EQ(nlohmann::json::parse(event),
            (nlohmann::json{{"event", "tally"}, {"multiviewer", "127.0.0.2"}, {"window", 3}, {"colour", "red"},
                            {"from", "tsl 127.0.0.1"}}));
}

}  // namespace
}  // namespace zv
