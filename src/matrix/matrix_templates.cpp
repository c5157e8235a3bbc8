// Dialog templates of the 8x8 matrix router: the routing panel and its pages.
#include <array>

#include "res/dialog_templates.h"

namespace zv {
namespace {

constexpr std::array<DialogTemplate, 1> kMatrixTemplates{{
    {206, "", 1240, 580, 229, {}},
}};

}  // namespace

std::span<const DialogTemplate> MatrixDialogTemplates() { return kMatrixTemplates; }

}  // namespace zv
