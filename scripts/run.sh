#!/usr/bin/env bash
# The main job: builds tovi and runs tovibench against an embedded SQLite database
# in a fresh temporary directory, printing its report. Arguments, if any, go to
# tovibench instead (see `bash scripts/run.sh --help`).
#   bash scripts/run.sh --all-engines   tovibench on SQLite, SQLite through ODBC,
#                                       embedded Firebird and Jet through ADO: one
#                                       table of seconds and a chart
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

log=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$log" "$work"' EXIT
targets=(tovibench)
if [ "${1:-}" = "--all-engines" ]; then
  targets+=(tovi_odbc tovi_ibemb tovi_ado dialect_interbase dialect_msjet)
fi
if ! { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build build --parallel "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}"; } \
     >"$log" 2>&1; then
  cat "$log" >&2
  echo "build failed" >&2
  exit 1
fi
if [ "${1:-}" = "--all-engines" ]; then
  bash scripts/all_engines.sh build "${2:-build/all-engines.svg}"
  exit
fi
if [ $# -eq 0 ]; then
  set -- --conn_str /SQLITE --db_name "$work/tovibench.db"
fi
build/bin/tovibench "$@"
