#!/usr/bin/env bash
# Installs the build into a scratch prefix and uses it from there with no environment of
# ours: the programs start (runpath), pkg-config and systemd read the installed files,
# the bus starts the installed wrapper from its service file, the README's plugin and an
# outside plugin build against the prefix, and the installed wrapper finds the latter on
# TUVO_PLUGIN_PATH for the installed tuvo-client.
#   check-install.sh <build dir> <source dir>
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { env -i HOME="$scratch" PATH=/usr/bin:/bin DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" "$@"; }

if [ "${1:-}" = --on-bus ]; then
    prefix=$2 outside=$3 scratch=$4
    # No wrapper runs yet: the installed client has the bus start the filesystem plugin's.
    out=$(run "$prefix/bin/tuvo-client" --plugin filesystem browse filesystem) && grep -q song.ogg <<<"$out" \
        || fail "tuvo-client did not start the filesystem plugin on demand: $out"
    out=$(run gdbus call --session --dest com.oxbel.tuvo.plugin.libtuvo_sample_plugin --object-path \
              /com/oxbel/tuvo/plugin/libtuvo_sample_plugin --method com.oxbel.tuvo.plugin.activate)
    [ "$out" = "()" ] || fail "the bus did not start the installed wrapper: $out"
    # Not through run(): $! must be the wrapper itself, not a subshell around it.
    env -i HOME="$scratch" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" TUVO_PLUGIN_PATH="$outside/lib/tuvo/plugins" \
        "$prefix/bin/tuvo-dbus-wrapper" libtuvo-outside-plugin.so 2>"$scratch/wrapper.log" &
    until gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus --method \
          org.freedesktop.DBus.NameHasOwner com.oxbel.tuvo.plugin.libtuvo_outside_plugin | grep -q true; do
        kill -0 $! || fail "wrapper: $(cat "$scratch/wrapper.log")"; sleep 0.1
    done
    out=$(run "$prefix/bin/tuvo-client" --plugin outside browse sample_source albums) && [ -n "$out" ] \
        || fail "browsing the outside plugin: $(cat "$scratch/wrapper.log")"
    kill $! && wait $!
    exit 0
fi

build=$1 source=$2 scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
run "$prefix/bin/tuvo-dbus-wrapper" --version | grep -q "^tuvo-dbus-wrapper " || fail "installed wrapper"
run "$prefix/bin/tuvo-client" --version >/dev/null || fail "installed tuvo-client"

pc() { PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name tuvo-framework.pc)") pkg-config "$@"; }
test -f "$(pc --variable=plugindir tuvo-framework)/libtuvo-sample-plugin.so" || fail "pkg-config plugindir"
pc --cflags --libs tuvo-framework tuvo-client >/dev/null || fail "pkg-config files"

for plugin in sample filesystem gstreamer; do
    name=libtuvo_${plugin}_plugin
    service=$prefix/share/dbus-1/services/com.oxbel.tuvo.plugin.$name.service
    grep -qx "Exec=$prefix/bin/tuvo-dbus-wrapper $prefix/.*/libtuvo-$plugin-plugin.so" "$service" \
        && grep -qx "SystemdService=tuvo-plugin-$name.service" "$service" || fail "service file of $plugin"
    test -f "$prefix/lib/systemd/user/tuvo-plugin-$name.service" || fail "no unit for $plugin"
done
if command -v systemd-analyze >/dev/null; then
    mkdir -m 700 "$scratch/runtime"   # for a user manager of the check's own
    report=$(XDG_RUNTIME_DIR=$scratch/runtime systemd-analyze --user --man=no verify \
                 "$prefix"/lib/systemd/user/*.service 2>&1) && [ -z "$report" ] || fail "units: $report"
else
    echo "systemd-analyze is missing: units not verified"
fi
# The shell completions parse.
bash -n "$prefix/share/bash-completion/completions/tuvo-client" || fail "bash completion"
if command -v zsh >/dev/null; then
    zsh -n "$prefix/share/zsh/site-functions/_tuvo-client" || fail "zsh completion"
fi

# The README's plugin, built from the README's own text.
mkdir "$scratch/readme"
for block in cmake:CMakeLists.txt cpp:MyPlugin.cpp; do
    awk -v b="${block%%:*}" '/^## Writing a plugin/ { on = 1 } on && $0 == "```" b { c = 1; next }
        c && /^```$/ { exit } c' "$source/README.md" >"$scratch/readme/${block#*:}"
done
cmake -S "$scratch/readme" -B "$scratch/readme-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null \
    && cmake --build "$scratch/readme-build" >/dev/null || fail "building the README's plugin"
"$source/tests/sdk/check-out-of-tree.sh" "$build" "$source" "$prefix" "$scratch/outside"

printf '<busconfig><include>%s</include><servicedir>%s</servicedir></busconfig>\n' \
    "$source/tests/dbus-session.conf" "$prefix/share/dbus-1/services" >"$scratch/bus.conf"
# The bus starts wrappers with its own environment: a home whose one media folder is known.
mkdir -p "$scratch/.config/tuvo" "$scratch/media" && touch "$scratch/media/song.ogg"
echo "root=$scratch/media" >"$scratch/.config/tuvo/filesystem-plugin.conf"
env -u XDG_CONFIG_HOME HOME="$scratch" dbus-run-session --config-file="$scratch/bus.conf" -- "$0" --on-bus "$prefix" "$scratch/outside" "$scratch"
echo "install into a prefix of its own: ok"
