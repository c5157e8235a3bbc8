// Dialog templates of the 16-window multiviewer: the panel host and its pages.
#include <array>

#include "res/dialog_templates.h"

namespace zv {
namespace {

constexpr std::array<DialogTemplate, 1> kMultiviewTemplates{{
    {129, "", 1240, 580, 187, {}},
}};

}  // namespace

std::span<const DialogTemplate> MultiviewDialogTemplates() { return kMultiviewTemplates; }

}  // namespace zv
