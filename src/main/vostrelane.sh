#!/bin/bash
# Launcher: runs the program of the installation tree it lies in, wherever
# that tree was installed.
bindir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$bindir")
export QYDIR="${QYDIR:-$root}"
export DOZ_CLIENT_DIR="${DOZ_CLIENT_DIR:-$root}"
export DOZ_SERVER_DIR="${DOZ_SERVER_DIR:-$root/server}"
# Helper commands of the program (the snapshot's xwcp) come after the user's.
export PATH="${PATH:+$PATH:}$bindir"
export XFILESEARCHPATH="$root/%T/%N%S:$root/%T/%N${XFILESEARCHPATH:+:$XFILESEARCHPATH}"
exec -a vostrelane "$bindir/vostrelane.bin" "$@"
