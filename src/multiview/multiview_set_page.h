// CClass_16view_set: page 6 of the multiviewer panel. The device-wide
// switches and video format, sent as they are chosen; restore defaults; the
// device's network settings with "Set  IP"; and below them, a group of
// settings another part of the program may add.
#pragma once

#include <functional>

#include "multiview/multiview_page.h"

namespace zv {

class CIpAddressCtrl;

// Makes a group of settings for the settings page, a child of `parent`
// (the page), for the multiviewer of `session`; null for none. Each page
// built calls it once; the page places the group in the area it leaves for
// it (kIdExtraGroupArea) after its own controls in Tab order. The program
// sets one maker (its own settings that go with a multiviewer); an empty
// function takes it away.
using MultiviewSettingsGroupMaker = std::function<QWidget*(QWidget* parent, MultiviewSession& session)>;
void SetMultiviewSettingsGroupMaker(MultiviewSettingsGroupMaker make);

class CClass_16view_set : public CMultiviewPage {
  Q_OBJECT
 public:
  static constexpr int kResource = 163;
  static constexpr int kIdFrame = 1029;
  static constexpr int kIdAudioMeterList = 1014;
  static constexpr int kIdAudioSourceList = 1039;
  static constexpr int kIdOverlayList = 1074;
  static constexpr int kIdFormatList = 1073;
  static constexpr int kIdBorderList = 1105;
  static constexpr int kIdLockList = 1106;
  static constexpr int kIdSetDefault = 1033;
  static constexpr int kIdIpAddress = 1036;
  static constexpr int kIdSubnetMask = 1037;
  static constexpr int kIdGateway = 1038;
  static constexpr int kIdSetIp = 1032;
  static constexpr int kIdExtraGroupArea = 1040;

  explicit CClass_16view_set(CClass_16view_dlg* host);
  ~CClass_16view_set() override;

  CIpAddressCtrl* IpControl(int id) const;
  // The group the program's maker added; null for none.
  QWidget* ExtraGroup() const { return m_extra; }
  void RestoreDefaults();
  void SendNetworkSettings();

 protected:
  // The lists show the values the record keeps.
  void ShowDeviceState() override;

  void paintEvent(QPaintEvent* event) override;

 private:
  QWidget* m_extra = nullptr;
};

}  // namespace zv
