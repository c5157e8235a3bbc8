#include "multiview/multiview_color_page.h"

#include <QCheckBox>
#include <QPainter>

#include "multiview/multiview_panel.h"
#include "session/action_table.h"

namespace zv {

CClass_16view_color::CClass_16view_color(CClass_16view_dlg* host)
    : CMultiviewPage(host, kResource, kIdFrame) {
  MultiviewerState* glo = Glo();
  if (glo) {
    MultiviewPageData& d = glo->m_all_16_view_page_data;
    const int count = glo->m_cur_window_count;
    QStringList targets{QStringLiteral("All Channel")};
    targets << ChannelItems(count);
    // A target beyond the present layout falls back to all windows.
    for (auto [id, target] : {std::pair{kIdLabelTarget, &d.zv_16_view_color_channel},
                              std::pair{kIdOverlayTarget, &d.zv_16_view_color_window}}) {
      if (*target > count) *target = 0;
      FillList(id, targets, *target);
    }
    const QStringList colours = NameItems(kMultiviewColourNames);
    for (int id : {kIdLabelText, kIdLabelBack, kIdOverlayText, kIdOverlayBack})
      FillList(id, colours, -1);
    ShowLabelColours();
    ShowOverlayColours();
  }
  OnChoice(kIdLabelTarget, [this](int s) {
    if (MultiviewerState* glo = Glo()) glo->m_all_16_view_page_data.zv_16_view_color_channel = static_cast<uint8_t>(s);
    ShowLabelColours();
  });
  OnChoice(kIdOverlayTarget, [this](int s) {
    if (MultiviewerState* glo = Glo()) glo->m_all_16_view_page_data.zv_16_view_color_window = static_cast<uint8_t>(s);
    ShowOverlayColours();
  });
  for (int id : {kIdLabelText, kIdLabelBack, kIdOverlayText, kIdOverlayBack})
    OnChoice(id, [this, id](int k) { OnColourChosen(id, k); });
  for (auto [box_id, list_id] : {std::pair{kIdAllChannelBox, kIdLabelTarget},
                                 std::pair{kIdAllWindowBox, kIdOverlayTarget}}) {
    auto* box = qobject_cast<QCheckBox*>(Item(box_id));
    if (!box) continue;
    connect(box, &QAbstractButton::clicked, this, [this, id = list_id](bool ticked) {
      if (QWidget* list = Item(id)) list->setEnabled(!ticked);
    });
  }
}

void CClass_16view_color::ShowLabelColours() {
  MultiviewerState* glo = Glo();
  if (!glo) return;
  const MultiviewPageData& d = glo->m_all_16_view_page_data;
  const int c = d.zv_16_view_color_channel;
  Combo(kIdLabelText)->setCurrentIndex(MultiviewerState::TargetColour(d.zv_16_view_umd_text_color, c));
  Combo(kIdLabelBack)->setCurrentIndex(MultiviewerState::TargetColour(d.zv_16_view_umd_back_color, c));
}

void CClass_16view_color::ShowOverlayColours() {
  MultiviewerState* glo = Glo();
  if (!glo) return;
  const MultiviewPageData& d = glo->m_all_16_view_page_data;
  const int c = d.zv_16_view_color_window;
  Combo(kIdOverlayText)
      ->setCurrentIndex(MultiviewerState::TargetColour(d.zv_16_view_resolution_text_color, c));
  Combo(kIdOverlayBack)
      ->setCurrentIndex(MultiviewerState::TargetColour(d.zv_16_view_resolution_back_color, c));
}

void CClass_16view_color::OnColourChosen(int list_id, int k) {
  MultiviewerState* glo = Glo();
  if (!glo || k < 0 || k >= kMultiviewColourCount) return;
  const MultiviewPageData& d = glo->m_all_16_view_page_data;
  const bool label = list_id == kIdLabelText || list_id == kIdLabelBack;
  const int target = label ? d.zv_16_view_color_channel : d.zv_16_view_color_window;
  const char* part = list_id == kIdLabelText   ? "label-text"
                     : list_id == kIdLabelBack ? "label-back"
                     : list_id == kIdOverlayText ? "overlay-text"
                                                 : "overlay-back";
  Act("multiview.colour", {{"win", target}, {"part", std::string(part)},
                           {"colour", std::string(kMultiviewColourNames[static_cast<size_t>(k)])}});
}

void CClass_16view_color::paintEvent(QPaintEvent* event) {
  CMultiviewPage::paintEvent(event);
  QPainter p(this);
  const QFontMetrics metrics(font());
  // Texts drawn with their top-left corner at the point.
  p.drawText(QPoint(30, 40 + metrics.ascent()), QStringLiteral("The UMD"));
  p.drawLine(20, 60, 470, 60);
  p.drawText(QPoint(30, 220 + metrics.ascent()), QStringLiteral("The Resolution"));
  p.drawLine(20, 240, 470, 240);
}

}  // namespace zv
