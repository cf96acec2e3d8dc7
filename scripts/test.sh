#!/usr/bin/env bash
# Builds and runs every test suite. Usage: scripts/test.sh [--sanitize]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$("$root/scripts/build.sh" "$@" | tail -n 1)"
if [ "${1:-}" = "--sanitize" ]; then
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 600
