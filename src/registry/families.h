// The device families, in one table: the type bytes each answers with, its
// names, its actions and how a session for one of its devices is made. The
// window, zvctl, the frame monitor and the virtual devices read it; a new
// family is its own folder and one line here.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "session/device_session.h"
#include "session/family_info.h"

namespace zv {

std::span<const FamilyInfo> Families();
const FamilyInfo* FamilyForType(uint8_t device_type);
const FamilyInfo* FamilyByKey(const std::string& key);
const FamilyInfo& FamilyOf(FamilyKind kind);

}  // namespace zv
