// The frame monitor: a window that lists every frame the program sends and
// receives while it is open, with filters by device and direction, pause,
// clear, and export as JSON lines or as a pcap capture. The rows come from
// the frame tap's recorder, which records only while the window (or a frame
// log) listens; a timer fetches new frames while the window is open, and
// while it is paused holds them back from the table until Resume.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <deque>
#include <set>

#include "link/frame_tap.h"
#include "monitor/frame_decode.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace zv {

class FrameTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kTime, kDirection, kPeer, kDevice, kCommand, kLength, kBytes, kChecksum, kColumns };
  // Rows past this many push out the oldest.
  static constexpr size_t kMaxRows = FrameRecorder::kCapacity;

  explicit FrameTableModel(QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void Append(std::vector<TappedFrame> frames);
  void Clear();
  const TappedFrame& Frame(int row) const { return m_rows[static_cast<size_t>(row)].frame; }
  const DecodedFrame& Decoded(int row) const { return m_rows[static_cast<size_t>(row)].decoded; }
  std::vector<TappedFrame> Frames() const;
  // Time 0 of the time column (wall clock, microseconds).
  void SetStartUs(int64_t start_us) { m_start_us = start_us; }

 private:
  struct Row {
    TappedFrame frame;
    DecodedFrame decoded;
    QString device;
  };
  std::deque<Row> m_rows;
  int64_t m_start_us = 0;
};

// Shows the rows of one device (its text in the device column) and one
// direction; an empty device or no direction shows all.
class FrameFilterModel : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void SetDevice(const QString& device);
  void SetDirection(int direction);  // -1 all, else a FrameDirection
 protected:
  bool filterAcceptsRow(int source_row, const QModelIndex& source_parent) const override;

 private:
  QString m_device;
  int m_direction = -1;
};

class FrameMonitorWindow : public QWidget {
  Q_OBJECT
 public:
  explicit FrameMonitorWindow(QWidget* parent = nullptr);
  ~FrameMonitorWindow() override;

  FrameTableModel* Model() const { return m_model; }
  FrameFilterModel* Filter() const { return m_filter; }
  QTableView* View() const { return m_view; }
  QComboBox* DeviceList() const { return m_device_list; }
  QComboBox* DirectionList() const { return m_direction_list; }
  QPushButton* PauseButton() const { return m_pause; }
  QPushButton* ClearButton() const { return m_clear; }
  QPushButton* SaveJsonButton() const { return m_save_json; }
  QPushButton* SavePcapButton() const { return m_save_pcap; }
  // "shown / held frames": the rows the filters let through, and every
  // frame the monitor holds (the held-back ones of a pause too).
  QLabel* CountLabel() const { return m_count; }
  // Takes what the recorder has gathered since the last call (the timer
  // calls it while the window is shown): into the table, or, paused, into
  // the frames held back.
  void Fetch();
  // Every frame the monitor holds, oldest first: the table's and those a
  // pause holds back, at most FrameTableModel::kMaxRows.
  std::vector<TappedFrame> HeldFrames() const;

  // The exports behind the save buttons, once a file was chosen; the
  // operator is told the outcome.
  void SaveJsonLines(const QString& path);
  void SavePcap(const QString& path);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void StartListening();
  void StopListening();
  void AskFile(const QString& title, const QString& filter, const QString& suffix,
               void (FrameMonitorWindow::*then)(const QString&));
  void UpdateCount();

  FrameTableModel* m_model = nullptr;
  FrameFilterModel* m_filter = nullptr;
  QTableView* m_view = nullptr;
  QComboBox* m_device_list = nullptr;
  QComboBox* m_direction_list = nullptr;
  QPushButton* m_pause = nullptr;
  QPushButton* m_clear = nullptr;
  QPushButton* m_save_json = nullptr;
  QPushButton* m_save_pcap = nullptr;
  QLabel* m_count = nullptr;
  QTimer* m_timer = nullptr;
  std::set<QString> m_devices_seen;
  std::deque<TappedFrame> m_held_back;  // fetched while paused
  uint64_t m_last_seq = 0;
  int m_token = 0;
  bool m_placed = false;
};

}  // namespace zv
