#!/usr/bin/env bash
# bulk_bench on every road: seconds to insert 100 000 rows in one transaction and
# to read them back 1 000 at a time, through tovi's bulk vectors, tovi row at a
# time, and the road's native bulk path by hand. Median of RUNS runs; the
# checksums of the three ways must agree. Writes a table (stdout) and an SVG
# chart (gnuplot) into the build folder.
#
# The PostgreSQL roads (tovi_PGSQL, psqlODBC) use a private server this script
# starts and removes; the ODBC roads register Debian's SQLite ODBC driver and
# psqlODBC in a private odbcinst.ini.
#
# With --instructions: callgrind's count of instructions per row in each phase
# on SQLite (repeatable, unlike wall time), tovi's bulk path against the
# native loop and against tovi row at a time.
#
#   bench/bulk/run.sh [--instructions] [BUILD_DIR] [RUNS]   (defaults: build, 5)
set -euo pipefail
instructions=false
if [ "${1:-}" = "--instructions" ]; then instructions=true; shift; fi
build=${1:-build}
runs=${2:-5}
bench="$build/bin/bulk_bench"
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if $instructions; then
  n=100000
  per_row() {  # path phase -> instructions per row
    rm -f "$work/i.db"
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" --collect-atstart=no \
      --toggle-collect="*$2_phase*" "$bench" sqlite "$1" "$n" "$work/i.db" >/dev/null 2>&1
    callgrind_annotate "$work/cg.out" 2>/dev/null |
      awk -v n="$n" '/PROGRAM TOTALS/ { gsub(",", "", $1); printf "%.1f\n", $1 / n }'
  }
  for phase in insert fetch; do
    b=$(per_row bulk "$phase") r=$(per_row rows "$phase") v=$(per_row native "$phase")
    echo "sqlite $phase, instructions per row: tovi bulk $b, tovi row at a time $r, native $v;" \
      "bulk adds $(awk -v b="$b" -v v="$v" 'BEGIN { printf "%+.1f", b - v }'), row at a time" \
      "$(awk -v r="$r" -v v="$v" 'BEGIN { printf "%+.1f", r - v }')"
  done
  exit 0
fi

sqlite_odbc=$(find /usr/lib -name libsqlite3odbc.so -print -quit)
psqlodbc=$(find /usr/lib -name psqlodbcw.so -print -quit)
printf '[SQLite3 ODBC Driver]\nDriver=%s\n[PostgreSQL Unicode]\nDriver=%s\n' \
  "$sqlite_odbc" "$psqlodbc" >"$work/odbcinst.ini"
export ODBCSYSINI="$work" ODBCINSTINI=odbcinst.ini
bash "$here/../../tests/support/pg_server.sh" start "$work/pg.env" >/dev/null
trap 'bash "$here/../../tests/support/pg_server.sh" stop "$work/pg.env" >/dev/null; rm -rf "$work"' EXIT
set -a; . "$work/pg.env"; set +a

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
n=100000
printf '| road | phase | tovi bulk (s) | tovi row at a time (s) | native bulk by hand (s) | bulk / native | row at a time / bulk |\n'
printf '|---|---|---|---|---|---|---|\n'
: >"$work/chart.data"
x=0
for road in sqlite odbc-sqlite pgsql odbc-pg; do
  for path in bulk rows native; do
    for ((r = 1; r <= runs; r++)); do
      database=$([ "${road#odbc-}" = sqlite ] && echo "$work/b.db" || echo "$PGDATABASE")
      rm -f "$work/b.db"
      "$bench" "$road" "$path" "$n" "$database" >>"$work/$road.$path"
    done
  done
  sums=$(awk '{ print $NF }' "$work/$road".* | sort -u | wc -l)
  if [ "$sums" != 1 ]; then echo "checksums DIFFER on $road" >&2; cat "$work/$road".* >&2; exit 1; fi
  for phase in insert fetch; do
    col=$([ $phase = insert ] && echo 6 || echo 8)
    b=$(awk -v c=$col '{ print $c }' "$work/$road.bulk" | median)
    r=$(awk -v c=$col '{ print $c }' "$work/$road.rows" | median)
    v=$(awk -v c=$col '{ print $c }' "$work/$road.native" | median)
    printf '| %s | %s | %.3f | %.3f | %.3f | %.2f | %.1fx |\n' "$road" "$phase" "$b" "$r" "$v" \
      "$(awk -v b="$b" -v v="$v" 'BEGIN { print b / v }')" "$(awk -v b="$b" -v r="$r" 'BEGIN { print r / b }')"
    x=$((x + 1))
    printf '%d\t%s %s\t%s\t%s\t%s\n' "$x" "$road" "$phase" "$b" "$r" "$v" >>"$work/chart.data"
  done
done

gnuplot <<GNUPLOT
set terminal svg size 1000,480 dynamic font "sans,11"
set output "$build/bulk.svg"
set title "100 000 rows per road: seconds per phase (median of $runs runs; log scale)"
set datafile separator "\t"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.7 border -1
set xtics rotate by -30 scale 0
set logscale y
set ylabel "seconds"
set grid ytics
plot "$work/chart.data" using 3:xtic(2) title "tovi bulk", '' using 4 title "tovi row at a time", \
     '' using 5 title "native bulk by hand"
GNUPLOT
echo "chart: $build/bulk.svg"
