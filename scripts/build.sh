#!/usr/bin/env bash
# Configures and builds one flavour of the tree. Usage: scripts/build.sh [--sanitize]
# Prints the build directory on its last line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"

build="$root/build"
flags=(-DQMT_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-asan"
  flags+=(-DQMT_SANITIZE=ON -DQMT_BUILD_BENCH=OFF)
fi
cmake -S "$root" -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" >&2
echo "$build"
