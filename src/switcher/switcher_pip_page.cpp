#include "switcher/switcher_pip_page.h"

#include "switcher/switcher_key_page_parts.h"

namespace zv {

CClass_switcher_wd_pip::CClass_switcher_wd_pip(QWidget* parent, SwitcherPageHost& host)
    : CChildDialog(parent, kResource), m_host(host) {
  const SwitcherPageData& d = m_host.SwitcherRecord();
  auto* sources = qobject_cast<QComboBox*>(Item(kSourceList));
  if (sources) {
    // Text typed into the field chooses nothing and is never added.
    sources->setEditable(true);
    sources->setInsertPolicy(QComboBox::NoInsert);
    // The completer would choose the entry a typed text completes to.
    sources->setCompleter(nullptr);
    m_sources = sources;
    // Keys and the focus reach the combo box first, which hands them to its
    // field directly (no filter of the field sees them): both are watched.
    sources->installEventFilter(this);
    sources->lineEdit()->installEventFilter(this);
  }
  FillSourceList(sources, d.zv_switcher_pip_source);
  FillList(qobject_cast<QComboBox*>(Item(kBorderEnableList)), kBorderEnableTexts,
           d.zv_switcher_pip_border_enable);
  FillList(qobject_cast<QComboBox*>(Item(kBorderColorList)), kBorderColorTexts,
           d.zv_switcher_pip_border_color);
  FillList(qobject_cast<QComboBox*>(Item(kBorderWidthList)), kBorderWidthTexts,
           d.zv_switcher_pip_border_width);
  ConnectList(kSourceList, "switcher.pip_source", "source", {});
  ConnectList(kBorderEnableList, "switcher.pip_border", "border", {"off", "on"});
  ConnectList(kBorderColorList, "switcher.pip_border_colour", "colour", {"white", "red", "green", "blue"});
  ConnectList(kBorderWidthList, "switcher.pip_border_width", "width", {});

  const std::array<uint16_t, 3> kept{d.zv_switcher_pip_x, d.zv_switcher_pip_y,
                                     d.zv_switcher_pip_width};
  for (size_t i = 0; i < 3; ++i) {
    m_trackbars[i] = qobject_cast<QSlider*>(Item(kTrackbars[i]));
    m_fields[i] = qobject_cast<QLineEdit*>(Item(kFields[i]));
    if (m_fields[i]) m_fields[i]->setReadOnly(true);
    if (!m_trackbars[i]) continue;
    const int trackbar = static_cast<int>(i);
    connect(m_trackbars[i], &QSlider::valueChanged, this, [this, i, trackbar](int value) {
      ShowNumber(m_fields[i], std::to_string(PipPixels(trackbar, value)));
    });
    const int position = PipPosition(trackbar, kept[i]);
    SetUpTrackbar(m_trackbars[i], kPipTrackbarMaximum, 1, position);
    ShowNumber(m_fields[i], std::to_string(PipPixels(trackbar, position)));
    m_trackbars[i]->installEventFilter(this);
    new TrackbarSettle(m_trackbars[i], [this, i] { SendPlace(i); });
  }
  SetUpTrackbar(qobject_cast<QSlider*>(Item(kHeightTrackbar)), 1080, 9, 0);
}

void CClass_switcher_wd_pip::ConnectList(int id, const char* action, const char* param,
                                         std::vector<std::string> words) {
  if (auto* combo = qobject_cast<QComboBox*>(Item(id)))
    connect(combo, &QComboBox::activated, this, [this, action, param, words](int index) {
      // A list of words names its entries; the others are numbered.
      if (words.empty())
        m_host.Act(action, {{param, index}});
      else if (index >= 0 && index < static_cast<int>(words.size()))
        m_host.Act(action, {{param, words[static_cast<size_t>(index)]}});
    });
}

void CClass_switcher_wd_pip::SendPlace(size_t i) {
  static constexpr const char* kActions[] = {"switcher.pip_x", "switcher.pip_y", "switcher.pip_width"};
  if (m_trackbars[i]) m_host.Act(kActions[i], {{"position", m_trackbars[i]->value()}});
}

bool CClass_switcher_wd_pip::eventFilter(QObject* watched, QEvent* event) {
  if (m_sources && (watched == m_sources || watched == m_sources->lineEdit()))
    DropTypedEntry(m_sources, event);
  if (IsLeftRelease(event)) {
    // Only the trackbar under the mouse is sent; the others are not repeated.
    for (size_t i = 0; i < 3; ++i)
      if (watched == m_trackbars[i]) SendPlace(i);
  }
  return CChildDialog::eventFilter(watched, event);
}

}  // namespace zv
