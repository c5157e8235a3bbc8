// The registry: the rows of the families of the list (families/family_list.h),
// each defined in its family's folder.
#include "registry/families.h"

#include <vector>

#include "families/family_list.h"

namespace zv {
namespace {

// The rows, in the list's order; each family's own folder holds its row.
const std::vector<FamilyInfo>& AllFamilies() {
#define ZV_FAMILY_ROW(Name) Name##Family(),
  static const std::vector<FamilyInfo> rows{ZV_FAMILIES(ZV_FAMILY_ROW)};
#undef ZV_FAMILY_ROW
  return rows;
}

}  // namespace

std::span<const FamilyInfo> Families() { return AllFamilies(); }

const FamilyInfo* FamilyForType(uint8_t device_type) {
  for (const FamilyInfo& f : AllFamilies())
    for (uint8_t t : f.device_types)
      if (t == device_type) return &f;
  return nullptr;
}

const FamilyInfo* FamilyByKey(const std::string& key) {
  for (const FamilyInfo& f : AllFamilies())
    if (key == f.key) return &f;
  return nullptr;
}

const FamilyInfo& FamilyOf(FamilyKind kind) {
  for (const FamilyInfo& f : AllFamilies())
    if (f.kind == kind) return f;
  return AllFamilies().front();
}

}  // namespace zv
