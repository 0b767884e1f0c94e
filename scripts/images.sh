#!/bin/bash
# Regenerates the pictures under docs/images/ from the running program: the
# demo under a private Xvfb, its screen saved by ImageMagick's import and cut
# to the program's windows; then a query result in the table view and as a
# graph, the style pictures of the graph formatting dialogs, and each chart
# kind.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VX_DEMO_BUILD:-$root/build}"
# The demo opens DEMO itself; as its owner BRASK the query window shows
# the database's tables on the workspace.
rm -f "$build/workspace.png"
env -u DISPLAY VX_DEMO_QUERY_SHOT="$build/workspace.png" "$root/scripts/demo.sh" -user BRASK -password BRASK
mkdir -p "$root/docs/images"
convert "$build/demo.png" -trim +repage "$root/docs/images/start.png"
echo "images: $root/docs/images/start.png"
convert "$build/workspace.png" +repage "$root/docs/images/workspace.png"
echo "images: $root/docs/images/workspace.png"

# A query result in the table view and as a line graph: the display window
# as start-up builds it, with the installed interpreter and the demo
# database; a graph with titles, a note, axis titles and an arrowed text,
# replayed from a procedure by the installed program; and the expression
# editor with its function picker over the query window's canvas.  Saved
# by the tests that check them (in the optimised test build).
rel="${VX_TEST_BUILD_REL:-$root/build-rel}"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$rel" "${launcher[@]}" -DVX_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$rel" -j"$(nproc)"
(cd "$rel" && VX_IMAGE_DIR="$root/docs/images" ctest -R '^(display_demo|display_graph_x|grobj_texts_demo|grobj_pixmaps_x|display_kinds_x|objdialogs_road_x|objdialogs_tabroad_x|grobj_picture_demo|menu_format_x)$' --output-on-failure)
echo "images: $root/docs/images/table.png"
echo "images: $root/docs/images/graph.png"
echo "images: $root/docs/images/annotations.png"
echo "images: $root/docs/images/overlays.png"
echo "images: $root/docs/images/styles.png"
echo "images: $root/docs/images/expression-editor.png"
echo "images: $root/docs/images/table-editor.png"
echo "images: $root/docs/images/graph-format.png"
# The chart kinds' gallery, one picture a kind (saved by display_kinds_x).
for f in "$root"/docs/images/kinds/*.png; do
    echo "images: $f"
done
