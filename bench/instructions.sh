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
#   bench/instructions.sh [BUILD_DIR]        (default: build)
set -euo pipefail
build=${1:-build}
probe="$build/bin/tovibench_probe"
n=10000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

per_iteration() {  # road workload -> instructions per iteration
  rm -f "$work/p.db"
  valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" --collect-atstart=no \
    --toggle-collect="*_iteration*" "$probe" "$1" "$2" "$n" "$work/p.db" >/dev/null 2>&1
  callgrind_annotate "$work/cg.out" 2>/dev/null |
    awk -v n="$n" '/PROGRAM TOTALS/ { gsub(",", "", $1); printf "%.0f\n", $1 / n }'
}

for workload in insert join; do
  t=$(per_iteration tovi "$workload")
  v=$(per_iteration native "$workload")
  unit=$([ "$workload" = insert ] && echo "execution of INSERT 02" || echo "fetched row of INNER JOIN 02")
  echo "$workload: one $unit: tovi $t, native $v instructions; tovi adds $((t - v))"
done
