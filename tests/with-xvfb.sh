#!/bin/sh
# Runs a test program on the display the Xvfb fixture started.
state=$1; shift
if [ ! -f "$state/display" ]; then echo "no X server: the xvfb fixture did not run" >&2; exit 1; fi
DISPLAY=$(cat "$state/display"); export DISPLAY
exec "$@"
