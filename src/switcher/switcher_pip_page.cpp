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
  ConnectList(kSourceList, kSwitcherPipSource);
  ConnectList(kBorderEnableList, kSwitcherPipBorderEnable);
  ConnectList(kBorderColorList, kSwitcherPipBorderColor);
  ConnectList(kBorderWidthList, kSwitcherPipBorderWidth);

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
    new TrackbarSettle(m_trackbars[i], [this, i, trackbar] {
      m_host.SendSwitcherFrame(
          StorePipPixels(m_host.SwitcherRecord(), trackbar, m_trackbars[i]->value()));
    });
  }
  SetUpTrackbar(qobject_cast<QSlider*>(Item(kHeightTrackbar)), 1080, 9, 0);
}

void CClass_switcher_wd_pip::ConnectList(int id, uint8_t command) {
  if (auto* combo = qobject_cast<QComboBox*>(Item(id)))
    connect(combo, &QComboBox::activated, this, [this, command](int index) {
      if (const auto frame = StoreListChoice(m_host.SwitcherRecord(), command, index))
        m_host.SendSwitcherFrame(*frame);
    });
}

bool CClass_switcher_wd_pip::eventFilter(QObject* watched, QEvent* event) {
  if (m_sources && (watched == m_sources || watched == m_sources->lineEdit()))
    DropTypedEntry(m_sources, event);
  if (IsLeftRelease(event)) {
    // Only the trackbar under the mouse is sent; the others are not repeated.
    for (size_t i = 0; i < 3; ++i)
      if (watched == m_trackbars[i])
        m_host.SendSwitcherFrame(
            StorePipPixels(m_host.SwitcherRecord(), static_cast<int>(i), m_trackbars[i]->value()));
  }
  return CChildDialog::eventFilter(watched, event);
}

}  // namespace zv
