#!/usr/bin/env bash
# The demonstration itself, run inside a private session bus by run-demo.sh.
set -euo pipefail
build=$1
plugin="$build/lib/tuvo/plugins/libtuvo-sample-plugin.so"
control=com.oxbel.tuvo.plugin.libtuvo_sample_plugin

"$build/bin/tuvo-dbus-wrapper" "$plugin" &
wrapper=$!
trap 'kill $wrapper 2>/dev/null || true' EXIT

echo "== the wrapper starts and waits for a client"
for _ in $(seq 100); do
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$control" | grep -q true && break
    sleep 0.05
done
echo "$control is on the bus"

echo "== a client activates the plugin: hello signals of what gets published"
gdbus monitor --session --dest "$control" > "${TMPDIR:-/tmp}/tuvo-demo-$$.log" &
monitor=$!
sleep 0.2
gdbus call --session --dest "$control" --object-path /com/oxbel/tuvo/plugin/libtuvo_sample_plugin \
    --method com.oxbel.tuvo.plugin.activate >/dev/null
sleep 0.3
kill $monitor
grep -E 'new_source|new_renderer' "${TMPDIR:-/tmp}/tuvo-demo-$$.log" | sed 's/^/  /'
rm -f "${TMPDIR:-/tmp}/tuvo-demo-$$.log"
echo "(the activating client has exited, so the plugin was unloaded again)"

echo "== SIGTERM: the wrapper withdraws everything and exits"
kill -TERM $wrapper
wait $wrapper && echo "exit status 0"
trap - EXIT
