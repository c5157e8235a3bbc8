// A multiviewer in use: its record (what the device last said, with the
// panel's edits and the preview model), the read-back, the setups applied
// and checked, and the actions every surface invokes (the panel's pages,
// zvctl, saved setups). Each action's frame is built by the one step
// builder of multiview_setup.h and leaves through the session's link.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "multiview/multiview_setup.h"
#include "multiview/multiview_state.h"
#include "session/device_session.h"

namespace zv {

class MultiviewSession : public DeviceSession {
 public:
  MultiviewSession(const FamilyInfo& family, DeviceLink& link, SessionClock& clock);

  const MultiviewerState& Record() const { return m_record; }
  // For a view's own edits that send nothing (the window a page works on,
  // the colour page's targets).
  MultiviewerState& MutableRecord() { return m_record; }

  // Whether a frame can go now: always in network mode, in serial mode
  // only while the port is open. Nothing is queued otherwise.
  bool CanSend();

  // Reads the device back (by UDP in network mode or when `udp_only`, else
  // on the serial line), puts what arrived into the record, recomputes the
  // preview and tells the views; `done` runs afterwards with whether the
  // device answered. The read flag is set either way.
  void Read(bool udp_only, std::function<void(bool answered)> done = {});

  // Applies a setup and checks that it took: reads the device (nothing is
  // sent to one that does not answer), sends only the settings `keys`
  // names, reads back, puts the read-back into the record and names what
  // the device did not take. The panel's "Apply setup..." and zvctl's
  // `multiview apply` both run it. Nothing is sent while frames cannot go.
  void ApplySetup(const MultiviewSetup& setup, const MultiviewSetupKeys& keys,
                  std::function<void(const MultiviewApplyResult& result)> done);

  bool ReadsBack() const override { return true; }

  // ---- what the actions do (MultiviewActions lists them) -------------------
  ActionOutcome Layout(uint8_t window_count);
  ActionOutcome Source(int window, uint8_t input);
  ActionOutcome Label(int window, const std::u16string& label);
  ActionOutcome Labels(bool on);
  ActionOutcome Colour(MultiviewColourTarget target, int window, uint8_t colour);
  ActionOutcome Format(int list_index);
  ActionOutcome Overlay(bool on);
  // `by_udp`: by UDP whatever the connection mode, as the audio page sends.
  ActionOutcome AudioMeter(bool on, bool by_udp);
  ActionOutcome AudioSource(int window, bool by_udp);
  ActionOutcome Border(bool on);
  ActionOutcome Lock(bool on);
  // The device's own defaults; the local ones stand in until the read-back
  // that follows brings what the device really has.
  ActionOutcome RestoreDefaults();

 protected:
  void ReadToFollow(std::function<void(bool answered)> done) override;

 private:
  // Queues one step on the link by the connection mode; false (nothing
  // queued) when frames cannot go now. `by_udp`: by UDP whatever the mode,
  // always queued.
  bool Send(const std::string& what, MultiviewStep step, bool by_udp = false);
  void RecomputeAll();

  MultiviewerState m_record;
  // The device's last answer to a reading made to follow it: an answer
  // that says the same changes nothing.
  std::vector<uint8_t> m_followed;
};

ActionTable MultiviewActions();

}  // namespace zv
