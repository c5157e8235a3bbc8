#include "fourch/fourch_panel.h"

#include "controls/change_marks.h"

#include "controls/panel_place.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QTimerEvent>

#include "controls/button_st.h"
#include "platform/platform.h"
#include "res/template_builder.h"
#include "res/skin.h"

namespace zv {
namespace {

constexpr QColor kPreviewGround{152, 152, 152};
constexpr QColor kPreviewFrame{89, 187, 255};
constexpr QColor kPreviewInset{55, 55, 55};
constexpr QColor kPreviewLabel{192, 192, 192};
constexpr int kPreviewInsetWidth = 2;
constexpr int kLoopTimeMaxLength = 3;
constexpr qreal kSmallestCaptionPoints = 6;

// Makes a static's caption fit its place by taking a smaller font where the
// platform's font is wider than the one the layout was made for ("PIP Child
// Ch" in 70 pixels).
void FitCaption(QLabel* label) {
  QFont font = label->font();
  while (QFontMetrics(font).horizontalAdvance(label->text()) > label->contentsRect().width() &&
         font.pointSizeF() > kSmallestCaptionPoints) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  label->setFont(font);
}

}  // namespace

QImage DrawTriskPreview(const TriskPreviewSlots& windows) {
  QImage image(kTriskPreviewWidth, kTriskPreviewHeight, QImage::Format_RGB32);
  image.fill(kPreviewGround);
  QPainter p(&image);
  // The numbers are written as a plain text-out: default font, opaque white
  // text background.
  p.setBackgroundMode(Qt::OpaqueMode);
  p.setBackground(Qt::white);
  p.setPen(kPreviewLabel);
  const int ascent = p.fontMetrics().ascent();
  for (const TriskPreviewWindow& w : windows) {
    if (w.width <= 0 || w.height <= 0) continue;
    p.fillRect(w.x, w.y, w.width, w.height, kPreviewFrame);
    p.fillRect(w.x + kPreviewInsetWidth, w.y + kPreviewInsetWidth, w.width - 2 * kPreviewInsetWidth,
               w.height - 2 * kPreviewInsetWidth, kPreviewInset);
    p.drawText(QPoint(w.x + w.width / 2 - 5, w.y + w.height / 2 - 5 + ascent),
               QString::number(w.label));
  }
  return image;
}

CClass_trisk_main_dlg::CClass_trisk_main_dlg(QWidget* parent, FourChannelSession& session,
                                             QRect& preview_rect)
    : CChildDialog(parent, kResource), m_session(session), m_preview_rect(preview_rect) {
  m_changes_token = m_session.SubscribeChanges([this](const FourChannelChange& change) {
    // What the device changed by itself is marked where it shows.
    const ChangeMarks marks(this);
    Show(change);
    if (m_session.ChangedByDevice()) marks.MarkChanged();
  });
  m_follow_handle = m_session.StartFollowing();
  OnInitDialog();
}

CClass_trisk_main_dlg::~CClass_trisk_main_dlg() {
  m_session.StopFollowing(m_follow_handle);
  m_session.UnsubscribeChanges(m_changes_token);
}

ActionOutcome CClass_trisk_main_dlg::Act(const std::string& action, const ActionArgs& args) {
  return m_session.InvokeFromView(action, args);
}

CButtonST* CClass_trisk_main_dlg::ModeButton(int mode) const {
  if (mode < 0 || mode >= kTriskShowModeCount) return nullptr;
  return qobject_cast<CButtonST*>(Item(kIdTriskFirstModeButton + mode));
}

QComboBox* CClass_trisk_main_dlg::Combo(int id) const { return qobject_cast<QComboBox*>(Item(id)); }

QComboBox* CClass_trisk_main_dlg::PipList(int list) const {
  return Combo(list == 0 ? kIdTriskFirstPipList : kIdTriskSecondPipList);
}

void CClass_trisk_main_dlg::OnInitDialog() {
  QComboBox* format_list = Combo(kIdTriskOutputFormatList);
  auto* loop_button = qobject_cast<CButtonST*>(Item(kIdTriskLoopButton));
  auto* loop_time = qobject_cast<QLineEdit*>(Item(kIdTriskLoopTime));
  if (!format_list || !PipList(0) || !PipList(1) || !loop_button || !loop_time) {
    Trace("the four-channel panel has no controls");
    return;
  }
  const TriskPageData& data = m_session.Data();

  // The preview area, and the mode buttons before the read-back, which may
  // mark one of them.
  m_preview_rect =
      QRect(Item(kIdTriskPreviewOrigin)->pos(), QSize(kTriskPreviewWidth, kTriskPreviewHeight));
  for (int mode = 0; mode < kTriskShowModeCount; ++mode) {
    CButtonST* button = ModeButton(mode);
    if (!button) continue;
    button->SetFaceImageIds(TriskShowModeNormalImage(mode), TriskShowModeSelectedImage(mode));
    button->SetSeeThrough(true);
    button->SetBorderShown(false);
    button->SetFlatLook(true);
    connect(button, &QAbstractButton::clicked, this, [this, mode] { OnShowModeSelected(mode); });
  }

  loop_button->SetFaceImageId(data.zv_trisk_loop_state ? kTriskLoopOnImage : kTriskLoopOffImage);
  loop_button->SetSeeThrough(true);
  loop_button->SetBorderShown(false);
  loop_button->SetFlatLook(true);
  connect(loop_button, &QAbstractButton::clicked, this, &CClass_trisk_main_dlg::OnLoopToggle);

  loop_time->setMaxLength(kLoopTimeMaxLength);
  loop_time->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), loop_time));
  loop_time->setText(QStringLiteral("3"));
  connect(loop_time, &QLineEdit::returnPressed, this, &CClass_trisk_main_dlg::OnLoopTimeEntered);

  for (const TriskOutputFormat& f : kTriskOutputFormats) format_list->addItem(QString::fromLatin1(f.text));
  format_list->setCurrentIndex(TriskOutputFormatEntry(data.zv_trisk_output_format));
  connect(format_list, &QComboBox::activated, this, &CClass_trisk_main_dlg::OnOutputFormat);

  for (int list = 0; list < 2; ++list) {
    QComboBox* combo = PipList(list);
    for (int channel = 1; channel <= kTriskChannelCount; ++channel) combo->addItem(QString::number(channel));
    combo->setCurrentIndex(TriskPipListEntry(data.zv_trisk_pip_child_ch[list]));
    connect(combo, &QComboBox::activated, this, [this, list](int entry) { OnPipChannel(list, entry); });
  }

  for (QLabel* label : findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
    if (!label->text().isEmpty()) FitCaption(label);

  m_session.ClearSignals();
  for (int n = 0; n < kTriskChannelCount; ++n) SetIndicator(n, 0);
  SetPipListStates();

  // The read-back goes first, the first signal poll after it; the panel
  // waits for neither, but its controls do until the device has answered.
  ReadState();
  PollSignalStatus();
  m_timer_ids[kSignalTimerId] = startTimer(kSignalPollMs);
}

