// CClass_16view_dlg: the panel of the 16-window multiviewer (device type
// 0xA1). On the left a preview of the device's output picture, drawn from the
// preview model of the device's session; on the right one page at a time, chosen by a
// row of picture buttons.
#pragma once

#include <QImage>
#include <QPointer>
#include <QRect>
#include <array>
#include <cstdint>

#include "controls/child_dialog.h"
#include "multiview/multiview_session.h"

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
  // `session` is the multiviewer's session, kept by the main window while
  // the window lives: a reopened panel shows the kept record.
  CClass_16view_dlg(QWidget* parent, MultiviewSession& session);
  ~CClass_16view_dlg() override;

  MultiviewSession& Session() { return m_session; }
  // Runs an action of the session's table; a refused one is said in the
  // status strip.
  ActionOutcome Act(const std::string& action, const ActionArgs& args = {});

  // Shows page n (1 to 6); the page already shown stays as it is.
  void ShowPage(int n);

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
  MultiviewSession& m_session;
  int m_changed_token = 0;
  int m_follow_handle = 0;
};

}  // namespace zv
