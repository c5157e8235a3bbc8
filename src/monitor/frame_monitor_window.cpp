#include "monitor/frame_monitor_window.h"

#include <QBrush>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>

#include "monitor/frame_export.h"
#include "platform/platform.h"

namespace zv {
namespace {

constexpr int kFetchIntervalMs = 200;

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

// ---- the table ------------------------------------------------------------------

FrameTableModel::FrameTableModel(QObject* parent) : QAbstractTableModel(parent) {}

int FrameTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FrameTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant FrameTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kTitles[kColumns] = {"Time (ms)", "Direction", "Peer", "Device",
                                                "Command",   "Length",    "Bytes", "Checksum"};
  return section >= 0 && section < kColumns ? QString::fromLatin1(kTitles[section]) : QVariant();
}

QVariant FrameTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size())) return {};
  const Row& row = m_rows[static_cast<size_t>(index.row())];
  const bool bad = Checksum(row.decoded) == ChecksumVerdict::kBad;
  if (role == Qt::ForegroundRole && index.column() == kChecksum && bad)
    return QBrush(QColor(178, 0, 0));
  if (role == Qt::BackgroundRole && index.column() == kChecksum && bad)
    return QBrush(QColor(255, 220, 220));
  if (role == Qt::TextAlignmentRole && (index.column() == kTime || index.column() == kLength))
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  switch (index.column()) {
    case kTime:
      if (role == Qt::ToolTipRole) return QString::fromStdString(WallClockText(row.frame.time_us));
      return QString::number(static_cast<double>(row.frame.time_us - m_start_us) / 1000.0, 'f', 1);
    case kDirection: return QString::fromStdString(DirectionText(row.frame.direction));
    case kPeer: return QString::fromStdString(PeerText(row.frame));
    case kDevice: return row.device;
    case kCommand: return QString::fromStdString(CommandText(row.decoded));
    case kLength: return static_cast<qulonglong>(row.frame.bytes.size());
    case kBytes: return QString::fromStdString(HexText(row.frame.bytes));
    case kChecksum: return QString::fromStdString(ChecksumText(row.decoded));
    default: return {};
  }
}

void FrameTableModel::Append(std::vector<TappedFrame> frames) {
  if (frames.empty()) return;
  // Only the newest kMaxRows can stay.
  if (frames.size() > kMaxRows)
    frames.erase(frames.begin(), frames.end() - static_cast<ptrdiff_t>(kMaxRows));
  const size_t total = m_rows.size() + frames.size();
  if (total > kMaxRows) {
    const int drop = static_cast<int>(std::min(total - kMaxRows, m_rows.size()));
    beginRemoveRows({}, 0, drop - 1);
    m_rows.erase(m_rows.begin(), m_rows.begin() + drop);
    endRemoveRows();
  }
  const int first = static_cast<int>(m_rows.size());
  beginInsertRows({}, first, first + static_cast<int>(frames.size()) - 1);
  for (TappedFrame& frame : frames) {
    Row row;
    row.decoded = DecodeTapped(frame);
    row.device = QString::fromStdString(DeviceText(row.decoded));
    row.frame = std::move(frame);
    m_rows.push_back(std::move(row));
  }
  endInsertRows();
}

void FrameTableModel::Clear() {
  beginResetModel();
  m_rows.clear();
  m_rows.shrink_to_fit();
  endResetModel();
}

std::vector<TappedFrame> FrameTableModel::Frames() const {
  std::vector<TappedFrame> frames;
  frames.reserve(m_rows.size());
  for (const Row& row : m_rows) frames.push_back(row.frame);
  return frames;
}

void FrameFilterModel::SetDevice(const QString& device) {
  m_device = device;
  invalidateFilter();
}

void FrameFilterModel::SetDirection(int direction) {
  m_direction = direction;
  invalidateFilter();
}

bool FrameFilterModel::filterAcceptsRow(int source_row, const QModelIndex&) const {
  const auto* model = static_cast<const FrameTableModel*>(sourceModel());
  if (m_direction >= 0 && static_cast<int>(model->Frame(source_row).direction) != m_direction)
    return false;
  if (!m_device.isEmpty() &&
      model->index(source_row, FrameTableModel::kDevice).data().toString() != m_device)
    return false;
  return true;
}

// ---- the window ------------------------------------------------------------------

