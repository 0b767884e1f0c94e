#!/bin/bash
# Sets up, then builds and runs every test twice through ctest: once with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-test, fuzz targets
# included) and once optimised (build-rel).  The GUI tests start their own
# Xvfb (a CTest fixture on a free display).  Arguments go to both ctest runs.
# VX_TEST_BUILDS=sanitize or =release runs only that one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
jobs=$(nproc)
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
run() {  # run <build dir> <cmake options...>
    local build=$1; shift
    echo "== $(basename "$build")"
    cmake -S "$root" -B "$build" "${launcher[@]}" "$@" >/dev/null
    cmake --build "$build" -j"$jobs"
    (cd "$build" && ctest -j"$jobs" --output-on-failure --timeout 600 "${args[@]}")
}
args=("$@")
builds=${VX_TEST_BUILDS:-sanitize release}
status=0
if [[ $builds == *sanitize* ]]; then
    run "${VX_TEST_BUILD:-$root/build-test}" -DVX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug || status=1
fi
if [[ $builds == *release* ]]; then
    run "${VX_TEST_BUILD_REL:-$root/build-rel}" -DVX_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release || status=1
fi
exit $status
