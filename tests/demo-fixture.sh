#!/bin/sh
# Builds the demo database DEMO into the test installation's server
# directory before the tests that use it start.  dozdemo takes the ids of
# the directory's owner (the database account), so the registry files must
# be that account's: a run as root whose interpreter (without set-id bits
# in a sanitizer build) made them first would otherwise leave them root's
# alone, and the build would be refused.  An unfinished earlier build is
# removed first.
set -e
server="$1/server"
[ -e "$server/.demo.ready" ] && exit 0
if [ "$(id -u)" = 0 ]; then
    for f in "$server/databases.list" "$server/databases.lock"; do
        [ -e "$f" ] && chown --reference="$server" "$f"
    done
fi
rm -rf "$server/DEMO"
if [ -f "$server/databases.list" ]; then
    kept=$(grep -v "^DEMO	" "$server/databases.list" || true)
    # Written in place: the file keeps its owner and mode.
    printf '%s' "$kept${kept:+
}" > "$server/databases.list"
fi
"$server/dozdemo" -q "$server" "$1/demo/demo.doz"
: > "$server/.demo.ready"