void CClass_trisk_main_dlg::ReadState() {
  m_reading_state = true;
  setEnabled(false);
  m_session.ReadState();
}

void CClass_trisk_main_dlg::Show(const FourChannelChange& change) {
  const TriskPageData& data = m_session.Data();
  if (change.mode) {
    if (CButtonST* old_button = ModeButton(change.old_mode)) old_button->SetSelected(false);
    if (CButtonST* button = ModeButton(data.zv_trisk_show_mode_type)) button->SetSelected(true);
    update(m_preview_rect);
  }
  if (change.loop)
    if (auto* loop_button = qobject_cast<CButtonST*>(Item(kIdTriskLoopButton)))
      loop_button->SetFaceImageId(data.zv_trisk_loop_state ? kTriskLoopOnImage : kTriskLoopOffImage);
  if (change.format)
    if (QComboBox* format_list = Combo(kIdTriskOutputFormatList); MayShowIn(format_list))
      format_list->setCurrentIndex(TriskOutputFormatEntry(data.zv_trisk_output_format));
  if (change.pip)
    for (int list = 0; list < 2; ++list)
      if (QComboBox* combo = PipList(list); MayShowIn(combo))
        combo->setCurrentIndex(TriskPipListEntry(data.zv_trisk_pip_child_ch[list]));
  if (change.mode || change.loop || change.read_done) SetPipListStates();
  for (int n = 0; n < kTriskChannelCount; ++n)
    if (change.lamps & (1u << n)) SetIndicator(n, data.zv_trisk_signal_status[n]);
  if (change.read_done && !m_session.Reading()) {
    m_reading_state = false;
    setEnabled(true);
  }
}

bool CClass_trisk_main_dlg::MayShowIn(QComboBox* list) {
  if (!list) return false;
  if (!BeingEdited(list)) return true;
  // The operator has the list open: the device's value shows (and is
  // marked when it is not what they chose) once the list closes.
  if (m_held.insert(list).second)
    WhenLeft(list, this, [this, list] {
      m_held.erase(list);
      FourChannelChange change;
      change.pip = change.format = true;
      const ChangeMarks marks(this);
      Show(change);
      marks.MarkChanged();
    });
  return false;
}

