#!/usr/bin/env bash
# Writes the actions' part of docs/api.md again from the action table: builds
# zv_api_doc in BUILD_DIR (build-test by default) and puts what it prints
# between the page's "actions: begin" and "actions: end" markers. The test
# ApiDoc.TheActionsPartOfTheApiPageIsTheTableAsItIsNow fails until this ran
# after a change to the table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-test}
cmake --build "$build" --target zv_api_doc -j 2 >/dev/null
page=$root/docs/api.md
generated=$(mktemp)
trap 'rm -f "$generated" "$generated.page"' EXIT
"$build/tests/zv_api_doc" >"$generated"
awk -v generated="$generated" '
  /^<!-- actions: begin -->$/ { print; while ((getline line < generated) > 0) print line; skipping = 1; next }
  /^<!-- actions: end -->$/ { skipping = 0 }
  !skipping { print }
' "$page" >"$generated.page"
grep -q '^<!-- actions: end -->$' "$generated.page" || { echo "api_doc: no markers in $page" >&2; exit 1; }
cat "$generated.page" >"$page"
echo "api_doc: $page written"
