// A production switcher in use: its record, the rules of its buses and
// T-bar, and the Auto transition, which runs here on the session's clock
// whichever surface started it (the panel's button or key, zvctl).
#pragma once

#include <memory>

#include "session/device_session.h"
#include "switcher/switcher_state.h"

namespace zv {

class SwitcherSession : public DeviceSession {
 public:
  SwitcherSession(const FamilyInfo& family, DeviceLink& link, SessionClock& clock);
  ~SwitcherSession() override;

  const SwitcherPageData& Data() const { return m_data; }
  // For a view's own edits that send nothing (a level shown while its
  // trackbar moves, the chroma presets a page writes when it opens).
  SwitcherPageData& MutableData() { return m_data; }
  bool Busy() const override { return m_clock_handle != 0; }
  // Whether the rate's timer 1, 2 or 3 runs the transition now.
  int RunningTimer() const { return m_rules.RunningTimer(); }

  // Where the T-bar's thumb stands (0 top .. 129 bottom) and whether a hand
  // holds it. A hand that holds it keeps it: Auto waits until it lets go.
  int ThumbPosition() const { return m_thumb; }
  bool TbarHeld() const { return m_tbar_held; }
  // How far a thumb at `position` stands from the end where the next travel
  // starts (0 at rest .. 129 at the far end), for the T-bar action.
  int TravelOfPosition(int position) const;

  // What a view opening shows: every control as the record has it (the
  // record's page, transition type and background selected as an opening
  // selects them). The other views are told of what changed.
  SwitcherEffects OpenView();

  // The controls' changes (faces, the thumb, the page) that the views show,
  // with the record changes that caused them.
  int SubscribeEffects(std::function<void(const SwitcherEffects&)> f) { return m_effects.Add(std::move(f)); }
  void UnsubscribeEffects(int token) { m_effects.Remove(token); }

  // ---- what the actions do (session/families.cpp lists them) -------------
  ActionOutcome Press(SwitcherEffects (SwitcherRules::*press)());
  ActionOutcome Program(int source);
  ActionOutcome Preview(int source);
  ActionOutcome Transition(int type);
  ActionOutcome Rate(int rate);
  ActionOutcome Auto();
  // The hand moves the thumb to `travel` (0..129) and holds it there, or
  // lets go there.
  ActionOutcome Tbar(int travel, bool held);
  // The settings page the views show (sends nothing).
  ActionOutcome Page(int page);
  ActionOutcome WipePattern(int pattern);
  ActionOutcome ListChoice(uint8_t command, int index);
  ActionOutcome LumaLevels(const std::array<int, 3>& levels);
  ActionOutcome ChromaLevels(const std::array<int, 3>& levels);
  ActionOutcome PipPlace(int trackbar, int position);

 private:
  // Runs the effects: the rate's timer on the clock, the frames to the
  // device (in order, through the link), then tells the views.
  void Apply(SwitcherEffects fx);
  void Send(const SwitcherFrame& frame);
  void Step();

  SwitcherPageData m_data{};
  SwitcherRules m_rules{m_data};
  int m_clock_handle = 0;
  int m_clock_timer_id = 0;
  int m_thumb = kTbarBottom;
  bool m_tbar_held = false;
  Observers<const SwitcherEffects&> m_effects;
  // Set while effects are applied: a tick that comes meanwhile (a notice
  // shown by a send runs the event loop) waits for the next one.
  bool m_applying = false;
};

ActionTable SwitcherActions();

}  // namespace zv
