// Dialog templates of the production switcher: the main panel and its pages.
#include <array>

#include "res/dialog_templates.h"

namespace zv {
namespace {

constexpr std::array<DialogTemplate, 1> kSwitcherTemplates{{
    {237, "", 1240, 580, 294, {}},
}};

}  // namespace

std::span<const DialogTemplate> SwitcherDialogTemplates() { return kSwitcherTemplates; }

}  // namespace zv
