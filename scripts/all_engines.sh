#!/usr/bin/env bash
# tovibench on every engine that needs no server: SQLite, SQLite through ODBC
# (Debian's SQLite ODBC driver), embedded Firebird and Jet through ADO, each in a
# fresh temporary database; then one table of the seconds, test by test, and the
# same as a chart (gnuplot, SVG).
#
#   scripts/all_engines.sh BUILD_DIR [CHART.svg]
set -euo pipefail
build=$1
chart=${2:-$build/all-engines.svg}
bench=$build/bin/tovibench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

names=(SQLite "SQLite via ODBC" Firebird "Jet via ADO")
run() {  # engine-number, then tovibench's arguments
  local n=$1
  shift
  echo "== ${names[$n]}" >&2
  if ! FIREBIRD_LOCK="$work/fb-lock" \
      "$bench" "$@" >"$work/report.$n" 2>"$work/err.$n"; then
    cat "$work/err.$n" >&2
    echo "tovibench failed on ${names[$n]}" >&2
    exit 1
  fi
}
run 0 --conn_str /SQLITE --db_name "$work/sqlite.db"
run 1 --conn_str /ODBC/SQLite3 --db_name "$work/odbc.db"  # as Debian registers it
run 2 --conn_str /InterBase_EMB --user_name SYSDBA --db_name "$work/firebird.fdb"
run 3 --conn_str /ADO/Microsoft.Jet.OLEDB.4.0 --db_name "$work/jet.mdb"

# "INSERT 01<TAB>seconds" per test, from a report.
seconds() {
  awk '/^Test / { match($0, /^Test [A-Za-z ]+ [0-9][0-9]/); name = substr($0, 6, RLENGTH - 5) }
       /^[0-9.e+-]+ sec\.$/ { print name "\t" $1 }' "$1"
}
for n in 0 1 2 3; do seconds "$work/report.$n" >"$work/seconds.$n"; done
paste "$work/seconds.0" <(cut -f2 "$work/seconds.1") <(cut -f2 "$work/seconds.2") \
  <(cut -f2 "$work/seconds.3") >"$work/table"

echo
printf '%-24s %12s %16s %12s %12s\n' "seconds" "${names[@]}"
awk -F'\t' '{ printf "%-24s %12s %16s %12s %12s\n", $1, $2, $3, $4, $5 }' "$work/table"
awk -F'\t' '{ for (i = 2; i <= 5; ++i) t[i] += $i }
            END { printf "%-24s %12.3f %16.3f %12.3f %12.3f\n", "whole suite", t[2], t[3], t[4], t[5] }' \
  "$work/table"

gnuplot <<GNUPLOT
set terminal svg size 1100,520 dynamic font "sans,11"
set output "$chart"
set title "tovibench: seconds per test on each engine (log scale)"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set logscale y
set ylabel "seconds"
set xtics rotate by -40 scale 0
set key top left
set datafile separator "\t"
plot "$work/table" using 2:xtic(1) title "${names[0]}", '' using 3 title "${names[1]}", \
     '' using 4 title "${names[2]}", '' using 5 title "${names[3]}"
GNUPLOT
echo
echo "Chart: $chart"
