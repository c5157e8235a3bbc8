// A four-channel switcher in use: its record and preview model, the rules
// of its show modes and picture-in-picture channels, and its two read-backs
// (the whole state, and the input signal status a view polls every five
// seconds). Every surface (the panel's buttons, lists and field, zvctl)
// changes the device through the actions of FourChannelActions().
#pragma once

#include <functional>
#include <optional>

#include "fourch/fourch_state.h"
#include "session/device_session.h"

namespace zv {

// What a view must show again after a change of the record.
struct FourChannelChange {
  // The show mode changed from `old_mode` to the record's.
  bool mode = false;
  int old_mode = 0;
  bool pip = false;     // the channels of the two lists
  bool loop = false;    // the loop's face and the lists' enabled state
  bool format = false;  // the output format list
  unsigned lamps = 0;  // bit n: lamp n changed
  // The state read-back ended (answered or not): every control again.
  bool read_done = false;
};

class FourChannelSession : public DeviceSession {
 public:
  FourChannelSession(const FamilyInfo& family, DeviceLink& link, SessionClock& clock);

  const TriskPageData& Data() const { return m_data; }
  // For tests and a view's own resets that send nothing.
  TriskPageData& MutableData() { return m_data; }
  // The four slots of the preview picture of the record's show mode (the
  // last mode that has a picture).
  const TriskPreviewSlots& Preview() const { return m_preview; }
  TriskPreviewSlots& MutablePreview() { return m_preview; }
  // What the last read-backs brought (nothing when the device did not
  // answer), field by field as received: zvctl's state prints it.
  const std::optional<TriskStateReply>& LastState() const { return m_last_state; }
  const std::optional<TriskSignalReply>& LastSignals() const { return m_last_signals; }

  // A read-back or a signal poll waits for its answer.
  bool Busy() const override { return m_reading > 0 || m_polling; }
  bool Reading() const { return m_reading > 0; }

  // ---- read-backs (no table actions: they change nothing on the device) --
  // Asks the device for its whole state. Until it answers the show mode is
  // unknown (no button is marked and any mode selection sends); a mode it
  // names is selected without being sent back, the channels it names stay.
  // Views hear `read_done` when the answer came or the wait ended.
  void ReadState();
  // Asks the device for its input signal status; the lamps whose status
  // changed are told. A poll still waiting is not asked again (a silent
  // device holds one for its whole window).
  void PollSignals();
  // The lamps go dark until the next poll says otherwise (a view opening).
  void ClearSignals();
  bool ReadsBack() const override { return true; }

  int SubscribeChanges(std::function<void(const FourChannelChange&)> f) { return m_changes.Add(std::move(f)); }
  void UnsubscribeChanges(int token) { m_changes.Remove(token); }

  // ---- what the actions do (FourChannelActions() lists them) ---------------
  ActionOutcome Mode(int mode);
  // The picture-in-picture channels of the first and the second list. The
  // two must differ; a list the record's show mode disables keeps its
  // channel; choosing what the lists hold already sends nothing.
  ActionOutcome Pip(int first, int second);
  // The loop on or off; `seconds` (only with on) is sent first as the loop
  // time.
  ActionOutcome Loop(bool on, std::optional<int> seconds);
  ActionOutcome LoopTime(int seconds);
  ActionOutcome Format(uint8_t code);

 protected:
  void ReadToFollow(std::function<void(bool answered)> done) override;

 private:
  // Selects a mode; one the device named is not sent back.
  FourChannelChange SelectMode(int mode, bool from_device);
  void Tell(const FourChannelChange& change);
  // Sends a frame built from a copy of the record (it may change again
  // before the job runs).
  void Send(const char* what, bool (*send)(LinkState&, const TriskPageData&));

  TriskPageData m_data{};
  TriskPreviewSlots m_preview{};
  int m_reading = 0;  // read-backs waiting for their answer
  bool m_polling = false;
  std::optional<TriskStateReply> m_last_state;
  std::optional<TriskSignalReply> m_last_signals;
  Observers<const FourChannelChange&> m_changes;
};

ActionTable FourChannelActions();

}  // namespace zv
