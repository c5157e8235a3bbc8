// The device families, in one table: the type bytes each answers with, its
// names, its actions and how a session for one of its devices is made. The
// window, zvctl, the frame monitor and the virtual devices read it; a new
// family is its own folder and one line here.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "session/action_table.h"
#include "session/device_session.h"

namespace zv {

enum class FamilyKind : uint8_t { kFourChannel, kMatrix, kMultiviewer, kSwitcher };

struct FamilyInfo {
  FamilyKind kind;
  const char* key;   // the actions' prefix and zvctl's word: "switcher"
  const char* name;  // for people: "production switcher"
  std::span<const uint8_t> device_types;
  // zvctl's line of help for the family.
  const char* help;
  // The dialog resource of the family's panel.
  int panel_resource;
  // Reached by network only (no serial line).
  bool network_only;
  ActionTable (*actions)();
  std::unique_ptr<DeviceSession> (*make_session)(const FamilyInfo& family, DeviceLink& link,
                                                 SessionClock& clock);
};

std::span<const FamilyInfo> Families();
const FamilyInfo* FamilyForType(uint8_t device_type);
const FamilyInfo* FamilyByKey(const std::string& key);
const FamilyInfo& FamilyOf(FamilyKind kind);

}  // namespace zv