FrameMonitorWindow::FrameMonitorWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("frame_monitor"));
  setWindowTitle(tr("Frame monitor"));
  resize(1100, 560);
  // Closed, the window gives back what it holds: its rows, its table and
  // its picture on the screen. The frames stay with the recorder, so a
  // monitor opened again shows them again.
  setAttribute(Qt::WA_DeleteOnClose);

  m_model = new FrameTableModel(this);
  // Time 0 is when the first monitor of the run opened, for every monitor
  // after it too, so a frame keeps its time when the window is opened again.
  static const int64_t first_opened_us = NowUs();
  m_model->SetStartUs(first_opened_us);
  m_filter = new FrameFilterModel(this);
  m_filter->setSourceModel(m_model);

  m_device_list = new QComboBox(this);
  m_device_list->setObjectName(QStringLiteral("device_filter"));
  m_device_list->addItem(tr("All devices"));
  m_device_list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  m_direction_list = new QComboBox(this);
  m_direction_list->setObjectName(QStringLiteral("direction_filter"));
  m_direction_list->addItem(tr("Sent and received"), -1);
  m_direction_list->addItem(tr("Sent"), static_cast<int>(FrameDirection::kSent));
  m_direction_list->addItem(tr("Received"), static_cast<int>(FrameDirection::kReceived));
  m_pause = new QPushButton(tr("Pause"), this);
  m_pause->setCheckable(true);
  m_clear = new QPushButton(tr("Clear"), this);
  m_save_json = new QPushButton(tr("Save JSON lines..."), this);
  m_save_pcap = new QPushButton(tr("Save pcap..."), this);
  m_count = new QLabel(this);
  m_count->setObjectName(QStringLiteral("frame_count"));
  m_count->setToolTip(tr("Frames shown (through the filters) / frames held"));

  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(tr("Device"), this));
  bar->addWidget(m_device_list);
  bar->addWidget(new QLabel(tr("Direction"), this));
  bar->addWidget(m_direction_list);
  bar->addWidget(m_pause);
  bar->addWidget(m_clear);
  bar->addStretch(1);
  bar->addWidget(m_count);
  bar->addWidget(m_save_json);
  bar->addWidget(m_save_pcap);

  m_view = new QTableView(this);
  m_view->setModel(m_filter);
  m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_view->setWordWrap(false);
  m_view->verticalHeader()->setVisible(false);
  m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  m_view->horizontalHeader()->setStretchLastSection(false);
  m_view->horizontalHeader()->setSectionResizeMode(FrameTableModel::kBytes, QHeaderView::Stretch);
  const int widths[FrameTableModel::kColumns] = {80, 70, 160, 240, 200, 55, 0, 120};
  for (int c = 0; c < FrameTableModel::kColumns; ++c)
    if (widths[c]) m_view->setColumnWidth(c, widths[c]);
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  m_view->setFont(fixed);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(m_view, 1);

  connect(m_device_list, &QComboBox::currentIndexChanged, this, [this](int index) {
    m_filter->SetDevice(index <= 0 ? QString() : m_device_list->itemText(index));
  });
  connect(m_direction_list, &QComboBox::currentIndexChanged, this, [this](int index) {
    m_filter->SetDirection(m_direction_list->itemData(index).toInt());
  });
  connect(m_pause, &QPushButton::toggled, this, [this](bool paused) {
    m_pause->setText(paused ? tr("Resume") : tr("Pause"));
    if (!paused) Fetch();
  });
  connect(m_clear, &QPushButton::clicked, this, [this] {
    FrameRecorder::Instance().Clear();
    m_held_back.clear();
    m_model->Clear();
    UpdateCount();
  });
  // The count follows the filters as well as the frames.
  connect(m_filter, &QAbstractItemModel::rowsInserted, this, &FrameMonitorWindow::UpdateCount);
  connect(m_filter, &QAbstractItemModel::rowsRemoved, this, &FrameMonitorWindow::UpdateCount);
  connect(m_filter, &QAbstractItemModel::modelReset, this, &FrameMonitorWindow::UpdateCount);
  connect(m_filter, &QAbstractItemModel::layoutChanged, this, &FrameMonitorWindow::UpdateCount);
  connect(m_save_json, &QPushButton::clicked, this, [this] {
    AskFile(tr("Save frames as JSON lines"), tr("JSON lines (*.jsonl)"), QStringLiteral("jsonl"),
            &FrameMonitorWindow::SaveJsonLines);
  });
  connect(m_save_pcap, &QPushButton::clicked, this, [this] {
    AskFile(tr("Save network frames as pcap"), tr("Packet captures (*.pcap)"),
            QStringLiteral("pcap"), &FrameMonitorWindow::SavePcap);
  });

  m_timer = new QTimer(this);
  m_timer->setInterval(kFetchIntervalMs);
  connect(m_timer, &QTimer::timeout, this, &FrameMonitorWindow::Fetch);
  UpdateCount();
}

FrameMonitorWindow::~FrameMonitorWindow() { StopListening(); }

