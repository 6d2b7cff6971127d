#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite twice: in a normal
# build, then in an AddressSanitizer + UndefinedBehaviorSanitizer build. The second
# build uses clang: a second compiler's warnings for free, its sanitizers are the
# reference ones, and it compiles an unoptimised build in two thirds of gcc's time.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

# clang for the sanitizer build; its runtimes (libclang-rt) hold libFuzzer too, which the
# fuzz targets of that build link. systemd and zsh only so that the install check can
# verify the units and the zsh completion.
scripts/install-deps.sh clang libclang-rt-14-dev systemd zsh
jobs=$(nproc)

echo "== build"
scripts/build.sh "$top/build"
echo "== tests"
ctest --test-dir "$top/build" --output-on-failure -j "$jobs"

echo "== build with AddressSanitizer and UndefinedBehaviorSanitizer"
# Line tables are all that the sanitizers' reports need.
scripts/build.sh "$top/build-asan" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g1" -DTUVO_SANITIZE=ON -DTUVO_BUILD_BENCHMARKS=OFF
echo "== tests under the sanitizers"
# Qt keeps global objects alive to the end of the process: no leak detection.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$top/build-asan" --output-on-failure -j "$jobs"
