#!/usr/bin/env bash
# Builds a copy of the sample plugin, as libtuvo-outside-plugin.so, against an installed
# SDK as an outside author would: find_package(TuvoFramework), tuvo_add_plugin(), nothing
# from the source tree but the plugin's own folder; then installs it into its own prefix.
# Whether the installed wrapper loads it is the install check's (it browses it).
#   check-out-of-tree.sh <build dir> <source dir> <SDK prefix> <plugin prefix>
set -euo pipefail
source=$2 prefix=$3 outside=$4 scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cp -r "$source/plugins/sample" "$scratch/plugin-src"
sed -i 's/tuvo-sample-plugin/tuvo-outside-plugin/' "$scratch/plugin-src/CMakeLists.txt"
cmake -S "$scratch/plugin-src" -B "$scratch/plugin-build" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$scratch/plugin-build" >/dev/null

# It needs the framework and Qt, nothing of the host.
needed=$(readelf -d "$scratch/plugin-build/libtuvo-outside-plugin.so" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p')
for library in $needed; do
    case "$library" in
        libtuvoframework.so.*|libQt6Core.so.*|libstdc++.so.*|libm.so.*|libgcc_s.so.*|libc.so.*) ;;
        *) echo "unexpected dependency: $library"; exit 1 ;;
    esac
done
echo "$needed" | grep -q libtuvoframework || { echo "not linked to the framework"; exit 1; }
test -f "$prefix/share/dbus-1/interfaces/com.oxbel.tuvo.renderer.xml"

# Installed into the prefix it is given, with activation files that start the SDK's wrapper.
cmake --install "$scratch/plugin-build" --prefix "$outside" >/dev/null
test -f "$outside/lib/tuvo/plugins/libtuvo-outside-plugin.so" \
    || { echo "outside plugin not installed into its prefix"; exit 1; }
grep -qx "Exec=$prefix/bin/tuvo-dbus-wrapper $outside/lib/tuvo/plugins/libtuvo-outside-plugin.so" \
    "$outside/share/dbus-1/services/com.oxbel.tuvo.plugin.libtuvo_outside_plugin.service" \
    || { echo "outside plugin's service file"; exit 1; }
test -f "$outside/lib/systemd/user/tuvo-plugin-libtuvo_outside_plugin.service"
echo "out-of-tree plugin build against the installed SDK: ok"
