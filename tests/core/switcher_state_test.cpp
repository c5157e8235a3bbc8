// The production switcher's rules without a window: the frames each press
// sends, the images it shows, and the T-bar and Auto arithmetic.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "controls/key_presses.h"
#include "link/command_frame.h"
#include "switcher/switcher_state.h"

namespace zv {
namespace {

using Bytes = std::vector<uint8_t>;

// The frame as it leaves for a device of type 0xA5 with id 0x01.
Bytes OnTheWire(const SwitcherFrame& f) {
  Bytes out(CommandFrame::kOverhead + f.param_count);
  BuildCommandFrame(out.data(), 0xA5, 0x01, kLinkFlagUdp, f.command, f.Params());
  return out;
}

SwitcherPageData Fresh() {
  SwitcherPageData d;
  ResetSwitcherPageData(d);
  return d;
}

// [direction, progress] of every T-bar frame.
std::vector<std::pair<int, int>> TbarFrames(const std::vector<SwitcherFrame>& frames) {
  std::vector<std::pair<int, int>> out;
  for (const SwitcherFrame& f : frames)
    if (f.command == kSwitcherTbar) out.emplace_back(f.params[0], f.params[1]);
  return out;
}

std::vector<std::pair<int, int>> FullTravel(int direction) {
  std::vector<std::pair<int, int>> out{{direction, 1}};
  for (int p = 8; p <= 128; p += 8) out.emplace_back(direction, p);
  return out;
}

void Append(std::vector<SwitcherFrame>& all, const SwitcherEffects& fx) {
  all.insert(all.end(), fx.frames.begin(), fx.frames.end());
}

TEST(SwitcherStateTest, StartOfProgramRecord) {
  SwitcherPageData d;
  std::memset(&d, 0xEE, sizeof d);
  ResetSwitcherPageData(d);
  EXPECT_EQ(d.zv_switcher_tbar_reverse, 1);
  EXPECT_EQ(d.zv_switcher_pgm_source, 0);
  EXPECT_EQ(d.zv_switcher_auto_rate, 0);
  EXPECT_EQ(d.zv_switcher_pip_width, 0);
  EXPECT_EQ(d.zv_switcher_chroma_blue[1], 0);
}

TEST(SwitcherStateTest, LiteralFrames) {
  SwitcherPageData d = Fresh();
  SwitcherRules rules(d);
  struct Case {
    const char* what;
    SwitcherFrame frame;
    Bytes expected;
  };
  const Case cases[] = {
      {"programme source 3", rules.PressPgm(3).frames.at(0),
       {0xA5, 0x6C, 0x15, 0x00,       // sync, length 21
        0xA5, 0x01, 0x01,             // type, id, UDP
        0, 0, 0, 0, 0, 0, 0, 0, 0x00, // reserved, group
        0x80, 0x03,                   // programme source 3
        0x50, 0x02, 0xAE}},
      {"cut", rules.Cut().frames.at(0),
       {0xA5, 0x6C, 0x14, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
        0x83,  // cut, no parameter
        0x4F, 0x02, 0xAE}},
      {"wipe pattern 7", SelectWipePattern(d, 7).frames.at(0),
       {0xA5, 0x6C, 0x15, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
        0x92, 0x07,  // pattern 7
        0x66, 0x02, 0xAE}},
      {"PIP X 100", StorePipPixels(d, 0, 100),
       {0xA5, 0x6C, 0x16, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
        0xA0, 0x40, 0x06,  // 1600 pixels, low byte first
        0xB4, 0x02, 0xAE}},
      {"PIP Y 120", StorePipPixels(d, 1, 120),
       {0xA5, 0x6C, 0x16, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
        0xA1, 0x38, 0x04,  // 1080 pixels
        0xAB, 0x02, 0xAE}},
      {"PIP width 0", StorePipPixels(d, 2, 0),
       {0xA5, 0x6C, 0x16, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
        0xA2, 0x00, 0x00,  // 0 pixels
        0x70, 0x02, 0xAE}},
      {"border width \"7\"", *StoreListChoice(d, kSwitcherPipBorderWidth, 6),
       {0xA5, 0x6C, 0x15, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
        0x9F, 0x06,  // width index 6
        0x72, 0x02, 0xAE}},
  };
  for (const Case& c : cases) EXPECT_EQ(OnTheWire(c.frame), c.expected) << c.what;
  EXPECT_EQ(d.zv_switcher_pip_x, 1600);
  EXPECT_EQ(d.zv_switcher_pip_y, 1080);
  EXPECT_EQ(d.zv_switcher_pip_border_width, 6);
  EXPECT_EQ(d.zv_switcher_wipe_pattern, 7);

  // T-bar progress 8 travelling downward.
  d = Fresh();
  d.zv_switcher_tbar_reverse = 0;
  SwitcherRules down(d);
  const SwitcherEffects fx = down.TbarMoving(8);
  ASSERT_EQ(fx.frames.size(), 1u);
  const Bytes progress8 = {0xA5, 0x6C, 0x16, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
                           0x82, 0x00, 0x08,  // direction 0, progress 8
                           0x58, 0x02, 0xAE};
  EXPECT_EQ(OnTheWire(fx.frames[0]), progress8);
}

TEST(SwitcherStateTest, BusesAndCut) {
  struct Case {
    const char* what;
    int pgm, pvm;
    int pgm_after, pvm_after;
    std::vector<ImageChange> images;
  };
  const Case cases[] = {
      {"2 / 5", 2, 5, 5, 2, {{1033, 253}, {1108, 261}, {1113, 262}, {1035, 251}}},
      {"4 / 4 marked again", 4, 4, 4, 4, {{1107, 258}, {1112, 257}}},
      {"none", 0, 0, 0, 0, {}},
      {"BLK / MP1", 11, 12, 12, 11, {{1119, 280}, {1120, 282}, {1155, 283}, {1153, 278}}},
  };
  for (const Case& c : cases) {
    SwitcherPageData d = Fresh();
    d.zv_switcher_pgm_source = static_cast<uint8_t>(c.pgm);
    d.zv_switcher_pvm_source = static_cast<uint8_t>(c.pvm);
    SwitcherRules rules(d);
    const SwitcherEffects fx = rules.Cut();
    ASSERT_EQ(fx.frames.size(), 1u) << c.what;
    EXPECT_EQ(fx.frames[0].command, kSwitcherCut) << c.what;
    EXPECT_EQ(d.zv_switcher_pgm_source, c.pgm_after) << c.what;
    EXPECT_EQ(d.zv_switcher_pvm_source, c.pvm_after) << c.what;
    EXPECT_EQ(fx.images, c.images) << c.what;
    EXPECT_FALSE(fx.tbar_position) << "Cut leaves the T-bar alone";
  }
}

TEST(SwitcherStateTest, SourcePressesSendEvenWhenUnchanged) {
  SwitcherPageData d = Fresh();
  SwitcherRules rules(d);
  SwitcherEffects first = rules.PressPgm(3);
  EXPECT_EQ(first.ImageOf(1011), 255);
  SwitcherEffects second = rules.PressPgm(3);
  EXPECT_EQ(second.frames, first.frames);
  EXPECT_TRUE(second.images.empty());

  // Preview chosen while a transition is under way is shown red.
  d.zv_switcher_in_transition = 1;
  const SwitcherEffects pvm = rules.PressPvm(6);
  EXPECT_EQ(pvm.ImageOf(1114), SourceProgramImage(6));
  EXPECT_EQ(pvm.frames.at(0), MakeSwitcherFrame(kSwitcherPvmSource, {6}));
  d.zv_switcher_in_transition = 0;
  EXPECT_EQ(rules.PressPvm(7).ImageOf(1115), SourcePreviewImage(7));
  EXPECT_EQ(rules.PressPvm(7).ImageOf(1115), 0);
}

TEST(SwitcherStateTest, NextTransitionElements) {
  SwitcherPageData d = Fresh();
  SwitcherRules rules(d);
  rules.Open();
  struct Step {
    const char* what;
    SwitcherEffects (SwitcherRules::*press)();
    std::vector<SwitcherFrame> frames;
    int next_key, pip, key1, key2, bkgd;
    std::optional<int> page;
    std::vector<ImageChange> images;
  };
  const Step steps[] = {
      {"BKGD alone stays", &SwitcherRules::Bkgd, {MakeSwitcherFrame(0x8A, {1})}, 0, 0, 0, 0, 1,
       std::nullopt, {}},
      {"KEY 1 on", &SwitcherRules::Key1, {MakeSwitcherFrame(0x8B, {0})}, 2, 0, 1, 0, 1, 1,
       {{1144, 291}}},
      {"BKGD off", &SwitcherRules::Bkgd, {MakeSwitcherFrame(0x8A, {1})}, 2, 0, 1, 0, 0,
       std::nullopt, {{1135, 246}}},
      {"KEY 1 blocked", &SwitcherRules::Key1, {}, 2, 0, 1, 0, 0, std::nullopt, {}},
      {"BKGD on", &SwitcherRules::Bkgd, {MakeSwitcherFrame(0x8A, {0})}, 2, 0, 1, 0, 1,
       std::nullopt, {{1135, 247}}},
      {"PIP takes over", &SwitcherRules::Pip, {MakeSwitcherFrame(0x86)}, 1, 1, 0, 0, 1, 3,
       {{1144, 290}, {1131, 300}}},
      {"KEY 2 clears PIP", &SwitcherRules::Key2, {MakeSwitcherFrame(0x8C, {0})}, 3, 0, 0, 1, 1, 2,
       {{1131, 299}, {1145, 293}}},
      {"PIP again", &SwitcherRules::Pip, {MakeSwitcherFrame(0x86)}, 1, 1, 0, 0, 1, 3,
       {{1145, 292}, {1131, 300}}},
      {"PIP off", &SwitcherRules::Pip, {MakeSwitcherFrame(0x86)}, 0, 0, 0, 0, 1, std::nullopt,
       {{1131, 299}}},
  };
  for (const Step& s : steps) {
    const SwitcherEffects fx = (rules.*s.press)();
    EXPECT_EQ(fx.frames, s.frames) << s.what;
    EXPECT_EQ(d.zv_switcher_next_key, s.next_key) << s.what;
    EXPECT_EQ(d.zv_switcher_pip_state, s.pip) << s.what;
    EXPECT_EQ(d.zv_switcher_key1_state, s.key1) << s.what;
    EXPECT_EQ(d.zv_switcher_key2_state, s.key2) << s.what;
    EXPECT_EQ(d.zv_switcher_bkgd_state, s.bkgd) << s.what;
    EXPECT_EQ(fx.page, s.page) << s.what;
    EXPECT_EQ(fx.images, s.images) << s.what;
    EXPECT_LE(d.zv_switcher_pip_state + d.zv_switcher_key1_state + d.zv_switcher_key2_state, 1);
  }
}

TEST(SwitcherStateTest, TogglesAndTransitionTypes) {
  SwitcherPageData d = Fresh();
  SwitcherRules rules(d);
  rules.Open();
  struct Step {
    const char* what;
    SwitcherEffects fx;
    SwitcherFrame frame;
    std::vector<ImageChange> images;
    std::optional<int> page;
  };
  const Step steps[] = {
      {"ON AIR off sends 0", rules.OnAir(), MakeSwitcherFrame(0x88, {0}), {{1134, 297}}, {}},
      {"ON AIR on sends 1", rules.OnAir(), MakeSwitcherFrame(0x88, {1}), {{1134, 298}}, {}},
      {"hidden ON AIR", rules.OnAir2(), MakeSwitcherFrame(0x89, {0}), {}, {}},
      {"FTB on", rules.Ftb(), MakeSwitcherFrame(0x85), {{1152, 288}}, {}},
      {"MIX again", rules.TransitionType(1), MakeSwitcherFrame(0x8D), {}, {}},
      {"WIPE", rules.TransitionType(3), MakeSwitcherFrame(0x8F), {{1136, 295}, {1132, 304}}, {}},
      {"KEY 1 shows luma", rules.Key1(), MakeSwitcherFrame(0x8B, {0}), {{1144, 291}}, 1},
      {"DIP shows transition page", rules.TransitionType(2), MakeSwitcherFrame(0x8E),
       {{1132, 303}, {1162, 287}}, 0},
  };
  for (const Step& s : steps) {
    ASSERT_EQ(s.fx.frames.size(), 1u) << s.what;
    EXPECT_EQ(s.fx.frames[0], s.frame) << s.what;
    EXPECT_EQ(s.fx.images, s.images) << s.what;
    EXPECT_EQ(s.fx.page, s.page) << s.what;
  }
  EXPECT_EQ(d.zv_switcher_on_air2, 1);
  EXPECT_EQ(d.zv_switcher_ftb_state, 1);
  EXPECT_EQ(d.zv_switcher_trans_type, 2);
}

TEST(SwitcherStateTest, ManualDragsBothWays) {
  SwitcherPageData d = Fresh();
  d.zv_switcher_pgm_source = 2;
  d.zv_switcher_pvm_source = 5;
  SwitcherRules rules(d);
  std::vector<SwitcherFrame> sent;
  // Upward from the bottom: the value counts up as the thumb rises.
  for (int a = 128; a >= 1; --a) {
    const SwitcherEffects fx = rules.TbarMoving(a);
    Append(sent, fx);
    ASSERT_EQ(d.zv_switcher_in_transition, 1) << a;
    ASSERT_EQ(d.zv_switcher_tbar_value, 129 - a);
  }
  EXPECT_EQ(rules.TbarMoving(128 - 1).ImageOf(1113), SourceProgramImage(5));
  for (int a = 126; a >= 1; --a) rules.TbarMoving(a);
  const SwitcherEffects top = rules.TbarMoving(0);
  EXPECT_TRUE(top.frames.empty());
  EXPECT_EQ(TbarFrames(sent), FullTravel(1));
  EXPECT_EQ(d.zv_switcher_in_transition, 0);
  EXPECT_EQ(top.ImageOf(kIdSwAuto), 245);
  EXPECT_EQ(d.zv_switcher_tbar_reverse, 0);
  EXPECT_EQ(d.zv_switcher_pgm_source, 5);
  EXPECT_EQ(d.zv_switcher_pvm_source, 2);
  EXPECT_EQ(top.ImageOf(1035), SourcePreviewImage(2));
  EXPECT_TRUE(rules.TbarReleased(0).frames.empty());
  EXPECT_EQ(d.zv_switcher_tbar_reverse, 0);

  // Back down from the top: the value is the position.
  sent.clear();
  for (int a = 1; a <= 129; ++a) Append(sent, rules.TbarMoving(a));
  EXPECT_EQ(TbarFrames(sent), FullTravel(0));
  EXPECT_EQ(d.zv_switcher_tbar_reverse, 1);
  EXPECT_EQ(d.zv_switcher_tbar_value, 129);
  EXPECT_EQ(d.zv_switcher_in_transition, 0);
  EXPECT_EQ(d.zv_switcher_pgm_source, 2);
  rules.TbarReleased(129);
  EXPECT_EQ(d.zv_switcher_tbar_reverse, 1);
}

// Drags that end a transition. On to the far end: the buses are exchanged,
// and a progress 128 the drag skipped is still sent. Back to the end they
// started from: a cancel, no exchange, and the device is told progress 0.
// On the way, a move that reaches or passes 1 or a multiple of 8 sends the
// progress it arrived at.
TEST(SwitcherStateTest, DragsThatEndATransition) {
  struct Case {
    const char* what;
    int reverse;
    std::vector<int> positions;
    std::vector<std::pair<int, int>> frames;  // (direction, progress)
    int value_after;
    bool exchanged;
    int auto_image;  // the Auto face the last message leaves (0: untouched)
  };
  const Case cases[] = {
      {"back to the bottom it started from", 1, {120, 100, 129}, {{1, 9}, {1, 29}, {1, 0}}, 0, false, 245},
      {"back to the top it started from", 0, {9, 40, 0}, {{0, 9}, {0, 40}, {0, 0}}, 0, false, 245},
      {"back to its start after progress 8", 1, {121, 129}, {{1, 8}, {1, 0}}, 0, false, 245},
      {"upward, 128 skipped", 1, {100, 40, 0}, {{1, 29}, {1, 89}, {1, 128}}, 0, true, 245},
      {"downward, 128 skipped", 0, {50, 129}, {{0, 50}, {0, 128}}, 129, true, 245},
      {"one jump from the bottom to the top", 1, {0}, {{1, 128}}, 0, true, 0},
      {"upward through 128", 1, {121, 1, 0}, {{1, 8}, {1, 128}}, 0, true, 245},
      {"128 sent, back past 112, on to the top", 1, {1, 20, 0}, {{1, 128}, {1, 109}, {1, 128}}, 0,
       true, 245},
      {"steps within one band of 8", 1, {127, 125, 123}, {{1, 2}}, 6, false, 0},
      {"back down across 16", 1, {109, 114}, {{1, 20}, {1, 15}}, 15, false, 0},
  };
  for (const Case& c : cases) {
    SwitcherPageData d = Fresh();
    d.zv_switcher_tbar_reverse = static_cast<uint8_t>(c.reverse);
    d.zv_switcher_pgm_source = 1;
    d.zv_switcher_pvm_source = 3;
    SwitcherRules rules(d);
    std::vector<SwitcherFrame> sent;
    SwitcherEffects fx;
    for (int a : c.positions) {
      fx = rules.TbarMoving(a);
      Append(sent, fx);
    }
    const bool ended = c.auto_image != 0 || c.exchanged;
    EXPECT_EQ(TbarFrames(sent), c.frames) << c.what;
    EXPECT_EQ(d.zv_switcher_tbar_value, c.value_after) << c.what;
    EXPECT_EQ(d.zv_switcher_in_transition, ended ? 0 : 1) << c.what;
    EXPECT_EQ(d.zv_switcher_pgm_source, c.exchanged ? 3 : 1) << c.what;
    EXPECT_EQ(d.zv_switcher_pvm_source, c.exchanged ? 1 : 3) << c.what;
    EXPECT_EQ(fx.ImageOf(kIdSwAuto), c.auto_image) << c.what;
    if (ended && !c.exchanged) {
      EXPECT_EQ(d.zv_switcher_tbar_reverse, c.reverse) << c.what;
      EXPECT_EQ(fx.ImageOf(kPvmSourceButtons[2]), SourcePreviewImage(3)) << c.what;
    }
  }
}

// Runs the timer until it stops; returns the steps taken.
int RunAuto(SwitcherRules& rules, int timer_id, std::vector<SwitcherFrame>* sent,
            SwitcherEffects* last = nullptr) {
  int steps = 0;
  for (; steps < 1000; ) {
    const SwitcherEffects fx = rules.TimerStep(timer_id);
    ++steps;
    Append(*sent, fx);
    if (last) *last = fx;
    if (fx.stop_timer_id == timer_id) break;
  }
  return steps;
}

TEST(SwitcherStateTest, AutoAtEachRateAndDirection) {
  struct Case {
    int rate, reverse, thumb;
    int timer_id, period;
    int steps;
    std::vector<std::pair<int, int>> frames;
    int thumb_after, reverse_after;
  };
  std::vector<std::pair<int, int>> wrapped;  // a thumb that disagrees: 130 .. 255, 0
  for (int p = 136; p <= 248; p += 8) wrapped.emplace_back(0, p);
  const Case cases[] = {
      {1, 0, 0, 2, 10, 129, FullTravel(0), 129, 1},
      {0, 1, 129, 1, 1, 129, FullTravel(1), 0, 0},
      {2, 1, 129, 3, 20, 129, FullTravel(1), 0, 0},
      {1, 0, 129, 2, 10, 127, wrapped, 0, 0},
  };
  for (const Case& c : cases) {
    SwitcherPageData d = Fresh();
    d.zv_switcher_auto_rate = static_cast<uint8_t>(c.rate);
    d.zv_switcher_tbar_reverse = static_cast<uint8_t>(c.reverse);
    d.zv_switcher_pgm_source = 7;
    d.zv_switcher_pvm_source = 8;
    SwitcherRules rules(d);
    const SwitcherEffects start = rules.Auto(c.thumb);
    EXPECT_EQ(start.frames, std::vector<SwitcherFrame>{MakeSwitcherFrame(kSwitcherAuto)});
    EXPECT_EQ(start.start_timer_id, c.timer_id);
    EXPECT_EQ(start.start_timer_period_ms, c.period);
    EXPECT_EQ(start.ImageOf(kIdSwAuto), 305);
    EXPECT_EQ(start.ImageOf(1116), SourceProgramImage(8));
    std::vector<SwitcherFrame> sent;
    SwitcherEffects last;
    EXPECT_EQ(RunAuto(rules, c.timer_id, &sent, &last), c.steps) << c.rate;
    EXPECT_EQ(TbarFrames(sent), c.frames) << c.rate;
    EXPECT_EQ(last.tbar_position, c.thumb_after);
    EXPECT_EQ(d.zv_switcher_tbar_reverse, c.reverse_after);
    EXPECT_EQ(d.zv_switcher_in_transition, 0);
    EXPECT_EQ(last.ImageOf(kIdSwAuto), 245);
    EXPECT_EQ(d.zv_switcher_pgm_source, 8);
    EXPECT_EQ(d.zv_switcher_pvm_source, 7);
    EXPECT_EQ(rules.RunningTimer(), 0);
    EXPECT_TRUE(rules.TimerStep(c.timer_id).frames.empty()) << "a late tick does nothing";
  }
}

TEST(SwitcherStateTest, RatesAreRefusedWhileTheLampIsLit) {
  SwitcherPageData d = Fresh();
  SwitcherRules rules(d);
  rules.Auto(129);
  EXPECT_TRUE(rules.Rate(2).images.empty());
  EXPECT_EQ(d.zv_switcher_auto_rate, 0);
  std::vector<SwitcherFrame> sent;
  RunAuto(rules, 1, &sent);
  const SwitcherEffects fx = rules.Rate(2);
  EXPECT_EQ(fx.images, (std::vector<ImageChange>{{1036, 341}, {1038, 346}}));
  EXPECT_EQ(d.zv_switcher_auto_rate, 2);
  EXPECT_TRUE(fx.frames.empty());
  EXPECT_TRUE(rules.Rate(2).images.empty());
}

// A Cut ends the transition under way, whether Auto or the hand runs it:
// the buses are exchanged once, the lamp goes out, the timer stops, and the
// T-bar rests out of the hand as after a whole travel in its direction, so
// that the next move starts a new travel from that end.
TEST(SwitcherStateTest, CutEndsTheTransitionUnderWay) {
  struct Case {
    const char* what;
    int reverse;
    bool by_auto;        // else dragged by hand
    int thumb;           // where Auto starts, or where the hand left the thumb
    int timer_stopped;   // 0: none ran
    int position_after;  // where the thumb rests
    int reverse_after;
  };
  const Case cases[] = {
      {"Auto upward", 1, true, 129, 1, 0, 0},
      {"Auto downward", 0, true, 0, 1, 129, 1},
      {"hand upward, progress 49", 1, false, 80, 0, 0, 0},
      {"hand downward, progress 49", 0, false, 49, 0, 129, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SwitcherPageData d = Fresh();
    d.zv_switcher_tbar_reverse = static_cast<uint8_t>(c.reverse);
    d.zv_switcher_pgm_source = 1;
    d.zv_switcher_pvm_source = 2;
    SwitcherRules rules(d);
    if (c.by_auto) {
      rules.Auto(c.thumb);
      for (int i = 0; i < 40; ++i) rules.TimerStep(1);
    } else {
      ASSERT_EQ(TbarFrames(rules.TbarMoving(c.thumb).frames).size(), 1u);
    }
    ASSERT_EQ(d.zv_switcher_in_transition, 1);
    const SwitcherEffects cut = rules.Cut();
    EXPECT_EQ(cut.frames, std::vector<SwitcherFrame>{MakeSwitcherFrame(kSwitcherCut)});
    EXPECT_EQ(cut.stop_timer_id, c.timer_stopped);
    EXPECT_EQ(rules.RunningTimer(), 0);
    EXPECT_EQ(cut.ImageOf(kIdSwAuto), 245);
    EXPECT_EQ(cut.ImageOf(1034), SourcePreviewImage(1)) << "preview 1 green: not going to air";
    EXPECT_EQ(cut.tbar_position, c.position_after);
    EXPECT_TRUE(cut.tbar_let_go);
    EXPECT_EQ(d.zv_switcher_tbar_reverse, c.reverse_after);
    EXPECT_EQ(d.zv_switcher_in_transition, 0);
    EXPECT_EQ(d.zv_switcher_pgm_source, 2);
    EXPECT_EQ(d.zv_switcher_pvm_source, 1);
    // A tick already queued changes nothing.
    EXPECT_TRUE(rules.TimerStep(1).frames.empty());
    EXPECT_EQ(d.zv_switcher_pgm_source, 2);
    // The next travel starts from where the thumb rests.
    const int next = c.reverse_after == 1 ? 128 : 1;
    EXPECT_EQ(TbarFrames(rules.TbarMoving(next).frames),
              (std::vector<std::pair<int, int>>{{c.reverse_after, 1}}));
  }
}

// While the hand holds the T-bar, Auto does nothing: the timer would move
// the thumb from under the hand, whose next move would take it back.
TEST(SwitcherStateTest, AutoWaitsForTheHandOnTheTbar) {
  SwitcherPageData d = Fresh();
  SwitcherRules rules(d);
  rules.TbarMoving(80);  // progress 49 upward
  const SwitcherEffects fx = rules.Auto(80, true);
  EXPECT_TRUE(fx.frames.empty());
  EXPECT_EQ(fx.start_timer_id, 0);
  EXPECT_EQ(rules.RunningTimer(), 0);
  EXPECT_EQ(TbarFrames(rules.TbarMoving(73).frames), (std::vector<std::pair<int, int>>{{1, 56}}));
  rules.TbarReleased(73);
  EXPECT_EQ(rules.Auto(73).frames, std::vector<SwitcherFrame>{MakeSwitcherFrame(kSwitcherAuto)})
      << "once the hand lets go";
}

// The switcher's keys act once per press: which presses are a held key's
// repeats, marked or not (X11 repeats a key as a release and a press with
// one time, and the toolkit does not always mark them).
TEST(SwitcherStateTest, HeldKeysActOncePerPress) {
  struct Event {
    bool press;
    int key;
    uint64_t time;
    bool marked;
    bool new_press;  // for a press: what it is taken for
  };
  constexpr int kC = 'C', kA = 'A';
  const Event events[] = {
      {true, kC, 1000, false, true},                                    // C struck
      {false, kC, 1500, true, false},  {true, kC, 1500, true, false},    // marked repeat
      {false, kC, 1540, false, false}, {true, kC, 1540, false, false},   // unmarked repeat
      {false, kC, 1580, false, false},                                  // C let go
      {true, kC, 1700, false, true},                                    // struck again
      {false, kC, 1760, false, false}, {true, kA, 1760, false, true},   // another key at that time
      {false, kA, 1800, false, false}, {true, kA, 0, false, true},      // no time: never a repeat
      {false, kA, 0, false, false},    {true, kA, 0, false, true},
  };
  KeyPresses presses;
  for (const Event& e : events) {
    if (!e.press) {
      presses.Release(e.key, e.time, e.marked);
      continue;
    }
    EXPECT_EQ(presses.Press(e.key, e.time, e.marked), e.new_press) << e.key << " at " << e.time;
    EXPECT_EQ(presses.Press(e.key, e.time, e.marked), e.new_press) << "asked twice";
  }
}

TEST(SwitcherStateTest, AutoPressedTwiceRestartsFromTheThumb) {
  SwitcherPageData d = Fresh();
  d.zv_switcher_tbar_reverse = 0;
  SwitcherRules rules(d);
  rules.Auto(0);
  SwitcherEffects fx;
  for (int i = 0; i < 10; ++i) fx = rules.TimerStep(1);
  EXPECT_EQ(d.zv_switcher_tbar_value, 10);
  EXPECT_EQ(fx.tbar_position, 9) << "the thumb lags the value by one step";
  const SwitcherEffects again = rules.Auto(*fx.tbar_position);
  EXPECT_EQ(again.frames, std::vector<SwitcherFrame>{MakeSwitcherFrame(kSwitcherAuto)});
  EXPECT_EQ(again.start_timer_id, 1);
  EXPECT_EQ(d.zv_switcher_tbar_value, 9);
  std::vector<SwitcherFrame> sent;
  EXPECT_EQ(RunAuto(rules, 1, &sent), 120);
  EXPECT_EQ(TbarFrames(sent).front(), std::make_pair(0, 16));
}

TEST(SwitcherStateTest, NavigationKeysApplyLikeARelease) {
  struct Case {
    int reverse, value, in_transition;
    int position;
    int value_after, reverse_after;
  };
  const Case cases[] = {
      {1, 0, 0, 129, 0, 1},    // key at the bottom, position unchanged
      {1, 0, 0, 119, 10, 1},   // Page Up from the bottom
      {1, 10, 1, 0, 0, 0},     // Home: the top turns the direction
      {0, 0, 0, 10, 10, 0},
      {0, 50, 1, 129, 129, 1}, // End: the bottom turns the direction
  };
  for (const Case& c : cases) {
    SwitcherPageData d = Fresh();
    d.zv_switcher_tbar_reverse = static_cast<uint8_t>(c.reverse);
    d.zv_switcher_tbar_value = static_cast<uint8_t>(c.value);
    d.zv_switcher_in_transition = static_cast<uint8_t>(c.in_transition);
    d.zv_switcher_pgm_source = 1;
    SwitcherRules rules(d);
    const SwitcherEffects fx = rules.TbarReleased(c.position);
    EXPECT_TRUE(fx.frames.empty());
    EXPECT_TRUE(fx.images.empty());
    EXPECT_EQ(d.zv_switcher_tbar_value, c.value_after) << c.position;
    EXPECT_EQ(d.zv_switcher_tbar_reverse, c.reverse_after) << c.position;
    EXPECT_EQ(d.zv_switcher_in_transition, c.in_transition) << "no transition ends";
    EXPECT_EQ(d.zv_switcher_pgm_source, 1);
  }
}

TEST(SwitcherStateTest, DragDuringAutoTakesOverFromTheThumb) {
  SwitcherPageData d = Fresh();
  SwitcherRules rules(d);
  rules.Auto(129);
  SwitcherEffects fx;
  for (int i = 0; i < 20; ++i) fx = rules.TimerStep(1);
  // The operator grabs the thumb where the timer left it and drags upward.
  const int thumb = *fx.tbar_position;
  const SwitcherEffects grab = rules.TbarMoving(thumb - 1);
  EXPECT_EQ(grab.stop_timer_id, 1);
  EXPECT_EQ(rules.RunningTimer(), 0);
  EXPECT_EQ(d.zv_switcher_tbar_value, 129 - (thumb - 1)) << "the drag's progress";
  EXPECT_TRUE(rules.TimerStep(1).frames.empty()) << "a queued tick is ignored";
  EXPECT_EQ(d.zv_switcher_in_transition, 1);
  std::vector<SwitcherFrame> sent;
  for (int a = thumb - 2; a >= 0; --a) Append(sent, rules.TbarMoving(a));
  const auto frames = TbarFrames(sent);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back(), std::make_pair(1, 128));
  for (const auto& f : frames) EXPECT_EQ(f.first, 1);
  EXPECT_EQ(d.zv_switcher_in_transition, 0);
  EXPECT_EQ(d.zv_switcher_tbar_reverse, 0);
}

TEST(SwitcherStateTest, OpeningShowsTheKeptRecord) {
  struct Case {
    const char* what;
    int reverse, in_transition, value;
    int thumb;
    int auto_image;
  };
  const Case cases[] = {
      {"idle, next travel upward", 1, 0, 0, 129, 245},
      {"idle, next travel downward", 0, 0, 0, 0, 245},
      {"half way up", 1, 1, 40, 89, 305},
      {"half way down", 0, 1, 40, 40, 305},
  };
  for (const Case& c : cases) {
    SwitcherPageData d = Fresh();
    d.zv_switcher_tbar_reverse = static_cast<uint8_t>(c.reverse);
    d.zv_switcher_in_transition = static_cast<uint8_t>(c.in_transition);
    d.zv_switcher_tbar_value = static_cast<uint8_t>(c.value);
    d.zv_switcher_pgm_source = 12;
    d.zv_switcher_pvm_source = 3;
    d.zv_switcher_next_key = 3;
    d.zv_switcher_key2_state = 1;
    d.zv_switcher_on_air = 1;
    d.zv_switcher_ftb_state = 1;
    d.zv_switcher_auto_rate = 2;
    d.zv_switcher_bkgd_state = 0;
    d.zv_switcher_trans_type = 3;
    d.zv_switcher_page = 2;
    SwitcherRules rules(d);
    const SwitcherEffects fx = rules.Open();
    EXPECT_EQ(fx.tbar_position, c.thumb) << c.what;
    EXPECT_EQ(fx.ImageOf(kIdSwAuto), c.auto_image) << c.what;
    EXPECT_EQ(fx.ImageOf(1120), SourceProgramImage(12));
    EXPECT_EQ(fx.ImageOf(1012), c.in_transition ? SourceProgramImage(3) : SourcePreviewImage(3));
    EXPECT_EQ(fx.ImageOf(1032), SourceNormalImage(1));
    EXPECT_EQ(fx.ImageOf(1145), 293);
    EXPECT_EQ(fx.ImageOf(1131), 299);
    EXPECT_EQ(fx.ImageOf(1134), 297);
    EXPECT_EQ(fx.ImageOf(1152), 288);
    EXPECT_EQ(fx.ImageOf(1036), 341);
    EXPECT_EQ(fx.ImageOf(1038), 346);
    // BKGD and MIX are selected at every opening, record and image alike.
    EXPECT_EQ(fx.ImageOf(1135), 247);
    EXPECT_EQ(d.zv_switcher_bkgd_state, 1);
    EXPECT_EQ(fx.ImageOf(1136), 296);
    EXPECT_EQ(fx.ImageOf(1132), 303);
    EXPECT_EQ(d.zv_switcher_trans_type, 1);
    EXPECT_EQ(fx.page, 0);
    EXPECT_EQ(d.zv_switcher_page, 0);
    EXPECT_TRUE(fx.frames.empty());
  }
}

TEST(SwitcherStateTest, PageRules) {
  SwitcherPageData d = Fresh();
  // Wipe patterns: the stored one sends nothing.
  EXPECT_TRUE(SelectWipePattern(d, 0).frames.empty());
  const SwitcherEffects seven = SelectWipePattern(d, 7);
  EXPECT_EQ(seven.images, (std::vector<ImageChange>{{1032, 361, true}, {1043, 353, true}}));
  EXPECT_TRUE(SelectWipePattern(d, 7).frames.empty());
  EXPECT_TRUE(SelectWipePattern(d, 9).frames.empty());
  const SwitcherEffects five = SelectWipePattern(d, 5);
  EXPECT_EQ(five.images, (std::vector<ImageChange>{{1043, 354, true}, {1037, 366, true}}));
  EXPECT_NE(kWipePatternButtons[2].normal, kWipePatternButtons[5].normal);

  struct ListCase {
    uint8_t command;
    int index;
    bool sent;
  };
  const ListCase lists[] = {
      {kSwitcherLumaSource, 10, true}, {kSwitcherLumaSource, 11, false},
      {kSwitcherChromaType, 1, true},  {kSwitcherChromaType, 2, false},
      {kSwitcherPipBorderColor, 3, true}, {kSwitcherPipBorderColor, -1, false},
      {kSwitcherPip, 0, false},
      {kSwitcherDipSource, 3, true},   {kSwitcherWipeSource, 2, true},
      {kSwitcherWipePattern, 4, true}, {kSwitcherWipePattern, 9, false},
      {kSwitcherPipBorderEnable, 2, false}, {kSwitcherPipBorderWidth, 7, false},
  };
  for (const ListCase& c : lists) {
    const auto frame = StoreListChoice(d, c.command, c.index);
    EXPECT_EQ(frame.has_value(), c.sent) << int(c.command) << " " << c.index;
    if (frame) {
      EXPECT_EQ(*frame, MakeSwitcherFrame(c.command, {static_cast<uint8_t>(c.index)}));
    }
  }
  EXPECT_EQ(d.zv_switcher_luma_source, 10);
  EXPECT_EQ(d.zv_switcher_chroma_type, 1);
  EXPECT_EQ(d.zv_switcher_dip_source, 3);
  EXPECT_EQ(d.zv_switcher_wipe_source, 2);
  EXPECT_EQ(d.zv_switcher_wipe_pattern, 4);

  WriteChromaPresets(d);
  EXPECT_EQ(ChromaPresetLevels(d, 1), (std::array<int, 3>{32, 220, 32}));
  EXPECT_EQ(ChromaPresetLevels(d, 0), (std::array<int, 3>{32, 32, 220}));
  EXPECT_EQ(StoreChromaLevels(d, {1, 2, 300}), MakeSwitcherFrame(kSwitcherChromaLevels, {1, 2, 255}));
  EXPECT_EQ(ChromaPresetLevels(d, 1), (std::array<int, 3>{1, 2, 255}));
  EXPECT_EQ(ChromaPresetLevels(d, 0), (std::array<int, 3>{32, 32, 220}));
  EXPECT_EQ(StoreLumaLevels(d, {16, 40, 16}), MakeSwitcherFrame(kSwitcherLumaLevels, {16, 40, 16}));

  struct Text {
    std::string got, expected;
  };
  const Text texts[] = {{SourceListText(0), "Cam 01"}, {SourceListText(9), "Cam 10"},
                        {SourceListText(10), "MP"},    {LevelText(7), "07"},
                        {LevelText(220), "220"}};
  for (const Text& t : texts) EXPECT_EQ(t.got, t.expected);
  EXPECT_EQ(PipPosition(0, 1600), 100);
  EXPECT_EQ(PipPosition(1, 1080), 120);
  EXPECT_EQ(PipPosition(2, 65535), 120);
}

}  // namespace
}  // namespace zv
