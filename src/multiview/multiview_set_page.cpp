#include "multiview/multiview_set_page.h"

#include <QPainter>
#include <QPointer>

#include "link/set_ip.h"
#include "multiview/multiview_panel.h"
#include "controls/button_st.h"
#include "controls/ip_address_ctrl.h"
#include "platform/platform.h"
#include "session/action_table.h"

namespace zv {
namespace {

constexpr QColor kButtonBack{64, 64, 64};
constexpr QColor kButtonText{128, 128, 128};
constexpr int kRuleY = 146;  // between the switches and the network settings

MultiviewSettingsGroupMaker& GroupMaker() {
  static MultiviewSettingsGroupMaker make;
  return make;
}

}  // namespace

void SetMultiviewSettingsGroupMaker(MultiviewSettingsGroupMaker make) { GroupMaker() = std::move(make); }

CClass_16view_set::CClass_16view_set(CClass_16view_dlg* host)
    : CMultiviewPage(host, kResource, kIdFrame) {
  for (int id : {kIdSetDefault, kIdSetIp}) {
    SetTextButtonColours(id, kButtonBack, kButtonText);
    // The see-through look of the skinned buttons would hide these colours.
    if (auto* button = qobject_cast<CButtonST*>(Item(id))) button->SetSeeThrough(false);
  }
  MultiviewerState* glo = Glo();
  if (glo) {
    const std::string ip = Session()->Link().Device().IpText();
    IpControl(kIdIpAddress)->SetAddressText(QString::fromStdString(ip));
    IpControl(kIdSubnetMask)->SetAddressText(QString::fromStdString(DottedQuad(kDefaultSubnetMaskOctets)));
    IpControl(kIdGateway)->SetAddressText(QString::fromStdString(DefaultGatewayText(ip)));
    // What a read-back brings later (after restoring the defaults) shows
    // in the lists as every page shows a change of the record.
    ShowDeviceState();
  }

  const auto on_off = [](int s) { return std::string(s ? "on" : "off"); };
  OnChoice(kIdAudioMeterList, [this, on_off](int s) { Act("multiview.audio", {{"state", on_off(s)}}); });
  OnChoice(kIdAudioSourceList, [this](int s) { Act("multiview.audio_source", {{"win", s + 1}}); });
  OnChoice(kIdOverlayList, [this](int s) { SetResolutionOverlay(s); });
  OnChoice(kIdFormatList, [this](int s) { SetVideoFormat(s); });
  OnChoice(kIdBorderList, [this, on_off](int s) { Act("multiview.border", {{"state", on_off(s)}}); });
  OnChoice(kIdLockList, [this, on_off](int s) { Act("multiview.lock", {{"state", on_off(s)}}); });
  if (auto* b = qobject_cast<QAbstractButton*>(Item(kIdSetDefault)))
    connect(b, &QAbstractButton::clicked, this, &CClass_16view_set::RestoreDefaults);
  if (auto* b = qobject_cast<QAbstractButton*>(Item(kIdSetIp)))
    connect(b, &QAbstractButton::clicked, this, &CClass_16view_set::SendNetworkSettings);

  // Made last, so that Tab reaches it after the page's own controls.
  if (GroupMaker() && Session()) m_extra = GroupMaker()(this, *Session());
  if (m_extra) {
    const QWidget* area = Item(kIdExtraGroupArea);
    m_extra->setGeometry(area ? area->geometry() : QRect(12, 256, 466, 156));
    m_extra->show();
  }
}

CClass_16view_set::~CClass_16view_set() = default;

CIpAddressCtrl* CClass_16view_set::IpControl(int id) const {
  return qobject_cast<CIpAddressCtrl*>(Item(id));
}

void CClass_16view_set::ShowDeviceState() {
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
  // The lists show the record: the local defaults until the read-back has
  // answered (the page shows the record again when the session says it
  // changed), the values as they were when the command could not go out.
  Act("multiview.defaults", {});
  ShowDeviceState();
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
  const bool unchanged = DottedQuad(ip) == Session()->Link().Device().IpText();
  if (const std::string problem = DeviceAddressProblem(ip, filled); !unchanged && !problem.empty()) {
    ShowMessageBox(problem, "Err");
    return;
  }
  NewAddress to;
  IpControl(kIdIpAddress)->GetAddress(&to.ip);
  IpControl(kIdSubnetMask)->GetAddress(&to.mask);
  IpControl(kIdGateway)->GetAddress(&to.gateway);
  // The settings window's question, naming the device, before anything
  // leaves; then its job: by UDP whatever the connection mode. The device
  // list keeps the old address until the network is searched again.
  DeviceLink& link = Session()->Link();
  if (ShowMessageBox(SetIpQuestion(link.DeviceName(), link.Device(), to.ip), "Change  IP",
                     MessageBoxButtons::kOkCancel) != MessageBoxAnswer::kOk)
    return;
  // When the frame could not leave, the link has said why; the device stays.
  const QString address = IpControl(kIdIpAddress)->AddressText();
  link.Request("Sent: Set IP to " + link.DeviceName(), SetIpJob(to, [address](bool sent) {
    if (!sent) return;
    {
    ShowMessageBox(QStringLiteral("The device now moves to %1. The panel still talks to its old "
                                  "address: scan again to find the device at %1 and choose it there.")
                       .arg(address)
                       .toStdString(),
                   "Set IP");
    }
  }));
}

void CClass_16view_set::paintEvent(QPaintEvent* event) {
  CMultiviewPage::paintEvent(event);
  QPainter p(this);
  p.drawLine(20, kRuleY, 470, kRuleY);
}

}  // namespace zv
