#!/usr/bin/env bash
# Builds and runs the start-up benchmark on a private session bus.
#   bench/startup/run.sh [runs]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build" >/dev/null
exec dbus-run-session --config-file="$top/tests/dbus-session.conf" -- \
    "$top/build/bin/tuvo-bench-startup" "${1:-30}" 2> >(grep -v 'Failed to set fd limit' >&2)
