#!/usr/bin/env bash
# The main job: builds tovi and runs its example program on the arguments given
# (by default the connection URL "/ODBC/SQL Server/myhost" with database "db1").
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build build --parallel "$(nproc 2>/dev/null || echo 2)" --target url_info; } \
     >"$log" 2>&1; then
  cat "$log" >&2
  echo "build failed" >&2
  exit 1
fi
if [ $# -eq 0 ]; then
  set -- -d db1 "/ODBC/SQL Server/myhost"
fi
build/bin/url_info "$@"
