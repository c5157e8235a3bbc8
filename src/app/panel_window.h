// A device's panel in a top-level window of its own, beside the main
// window's panel area: any number can be open, for devices of the same or
// different families. Each is a view of its device's session (the one the
// main window keeps for that device), so a device shown here and in the
// main window's panel area shows the same state in both. The window's
// title is the device's line in the device list; its status strip says
// what was sent to its device, and when the device stops answering.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <string>

#include "link/device_entry.h"

class QLabel;

namespace zv {

class CChildDialog;
class DeviceLink;
class DeviceSession;
struct FamilyInfo;

class PanelWindow : public QWidget {
  Q_OBJECT
 public:
  // Makes the family's panel for `session` and `link` inside a window owned
  // by `owner` (it closes with it); the window deletes itself when closed.
  PanelWindow(QWidget* owner, const FamilyInfo& family, const DeviceEntry& device, const std::string& line,
              DeviceSession& session, DeviceLink& link);
  ~PanelWindow() override;

  const DeviceEntry& Device() const { return m_device; }
  const std::string& Line() const { return m_line; }
  const FamilyInfo& Family() const { return m_family; }
  DeviceSession& Session() const { return m_session; }
  CChildDialog* Panel() const { return m_panel; }

  void ShowStatus(const std::string& text, bool error);
  QString StatusText() const;
  // The device answers (searches, readings) or not: the title and the
  // strip say so.
  void SetOnline(bool online);
  bool Online() const { return m_online; }

 private:
  const FamilyInfo& m_family;
  DeviceEntry m_device;
  std::string m_line;
  DeviceSession& m_session;
  CChildDialog* m_panel = nullptr;
  QLabel* m_status = nullptr;
  QRect m_preview_rect;
  bool m_online = true;
  int m_changed_token = 0;
};

}  // namespace zv
