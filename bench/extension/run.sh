#!/usr/bin/env bash
# Builds and runs the extension property benchmark on a private session bus.
#   bench/extension/run.sh [round trips]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build" >/dev/null
exec dbus-run-session --config-file="$top/tests/dbus-session.conf" -- \
    "$top/build/bin/tuvo-bench-extension" "${1:-2000}" 2> >(grep -v 'Failed to set fd limit' >&2)
