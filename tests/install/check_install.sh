#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds and runs the consumer
# against it twice: through find_package(tovi CONFIG) and through pkg-config.
set -euo pipefail
build_dir=$1 work=$2 consumer=$3 cxx=$4

rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

# Installed public headers must not reach into private ones.
if grep -rn '#include "' "$prefix/include/tovi"; then
  echo "installed headers include non-installed files" >&2
  exit 1
fi

cmake -S "$consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_CXX_COMPILER="$cxx" -DTOVI_EXAMPLES_DIR="$consumer/../../../examples" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer"
# The installed modules are found beside the installed libtovi.so.
"$work/cmake-build/sqlite_example" "$work/example.db" | tee "$work/example.out"
grep -q "duplicate key, as expected" "$work/example.out"
"$work/cmake-build/schema_script" "$work/schema.db" | tee "$work/schema.out"
grep -q "books left after deleting their author: 0" "$work/schema.out"
grep -q "schema dropped" "$work/schema.out"

pc_dir=$(dirname "$(find "$prefix" -name tovi.pc | head -n 1)")
# shellcheck disable=SC2046
"$cxx" "$consumer/main.cpp" -o "$work/consumer-pc" \
       $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs tovi)
"$work/consumer-pc"
echo "install test passed"
