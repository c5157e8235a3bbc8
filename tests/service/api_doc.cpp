// Prints the actions' part of docs/api.md, made from the action table;
// scripts/api_doc.sh puts it between the page's markers.
#include <cstdio>

#include "service/action_request.h"

int main() {
  std::fputs(zv::ActionTableMarkdown().c_str(), stdout);
  return 0;
}
