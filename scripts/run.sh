#!/usr/bin/env bash
# The main job: builds tovi and runs tovibench against an embedded SQLite database
# in a fresh temporary directory, printing its report. Arguments, if any, go to
# tovibench instead (see `bash scripts/run.sh --help`).
#   bash scripts/run.sh --all-engines   tovibench on SQLite, SQLite through ODBC,
#                                       embedded Firebird and Jet through ADO: one
#                                       table of seconds and a chart
# It installs only what the job needs (scripts/test.sh installs the rest) and
# says what it is doing: a line per stage, the build's progress on a terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
all_engines=false
[ "${1:-}" = "--all-engines" ] && all_engines=true
stage() { echo "==> $*"; }

if $all_engines; then
  stage "Checking the Debian packages of every engine"
  bash scripts/deps.sh
else
  stage "Checking the Debian packages the main job needs"
  bash scripts/deps.sh --main
fi

log=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$log" "$work"' EXIT
# A build folder made here builds the SQLite road only; one made by
# scripts/test.sh (every driver, the tests) is used as it is.
options=()
if [ ! -f build/CMakeCache.txt ]; then
  options=(-DTOVI_BUILD_TESTS=OFF -DTOVI_BUILD_EXAMPLES=OFF)
  $all_engines || options+=(-DTOVI_WITH_ODBC=OFF -DTOVI_WITH_FIREBIRD=OFF -DTOVI_WITH_POSTGRESQL=OFF)
elif $all_engines; then
  options=(-DTOVI_WITH_ODBC=ON -DTOVI_WITH_FIREBIRD=ON -DTOVI_WITH_POSTGRESQL=ON)
fi
targets=(tovibench)
if $all_engines; then
  targets+=(tovi_odbc tovi_ibemb tovi_ado tovi_pgsql dialect_interbase dialect_msjet dialect_postgresql)
fi
stage "Configuring the build (cmake, in build/)"
if ! cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >"$log" 2>&1; then
  cat "$log" >&2
  echo "configuration failed" >&2
  exit 1
fi
stage "Building ${targets[*]} (the first build takes some minutes)"
build=(cmake --build build --parallel "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}")
if [ -t 1 ]; then
  "${build[@]}"  # ninja's own progress line
elif ! "${build[@]}" >"$log" 2>&1; then
  cat "$log" >&2
  echo "build failed" >&2
  exit 1
fi
if $all_engines; then
  stage "Running tovibench on every engine"
  bash scripts/all_engines.sh build "${2:-build/all-engines.svg}"
  exit
fi
if [ $# -eq 0 ]; then
  set -- --conn_str /SQLITE --db_name "$work/tovibench.db"
  stage "Running tovibench on an embedded SQLite database ($work/tovibench.db)"
fi
build/bin/tovibench "$@"
