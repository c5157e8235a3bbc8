#include "app/panel_window.h"

#include <QLabel>
#include <QVBoxLayout>

#include "controls/child_dialog.h"
#include "controls/panel_place.h"
#include "res/dialog_templates.h"
#include "res/skin.h"
#include "session/device_session.h"
#include "session/family_info.h"

namespace zv {
namespace {

constexpr int kStripHeight = 22;

CChildDialog* MakePanel(const FamilyInfo& family, const PanelPlace& place) {
  switch (family.kind) {
#define ZV_PANEL_CASE(Name) \
  case FamilyKind::k##Name: \
    return Make##Name##Panel(place);
    ZV_FAMILIES(ZV_PANEL_CASE)
#undef ZV_PANEL_CASE
  }
  return nullptr;
}

}  // namespace

PanelWindow::PanelWindow(QWidget* owner, const FamilyInfo& family, const DeviceEntry& device,
                         const std::string& line, DeviceSession& session, DeviceLink& link)
    : QWidget(owner, Qt::Window), m_family(family), m_device(device), m_line(line), m_session(session) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("panel_window"));
  setWindowTitle(QString::fromStdString(line));
  setWindowIcon(SkinIcon(128));
  ApplyControlColours(this, ControlColours::kDarkFieldsGreyStatics);
  FillWithDarkBackground(this);
  const PanelPlace place{this, link, session, m_preview_rect};
  m_panel = MakePanel(family, place);
  QSize size(640, 480);
  if (const DialogTemplate* t = FindDialogTemplate(family.panel_resource)) size = QSize(t->width, t->height);
  if (m_panel) {
    m_panel->move(0, 0);
    m_panel->resize(size);
    m_panel->show();
  }
  m_status = new QLabel(this);
  m_status->setObjectName(QStringLiteral("status_strip"));
  m_status->setGeometry(4, size.height(), size.width() - 8, kStripHeight);
  setFixedSize(size.width(), size.height() + kStripHeight);
  // The strip follows the device's answers too (a reading that went
  // unanswered, and the answer after it).
  m_changed_token = m_session.Subscribe([this] { SetOnline(m_session.Answering()); });
}

PanelWindow::~PanelWindow() {
  // The panel goes first: it unsubscribes from the session it views.
  delete m_panel;
  m_session.Unsubscribe(m_changed_token);
}

void PanelWindow::ShowStatus(const std::string& text, bool error) {
  m_status->setText(QString::fromStdString(text));
  ShowErrorText(m_status, error);
}

QString PanelWindow::StatusText() const { return m_status->text(); }

void PanelWindow::SetOnline(bool online) {
  if (online == m_online) return;
  m_online = online;
  const QString line = QString::fromStdString(m_line);
  setWindowTitle(online ? line : line + tr(" (offline)"));
  if (online)
    ShowStatus(m_line + " answers again", false);
  else
    ShowStatus(m_line + " does not answer", true);
}

}  // namespace zv
