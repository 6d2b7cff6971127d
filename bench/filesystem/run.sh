#!/usr/bin/env bash
# The filesystem and GStreamer plugins under load, beside Grilo, in one command:
#   bench/filesystem/run.sh [data folder]
# Installs what it needs (Grilo and the audio encoders too), builds, makes the media
# folders once (kept in the data folder, default build/bench-media), and runs the
# benchmark on a private session bus.
#
#   bench/filesystem/run.sh --scale [N[,N...]] [data folder]
# browses N plain files and N empty .mp3-named files (N defaults to 100000,1000000)
# beside the raw in-process listing, through the benchmark itself and through
# tuvo-client; the folders go to a tmpfs (/dev/shm) by default, so the figures are
# about the source and not the disk. Each holds N inodes: remove the data folder when
# done. Not part of the test suite.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
if [ "${1:-}" = --scale ]; then
    counts=${2:-100000,1000000}
    data=${3:-/dev/shm/tuvo-bench-scale}
    "$top/scripts/build.sh" "$top/build" >/dev/null
    for kind in plain mp3; do for count in ${counts//,/ }; do
        folder="$data/$kind-$count"
        [ -f "$folder/.done" ] && continue
        rm -rf "$folder" && mkdir -p "$folder"
        ext=jpg; [ $kind = mp3 ] && ext=mp3
        echo "making $folder (once)..."
        (cd "$folder" && seq -f "file-%07g.$ext" 1 "$count" | xargs touch)
        touch "$folder/.done"
    done; done
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    exec dbus-run-session --config-file="$top/tests/dbus-session.conf" -- \
        "$top/build/bin/tuvo-bench-filesystem" --scale "$data" "$scratch" "$counts"
fi
data=${1:-"$top/build/bench-media"}
"$top/scripts/install-deps.sh" libgrilo-0.3-bin grilo-plugins-0.3 sox lame flac vorbis-tools
"$top/scripts/build.sh" "$top/build" >/dev/null
bench="$top/build/bin/tuvo-bench-filesystem"

plain() { # <count>
    local folder="$data/plain-$1"
    [ -f "$folder/.done" ] && return
    rm -rf "$folder" && mkdir -p "$folder"
    (cd "$folder" && seq -f 'photo-%06g.jpg' 1 "$1" | xargs -n 5000 sh -c 'for f; do printf x > "$f"; done' _)
    touch "$folder/.done"
}
echo "making the media folders in $data (once)..."
plain 10000
plain 100000
if [ ! -f "$data/audio/.done" ]; then
    rm -rf "$data/audio" "$data/base" && mkdir -p "$data/audio" "$data/base"
    base="$data/base"
    sox -n -r 22050 -c 1 -b 16 "$base/tone.wav" synth 3 sine 440 vol 0.3
    lame --quiet --tt "Low Tide" --ta "The Tidewaters" --tl "Harbour Lights" "$base/tone.wav" "$base/tone.mp3"
    flac --silent -T "TITLE=Low Tide" -T "ARTIST=The Tidewaters" -T "ALBUM=Harbour Lights" \
        -o "$base/tone.flac" "$base/tone.wav"
    oggenc --quiet -t "Low Tide" -a "The Tidewaters" -l "Harbour Lights" -o "$base/tone.ogg" "$base/tone.wav"
    cp "$base/tone.wav" "$base/tagged.wav"
    "$bench" --tag-wav "$base/tagged.wav" "Low Tide" "The Tidewaters" "Harbour Lights"
    for i in $(seq -w 1 500); do
        for kind in mp3 flac ogg; do cp "$base/tone.$kind" "$data/audio/track-$i.$kind"; done
        cp "$base/tagged.wav" "$data/audio/track-$i.wav"
    done
    touch "$data/audio/.done"
fi
[ -f "$data/render.wav" ] || sox -n -r 44100 -c 2 -b 16 "$data/render.wav" synth 5 sine 440 vol 0.3
# Warm: the figures are about the plugins and Grilo, not the disk.
cat "$data"/audio/* > /dev/null
du -s "$data" > /dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dbus-run-session --config-file="$top/tests/dbus-session.conf" -- "$bench" "$data" "$scratch" \
    2> >(grep -v -e 'Failed to set fd limit' -e 'Cannot autolaunch D-Bus' -e '^$' >&2)
