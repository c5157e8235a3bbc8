// CClass_16view_dlg: the panel of the 16-window multiviewer (device type
// 0xA1). On the left a preview of the device's output picture, drawn from the
// main window's preview model; on the right one page at a time, chosen by a
// row of picture buttons.
#pragma once

#include <QImage>
#include <QPointer>
#include <QRect>
#include <array>
#include <cstdint>

#include "controls/child_dialog.h"
#include "multiview/multiview_link.h"

namespace zv {

struct MultiviewerState;

// The page numbers and their buttons, resources and face images.
struct MultiviewPageRow {
  int page;
  int button_id;
  int resource;
  int normal_image;
  int selected_image;
};
inline constexpr std::array<MultiviewPageRow, 6> kMultiviewPages{{
    {1, 1019, 158, 202, 203},  // status (button hidden)
    {2, 1020, 159, 192, 193},  // layout and sources
    {3, 1011, 160, 204, 205},  // labels
    {4, 1021, 161, 185, 186},  // audio (button hidden)
    {5, 1022, 162, 189, 190},  // colours
    {6, 1023, 163, 200, 201},  // settings
}};
inline constexpr int kIdPageArea = 1024;
inline constexpr int kIdPreviewAnchor = 1069;
inline constexpr uint8_t kNoPage = 255;

// The preview picture of the state's preview model, 720 x 480.
QImage PaintMultiviewPreview(const MultiviewerState& state);

class CClass_16view_dlg : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = 129;
  // `link` reaches the device the panel is opened for; `state` is the
  // multiviewer's record, kept by the main window for the whole run.
  CClass_16view_dlg(QWidget* parent, DeviceLink& link, MultiviewerState& state);

  MultiviewerDoor& Door() { return m_door; }

  // Shows page n (1 to 6); the page already shown stays as it is.
  void ShowPage(int n);

  // The four recompute operations: each rewrites its part of the preview
  // model from the state and repaints the preview.
  void RecomputeWindows();
  void RecomputeAudioMeters();
  void RecomputeLabels();
  void RecomputeOverlays();

  // Setups (right-click menu): the device read back and saved to a file,
  // and a saved setup applied and read back, the status strip saying what
  // the device did not take.
  void SaveSetup(const QString& path);
  void ApplySetup(const QString& path);

  uint8_t m_cur_page = kNoPage;
  QPointer<CChildDialog> m_p_cur_page;
  QRect m_page_rect;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void AddSetupMenu();
  // Shows the record again: the preview, and the page on view repainted.
  void ShowRecord();
  MultiviewerDoor m_door;
};

}  // namespace zv
