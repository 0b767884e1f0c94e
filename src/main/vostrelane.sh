#!/bin/sh
# Launcher: runs the program of the installation tree it lies in, wherever
# that tree was installed.  Plain sh and no subshells: it runs at every
# start.
case $0 in
*/*) bindir=${0%/*} ;;
*) bindir=. ;;
esac
case $bindir in
/*) ;;
*) bindir=$PWD/$bindir ;;
esac
# "bin/." and "x/bin/.." name the directories they lead to.
while :; do
    case $bindir in
    */.) bindir=${bindir%/.} ;;
    */..) bindir=${bindir%/..}; bindir=${bindir%/*} ;;
    *) break ;;
    esac
done
root=${bindir%/*}
export QYDIR="${QYDIR:-$root}"
export DOZ_CLIENT_DIR="${DOZ_CLIENT_DIR:-$root}"
export DOZ_SERVER_DIR="${DOZ_SERVER_DIR:-$root/server}"
# Helper commands of the program (the snapshot's xwcp) come after the user's.
export PATH="${PATH:+$PATH:}$bindir"
export XFILESEARCHPATH="$root/%T/%N%S:$root/%T/%N${XFILESEARCHPATH:+:$XFILESEARCHPATH}"
exec "$bindir/vostrelane.bin" "$@"
