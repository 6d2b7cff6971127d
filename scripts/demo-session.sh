#!/usr/bin/env bash
# The demonstration itself, run inside a private session bus by run-demo.sh: the
# wrapper hosts the sample plugin, and tuvo-client activates it, lists what it
# publishes, browses and queries its source, plays on its renderer and shows the
# renderer's signals as "tuvo-client watch" sees them.
set -euo pipefail
build=$1
client="$build/bin/tuvo-client"
plugin="$build/lib/tuvo/plugins/libtuvo-sample-plugin.so"


step() { printf '\n== %s\n' "$*"; }
run() {
    printf '$ tuvo-client %s\n' "$*"
    "$client" "$@" 2>&1 | sed 's/^/  /'
}
# Reads what "tuvo-client watch" printed until a line matches $1, and shows it.
watched() {
    local line
    while IFS= read -r -t 10 line <&"${WATCH[0]}"; do
        printf '  watch | %s\n' "$line"
        [[ $line =~ $1 ]] && return 0
    done
    echo "watch did not show: $1" >&2
    return 1
}
cleanup() {
    [[ -n ${watch_pid:-} ]] && kill "$watch_pid" 2>/dev/null || true
    kill "$wrapper" 2>/dev/null || true

}

"$build/bin/tuvo-dbus-wrapper" "$plugin" &
wrapper=$!
trap cleanup EXIT

step "the wrapper starts with the sample plugin and waits for a client"
gdbus wait --session --timeout 10 com.oxbel.tuvo.plugin.libtuvo_sample_plugin
run list

step "tuvo-client --plugin sample watch: keeps the plugin active and follows everything it does"
coproc WATCH { exec "$client" --plugin sample watch 2>&1; }
watch_pid=$WATCH_PID
watched '(present|hello) +renderer sample_renderer'

step "what is published now, with the names the other verbs take"
run list

step "browsing and querying the sample source"
run browse sample_source
run browse sample_source albums --json
run browse sample_source album_3 --count 2
run query sample_source night
run browse sample_source no_such_album || echo "  exit status $?"

step "playing on the sample renderer"
run play sample_renderer sample:///track_1
watched 'state_changed state=1 \(playing\)'
run status sample_renderer
run media-info sample_renderer title
run seek sample_renderer +30
run position sample_renderer
run pause sample_renderer
watched 'state_changed state=2 \(paused\)'
run get sample_renderer volume
run set sample_renderer volume 40
watched 'property_changed volume=40'
run assign-playlist sample_renderer sample_favourites
run next sample_renderer
watched 'media_changed index=0'
run stop sample_renderer
watched 'state_changed state=0 \(stopped\)'

step "names that fit no object, or more than one, are errors with their own exit status"
run stop no_such_renderer || echo "  exit status $?"
run get sample_ volume || echo "  exit status $?"

step "SIGTERM ends watch, which lets the plugin go; then the wrapper"
kill -TERM "$watch_pid"
wait "$watch_pid" && echo "watch: exit status 0"
watch_pid=
kill -TERM "$wrapper"
wait "$wrapper" && echo "wrapper: exit status 0"
trap - EXIT
