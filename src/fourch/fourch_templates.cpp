// Dialog templates of the four-channel switcher: the panel and its pages.
#include <array>

#include "res/dialog_templates.h"

namespace zv {
namespace {

constexpr std::array<DialogTemplate, 1> kFourChannelTemplates{{
    {308, "", 1240, 580, 187, {}},
}};

}  // namespace

std::span<const DialogTemplate> FourChannelDialogTemplates() { return kFourChannelTemplates; }

}  // namespace zv
