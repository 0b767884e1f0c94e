#!/bin/bash
# Builds the benchmarks (build-bench: optimised, no sanitizers, ccache) and
# runs every one of them in one sitting, each writing its figures into
# bench/results/.  bench/results/run-all.txt records when each started, the
# machine's load average at that moment, how long it ran and how it ended.
# The benchmarks that draw get a private Xvfb.
#
#   bench/run-all.sh [--no-build] [NAME...]   (NAME: bench_grobj, ...; all when none)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BENCH_BUILD_DIR:-$root/build-bench}
results=$root/bench/results
jobs=$(( $(nproc) < 6 ? $(nproc) : 6 ))
do_build=1
if [[ ${1:-} == --no-build ]]; then
    do_build=0
    shift
fi

# Name, program (under the build's bench/), arguments.  The figures file
# is each benchmark's own, given here so that all land in bench/results/.
all=(
    "bench_scheduler|scheduler/bench_scheduler|--out $results/scheduler.txt"
    "bench_dataset|dataset/bench_dataset|--out $results/dataset.txt"
    "bench_display|display/bench_display|--out $results/display.txt"
    "bench_graph|display/bench_graph|--out $results/display-graph.txt"
    "bench_graph_1m|display/bench_graph|--points 1000000 --out $results/display-graph-1m.txt"
    "bench_grobj|grobj/bench_grobj|--out $results/grobj.txt"
    "bench_gopix|grobj/bench_gopix|--out $results/gopix.txt"
    "bench_goover|grobj/bench_goover|--out $results/goover.txt"
    "bench_grkind|grkind/bench_grkind|--out $results/grkind.txt"
    "bench_pelx|pelx/bench_pelx|--out $results/pelx.txt"
    "bench_pelx_graded|pelx/bench_pelx_graded|--out $results/pelx-graded.txt"
    "bench_pelx_grid|pelx/bench_pelx_grid|--out $results/pelx-grid.txt"
    "bench_pelxx11|pelxx11/bench_pelxx11|--out $results/pelxx11.txt"
    "bench_pelxps|pelxps/bench_pelxps|--out $results/pelxps.txt"
    "bench_pelximg|pelximg/bench_pelximg|--out $results/pelximg.txt"
    "bench_imagelib|imagelib/bench_imagelib|--out $results/imagelib.txt"
    "bench_transfer|transfer/bench_transfer|--out $results/transfer.txt"
    "bench_doz|doz/bench_doz|--out $results/doz.txt"
)
wanted=("$@")
chosen=()
for entry in "${all[@]}"; do
    name=${entry%%|*}
    if ((${#wanted[@]} == 0)); then
        chosen+=("$entry")
        continue
    fi
    for w in "${wanted[@]}"; do
        [[ $w == "$name" ]] && chosen+=("$entry")
    done
done
if ((${#chosen[@]} == 0)); then
    echo "run-all.sh: no benchmark named ${wanted[*]}" >&2
    exit 2
fi

if ((do_build)); then
    launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    # The tests' build of the interpreter answers the TEST statements the
    # display and dataset benchmarks ask for.
    cmake -S "$root" -B "$build" "${launcher[@]}" -DVX_BENCH=ON -DVX_TESTS=ON -DVX_SANITIZE=OFF \
        -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
    targets=()
    for entry in "${chosen[@]}"; do
        program=${entry#*|}
        program=${program%%|*}
        targets+=("$(basename "$program")")
    done
    cmake --build "$build" -j"$jobs" --target $(printf '%s\n' "${targets[@]}" | sort -u) || exit 1
fi

# A private X server for the benchmarks that draw.
display=
for n in $(seq 140 199); do
    if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then
        display=:$n
        break
    fi
done
xvfb_pid=
if [[ -n $display ]]; then
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [[ -e /tmp/.X11-unix/X${display#:} ]] && break
        sleep 0.1
    done
    export DISPLAY=$display
fi
trap '[[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null' EXIT

mkdir -p "$results"
log=$results/run-all.txt
{
    echo "One sitting of bench/run-all.sh on $(hostname), $(nproc) processors, $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo
    printf '%-18s %-9s %-16s %9s  %s\n' benchmark start "load average" seconds status
} >"$log"
status=0
for entry in "${chosen[@]}"; do
    IFS='|' read -r name program args <<<"$entry"
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    start=$(date -u +%H:%M:%S)
    t0=$(date +%s.%N)
    echo "== $name (load average $load)"
    # shellcheck disable=SC2086
    "$build/bench/$program" $args
    rc=$?
    t1=$(date +%s.%N)
    ((rc == 0)) || status=1
    printf '%-18s %-9s %-16s %9.1f  %s\n' "$name" "$start" "$load" "$(awk "BEGIN { print $t1 - $t0 }")" \
        "$([[ $rc == 0 ]] && echo ok || echo "failed ($rc)")" >>"$log"
done
echo "written to $log"
exit $status
