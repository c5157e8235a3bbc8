// What a device family is to its sessions: its kind, names, type bytes,
// actions and how a session of one of its devices is made. The registry
// (registry/families.h) holds one of these per family.
#pragma once

#include <cstdint>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <span>

#include "families/family_list.h"
#include "session/action_table.h"

namespace zv {

class DeviceLink;
class DeviceSession;
class SessionClock;

#define ZV_FAMILY_KIND(Name) k##Name,
enum class FamilyKind : uint8_t { ZV_FAMILIES(ZV_FAMILY_KIND) };
#undef ZV_FAMILY_KIND

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
  // What the frame monitor calls a command byte of the family's frames;
  // null for one it does not know (and for a family that sends text).
  const char* (*command_name)(uint8_t command);
  // The session's record as named values ({"program": 3, "preview": 2,
  // ...}), for remote clients; the device hub tells them which of these
  // changed.
  nlohmann::json (*state_fields)(const DeviceSession& session);
  // Asks the device for what the record holds (the multiviewer's and the
  // four-channel switcher's read-backs); null for a family whose devices
  // cannot be read back. The answers come through the session's link.
  void (*read_back)(DeviceSession& session);
};

// A family's session factory for its row.
template <class Session>
std::unique_ptr<DeviceSession> MakeSession(const FamilyInfo& family, DeviceLink& link, SessionClock& clock) {
  return std::make_unique<Session>(family, link, clock);
}

// The name a table of {command, name} rows gives a command, or null.
template <typename Table>
const char* CommandNameIn(const Table& table, uint8_t command) {
  for (const auto& row : table)
    if (row.command == command) return row.name;
  return nullptr;
}

// Each family's row, defined in the family's own folder.
#define ZV_FAMILY_ROW(Name) const FamilyInfo& Name##Family();
ZV_FAMILIES(ZV_FAMILY_ROW)
#undef ZV_FAMILY_ROW

}  // namespace zv
