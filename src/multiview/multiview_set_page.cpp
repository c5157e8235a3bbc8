#include "multiview/multiview_set_page.h"

#include <QPainter>
#include <QPointer>

#include "multiview/multiview_panel.h"
#include "controls/button_st.h"
#include "controls/ip_address_ctrl.h"
#include "platform/platform.h"

namespace zv {
namespace {

constexpr QColor kButtonBack{64, 64, 64};
constexpr QColor kButtonText{128, 128, 128};

}  // namespace

CClass_16view_set::CClass_16view_set(CClass_16view_dlg* host)
    : CMultiviewPage(host, kResource, kIdFrame) {
  for (int id : {kIdSetDefault, kIdSetIp}) {
    SetTextButtonColours(id, kButtonBack, kButtonText);
    // The see-through look of the skinned buttons would hide these colours.
    if (auto* button = qobject_cast<CButtonST*>(Item(id))) button->SetSeeThrough(false);
  }
  MultiviewerState* glo = Glo();
  if (glo) {
    const std::string ip = Door()->ChosenDevice().IpText();
    IpControl(kIdIpAddress)->SetAddressText(QString::fromStdString(ip));
    IpControl(kIdSubnetMask)->SetAddressText(QString::fromLatin1(kDefaultSubnetMask));
    IpControl(kIdGateway)->SetAddressText(QString::fromStdString(DefaultGatewayText(ip)));
    ShowRecord();
  }

  OnChoice(kIdAudioMeterList, [this](int s) {
    MultiviewerState* glo = Glo();
    if (!glo) return;
    const uint8_t params[] = {static_cast<uint8_t>(s)};
    if (Door()->SendMultiviewerCommand(kMvSetAudioMeter, params)) RecomputeAudioMeters();
    glo->m_16_view_show_audio = s != 0;
  });
  OnChoice(kIdAudioSourceList, [this](int s) {
    MultiviewerState* glo = Glo();
    if (!glo) return;
    const uint8_t params[] = {static_cast<uint8_t>(s + 1)};
    Door()->SendMultiviewerCommand(kMvSetAudioSource, params);
  });
  OnChoice(kIdOverlayList, [this](int s) { SetResolutionOverlay(s); });
  OnChoice(kIdFormatList, [this](int s) { SetVideoFormat(s); });
  OnChoice(kIdBorderList, [this](int s) {
    MultiviewerState* glo = Glo();
    if (!glo) return;
    glo->m_all_16_view_page_data.zv_16_view_border_enable = static_cast<uint8_t>(s);
    const uint8_t params[] = {static_cast<uint8_t>(s)};
    Door()->SendMultiviewerCommand(kMvSetBorder, params);
  });
  OnChoice(kIdLockList, [this](int s) {
    MultiviewerState* glo = Glo();
    if (!glo) return;
    glo->m_all_16_view_page_data.zv_16_view_lock_state = static_cast<uint8_t>(s);
    const uint8_t params[] = {static_cast<uint8_t>(s)};
    Door()->SendMultiviewerCommand(kMvSetLock, params);
  });
  if (auto* b = qobject_cast<QAbstractButton*>(Item(kIdSetDefault)))
    connect(b, &QAbstractButton::clicked, this, &CClass_16view_set::RestoreDefaults);
  if (auto* b = qobject_cast<QAbstractButton*>(Item(kIdSetIp)))
    connect(b, &QAbstractButton::clicked, this, &CClass_16view_set::SendNetworkSettings);
}

CIpAddressCtrl* CClass_16view_set::IpControl(int id) const {
  return qobject_cast<CIpAddressCtrl*>(Item(id));
}

void CClass_16view_set::ShowRecord() {
  MultiviewerState* glo = Glo();
  if (!glo) return;
  const MultiviewPageData& d = glo->m_all_16_view_page_data;
  FillList(kIdFormatList, NameItems(kMultiviewFormatNames), d.zv_16_view_resolution_type);
  FillList(kIdOverlayList, OffOnItems(), d.zv_16_view_resolution_enable);
  FillList(kIdAudioMeterList, OffOnItems(), d.zv_16_view_audio_enable);
  FillList(kIdBorderList, OffOnItems(), d.zv_16_view_border_enable);
  FillList(kIdLockList, OffOnItems(), d.zv_16_view_lock_state);
  FillList(kIdAudioSourceList, ChannelItems(kMultiviewWindowCount),
           d.zv_16_view_audio_source_channel - 1);
}

void CClass_16view_set::RestoreDefaults() {
  MultiviewerState* glo = Glo();
  if (!glo) return;
  const uint8_t params[] = {0x00};
  if (Door()->SendMultiviewerCommand(kMvRestoreDefaults, params)) {
    // The device's defaults are its own (window sources, colours, border
    // ...): the local defaults stand in until the device is read back, and
    // the read-back then brings what the device really has.
    glo->ApplyLocalDefaults();
    RecomputeAll();
    QPointer<CClass_16view_set> self(this);
    Door()->ReadMultiviewerState(false, [self](bool) {
      if (!self) return;
      self->RecomputeAll();
      self->ShowRecord();
    });
  }
  // The lists show the record: the local defaults until the read-back has
  // answered, the values as they were when the command could not go out.
  ShowRecord();
}

void CClass_16view_set::SendNetworkSettings() {
  MultiviewerState* glo = Glo();
  if (!glo) return;
  // A new address no device can hold (0.x.x.x, loopback, multicast,
  // broadcast) would leave the device unreachable: it is refused. The
  // address the device has now may stay, whatever it is (the virtual
  // devices live on loopback), so that its mask and gateway can change.
  std::array<uint8_t, 4> ip{};
  const int filled = IpControl(kIdIpAddress)->GetAddress(&ip);
  const bool unchanged = DottedQuad(ip) == Door()->ChosenDevice().IpText();
  if (const std::string problem = DeviceAddressProblem(ip, filled); !unchanged && !problem.empty()) {
    ShowMessageBox(problem, "Err");
    return;
  }
  uint8_t params[12] = {};
  int at = 0;
  for (int id : {kIdIpAddress, kIdSubnetMask, kIdGateway}) {
    std::array<uint8_t, 4> octets{};
    IpControl(id)->GetAddress(&octets);
    for (uint8_t o : octets) params[at++] = o;
  }
  // By UDP whatever the connection mode; the device list keeps the old
  // address until the network is searched again.
  // When the frame could not leave, the link has said why; the device stays.
  const QString address = IpControl(kIdIpAddress)->AddressText();
  Door()->SendSetIpFrame(params, [address](bool sent) {
    if (!sent) return;
    ShowMessageBox(QStringLiteral("The device now moves to %1. The panel still talks to its old "
                                  "address: scan again to find the device at %1 and choose it there.")
                       .arg(address)
                       .toStdString(),
                   "Set IP");
  });
}

void CClass_16view_set::paintEvent(QPaintEvent* event) {
  CMultiviewPage::paintEvent(event);
  QPainter p(this);
  p.drawLine(20, 180, 470, 180);
}

}  // namespace zv
