// The registry's rows: the one place that names every family. It sits
// above the family folders (which know only the session's types), so that
// a family's folder never reaches up to the others.
#include "registry/families.h"

#include <array>

#include "fourch/fourch_session.h"
#include "matrix/matrix_session.h"
#include "multiview/multiview_session.h"
#include "switcher/switcher_commands.h"
#include "switcher/switcher_session.h"

namespace zv {
namespace {

template <class Session>
std::unique_ptr<DeviceSession> Make(const FamilyInfo& family, DeviceLink& link, SessionClock& clock) {
  return std::make_unique<Session>(family, link, clock);
}

template <typename Table>
const char* NameIn(const Table& table, uint8_t command) {
  for (const auto& row : table)
    if (row.command == command) return row.name;
  return nullptr;
}

const char* FourChannelCommandName(uint8_t command) { return NameIn(kTriskCommandNames, command); }
const char* MultiviewCommandName(uint8_t command) { return NameIn(kMultiviewCommandNames, command); }
const char* SwitcherMonitorName(uint8_t command) {
  for (const SwitcherCommandNameRow& row : kSwitcherCommandNames)
    if (row.command == command) return row.monitor;
  return nullptr;
}

constexpr uint8_t kFourChannelTypes[] = {0x60};
constexpr uint8_t kMatrixTypes[] = {0x81, 0x82};
constexpr uint8_t kMultiviewerTypes[] = {0xA1};
constexpr uint8_t kSwitcherTypes[] = {0xA5};

const std::array<FamilyInfo, 4> kFamilies{{
    {FamilyKind::kFourChannel, "fourch", "four-channel switcher", kFourChannelTypes,
     "four-channel switcher (type 0x60)", 308, true, &FourChannelActions, &Make<FourChannelSession>,
     &FourChannelCommandName},
    {FamilyKind::kMatrix, "matrix", "matrix router", kMatrixTypes, "8x8 matrix router (type 0x82)", 206, false,
     &MatrixActions, &Make<MatrixSession>, nullptr},
    {FamilyKind::kMultiviewer, "multiview", "multiviewer", kMultiviewerTypes, "multiviewer (type 0xA1)", 129, false,
     &MultiviewActions, &Make<MultiviewSession>, &MultiviewCommandName},
    {FamilyKind::kSwitcher, "switcher", "production switcher", kSwitcherTypes,
     "production switcher (type 0xA5)", 237, true, &SwitcherActions, &Make<SwitcherSession>,
     &SwitcherMonitorName},
}};

}  // namespace

std::span<const FamilyInfo> Families() { return kFamilies; }

const FamilyInfo* FamilyForType(uint8_t device_type) {
  for (const FamilyInfo& f : kFamilies)
    for (uint8_t t : f.device_types)
      if (t == device_type) return &f;
  return nullptr;
}

const FamilyInfo* FamilyByKey(const std::string& key) {
  for (const FamilyInfo& f : kFamilies)
    if (key == f.key) return &f;
  return nullptr;
}

const FamilyInfo& FamilyOf(FamilyKind kind) {
  for (const FamilyInfo& f : kFamilies)
    if (f.kind == kind) return f;
  return kFamilies[0];
}

}  // namespace zv
