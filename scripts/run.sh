#!/usr/bin/env bash
# The main job: builds tovi and runs tovibench against an embedded SQLite database
# in a fresh temporary directory, printing its report. Arguments, if any, go to
# tovibench instead (see `bash scripts/run.sh --help`).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

log=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$log" "$work"' EXIT
if ! { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build build --parallel "$(nproc 2>/dev/null || echo 2)" --target tovibench; } \
     >"$log" 2>&1; then
  cat "$log" >&2
  echo "build failed" >&2
  exit 1
fi
if [ $# -eq 0 ]; then
  set -- --conn_str /SQLITE --db_name "$work/tovibench.db"
fi
build/bin/tovibench "$@"
