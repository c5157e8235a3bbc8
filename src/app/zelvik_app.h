#pragma once

#include "link/link_state.h"

namespace zv {

// The application object: builds the main window, runs it modally until it
// closes, and ends the program.
class CZELVIKApp {
 public:
  explicit CZELVIKApp(LinkConfig link_config) : m_link_config(std::move(link_config)) {}
  // Returns the program's exit code.
  int InitInstance();

 private:
  LinkConfig m_link_config;
};

}  // namespace zv
