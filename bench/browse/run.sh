#!/usr/bin/env bash
# Builds and runs the browse benchmarks on a private session bus: the throughput of a
# browse through the wrapper against the raw capacity of the same bus, and the cost of
# encoding one record's metadata.
#   bench/browse/run.sh [tuvo-bench-browse arguments, e.g. --sizes 10000,100000 --rounds 3]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build" >/dev/null
"$top/build/bin/tuvo-bench-encode"
exec dbus-run-session --config-file="$top/tests/dbus-session.conf" -- \
    "$top/build/bin/tuvo-bench-browse" "$@" 2> >(grep -v 'Failed to set fd limit' >&2)
