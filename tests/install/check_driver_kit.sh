#!/usr/bin/env bash
# Installs the build into a scratch prefix, builds the skeleton driver out of
# tree against it (nothing but the installed headers and tovi::driver), puts the
# module beside the installed libtovi.so and runs the conformance suite on it.
set -euo pipefail
build_dir=$1 work=$2 kit=$3 tests=$4 cxx=$5 launcher=${6:-}
# The compiler launcher (ccache), if any; its key leaves out the scratch folder.
export CCACHE_NOHASHDIR=true CCACHE_BASEDIR=$work

rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name libtovi.so -print -quit)")
test -f "$libdir/libtovi_driver.a"
test -f "$prefix/include/tovi/driver/framework.hpp"

cmake -S "$kit" -B "$work/build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
      ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher"} \
      -DTOVI_TESTS_DIR="$tests" -DTOVI_MODULE_DIR="$libdir" >/dev/null
cmake --build "$work/build" >/dev/null
test -f "$libdir/tovi_SQLITE_EMB.so"
"$work/build/conformance" --gtest_brief=1
