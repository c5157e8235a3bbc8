#include "switcher/switcher_luma_page.h"

#include "switcher/switcher_key_page_parts.h"

namespace zv {

CClass_switcher_effect::CClass_switcher_effect(QWidget* parent, SwitcherPageHost& host)
    : CChildDialog(parent, kResource), m_host(host) {
  SwitcherPageData& d = m_host.SwitcherRecord();
  auto* sources = qobject_cast<QComboBox*>(Item(kSourceList));
  FillSourceList(sources, d.zv_switcher_luma_source);
  if (sources)
    connect(sources, &QComboBox::activated, this,
            [this](int index) { m_host.Act("switcher.luma_source", {{"source", index}}); });
  for (size_t i = 0; i < 3; ++i) {
    m_trackbars[i] = qobject_cast<QSlider*>(Item(kTrackbars[i]));
    m_fields[i] = qobject_cast<QLineEdit*>(Item(kFields[i]));
    if (m_fields[i]) m_fields[i]->setReadOnly(true);
    if (!m_trackbars[i]) continue;
    // Every change of a level, by mouse or keyboard, is kept and shown; a
    // release sends, and so does a keyboard or wheel move once it settles.
    connect(m_trackbars[i], &QSlider::valueChanged, this, [this, i](int value) {
      m_host.SwitcherRecord().zv_switcher_luma_level[i] = static_cast<uint8_t>(value);
      ShowNumber(m_fields[i], LevelText(value));
    });
    SetUpTrackbar(m_trackbars[i], kLevelMaximum, 1, kLumaLevelStart);
    m_trackbars[i]->installEventFilter(this);
    new TrackbarSettle(m_trackbars[i], [this] {
      std::array<int, 3> levels{};
      for (size_t j = 0; j < 3; ++j) levels[j] = m_trackbars[j] ? m_trackbars[j]->value() : 0;
      SendLevels(m_host, "switcher.luma_levels", levels);
    });
    d.zv_switcher_luma_level[i] = kLumaLevelStart;
    ShowNumber(m_fields[i], std::to_string(kLumaLevelStart));
  }
}

bool CClass_switcher_effect::eventFilter(QObject* watched, QEvent* event) {
  if (const auto levels = LevelsOnRelease(watched, event, m_trackbars))
    SendLevels(m_host, "switcher.luma_levels", *levels);
  return CChildDialog::eventFilter(watched, event);
}

}  // namespace zv
