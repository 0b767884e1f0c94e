#!/bin/bash
# Regenerates the pictures under docs/images/ from the running program: the
# demo under a private Xvfb, its screen saved by ImageMagick's import and cut
# to the program's windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VX_DEMO_BUILD:-$root/build}"
env -u DISPLAY "$root/scripts/demo.sh"
mkdir -p "$root/docs/images"
convert "$build/demo.png" -trim +repage "$root/docs/images/start.png"
echo "images: $root/docs/images/start.png"
