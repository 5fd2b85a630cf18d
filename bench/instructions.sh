#!/usr/bin/env bash
# Instructions tovi adds over the native SQLite C API, counted with callgrind
# (repeatable, unlike wall time).
#
# bench/tovibench_probe runs one workload N times, each iteration in an
# out-of-line function: through tovi, tovi_insert_iteration (set the bound
# variables, statement::execute() of INSERT 02's statement) and
# tovi_join_iteration (statement::next() of INNER JOIN 02, reading the fetched
# value); natively, the same SQLite calls by hand. callgrind counts only inside
# those functions (everything they call included), so the count divided by N is
# the cost of one iteration on each road, SQLite's own work included; tovi's
# minus the native one is what tovi adds.
#
# With --odbc the two roads are tovi over ODBC and the ODBC C API by hand, both
# through Debian's SQLite ODBC driver (registered in a private odbcinst.ini), and
# a third line compares whole tovibench runs with tovibench_odbc.
#
# With --firebird the roads are tovi's Firebird driver and the Firebird C API by
# hand, both on the embedded engine (no whole-run line: the engine's own work in
# SELECT 05 takes hours under callgrind).
#
# With --pgsql the roads are tovi's native PostgreSQL driver and libpq by hand,
# both against a private server this script starts and removes (only the
# client's instructions count: the server is another process).
#
#   bench/instructions.sh [--odbc|--firebird|--pgsql] [BUILD_DIR]   (default: build)
set -euo pipefail
odbc=false
firebird=false
pgsql=false
if [ "${1:-}" = "--odbc" ]; then odbc=true; shift; fi
if [ "${1:-}" = "--firebird" ]; then firebird=true; shift; fi
if [ "${1:-}" = "--pgsql" ]; then pgsql=true; shift; fi
build=${1:-build}
probe="$build/bin/tovibench_probe"
n=10000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
here=$(cd "$(dirname "$0")" && pwd)
tovi_road=tovi native_road=native
if $odbc; then
  tovi_road=tovi-odbc native_road=odbc
  driver=$(find /usr/lib -name libsqlite3odbc.so -print -quit)
  printf '[SQLite3 ODBC Driver]\nDriver=%s\n' "$driver" >"$work/odbcinst.ini"
  export ODBCSYSINI="$work" ODBCINSTINI=odbcinst.ini
fi
if $firebird; then
  tovi_road=tovi-fb native_road=fb
  export FIREBIRD_LOCK="$work/lock"
fi
database_of() { echo "$work/p.$1"; }
if $pgsql; then
  tovi_road=tovi-pg native_road=pg
  bash "$here/../tests/support/pg_server.sh" start "$work/pg.env" >/dev/null
  trap 'bash "$here/../tests/support/pg_server.sh" stop "$work/pg.env" >/dev/null; rm -rf "$work"' EXIT
  set -a; . "$work/pg.env"; set +a
  database_of() { echo "$PGDATABASE"; }
fi

per_iteration() {  # road workload -> instructions per iteration
  rm -f "$work/p.db" "$work/p.fdb"
  valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" --collect-atstart=no \
    --toggle-collect="*_iteration*" "$probe" "$1" "$2" "$n" "$(database_of "$([ "$1" = tovi-fb ] || [ "$1" = fb ] && echo fdb || echo db)")" >/dev/null 2>&1
  callgrind_annotate "$work/cg.out" 2>/dev/null |
    awk -v n="$n" '/PROGRAM TOTALS/ { gsub(",", "", $1); printf "%.0f\n", $1 / n }'
}

for workload in insert join; do
  t=$(per_iteration "$tovi_road" "$workload")
  v=$(per_iteration "$native_road" "$workload")
  unit=$([ "$workload" = insert ] && echo "execution of INSERT 02" || echo "fetched row of INNER JOIN 02")
  echo "$workload: one $unit: $tovi_road $t, $native_road $v instructions;" \
    "tovi adds $((t - v)) ($(awk -v t="$t" -v v="$v" 'BEGIN { printf "%+.1f %%", 100 * (t - v) / v }'))"
done

if ! $odbc && ! $firebird && ! $pgsql; then  # the same two workloads through tovi::bulk
  for workload in insert join; do
    t=$(per_iteration tovi "bulk-$workload")
    v=$(per_iteration native "$workload")
    unit=$([ "$workload" = insert ] && echo "row of INSERT 02" || echo "fetched row of INNER JOIN 02")
    echo "bulk $workload: one $unit through tovi::bulk $t, native $v instructions;" \
      "tovi adds $((t - v)) ($(awk -v t="$t" -v v="$v" 'BEGIN { printf "%+.1f %%", 100 * (t - v) / v }'))"
  done
fi

if $odbc; then  # whole runs, everything counted (start-up included)
  whole() {
    rm -f "$work"/*.db
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$@" >/dev/null 2>&1
    callgrind_annotate "$work/cg.out" 2>/dev/null |
      awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
  }
  t=$(whole "$build/bin/tovibench" --conn_str "/ODBC/SQLite3 ODBC Driver" --db_name "$work/t.db")
  v=$(whole "$build/bin/tovibench_odbc" "SQLite3 ODBC Driver" "$work/v.db")
  echo "suite: whole tovibench run: tovi-odbc $t, odbc $v instructions;" \
    "ratio $(awk -v t="$t" -v v="$v" 'BEGIN { printf "%.4f", t / v }')"
fi
