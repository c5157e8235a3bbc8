#include "multiview/multiview_state.h"

#include <cstring>

namespace zv {

void ResetMultiviewPageData(MultiviewPageData& data) {
  std::memset(&data, 0, sizeof data);
  data.zv_16_view_color_channel = 1;
  data.zv_16_view_color_window = 1;
}

}  // namespace zv
