#include "switcher/switcher_function_page.h"

#include <QComboBox>

#include "controls/button_st.h"

namespace zv {

CClass_switcher_function::CClass_switcher_function(QWidget* parent, SwitcherPageHost& host)
    : CChildDialog(parent, kResource), m_host(host) {
  // The stored pattern is the one marked, so pressing it is rightly ignored.
  const int stored = m_host.SwitcherRecord().zv_switcher_wipe_pattern;
  for (int k = 0; k < static_cast<int>(kWipePatternButtons.size()); ++k) {
    const ImagePair& pattern = kWipePatternButtons[static_cast<size_t>(k)];
    auto* button = qobject_cast<CButtonST*>(Item(pattern.control_id));
    if (!button) continue;
    button->SetFaceImageId(k == stored ? pattern.selected : pattern.normal);
    // The session marks the grid (the panel shows its faces here).
    connect(button, &QAbstractButton::clicked, this,
            [this, k] { m_host.Act("switcher.wipe_pattern", {{"pattern", k}}); });
  }
  struct HiddenList {
    int id;
    const char* action;
    const char* param;
  };
  static constexpr HiddenList kHiddenLists[] = {{1164, "switcher.dip_source", "source"},
                                                {1039, "switcher.wipe_source", "source"},
                                                {1165, "switcher.wipe_pattern", "pattern"}};
  for (const HiddenList& list : kHiddenLists)
    if (auto* combo = qobject_cast<QComboBox*>(Item(list.id)))
      connect(combo, &QComboBox::activated, this, [this, list](int index) {
        m_host.Act(list.action, {{list.param, index}});
      });
}

}  // namespace zv
