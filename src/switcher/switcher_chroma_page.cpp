#include "switcher/switcher_chroma_page.h"

#include "switcher/switcher_key_page_parts.h"

namespace zv {

CClass_switcher_chorma::CClass_switcher_chorma(QWidget* parent, SwitcherPageHost& host)
    : CChildDialog(parent, kResource), m_host(host) {
  SwitcherPageData& d = m_host.SwitcherRecord();
  auto* sources = qobject_cast<QComboBox*>(Item(kSourceList));
  FillSourceList(sources, d.zv_switcher_chroma_source);
  if (sources)
    connect(sources, &QComboBox::activated, this,
            [this](int index) { m_host.Act("switcher.chroma_source", {{"source", index}}); });
  // The list shows the kept type, so that a level release stores into the
  // preset the operator sees.
  if (d.zv_switcher_chroma_type > 1) d.zv_switcher_chroma_type = 0;
  std::array<const char*, 2> type_texts{};
  for (size_t t = 0; t < 2; ++t) type_texts[t] = kChromaPresets[t].text;
  auto* types = qobject_cast<QComboBox*>(Item(kTypeList));
  FillList(types, type_texts, d.zv_switcher_chroma_type);
  if (types) connect(types, &QComboBox::activated, this, &CClass_switcher_chorma::OnTypeChosen);

  for (size_t i = 0; i < 3; ++i) {
    m_trackbars[i] = qobject_cast<QSlider*>(Item(kTrackbars[i]));
    m_fields[i] = qobject_cast<QLineEdit*>(Item(kFields[i]));
    if (m_fields[i]) m_fields[i]->setReadOnly(true);
    if (!m_trackbars[i]) continue;
    // Moving a level shows it; a release stores and sends, and so does a
    // keyboard or wheel move once it settles.
    connect(m_trackbars[i], &QSlider::valueChanged, this,
            [this, i](int value) { ShowNumber(m_fields[i], LevelText(value)); });
    SetUpTrackbar(m_trackbars[i], kLevelMaximum, 1, 0);
    m_trackbars[i]->installEventFilter(this);
    new TrackbarSettle(m_trackbars[i], [this] {
      std::array<int, 3> levels{};
      for (size_t j = 0; j < 3; ++j) levels[j] = m_trackbars[j] ? m_trackbars[j]->value() : 0;
      SendLevels(m_host, "switcher.chroma_levels", levels);
    });
  }
  WriteChromaPresets(d);
  ShowLevels(ChromaPresetLevels(d, d.zv_switcher_chroma_type));
}

void CClass_switcher_chorma::ShowLevels(const std::array<int, 3>& levels) {
  for (size_t i = 0; i < 3; ++i) {
    if (m_trackbars[i]) m_trackbars[i]->setValue(levels[i]);
    ShowNumber(m_fields[i], LevelText(levels[i]));
  }
}

void CClass_switcher_chorma::OnTypeChosen(int t) {
  SwitcherPageData& d = m_host.SwitcherRecord();
  if (t < 0 || t > 1) return;
  ShowLevels(ChromaPresetLevels(d, t));
  m_host.Act("switcher.chroma_type", {{"type", std::string(t == 0 ? "blue" : "green")}});
}

bool CClass_switcher_chorma::eventFilter(QObject* watched, QEvent* event) {
  if (const auto levels = LevelsOnRelease(watched, event, m_trackbars))
    SendLevels(m_host, "switcher.chroma_levels", *levels);
  return CChildDialog::eventFilter(watched, event);
}

}  // namespace zv
