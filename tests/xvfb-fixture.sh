#!/bin/sh
# Starts or stops the private X server of a test run.  The server picks a
# free display number itself (-displayfd), so runs never collide.  The
# third argument is the screen (default 1280x1024x24).
set -e
action=$1 state=$2 screen=${3:-1280x1024x24}
case $action in
start)
    mkdir -p "$state"
    rm -f "$state/display" "$state/pid"
    fifo="$state/displayfd.$$"
    rm -f "$fifo"; mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -ac -noreset 3>"$fifo" \
        >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/pid"
    # The display number arrives on fd 3 once the server is ready.  (-noreset:
    # a server that resets when its last client leaves refuses connections
    # for a moment, and tests connect and disconnect all the time.)
    read -r num <"$fifo" || true
    rm -f "$fifo"
    if [ -z "$num" ]; then echo "Xvfb did not start" >&2; cat "$state/xvfb.log" >&2; exit 1; fi
    echo ":$num" >"$state/display"
    ;;
stop)
    if [ -f "$state/pid" ]; then kill "$(cat "$state/pid")" 2>/dev/null || true; fi
    rm -f "$state/pid" "$state/display"
    ;;
esac