void CClass_trisk_main_dlg::OnShowModeSelected(int mode) { Act("fourch.mode", {{"mode", mode}}); }

void CClass_trisk_main_dlg::SetPipListStates() {
  const TriskPageData& data = m_session.Data();
  const TriskPipListStates states =
      TriskPipListEnable(data.zv_trisk_show_mode_type, data.zv_trisk_loop_state != 0);
  const ListEnable per_list[] = {states.first, states.second};
  for (int list = 0; list < 2; ++list)
    if (per_list[list] != ListEnable::kUnchanged)
      PipList(list)->setEnabled(per_list[list] == ListEnable::kEnabled);
}

void CClass_trisk_main_dlg::OnPipChannel(int list, int entry) {
  const TriskPageData& data = m_session.Data();
  // The other list keeps its channel; before the device named one, the
  // channel it shows.
  int channels[2] = {data.zv_trisk_pip_child_ch[0], data.zv_trisk_pip_child_ch[1]};
  for (int& channel : channels)
    if (channel == 0) channel = 1;
  channels[list] = entry + 1;
  if (!Act("fourch.pip", {{"first", channels[0]}, {"second", channels[1]}}).ok()) {
    // A channel the other list (or this one) already holds: the list goes
    // back and nothing is sent.
    PipList(list)->setCurrentIndex(TriskPipListEntry(data.zv_trisk_pip_child_ch[list]));
  }
}

void CClass_trisk_main_dlg::OnOutputFormat(int entry) {
  if (entry < 0 || entry >= static_cast<int>(kTriskOutputFormats.size())) return;
  Act("fourch.format", {{"format", std::string(kTriskOutputFormats[static_cast<size_t>(entry)].text)}});
}

void CClass_trisk_main_dlg::OnLoopToggle() {
  Act("fourch.loop", {{"state", std::string(m_session.Data().zv_trisk_loop_state == 0 ? "on" : "off")}});
}

void CClass_trisk_main_dlg::OnLoopTimeEntered() {
  // An empty field reads as 0; the field itself is left as typed.
  const long value = qobject_cast<QLineEdit*>(Item(kIdTriskLoopTime))->text().toLong();
  Act("fourch.loop_time", {{"seconds", int{TriskLoopTime(value)}}});
}

void CClass_trisk_main_dlg::PollSignalStatus() { m_session.PollSignals(); }

void CClass_trisk_main_dlg::SetIndicator(int channel, uint8_t status) {
  auto* lamp = qobject_cast<QLabel*>(Item(kIdTriskFirstIndicator + channel));
  if (!lamp) return;
  const int image = status == 1 ? kTriskSignalImage : kTriskNoSignalImage;
  const QPixmap face = SkinBitmap(image);
  QPixmap scaled = face.scaled(QSize(kTriskIndicatorSize, kTriskIndicatorSize) * face.devicePixelRatio());
  scaled.setDevicePixelRatio(face.devicePixelRatio());
  lamp->setPixmap(scaled);
  DescribeLamp(lamp, image);
  // An icon static takes the size of its icon: the lamp's place in the layout
  // is narrower and lower than the icon, which would be cut.
  lamp->resize(kTriskIndicatorSize, kTriskIndicatorSize);
  m_indicator_image[static_cast<size_t>(channel)] = image;
  ++m_indicator_updates;
}

int CClass_trisk_main_dlg::IndicatorImage(int channel) const {
  if (channel < 0 || channel >= kTriskChannelCount) return 0;
  return m_indicator_image[static_cast<size_t>(channel)];
}

int CClass_trisk_main_dlg::QtTimerOf(int timer_id) const {
  const auto it = m_timer_ids.find(timer_id);
  return it == m_timer_ids.end() ? 0 : it->second;
}

void CClass_trisk_main_dlg::timerEvent(QTimerEvent* event) {
  if (QtTimerOf(kSignalTimerId) != 0 && event->timerId() == QtTimerOf(kSignalTimerId)) {
    PollSignalStatus();
    return;
  }
  CChildDialog::timerEvent(event);
}

void CClass_trisk_main_dlg::paintEvent(QPaintEvent* event) {
  CChildDialog::paintEvent(event);
  QPainter p(this);
  p.drawImage(m_preview_rect.topLeft(), DrawTriskPreview(m_session.Preview()));
}

CChildDialog* MakeFourChannelPanel(const PanelPlace& place) {
  return new CClass_trisk_main_dlg(place.parent, static_cast<FourChannelSession&>(place.session), place.preview_rect);
}

}  // namespace zv
