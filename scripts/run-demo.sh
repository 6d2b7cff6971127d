#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job: the wrapper hosting the
# sample plugin on a private session bus, driven by tuvo-client: activate, list,
# browse, query, play, and the renderer's signals as watch shows them.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/install-deps.sh
scripts/build.sh "$top/build" >/dev/null
exec dbus-run-session --config-file="$top/tests/dbus-session.conf" -- \
    "$top/scripts/demo-session.sh" "$top/build" 2> >(grep -v 'Failed to set fd limit' >&2)
