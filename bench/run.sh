#!/usr/bin/env bash
# make bench: runs every benchmark and writes bench/RESULTS.md (the ratio tables, the machine,
# the date). Needs root (the simulator) and a built tree: BUILD=build bench/run.sh
#   BENCH_QUICK=1   fewer repetitions and a smaller budget: a smoke run, not for RESULTS.md
#   BENCH_RESULTS=FILE   where to write the rendered results (default bench/RESULTS.md)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${BUILD:-$root/build}" && pwd)
out="$build/bench-results"
results_md="${BENCH_RESULTS:-$root/bench/RESULTS.md}"
sim="$build/bin/hdlm-sim"
python=/usr/bin/python3

say() { echo "bench: $*" >&2; }
fail() { echo "bench: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "needs root (hdlm-sim makes namespaces, device nodes and loop devices); run: sudo make bench"
for tool in hdlm-sim mpio-probe plugin_bench parse_bench runner_bench peak-rss; do
  [ -x "$build/bin/$tool" ] || fail "$build/bin/$tool is missing; build first (make) or set BUILD to the build folder"
done
command -v valgrind >/dev/null || fail "valgrind is missing; run scripts/bootstrap (it installs it)"
[ -x "$python" ] || fail "$python is missing; run scripts/bootstrap (it installs python3)"

if [ "${BENCH_QUICK:-0}" = 1 ]; then
  demo_flags=(--reps=3 --budget=0.6); size_flags=(--reps=3 --budget=0.4)
  parse_flags=(--reps=3 --budget=0.2); runner_flags=(--reps=3 --budget=0.3)
  say "BENCH_QUICK=1: a smoke run with few repetitions"
else
  demo_flags=(--reps=9 --budget=4); size_flags=(--reps=5 --budget=2)
  parse_flags=(--reps=5 --budget=1); runner_flags=(--reps=5 --budget=1.5)
fi

rm -rf "$out"
mkdir -p "$out/memory"
# The plug-in logs some lines on every call (init's majors, a partition's parent): into a file,
# as a host's log would, not onto this terminal.
export TS_DEBUG_LOG="$out/plugin-log.txt"
cat /proc/loadavg > "$out/loadavg-start.txt"
date -u '+%Y-%m-%d %H:%M UTC' > "$out/date.txt"
started=$SECONDS

# Google Benchmark's table goes to the terminal, its JSON (every repetition) to a file.
gbench() { # NAME TOPOLOGY LABEL BINARY FLAGS...
  local name=$1 topology=$2 label=$3 binary=$4
  shift 4
  "$sim" run "$topology" -- "$build/bin/$binary" "$@" \
    --benchmark_out="$out/$name.json" --benchmark_out_format=json \
    --benchmark_context=topology="$label" \
    || fail "$binary on $label failed (see above); rerun: $sim run $topology -- $build/bin/$binary"
}

for lus in 16 64 256 512; do
  "$sim" generate --lus "$lus" --paths 8 --partitions 15 > "$out/topology-$lus.json" \
    || fail "hdlm-sim generate --lus $lus --paths 8 --partitions 15 failed (see above)"
done
large="$out/topology-512.json"

# The memory runs measure no time, and valgrind alone takes minutes (the plug-in's parsing under
# memcheck, and every command the report makes): they run beside the timing benchmarks, each in
# a simulator of its own. That adds to the wall-clock noise only; the goals are judged on CPU
# time. mpio-probe report ends with status 1 on the large topology whatever happens (it marks
# the partitions of LUs without loop devices), so valgrind's own verdict is a status of its
# own: 97.
say "1/5 started in the background: mpio-probe report on 512 LUs under peak-rss, and under valgrind --leak-check=full"
"$sim" run "$large" -- "$build/bin/peak-rss" --output "$out/memory/peak-rss.txt" -- \
  "$build/bin/mpio-probe" report > "$out/memory/probe-report.txt" 2>&1 &
peak_job=$!
"$sim" run "$large" -- valgrind --leak-check=full --show-leak-kinds=all \
  --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=97 \
  --log-file="$out/memory/valgrind.log" "$build/bin/mpio-probe" report \
  > "$out/memory/valgrind-probe-report.txt" 2>&1 &
valgrind_job=$!
# Neither may outlive an interrupted run (the simulator takes its command down with it).
trap 'kill "$peak_job" "$valgrind_job" 2>/dev/null || true' EXIT

say "2/5 entry points against their floors on the demo topology (sim/topologies/demo.json)"
gbench plugin-demo "$root/sim/topologies/demo.json" demo plugin_bench "${demo_flags[@]}"

for lus in 16 64 256 512; do
  topology="$out/topology-$lus.json"
  say "3/5 generated topology, $lus LUs x 8 paths x 15 partitions: entry points against their floors"
  gbench "plugin-$lus" "$topology" "lus:$lus" plugin_bench "${size_flags[@]}"
  say "    the plug-in's own cost on canned answers ($lus LUs)"
  gbench "parse-$lus" "$topology" "lus:$lus" parse_bench "${parse_flags[@]}"
done

say "4/5 the runner's start cost while this process holds 0, 1, 4 and 8 GiB"
"$build/bin/runner_bench" "${runner_flags[@]}" \
  --benchmark_out="$out/runner.json" --benchmark_out_format=json \
  || fail "runner_bench failed (see above); with too little free memory pass smaller sizes: $build/bin/runner_bench --sizes=0,1,4"

say "    waiting for the memory runs (peak-rss, valgrind) to finish"
status=0; wait "$peak_job" || status=$?; echo "$status" > "$out/memory/probe-status.txt"
status=0; wait "$valgrind_job" || status=$?; echo "$status" > "$out/memory/valgrind-status.txt"
trap - EXIT
[ -s "$out/memory/peak-rss.txt" ] || fail "peak-rss wrote nothing; see $out/memory/probe-report.txt"
[ -s "$out/memory/valgrind.log" ] || fail "valgrind wrote no log; see $out/memory/valgrind-probe-report.txt"

cat /proc/loadavg > "$out/loadavg-end.txt"
echo $((SECONDS - started)) > "$out/seconds.txt"
say "5/5 rendering $results_md"
"$python" "$root/bench/render_results.py" "$out" > "$results_md.tmp" \
  || fail "rendering the results failed (see above); the raw JSON is in $out"
mv "$results_md.tmp" "$results_md"
cat "$results_md"
say "done in $((SECONDS - started)) s; raw results in $out"
