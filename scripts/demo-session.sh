#!/usr/bin/env bash
# The demonstration itself, run inside a private session bus by run-demo.sh: the
# wrapper hosts the sample plugin, and tuvo-client activates it, lists what it
# publishes, browses and queries its source, plays on its renderer and shows the
# renderer's signals as "tuvo-client watch" sees them. Then the shipped plugins do
# the same with a real folder and real files: the filesystem source browses a media
# folder made here, the GStreamer renderer plays a file of it and an M3U playlist.
set -euo pipefail
build=$1
client="$build/bin/tuvo-client"
plugin="$build/lib/tuvo/plugins/libtuvo-sample-plugin.so"


step() { printf '\n== %s\n' "$*"; }
run() {
    printf '$ tuvo-client'; printf ' %q' "$@"; printf '\n'
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
    kill "$wrapper" ${more_wrappers:-} 2>/dev/null || true
    [[ -n ${demo_home:-} ]] && rm -rf "$demo_home"
}
# A WAV file of $2 seconds of silence (8 kHz, 16 bit, mono), without any tool.
le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1&255)) $(($1>>8&255)) $(($1>>16&255)) $(($1>>24&255)))"; }
le16() { le32 "$1" | head -c 2; }
wav() {
    local bytes=$((16000 * $2))
    { printf RIFF; le32 $((36 + bytes)); printf 'WAVEfmt '; le32 16; le16 1; le16 1
      le32 8000; le32 16000; le16 2; le16 16; printf data; le32 "$bytes"
      head -c "$bytes" /dev/zero; } > "$1"
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

step "the shipped plugins on a real folder: a media folder, a configuration, a playlist"
demo_home=$(mktemp -d)
media="$demo_home/Music"
mkdir -p "$media/Harbour Lights" "$demo_home/.config/tuvo" "$demo_home/.local/share/tuvo/playlists"
wav "$media/Harbour Lights/01 Low Tide.wav" 1
wav "$media/Harbour Lights/02 Night Ferry.wav" 1
echo "liner notes" > "$media/notes.txt"
echo "root=$media" > "$demo_home/.config/tuvo/filesystem-plugin.conf"
printf '#EXTM3U\n#EXTINF:1,Low Tide\nHarbour Lights/01 Low Tide.wav\n#EXTINF:1,Night Ferry\nHarbour Lights/02 Night Ferry.wav\n' \
    > "$demo_home/.local/share/tuvo/playlists/harbour.m3u"
sed -i "s|Harbour Lights/|$media/Harbour Lights/|" "$demo_home/.local/share/tuvo/playlists/harbour.m3u"
(cd "$demo_home" && find . -type f | sort | sed 's|^\./|  |')
# The plugins read their configuration from this home; without a sound device the
# GStreamer renderer plays to a sink that still runs the clock.
export HOME="$demo_home" XDG_CONFIG_HOME="$demo_home/.config" XDG_DATA_HOME="$demo_home/.local/share"
"$build/bin/tuvo-dbus-wrapper" "$build/lib/tuvo/plugins/libtuvo-filesystem-plugin.so" &
more_wrappers=$!
"$build/bin/tuvo-dbus-wrapper" "$build/lib/tuvo/plugins/libtuvo-gstreamer-plugin.so" &
more_wrappers="$more_wrappers $!"
gdbus wait --session --timeout 10 com.oxbel.tuvo.plugin.libtuvo_filesystem_plugin
gdbus wait --session --timeout 10 com.oxbel.tuvo.plugin.libtuvo_gstreamer_plugin
run list

step "tuvo-client --plugin gstreamer watch: the renderer's signals while it plays"
coproc WATCH { exec "$client" --plugin gstreamer watch 2>&1; }
watch_pid=$WATCH_PID
watched '(present|hello) +renderer gstreamer_renderer'

step "browsing the folder with the filesystem source (activated for each command)"
run --plugin filesystem browse filesystem_
run --plugin filesystem browse filesystem_ "Harbour Lights" --json
run --plugin filesystem query filesystem_ ferry

step "playing a file of it, then the playlist, with the GStreamer renderer"
run play gstreamer_renderer "file://$media/Harbour%20Lights/01%20Low%20Tide.wav"
watched 'state_changed state=1 \(playing\)'
run status gstreamer_renderer
watched 'playback_completed'
run assign-playlist gstreamer_renderer harbour
run goto gstreamer_renderer 0
watched 'media_changed index=0'
watched 'media_changed index=1'
watched 'playback_completed'
run play gstreamer_renderer "file://$media/notes.txt" || true
watched 'error code='

kill -TERM "$watch_pid"
wait "$watch_pid" && echo "watch: exit status 0"
watch_pid=
kill -TERM $more_wrappers
for pid in $more_wrappers; do wait "$pid"; done && echo "wrappers: exit status 0"
rm -rf "$demo_home"
trap - EXIT
