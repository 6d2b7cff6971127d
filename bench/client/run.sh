#!/usr/bin/env bash
# Builds and runs the client benchmark on a private session bus.
#   bench/client/run.sh [runs] [browse results]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build" >/dev/null
exec dbus-run-session --config-file="$top/tests/dbus-session.conf" -- \
    "$top/build/bin/tuvo-bench-client" "${1:-20}" "${2:-100000}" 2> >(grep -v 'Failed to set fd limit' >&2)
