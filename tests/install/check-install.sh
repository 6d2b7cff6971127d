#!/usr/bin/env bash
# Installs the build into a scratch prefix and uses it from there as a user would, with
# no environment of our own: the programs start (runpath), pkg-config and systemd read
# the installed files, the bus starts the installed wrapper from the installed service
# file, and a plugin built out of tree against the prefix installs where it is told and
# is found by the installed wrapper on TUVO_PLUGIN_PATH.
#   check-install.sh <build dir> <source dir>
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
# Only what a login session has; the private bus's address where there is one.
run() { env -i HOME="$scratch" PATH=/usr/bin:/bin \
            ${DBUS_SESSION_BUS_ADDRESS:+DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS} "$@"; }
has_owner() { gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
                  --method org.freedesktop.DBus.NameHasOwner "$1" | grep -q true; }

if [ "${1:-}" = --on-bus ]; then
    prefix=$2 outside=$3 scratch=$4
    control=/com/oxbel/tuvo/plugin/libtuvo_sample_plugin
    out=$(run gdbus call --session --dest com.oxbel.tuvo.plugin.libtuvo_sample_plugin \
              --object-path $control --method com.oxbel.tuvo.plugin.activate)
    [ "$out" = "()" ] || fail "the bus did not start the installed wrapper: $out"

    run TUVO_PLUGIN_PATH="$outside/lib/tuvo/plugins" "$prefix/bin/tuvo-dbus-wrapper" \
        libtuvo-outside-plugin.so 2>"$scratch/wrapper.log" &
    wrapper=$!
    for _ in $(seq 100); do has_owner com.oxbel.tuvo.plugin.libtuvo_outside_plugin && break; sleep 0.1; done
    out=$(run "$prefix/bin/tuvo-client" --plugin outside browse sample_source albums) \
        || fail "browsing the outside plugin: $(cat "$scratch/wrapper.log")"
    [ -n "$out" ] || fail "the outside plugin's source browsed nothing"
    kill "$wrapper"
    wait "$wrapper"
    exit 0
fi

build=$1
source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
outside=$scratch/outside
cmake --install "$build" --prefix "$prefix" >/dev/null

run "$prefix/bin/tuvo-dbus-wrapper" --version | grep -q "^tuvo-dbus-wrapper " \
    || fail "the installed wrapper does not start"
run "$prefix/bin/tuvo-client" --version >/dev/null || fail "the installed tuvo-client does not start"
test -f "$prefix/share/man/man1/tuvo-dbus-wrapper.1" || fail "no man page"

pcdir=$(dirname "$(find "$prefix" -name tuvo-framework.pc)")
pc() { PKG_CONFIG_PATH=$pcdir pkg-config "$@"; }
test -f "$(pc --variable=plugindir tuvo-framework)/libtuvo-sample-plugin.so" \
    || fail "pkg-config's plugindir has no plugins"
pc --cflags --libs tuvo-framework tuvo-client >/dev/null || fail "pkg-config files"

for plugin in sample filesystem gstreamer; do
    name=libtuvo_${plugin}_plugin
    service=$prefix/share/dbus-1/services/com.oxbel.tuvo.plugin.$name.service
    grep -qx "Exec=$prefix/bin/tuvo-dbus-wrapper $prefix/.*/libtuvo-$plugin-plugin.so" "$service" \
        || fail "service file of $plugin"
    grep -qx "SystemdService=tuvo-plugin-$name.service" "$service" || fail "unit of $plugin not named"
    test -f "$prefix/lib/systemd/user/tuvo-plugin-$name.service" || fail "no unit for $plugin"
done
if command -v systemd-analyze >/dev/null; then
    # A user manager of its own for the check; man pages are looked at elsewhere.
    mkdir -m 700 "$scratch/runtime"
    report=$(XDG_RUNTIME_DIR=$scratch/runtime systemd-analyze --user --man=no verify \
                 "$prefix"/lib/systemd/user/*.service 2>&1) || fail "systemd units: $report"
    [ -z "$report" ] || fail "systemd units: $report"
else
    echo "systemd-analyze is missing: units not verified"
fi

# An outside plugin, built against the prefix and installed into another one.
"$source/tests/sdk/check-out-of-tree.sh" "$build" "$source" "$prefix" "$outside"

# The plugin of the README, built from the README's own text.
mkdir "$scratch/readme-plugin"
awk '/^## Writing a plugin/ { on = 1 } on && /^```cmake$/ { c = 1; next } c && /^```$/ { exit } c' \
    "$source/README.md" >"$scratch/readme-plugin/CMakeLists.txt"
awk '/^## Writing a plugin/ { on = 1 } on && /^```cpp$/ { c = 1; next } c && /^```$/ { exit } c' \
    "$source/README.md" >"$scratch/readme-plugin/MyPlugin.cpp"
cmake -S "$scratch/readme-plugin" -B "$scratch/readme-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null || fail "configuring the README's plugin"
cmake --build "$scratch/readme-build" >/dev/null || fail "building the README's plugin"
nm -D --defined-only "$scratch/readme-build/libtuvo-my-plugin.so" | grep -q qt_plugin_instance \
    || fail "the README's plugin is no Qt plugin"

cat >"$scratch/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <include>$source/tests/dbus-session.conf</include>
  <servicedir>$prefix/share/dbus-1/services</servicedir>
</busconfig>
CONF
dbus-run-session --config-file="$scratch/bus.conf" -- "$0" --on-bus "$prefix" "$outside" "$scratch"
echo "install into a prefix of its own: ok"
