// Tally on the multiviewer: what TSL displays and our production switcher
// say is on air, shown on the windows of the multiviewers the program
// knows. A display's text becomes its window's label; its lamp becomes the
// label's background (red Red, green Green, amber Yellow), and when every
// lamp on a window is off again the window gets back the colour it had
// before tally took it. The switcher lights the windows that show its
// programme source red and its preview source green, programme off while
// faded to black.
//
// Everything reaches the device as actions of the multiviewer's session
// (multiview.label, multiview.labels, multiview.colour), and only what
// differs from the session's record goes: a repeat sends nothing. While a
// window's frames are on their way (the link paces each command), newer
// changes of that window wait and only the latest goes after them.
//
// Runs on the sessions' thread; the TSL listener posts to it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "session/device_session.h"
#include "tally/tally_map.h"
#include "tally/tsl_umd.h"

namespace zv {

class MultiviewSession;
class SwitcherSession;

// A window whose tally changed: "red", "green", "amber" or "off", and who
// changed it ("tsl 127.0.0.1", "switcher").
struct TallyEvent {
  std::string multiviewer;
  int window = 0;
  TslLamp lamp = TslLamp::kOff;
  std::string from;
};

// The colour index of the multiviewer a lit lamp shows (Red, Green,
// Yellow); nothing for off.
std::optional<uint8_t> TallyColourIndex(TslLamp lamp);

class TallyEngine {
 public:
  explicit TallyEngine(TallyMap map = TallyMap::Defaults());
  ~TallyEngine();
  TallyEngine(const TallyEngine&) = delete;
  TallyEngine& operator=(const TallyEngine&) = delete;

  const TallyMap& Map() const { return m_map; }

  // The devices as they become known and go. The first multiviewer added is
  // the one rows without an address use. A session must stay until it is
  // removed (or the engine goes).
  void AddMultiviewer(const std::string& address, MultiviewSession& session);
  void RemoveMultiviewer(const std::string& address);
  // The production switcher whose buses light the windows; null for none
  // (the windows it lit get back their colours).
  void SetSwitcher(SwitcherSession* session);
  // New source rows (switcher source to multiviewer input): the windows
  // follow at once, from the buses as they are.
  void SetSources(std::vector<TallySourceRow> sources);

  // What a TSL source said; `from` names it in events ("tsl 127.0.0.1").
  void TakeTsl(const TslDatagram& datagram, const std::string& from);

  int SubscribeEvents(std::function<void(const TallyEvent&)> f) { return m_events.Add(std::move(f)); }
  void UnsubscribeEvents(int token) { m_events.Remove(token); }

  // Every lit window, and every window whose label tally set.
  struct WindowTally {
    std::string multiviewer;
    int window = 0;
    TslLamp lamp = TslLamp::kOff;
    std::string label;  // empty when tally set none
    std::string from;
  };
  std::vector<WindowTally> Current() const;

  struct Counters {
    uint64_t display_messages = 0;  // 3.1 messages and 5.0 display messages that reached a row
    uint64_t unchanged = 0;         // of them, those that repeated what their row last said
    uint64_t actions = 0;           // actions invoked on a multiviewer's session
  };
  const Counters& Count() const { return m_count; }

 private:
  struct RowState {
    bool known = false;
    TslLamp lamp = TslLamp::kOff;
    std::string text;
    std::string from;
  };
  struct Window {
    std::optional<uint8_t> saved_colour;  // what the window had before tally took it
    std::optional<std::string> label;     // the label tally wants
    TslLamp switcher = TslLamp::kOff;
    TslLamp shown = TslLamp::kOff;  // the lamp the last event said
    std::string from;
    bool busy = false;   // frames on their way
    bool again = false;  // a change came meanwhile
  };
  struct Multiviewer {
    std::string address;
    MultiviewSession* session = nullptr;
    int token = 0;
    std::array<Window, 16> windows{};
    std::array<uint8_t, 16> sources{};  // window sources the switcher tally was worked out for
    bool read = false;                  // the record has been read from the device
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  };

  Multiviewer* Resolve(const std::string& address);
  void UpdateRow(size_t row, TslLamp lamp, const std::string& text, const std::string& from);
  // The lamp a window shows and, when lit, who lit it.
  TslLamp Lamp(const Multiviewer& mv, int window, std::string* from) const;
  void Reconcile(Multiviewer& mv, int window, const std::string& cause);
  void Push(Multiviewer& mv, int window);
  void SwitcherChanged();
  void WorkOutSwitcher(Multiviewer& mv);
  void MultiviewerChanged(Multiviewer& mv);

  TallyMap m_map;
  std::vector<RowState> m_rows;
  std::vector<std::unique_ptr<Multiviewer>> m_multiviewers;
  SwitcherSession* m_switcher = nullptr;
  int m_switcher_token = 0;
  // The buses as last worked out: programme, preview, black.
  int m_programme = 0, m_preview = 0;
  bool m_black = false;
  Observers<const TallyEvent&> m_events;
  Counters m_count;
};

}  // namespace zv
