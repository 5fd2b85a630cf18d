#!/usr/bin/env bash
# Builds tovi and runs the whole test suite.
#   scripts/test.sh             the normal build, in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan/
#   scripts/test.sh --threads   the tests that use threads, under ThreadSanitizer, in build-tsan/
#   scripts/test.sh --fuzz [SECONDS]  each fuzz target for SECONDS (default 20) on its
#                               committed corpus, built with clang in build-fuzz/
# With CI=true, warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

build_dir=build
# Every driver, the tests and the examples (a build folder the main job made
# builds the SQLite road only).
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVI_BUILD_TESTS=ON -DTOVI_BUILD_EXAMPLES=ON
         -DTOVI_WITH_ODBC=ON -DTOVI_WITH_FIREBIRD=ON -DTOVI_WITH_POSTGRESQL=ON)
targets=()
filter=()
if [ "${1:-}" = "--fuzz" ]; then
  seconds=${2:-20}
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOVI_FUZZ=ON -DTOVI_BUILD_TESTS=OFF -DTOVI_BUILD_EXAMPLES=OFF -DTOVI_BUILD_BENCH=OFF
  cmake --build build-fuzz --target fuzz_targets --parallel "$(nproc 2>/dev/null || echo 2)"
  failures=0
  for target in url sql_param date odbc_value ado_insert dialect_errors variant_text value_rules; do
    work=$(mktemp -d)
    cp tests/fuzz/corpus/$target/* "$work/"
    if (cd "$work" && "$OLDPWD/build-fuzz/bin/${target}_fuzz" -max_total_time="$seconds" \
          -timeout=10 -print_final_stats=1 "$work" >log 2>&1); then
      echo "fuzz $target: $(grep -o 'number_of_executed_units: [0-9]*' "$work/log" | cut -d' ' -f2) inputs, no failure"
    else
      echo "fuzz $target FAILED:"; tail -30 "$work/log"; ls "$work"/crash-* "$work"/leak-* 2>/dev/null
      failures=$((failures + 1))
    fi
    rm -rf "$work"
  done
  echo "fuzz: $((8 - failures)) passed, $failures failed"
  exit $((failures != 0))
fi
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-asan
  options=(-DCMAKE_BUILD_TYPE=Debug -DTOVI_SANITIZE=ON)
elif [ "${1:-}" = "--threads" ]; then
  build_dir=build-tsan
  options=(-DCMAKE_BUILD_TYPE=Debug -DTOVI_TSAN=ON -DTOVI_BUILD_BENCH=OFF -DTOVI_BUILD_EXAMPLES=OFF)
  targets=(--target sqlite_threads_test tovi_sqlite dialect_sqlite)
  filter=(-R "Threads")
fi
if [ "${CI:-}" = "true" ]; then
  options+=(-DTOVI_WERROR=ON)
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$build_dir" -G Ninja "${options[@]}"
cmake --build "$build_dir" --parallel "$jobs" "${targets[@]}"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
# use_tls=0: the leak checker does not take threads' TLS as roots. Its record of
# the main thread's dynamic TLS still lists the block of a library unloaded at
# exit (the embedded Firebird engine's), and reading it crashed the checker's
# tracer after tests that had passed. Taking fewer roots can only report more
# leaks, never hide one.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan.supp:use_tls=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
ctest --test-dir "$build_dir" --output-on-failure --parallel "$jobs" "${filter[@]}"
