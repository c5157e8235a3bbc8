#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite with ctest:
# once as a normal build, once with AddressSanitizer and
# UndefinedBehaviorSanitizer, and the threaded tests once more with
# ThreadSanitizer; builds the Debian package (hardened, in build-pkg), checks
# it with lintian, installs it with apt-get, runs the installed program and
# removes it again; then runs each fuzz target for a short time and
# prints the benchmarks' ratios. Set ZV_FUZZ_SECONDS to change the fuzzing time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
fuzz_seconds=${ZV_FUZZ_SECONDS:-20}

"$root/scripts/install_deps.sh"

# Objects already compiled on this machine are taken again when ccache is
# there (it is not needed).
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  # Paths relative to the checkout, so a fresh clone elsewhere hits the cache too.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
fi

run_suite() {  # name, build dir, cmake args...
  local name=$1 dir=$2
  shift 2
  echo "== $name build"
  cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== $name tests"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300)
}

run_suite normal "$root/build-test" -DCMAKE_BUILD_TYPE=Debug -DZV_PACKAGE=OFF

# The package is built in a folder of its own, optimised and with Debian's
# hardening flags (packaging/hardening.cmake), without the tests: the
# programs, the manual pages, cpack and lintian. lintian's hardening tags
# (fortify, relro, bindnow, PIE) fail the run.
echo "== Debian package"
pkg_dir="$root/build-pkg"
cmake -S "$root" -B "$pkg_dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=None \
  -DZV_BUILD_TESTS=OFF -DZV_PACKAGE=ON >/dev/null
cmake --build "$pkg_dir" -j "$jobs"
rm -f "$pkg_dir"/zv-multiview_*.deb
(cd "$pkg_dir" && cpack -G DEB | tail -n 1)
deb=$(ls "$pkg_dir"/zv-multiview_*.deb)
lintian -I --fail-on error "$deb" | tee "$pkg_dir/lintian.txt"
if grep -q 'hardening-' "$pkg_dir/lintian.txt"; then
  echo "lintian: programs in the package lack hardening (see above)" >&2
  exit 1
fi
if dpkg-query -W -f='${Status}' zv-multiview 2>/dev/null | grep -q "install ok installed"; then
  echo "zv-multiview is installed on this machine already: install check skipped"
elif [ "$(id -u)" -ne 0 ]; then
  echo "not root: install check skipped"
else
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
  installed_ok=0
  env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/zv_multiview --version || installed_ok=$?
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq zv-multiview >/dev/null
  [ "$installed_ok" -eq 0 ] || { echo "the installed zv_multiview failed" >&2; exit 1; }
fi
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite sanitizers "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DZV_SANITIZE=ON

# The serial port runs a watch thread beside the caller, the link worker runs
# every device wait on its own thread (and the device hub hands back from it),
# and the tests run the virtual devices
# on a thread of their own: those tests run once more under ThreadSanitizer.
echo "== thread sanitizer build (serial port, link worker and virtual devices)"
tsan_dir="$root/build-tsan"
cmake -S "$root" -B "$tsan_dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug -DZV_TSAN=ON -DZV_BUILD_UI=OFF >/dev/null
cmake --build "$tsan_dir" -j "$jobs" --target zv_core_tests
(cd "$tsan_dir" && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j "$jobs" --timeout 300 \
  -R 'SerialPortTest|SerialSearchTest|DeviceSimTest|LinkWorkerTest|SessionLoopTest|DeviceHubTest')

if command -v clang++ >/dev/null; then
  echo "== fuzz build"
  fuzz_dir="$root/build-fuzz"
  CC=clang CXX=clang++ cmake -S "$root" -B "$fuzz_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZV_BUILD_UI=OFF -DZV_BUILD_TESTS=OFF -DZV_BUILD_FUZZ=ON >/dev/null
  cmake --build "$fuzz_dir" -j "$jobs"
  for target in "$fuzz_dir"/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$fuzz_dir/corpus/$name"
    mkdir -p "$corpus"
    echo "== fuzzing $name for ${fuzz_seconds}s"
    "$target" -max_total_time="$fuzz_seconds" -max_len=2048 -print_final_stats=1 \
      "$corpus" "$root/fuzz/seeds/$name" 2>&1 | tail -n 4
  done
else
  echo "== clang++ not found: fuzz targets skipped"
fi

echo "== benchmarks (ratios from one run; informative, not a pass mark)"
"$root/build-test/bench/zv_link_bench"
"$root/build-test/bench/zv_tally_bench"
"$root/build-test/bench/zv_switcher_auto_bench"
"$root/build-test/bench/zv_ui_stall_bench"
"$root/build-test/bench/zv_scan_many_bench"
"$root/build-test/bench/zv_many_panels_bench"
if [ -x /usr/bin/chromium ] && [ -x /usr/bin/chromedriver ]; then
  /usr/bin/python3 "$root/tests/web/web_bench.py" "$root/build-test/zvd" "$root/build-test/zv_device_sim"
fi
if [ -x "$root/build-test/zvd" ]; then
  /usr/bin/python3 "$root/bench/remote_bench.py" "$root/build-test/zvd" "$root/build-test/zv_device_sim"
else
  echo "== zvd was not built: remote control benchmark skipped"
fi
echo "== all tests passed"
