#include "tally/tally_engine.h"

#include <algorithm>
#include <utility>

#include "multiview/multiview_session.h"
#include "switcher/switcher_session.h"

namespace zv {

namespace {

constexpr size_t kLabelUnits = MultiviewReply::kLabelTextSize / 2;

// Which of two lamps a window shows: red over green over amber over off.
int Rank(TslLamp lamp) {
  switch (lamp) {
    case TslLamp::kRed: return 3;
    case TslLamp::kGreen: return 2;
    case TslLamp::kAmber: return 1;
    case TslLamp::kOff: return 0;
  }
  return 0;
}

}  // namespace

std::optional<uint8_t> TallyColourIndex(TslLamp lamp) {
  // Indexes of kMultiviewColourNames.
  switch (lamp) {
    case TslLamp::kRed: return 2;     // Red
    case TslLamp::kGreen: return 4;   // Green
    case TslLamp::kAmber: return 6;   // Yellow
    case TslLamp::kOff: return std::nullopt;
  }
  return std::nullopt;
}

TallyEngine::TallyEngine(TallyMap map) : m_map(std::move(map)), m_rows(m_map.displays.size()) {}

TallyEngine::~TallyEngine() {
  // Going away changes nothing on the devices: the observers go, no lamp is
  // worked out again and nothing is sent.
  if (m_switcher) m_switcher->Unsubscribe(m_switcher_token);
  while (!m_multiviewers.empty()) RemoveMultiviewer(m_multiviewers.back()->address);
}

void TallyEngine::AddMultiviewer(const std::string& address, MultiviewSession& session) {
  if (Resolve(address) || address.empty()) return;
  auto mv = std::make_unique<Multiviewer>();
  mv->address = address;
  mv->session = &session;
  Multiviewer* raw = mv.get();
  m_multiviewers.push_back(std::move(mv));
  raw->token = session.Subscribe([this, raw] { MultiviewerChanged(*raw); });
  // What the displays said before the device was known shows now.
  for (size_t r = 0; r < m_rows.size(); ++r) {
    if (!m_rows[r].known || Resolve(m_map.displays[r].multiviewer) != raw) continue;
    if (!m_rows[r].text.empty()) raw->windows[m_map.displays[r].window - 1].label = m_rows[r].text;
  }
  WorkOutSwitcher(*raw);
  for (int w = 1; w <= kMultiviewWindowCount; ++w) Reconcile(*raw, w, "switcher");
}

void TallyEngine::RemoveMultiviewer(const std::string& address) {
  const auto it = std::find_if(m_multiviewers.begin(), m_multiviewers.end(),
                               [&](const auto& mv) { return mv->address == address; });
  if (it == m_multiviewers.end()) return;
  *(*it)->alive = false;
  (*it)->session->Unsubscribe((*it)->token);
  m_multiviewers.erase(it);
}

void TallyEngine::SetSwitcher(SwitcherSession* session) {
  if (session == m_switcher) return;
  if (m_switcher) m_switcher->Unsubscribe(m_switcher_token);
  m_switcher = session;
  m_switcher_token = session ? session->Subscribe([this] { SwitcherChanged(); }) : 0;
  SwitcherChanged();
}

void TallyEngine::SetSources(std::vector<TallySourceRow> sources) {
  m_map.sources = std::move(sources);
  for (const auto& mv : m_multiviewers) WorkOutSwitcher(*mv);
}

TallyEngine::Multiviewer* TallyEngine::Resolve(const std::string& address) {
  if (m_multiviewers.empty()) return nullptr;
  if (address.empty()) return m_multiviewers.front().get();
  for (const auto& mv : m_multiviewers)
    if (mv->address == address) return mv.get();
  return nullptr;
}

void TallyEngine::TakeTsl(const TslDatagram& d, const std::string& from) {
  if (d.version == TslVersion::k31) {
    const std::string text = TslLabelText(d.v31.text, kLabelUnits);
    for (const size_t r : m_map.Rows31(d.v31.address)) {
      const TallyDisplayRow& row = m_map.displays[r];
      TslLamp lamp = TslLamp::kOff;
      if (d.v31.tally[static_cast<size_t>(row.red_tally - 1)]) lamp = TslLamp::kRed;
      else if (row.green_tally && d.v31.tally[static_cast<size_t>(row.green_tally - 1)]) lamp = TslLamp::kGreen;
      UpdateRow(r, lamp, text, from);
    }
    return;
  }
  for (const Tsl50Display& display : d.v50.displays) {
    const std::string text = TslLabelText(display.text, kLabelUnits);
    for (const size_t r : m_map.Rows50(d.v50.screen, display.index)) {
      TslLamp lamp = display.left;
      if (m_map.displays[r].lamp == TslLampChoice::kRight) lamp = display.right;
      if (m_map.displays[r].lamp == TslLampChoice::kText) lamp = display.text_tally;
      UpdateRow(r, lamp, text, from);
    }
  }
}

void TallyEngine::UpdateRow(size_t r, TslLamp lamp, const std::string& text, const std::string& from) {
  ++m_count.display_messages;
  RowState& row = m_rows[r];
  if (row.known && row.lamp == lamp && row.text == text) {
    ++m_count.unchanged;
    return;
  }
  const bool text_changed = !row.known || row.text != text;
  row = {true, lamp, text, from};
  const TallyDisplayRow& map_row = m_map.displays[r];
  Multiviewer* mv = Resolve(map_row.multiviewer);
  if (!mv) return;  // shown when the multiviewer becomes known
  Window& w = mv->windows[static_cast<size_t>(map_row.window - 1)];
  // A display without text leaves the label alone.
  if (text_changed && !text.empty()) w.label = text;
  Reconcile(*mv, map_row.window, from);
}

TslLamp TallyEngine::Lamp(const Multiviewer& mv, int window, std::string* from) const {
  TslLamp lamp = mv.windows[static_cast<size_t>(window - 1)].switcher;
  if (lamp != TslLamp::kOff) *from = "switcher";
  for (size_t r = 0; r < m_rows.size(); ++r) {
    if (!m_rows[r].known || m_map.displays[r].window != window) continue;
    const std::string& address = m_map.displays[r].multiviewer;
    const bool here = address.empty() ? m_multiviewers.front().get() == &mv : address == mv.address;
    if (here && Rank(m_rows[r].lamp) > Rank(lamp)) {
      lamp = m_rows[r].lamp;
      *from = m_rows[r].from;
    }
  }
  return lamp;
}

void TallyEngine::Reconcile(Multiviewer& mv, int window, const std::string& cause) {
  Window& w = mv.windows[static_cast<size_t>(window - 1)];
  // A lit window names the source whose lamp it shows; one that goes dark,
  // the source that put it out.
  std::string from = cause;
  const TslLamp lamp = Lamp(mv, window, &from);
  if (lamp != w.shown) {
    w.shown = lamp;
    w.from = from;
    m_events.Notify(TallyEvent{mv.address, window, lamp, from});
  }
  Push(mv, window);
}

void TallyEngine::Push(Multiviewer& mv, int window) {
  Window& w = mv.windows[static_cast<size_t>(window - 1)];
  if (w.busy) {
    w.again = true;
    return;
  }
  MultiviewSession& session = *mv.session;
  const MultiviewerState& record = session.Record();
  // Until the device has been read, the record's colours are not the
  // device's: the colour to give back later would be wrong. The change
  // waits for the read-back (or its time-out, which marks it read too).
  if (!record.m_16_view_state_read) {
    w.again = true;
    return;
  }
  bool sent = false;
  const auto invoke = [&](const std::string& name, const ActionArgs& args) {
    ++m_count.actions;
    sent = session.Invoke(name, args).ok() || sent;
  };
  if (w.label && Utf8ToUtf16(*w.label) != record.m_16_view_umd_name[window - 1]) {
    if (!record.m_16_view_show_umd) invoke("multiview.labels", {{"state", std::string("on")}});
    invoke("multiview.label", {{"win", window}, {"text", *w.label}});
  }
  const uint8_t has = record.m_all_16_view_page_data.zv_16_view_umd_back_color[window - 1];
  std::optional<uint8_t> want = TallyColourIndex(w.shown);
  if (want) {
    if (!w.saved_colour) w.saved_colour = has;
  } else if (w.saved_colour) {
    want = w.saved_colour;
    w.saved_colour.reset();
  }
  if (want && *want != has)
    invoke("multiview.colour", {{"win", window},
                                {"part", std::string("label-back")},
                                {"colour", std::string(kMultiviewColourNames[*want % kMultiviewColourCount])}});
  if (!sent) return;
  // The link runs requests in order: this one's answer comes once the
  // frames above have left and the device's pacing after them is over.
  w.busy = true;
  session.Link().Request("", [this, &mv, window, alive = mv.alive](LinkState&) -> std::function<void()> {
    return [this, &mv, window, alive] {
      if (!*alive) return;
      Window& done = mv.windows[static_cast<size_t>(window - 1)];
      done.busy = false;
      if (std::exchange(done.again, false)) Push(mv, window);
    };
  });
}

void TallyEngine::SwitcherChanged() {
  int programme = 0, preview = 0;
  bool black = false;
  if (m_switcher) {
    const SwitcherPageData& d = m_switcher->Data();
    programme = d.zv_switcher_pgm_source;
    preview = d.zv_switcher_pvm_source;
    black = d.zv_switcher_ftb_state != 0;
  }
  if (programme == m_programme && preview == m_preview && black == m_black) return;
  m_programme = programme;
  m_preview = preview;
  m_black = black;
  for (const auto& mv : m_multiviewers) WorkOutSwitcher(*mv);
}

void TallyEngine::WorkOutSwitcher(Multiviewer& mv) {
  const MultiviewerState& record = mv.session->Record();
  std::copy(std::begin(record.m_16_view_window_source), std::end(record.m_16_view_window_source),
            mv.sources.begin());
  const std::optional<int> red = m_switcher && !m_black ? m_map.InputOf(m_programme) : std::nullopt;
  const std::optional<int> green = m_switcher ? m_map.InputOf(m_preview) : std::nullopt;
  for (int window = 1; window <= kMultiviewWindowCount; ++window) {
    const int input = mv.sources[static_cast<size_t>(window - 1)];
    TslLamp lamp = TslLamp::kOff;
    if (red && *red == input) lamp = TslLamp::kRed;
    else if (green && *green == input) lamp = TslLamp::kGreen;
    Window& w = mv.windows[static_cast<size_t>(window - 1)];
    if (lamp == w.switcher) continue;
    w.switcher = lamp;
    Reconcile(mv, window, "switcher");
  }
}

void TallyEngine::MultiviewerChanged(Multiviewer& mv) {
  // The windows' sources decide which show the switcher's sources; every
  // other change (our own labels and colours among them) is not tally's.
  const MultiviewerState& record = mv.session->Record();
  if (!mv.read && record.m_16_view_state_read) {
    mv.read = true;
    for (int window = 1; window <= kMultiviewWindowCount; ++window) {
      Window& w = mv.windows[static_cast<size_t>(window - 1)];
      if (!w.busy && std::exchange(w.again, false)) Push(mv, window);
    }
  }
  if (std::equal(mv.sources.begin(), mv.sources.end(), std::begin(record.m_16_view_window_source))) return;
  WorkOutSwitcher(mv);
}

std::vector<TallyEngine::WindowTally> TallyEngine::Current() const {
  std::vector<WindowTally> out;
  for (const auto& mv : m_multiviewers)
    for (int window = 1; window <= kMultiviewWindowCount; ++window) {
      const Window& w = mv->windows[static_cast<size_t>(window - 1)];
      if (w.shown != TslLamp::kOff || w.label)
        out.push_back({mv->address, window, w.shown, w.label.value_or(""), w.from});
    }
  return out;
}

}  // namespace zv
