#!/bin/bash
# Sets up, builds with the sanitizers and runs every test through ctest.
# The GUI tests start their own Xvfb (a CTest fixture on a free display).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build="${VX_TEST_BUILD:-$root/build-test}"
jobs=$(nproc)
cmake -S "$root" -B "$build" -DVX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j"$jobs"
cd "$build"
ctest -j"$jobs" --output-on-failure --timeout 600 "$@"
