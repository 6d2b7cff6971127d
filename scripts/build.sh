#!/usr/bin/env bash
# Configures and builds into a build directory (default: build), optimised and
# without debug information unless other cmake arguments say otherwise.
#   scripts/build.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$top/build"}
shift || true
cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir"
