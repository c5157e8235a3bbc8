// The setup file's edges: what it refuses before anything is sent, what a
// partial file keeps, and labels in any script.
#include <gtest/gtest.h>

#include "multiview/multiview_setup.h"

namespace zv {
namespace {

TEST(MultiviewSetupFileTest, RefusesWhatTheDeviceCannotTake) {
  const struct {
    const char* text;
    const char* names;  // the message names the bad key
  } rows[] = {
      {R"({"layout": 5})", "layout"},
      {R"({"format": "4K"})", "format"},
      {R"({"audio_source": 17})", "audio_source"},
      {R"({"border": 1})", "border"},
      {R"({"windows": [{"window": 17, "source": 1}]})", "window"},
      {R"({"windows": [{"window": 2, "source": 17}]})", "window 2 source"},
      {R"({"windows": [{"window": 3, "label": "seventeen letters"}]})", "window 3 label"},
      {R"({"windows": [{"window": 3, "label": "A\u001b[2J"}]})", "U+001B at character 2"},
      {R"({"windows": [{"window": 3, "label": "A\u0000"}]})", "U+0000"},
      {R"({"windows": [{"window": 3, "label": "\u0085"}]})", "U+0085"},
      {"{\"windows\": [{\"window\": 3, \"label\": \"\xC3\x28\"}]}", ""},  // not UTF-8
      {R"({"windows": [{"window": 4, "label_back": "Purple"}]})", "window 4 label_back"},
      {R"({"windows": [{"window": 4, "label_font": "Sans"}]})", "label_font"},
      {R"({"layuot": 4})", "layuot"},
      {R"([1, 2])", "object"},
      {R"({"layout": )", "JSON"},
  };
  for (const auto& row : rows) {
    MultiviewSetup setup;
    const MultiviewSetup before = setup;
    std::string error;
    EXPECT_FALSE(DecodeSetupJson(row.text, &setup, &error)) << row.text;
    EXPECT_NE(error.find(row.names), std::string::npos) << row.text << " -> " << error;
    EXPECT_EQ(setup, before) << "a refused file changes nothing: " << row.text;
  }
}

TEST(MultiviewSetupFileTest, PartialFileKeepsTheRestAndLabelsKeepTheirScript) {
  MultiviewSetup setup;
  setup.layout = 9;
  setup.sources[0] = 4;
  // 16 code units: 15 characters of the basic plane and one outside it.
  const std::string label = "\xE6\x91\x84\xE5\x83\x8F\xE6\x9C\xBA 123456789\xF0\x9F\x8E\xA5";
  std::string error;
  ASSERT_TRUE(DecodeSetupJson(R"({"windows": [{"window": 2, "label": ")" + label + R"(", "overlay_back": "HalfTrans"}]})",
                              &setup, &error))
      << error;
  EXPECT_EQ(setup.layout, 9);
  EXPECT_EQ(setup.sources[0], 4);
  EXPECT_EQ(setup.labels[1], std::u16string(u"\u6444\u50CF\u673A 123456789\U0001F3A5"));
  EXPECT_EQ(setup.overlay_back[1], 15);

  MultiviewSetup again;
  ASSERT_TRUE(DecodeSetupJson(EncodeSetupJson(setup), &again, &error)) << error;
  EXPECT_EQ(again, setup);
}

TEST(MultiviewSetupFileTest, OnlyWhatTheFileNamesIsSentAndJudged) {
  MultiviewSetup setup;
  MultiviewSetupKeys keys;
  std::string error;
  ASSERT_TRUE(DecodeSetupJson(R"({"name": "x", "windows": [{"window": 3, "label": "ONLY3"}], "border": false})",
                              &setup, &error, &keys))
      << error;
  std::vector<std::string> names;
  const std::vector<MultiviewStep> steps = SetupSteps(setup, keys, &names);
  EXPECT_EQ(names, (std::vector<std::string>{"window 3 label", "border"}));
  EXPECT_EQ(steps.size(), 2u);
  // What the file does not name is not judged, however the device differs.
  MultiviewSetup device = setup;
  device.layout = 4;
  device.sources[0] = 9;
  device.border_on = true;
  EXPECT_EQ(SetupDifferences(setup, device, keys), std::vector<std::string>{"border: wanted off, device has on"});
  // A whole file: the format first (the device redraws everything), the lock
  // last (a locked device takes nothing more).
  names.clear();
  SetupSteps(setup, MultiviewSetupKeys::All(), &names);
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(names[0], "format");
  EXPECT_EQ(names[1], "layout");
  EXPECT_EQ(names.back(), "lock");
}

TEST(MultiviewSetupFileTest, DifferencesNameWhatTheDeviceDidNotTake) {
  MultiviewSetup wanted;
  wanted.sources[3] = 0;  // unknown: not sent, not judged
  MultiviewSetup got = wanted;
  EXPECT_TRUE(SetupDifferences(wanted, got).empty());
  got.sources[3] = 2;
  got.layout = 4;
  got.labels[6] = u"X";
  got.label_back[0] = 2;
  EXPECT_EQ(SetupDifferences(wanted, got),
            (std::vector<std::string>{"layout: wanted 16, device has 4",
                                      "window 1 label back: wanted Black, device has Red",
                                      "window 7 label: wanted \"\", device has \"X\""}));
}

}  // namespace
}  // namespace zv