void FrameMonitorWindow::showEvent(QShowEvent* event) {
  // The first time, below the main window when the screen has room there,
  // so the monitor does not hide the controls it watches.
  if (!m_placed && parentWidget()) {
    m_placed = true;
    const QRect main = parentWidget()->window()->frameGeometry();
    const QScreen* screen = parentWidget()->screen();
    const QRect free = screen ? screen->availableGeometry() : QRect();
    if (free.bottom() - main.bottom() >= 240)
      setGeometry(main.left(), main.bottom() + 1 + (frameGeometry().height() - height()),
                  std::min(width(), free.right() - main.left()),
                  std::min(height(), free.bottom() - main.bottom() - 40));
  }
  StartListening();
  QWidget::showEvent(event);
}

void FrameMonitorWindow::hideEvent(QHideEvent* event) {
  // Closed, the monitor costs nothing: the recorder stops unless a frame
  // log still listens, and no timer runs. Minimised (a hide the window
  // system makes) it is still open and goes on gathering.
  if (!event->spontaneous()) StopListening();
  QWidget::hideEvent(event);
}

void FrameMonitorWindow::StartListening() {
  if (!m_token) m_token = FrameRecorder::Instance().Listen();
  m_timer->start();
}

void FrameMonitorWindow::StopListening() {
  m_timer->stop();
  if (m_token) FrameRecorder::Instance().Unlisten(m_token);
  m_token = 0;
}

void FrameMonitorWindow::Fetch() {
  std::vector<TappedFrame> frames;
  m_last_seq = FrameRecorder::Instance().CopySince(m_last_seq, &frames);
  if (m_pause->isChecked()) {
    // Held back, not left in the recorder: its ring would lose them to
    // newer frames during a long pause, and Save writes them too.
    if (frames.empty()) return;
    for (TappedFrame& frame : frames) m_held_back.push_back(std::move(frame));
    while (m_held_back.size() > FrameTableModel::kMaxRows) m_held_back.pop_front();
    UpdateCount();
    return;
  }
  if (!m_held_back.empty()) {
    std::vector<TappedFrame> all(std::make_move_iterator(m_held_back.begin()),
                                 std::make_move_iterator(m_held_back.end()));
    m_held_back.clear();
    all.insert(all.end(), std::make_move_iterator(frames.begin()),
               std::make_move_iterator(frames.end()));
    frames = std::move(all);
  }
  if (frames.empty()) return;
  const int added = static_cast<int>(std::min(frames.size(), FrameTableModel::kMaxRows));
  m_model->Append(std::move(frames));
  // New devices join the device list; the list keeps its choice.
  const int last = m_model->rowCount();
  for (int row = last - added; row < last; ++row) {
    const QString device = m_model->index(row, FrameTableModel::kDevice).data().toString();
    if (!device.isEmpty() && m_devices_seen.insert(device).second) m_device_list->addItem(device);
  }
  UpdateCount();
  if (m_view->isVisible()) m_view->scrollToBottom();
}

std::vector<TappedFrame> FrameMonitorWindow::HeldFrames() const {
  std::vector<TappedFrame> frames = m_model->Frames();
  frames.insert(frames.end(), m_held_back.begin(), m_held_back.end());
  if (frames.size() > FrameTableModel::kMaxRows)
    frames.erase(frames.begin(),
                 frames.end() - static_cast<ptrdiff_t>(FrameTableModel::kMaxRows));
  return frames;
}

void FrameMonitorWindow::UpdateCount() {
  const size_t held = std::min(static_cast<size_t>(m_model->rowCount()) + m_held_back.size(),
                               FrameTableModel::kMaxRows);
  m_count->setText(tr("%1 / %2 frames").arg(m_filter->rowCount()).arg(held));
}

void FrameMonitorWindow::AskFile(const QString& title, const QString& filter,
                                 const QString& suffix,
                                 void (FrameMonitorWindow::*then)(const QString&)) {
  // Without a loop of its own: the window and the link go on while it is up.
  auto* dialog = new QFileDialog(this, title, QString(), filter);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setDefaultSuffix(suffix);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QFileDialog::fileSelected, this, then);
  dialog->open();
}

void FrameMonitorWindow::SaveJsonLines(const QString& path) {
  const ExportResult result = WriteJsonLines(path.toStdString(), HeldFrames());
  if (!result.ok) {
    ShowMessageBox(result.error, "Frame monitor");
    return;
  }
  ShowMessageBox("Saved " + std::to_string(result.written) + " frames to " + path.toStdString() +
                     ".",
                 "Frame monitor");
}

void FrameMonitorWindow::SavePcap(const QString& path) {
  const ExportResult result = WritePcap(path.toStdString(), HeldFrames());
  if (!result.ok) {
    ShowMessageBox(result.error, "Frame monitor");
    return;
  }
  std::string text = "Saved " + std::to_string(result.written) + " network frames to " +
                     path.toStdString() + ".";
  if (result.left_out > 0)
    text += " " + std::to_string(result.left_out) +
            " serial or TCP frames were left out (a pcap file holds UDP packets only).";
  ShowMessageBox(text, "Frame monitor");
}

}  // namespace zv
