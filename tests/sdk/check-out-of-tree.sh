#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds the sample plugin against it as
# an outside author would: find_package(TuvoFramework), tuvo_add_plugin(), nothing
# from the source tree but the plugin's own folder.
#   check-out-of-tree.sh <build dir> <source dir>
set -euo pipefail
build=$1
source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cp -r "$source/plugins/sample" "$scratch/plugin-src"
cmake -S "$scratch/plugin-src" -B "$scratch/plugin-build" -G Ninja \
    -DCMAKE_PREFIX_PATH="$scratch/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$scratch/plugin-build" >/dev/null

plugin="$scratch/plugin-build/libtuvo-sample-plugin.so"
test -f "$plugin" || { echo "no plugin built"; exit 1; }
nm -D --defined-only "$plugin" | grep -q qt_plugin_instance || { echo "not a Qt plugin"; exit 1; }

# It needs the framework and Qt, nothing of the host.
needed=$(readelf -d "$plugin" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p')
for library in $needed; do
    case "$library" in
        libtuvoframework.so.*|libQt6Core.so.*|libstdc++.so.*|libm.so.*|libgcc_s.so.*|libc.so.*) ;;
        *) echo "unexpected dependency: $library"; exit 1 ;;
    esac
done
echo "$needed" | grep -q libtuvoframework || { echo "not linked to the framework"; exit 1; }

# The installed interface files and plugin come along too.
test -f "$scratch/prefix/share/dbus-1/interfaces/com.oxbel.tuvo.renderer.xml"
find "$scratch/prefix" -path '*/tuvo/plugins/libtuvo-sample-plugin.so' | grep -q . \
    || { echo "sample plugin not installed into the plugin directory"; exit 1; }
echo "out-of-tree plugin build against the installed SDK: ok"
