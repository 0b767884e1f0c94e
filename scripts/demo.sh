#!/bin/bash
# Sets up, builds (optimised), installs the tree and starts the program on
# its built-in demo.  Without $DISPLAY it starts a private Xvfb and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build="${VX_DEMO_BUILD:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVX_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
cmake --install "$build" >/dev/null
prefix="$build/install"
echo "demo: installed tree in $prefix"

xvfb_pid=""
cleanup() { if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null)
    read -r num <&3
    xvfb_pid=$!
    export DISPLAY=":$num"
    echo "demo: no \$DISPLAY; started a private Xvfb on $DISPLAY"
fi

"$prefix/bin/vostrelane" -version
if [ ! -e "$prefix/server/DEMO/doz.sqlite" ]; then
    echo "demo: building the demo database DEMO"
    "$prefix/server/dozdemo" -q "$prefix/server" "$prefix/demo/demo.doz"
fi
echo "demo: the demo database through the DOZ engine (departments; sales per department):"
"$prefix/server/dozdemo" "$prefix/server" "$prefix/demo/tour.doz" | sed 's/^/    /'
if [ -z "$xvfb_pid" ]; then
    echo "demo: starting Vostrelane on DEMO with its own query interpreter; close a window to end"
    exec "$prefix/bin/vostrelane" -displayname "Vostrelane demo" -database DEMO "$@"
fi
secs="${VX_DEMO_SECONDS:-8}"
echo "demo: starting Vostrelane on DEMO with its own query interpreter for $secs s"
"$prefix/bin/vostrelane" -displayname "Vostrelane demo" -database DEMO "$@" &
app=$!
sleep "$secs"
xwininfo -root -tree | grep -i "vostrelane" || true
pgrep -a -P "$app" tqlserver | sed "s/^/demo: interpreter running: /" || true
if command -v import >/dev/null; then
    import -window root "$build/demo.png" 2>/dev/null && echo "demo: screenshot in $build/demo.png"
fi
# The query window alone, raised over the display window, when asked for.
if [ -n "${VX_DEMO_QUERY_SHOT:-}" ] && command -v import >/dev/null && command -v xdotool >/dev/null; then
    query=$(xwininfo -root -tree | awk '/\("vostrelane" "Vostrelane"\)/ {print $1; exit}')
    if [ -n "$query" ]; then
        xdotool windowraise "$query"
        sleep 1
        import -window "$query" "$VX_DEMO_QUERY_SHOT" 2>/dev/null && echo "demo: query window in $VX_DEMO_QUERY_SHOT"
    fi
fi
kill -INT "$app" 2>/dev/null || true
wait "$app" || true
echo "demo: done"
