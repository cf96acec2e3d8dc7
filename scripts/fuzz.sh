#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (FUZZ_SECONDS,
# default 60) on its seed corpus. Fails on the first crash, leak or sanitizer report.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DQMT_FUZZ=ON -DQMT_WERROR=ON -DQMT_BUILD_TESTS=OFF \
  -DQMT_BUILD_BENCH=OFF -DQMT_BUILD_DEVSERVER=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >&2

seconds="${FUZZ_SECONDS:-60}"
shopt -s nullglob
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus_src="$root/fuzz/corpus/${name#fuzz_}"
  work="$(mktemp -d)"
  [ -d "$corpus_src" ] && cp -r "$corpus_src"/. "$work"/
  echo "== $name for ${seconds}s" >&2
  (cd "$work" && "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "$work" \
     >"$work.log" 2>&1) || { tail -n 60 "$work.log"; echo "fuzz target $name failed" >&2; exit 1; }
  tail -n 3 "$work.log" >&2
  rm -rf "$work" "$work.log"
done
