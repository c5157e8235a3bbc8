#include "multiview/multiview_panel.h"

#include "controls/panel_place.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QPainter>
#include <cctype>

#include "controls/button_st.h"
#include "multiview/multiview_audio_page.h"
#include "multiview/multiview_color_page.h"
#include "multiview/multiview_control_page.h"
#include "multiview/multiview_layout.h"
#include "multiview/multiview_set_page.h"
#include "multiview/multiview_status_page.h"
#include "multiview/multiview_umd_page.h"
#include "platform/small_file.h"

namespace zv {
namespace {

constexpr QColor kPreviewBackground{152, 152, 152};
constexpr QColor kWindowEdge{89, 187, 255};
constexpr QColor kWindowInside{55, 55, 55};
constexpr QColor kWindowNumber{60, 180, 255};
constexpr QColor kAudioMeter{89, 187, 255};

bool HasArea(const PreviewBox& b) { return b.width > 0 && b.height > 0; }
QRect ToRect(const PreviewBox& b) { return {b.x, b.y, b.width, b.height}; }
QColor ToColour(const Rgb& c) { return {c.r, c.g, c.b}; }

CButtonST* PageButton(const CChildDialog* host, int id) {
  return qobject_cast<CButtonST*>(host->Item(id));
}

const MultiviewPageRow* PageRow(int n) {
  for (const MultiviewPageRow& row : kMultiviewPages)
    if (row.page == n) return &row;
  return nullptr;
}

}  // namespace

QImage PaintMultiviewPreview(const MultiviewerState& s) {
  QImage image(kMultiviewPreviewWidth, kMultiviewPreviewHeight, QImage::Format_RGB32);
  image.fill(kPreviewBackground);
  QPainter p(&image);
  const QFontMetrics metrics(p.font());
  for (int n = 0; n < kMultiviewWindowCount; ++n) {
    const MultiviewWindow& w = s.m_16_view_windows[n];
    if (w.width > 0 && w.height > 0) {
      p.fillRect(w.x, w.y, w.width, w.height, kWindowEdge);
      p.fillRect(w.x + 2, w.y + 2, w.width - 4, w.height - 4, kWindowInside);
      // The number's top-left corner at the point, on an opaque white box.
      const QString number = QString::number(w.number);
      const QPoint corner(w.x + w.width / 2 - 5, w.y + w.height / 2 - 5);
      p.fillRect(QRect(corner, QSize(metrics.horizontalAdvance(number), metrics.height())),
                 Qt::white);
      p.setPen(kWindowNumber);
      p.drawText(corner + QPoint(0, metrics.ascent()), number);
    }
    if (s.m_16_view_show_audio && HasArea(s.m_16_view_audio_rects[n]))
      p.fillRect(ToRect(s.m_16_view_audio_rects[n]), kAudioMeter);
    if (s.m_16_view_show_umd && HasArea(s.m_16_view_umd_rects[n]))
      p.fillRect(ToRect(s.m_16_view_umd_rects[n]), ToColour(s.m_16_view_umd_rgb[n]));
    if (s.m_16_view_show_resolution && HasArea(s.m_16_view_resolution_rects[n]))
      p.fillRect(ToRect(s.m_16_view_resolution_rects[n]), ToColour(s.m_16_view_resolution_rgb[n]));
  }
  return image;
}

CClass_16view_dlg::CClass_16view_dlg(QWidget* parent, MultiviewSession& session)
    : CChildDialog(parent, kResource), m_session(session) {
  // The session recomputes the preview model; the panel repaints it.
  m_changed_token = m_session.Subscribe([this] { ShowRecord(); });
  // While the panel shows, the device is read every period, so what
  // someone changed at it shows here too.
  m_follow_handle = m_session.StartFollowing();
  for (const MultiviewPageRow& row : kMultiviewPages) {
    CButtonST* button = PageButton(this, row.button_id);
    if (!button) continue;
    button->SetFaceImageId(row.normal_image);
    button->SetSeeThrough(true);
    button->SetBorderShown(false);
    connect(button, &QAbstractButton::clicked, this, [this, n = row.page] { ShowPage(n); });
  }
  if (QWidget* area = Item(kIdPageArea)) m_page_rect = area->geometry();
  ShowPage(2);
  AddSetupMenu();
}

CClass_16view_dlg::~CClass_16view_dlg() {
  m_session.StopFollowing(m_follow_handle);
  m_session.Unsubscribe(m_changed_token);
}

ActionOutcome CClass_16view_dlg::Act(const std::string& action, const ActionArgs& args) {
  return m_session.InvokeFromView(action, args);
}

void CClass_16view_dlg::AddSetupMenu() {
  // The file dialogs open without a loop of their own, so the window and
  // the link go on while one is up.
  const auto ask = [this](QFileDialog::AcceptMode mode, void (CClass_16view_dlg::*then)(const QString&)) {
    auto* dialog = new QFileDialog(this, mode == QFileDialog::AcceptSave ? tr("Save setup") : tr("Apply setup"),
                                   QString(), tr("Multiviewer setups (*.json)"));
    dialog->setAcceptMode(mode);
    dialog->setDefaultSuffix(QStringLiteral("json"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, then);
    dialog->open();
  };
  auto* save = new QAction(tr("Save setup..."), this);
  connect(save, &QAction::triggered, this, [ask] { ask(QFileDialog::AcceptSave, &CClass_16view_dlg::SaveSetup); });
  auto* apply = new QAction(tr("Apply setup..."), this);
  connect(apply, &QAction::triggered, this, [ask] { ask(QFileDialog::AcceptOpen, &CClass_16view_dlg::ApplySetup); });
  addAction(save);
  addAction(apply);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CClass_16view_dlg::ShowRecord() {
  update();
  // The page is not built again: building reads the device once more, and
  // its answer would take the status strip from the apply's verdict.
  if (m_p_cur_page) m_p_cur_page->update();
}

void CClass_16view_dlg::SaveSetup(const QString& path) {
  // What the device holds, not what the panel last knew.
  QPointer<CClass_16view_dlg> self(this);
  m_session.Read(false, [self, path](bool answered) {
    if (!self || !answered) return;  // the status strip says so already
    MultiviewSession& session = self->m_session;
    QFile file(path);
    const QByteArray text = QByteArray::fromStdString(EncodeSetupJson(SetupFromState(session.Record())));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
      session.Link().ShowStatus("Cannot write " + path.toStdString(), true);
      return;
    }
    session.Link().ShowStatus("Saved the setup of " + session.Link().DeviceName() + " to " + path.toStdString());
  });
}

void CClass_16view_dlg::ApplySetup(const QString& path) {
  // The file is read and checked whole before anything is sent; only the
  // settings it names go to the device, so whatever was changed there since
  // the panel last read it stays as it is.
  MultiviewSetup setup;
  MultiviewSetupKeys keys;
  std::string text;
  std::string error;
  if (!ReadSmallFile(path.toStdString(), &text, &error) || !DecodeSetupJson(text, &setup, &error, &keys)) {
    m_session.Link().ShowStatus(path.toStdString() + ": " + error, true);
    return;
  }
  const std::string name = m_session.Link().DeviceName();
  DeviceLink* link = &m_session.Link();
  m_session.ApplySetup(setup, keys, [link, name](const MultiviewApplyResult& result) {
    const bool whole = result.answered_before && result.content && result.missed.empty();
    std::string line = ApplyResultText(result, name);
    line[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
    link->ShowStatus(line, !whole);
  });
}

void CClass_16view_dlg::ShowPage(int n) {
  const MultiviewPageRow* row = PageRow(n);
  if (!row || n == m_cur_page) return;
  if (const MultiviewPageRow* old = PageRow(m_cur_page))
    if (CButtonST* b = PageButton(this, old->button_id)) b->SetFaceImageId(old->normal_image);
  if (m_p_cur_page) {
    m_p_cur_page->hide();
    delete m_p_cur_page.data();
    m_p_cur_page = nullptr;
  }
  CChildDialog* page = nullptr;
  switch (n) {
    case 1: page = new CClass_16view_status(this); break;
    case 2: page = new CClass_16view_control(this); break;
    case 3: page = new CClass_16view_umd(this); break;
    case 4: page = new CClass_16view_audio(this); break;
    case 5: page = new CClass_16view_color(this); break;
    case 6: page = new CClass_16view_set(this); break;
  }
  if (CButtonST* b = PageButton(this, row->button_id)) b->SetFaceImageId(row->selected_image);
  m_p_cur_page = page;
  page->setGeometry(m_page_rect);
  page->show();
  m_cur_page = static_cast<uint8_t>(n);
}

void CClass_16view_dlg::paintEvent(QPaintEvent* event) {
  CChildDialog::paintEvent(event);
  QPainter p(this);
  const QWidget* anchor = Item(kIdPreviewAnchor);
  p.drawImage(anchor ? anchor->pos() : QPoint(5, 40), PaintMultiviewPreview(m_session.Record()));
}

CChildDialog* MakeMultiviewerPanel(const PanelPlace& place) {
  return new CClass_16view_dlg(place.parent, static_cast<MultiviewSession&>(place.session));
}

}  // namespace zv
