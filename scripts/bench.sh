#!/usr/bin/env bash
# Builds and runs every benchmark program (three repetitions each, interleaved at random with
# the others so that load from the rest of the machine falls on all alike; medians count),
# then prints one table of every ratio (name, ours, reference, ratio, goal) and writes the same
# rows to bench-ratios.json in the build directory, so a later change can be compared against
# them. Extra arguments go to every program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$("$root/scripts/build.sh" | tail -n 1)"
rows="$build/bench-ratios.tsv"
: >"$rows"
export QMT_BENCH_ROWS="$rows"
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.2 --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true "$@"
done

# Rows: name, ours, reference name, reference time, unit, ratio, goal (0: information only).
echo
echo "== ratios (ours / reference; goal: the ratio must not exceed it)"
awk -F'\t' '
  BEGIN { printf "%-46s %12s  %-24s %12s %7s %7s  %s\n", "name", "ours", "reference", "time", "ratio", "goal", "" }
  {
    goal = $7 > 0 ? sprintf("%.2f", $7) : "-"
    verdict = $7 > 0 ? ($6 <= $7 ? "met" : "NOT MET") : "info"
    printf "%-46s %9.3f %-2s  %-24s %9.3f %-2s %7.2f %7s  %s\n", $1, $2, $5, $3, $4, $5, $6, goal, verdict
  }' "$rows"

json="$build/bench-ratios.json"
awk -F'\t' '
  function q(s) { gsub(/\\/, "\\\\", s); gsub(/"/, "\\\"", s); return "\"" s "\"" }
  BEGIN { print "[" }
  {
    if (NR > 1) print ","
    printf "  {\"name\": %s, \"ours\": %s, \"reference\": %s, \"reference_time\": %s, \"unit\": %s, \"ratio\": %s, \"goal\": %s}", q($1), $2, q($3), $4, q($5), $6, ($7 > 0 ? $7 : "null")
  }
  END { print ""; print "]" }' "$rows" >"$json"
echo "rows written to $json"
