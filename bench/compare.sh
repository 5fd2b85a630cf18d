#!/usr/bin/env bash
# Runs tovibench (URL /SQLITE) and tovibench_native alternately on fresh database
# files, RUNS times each, then prints per test the median of the paired ratios
# tovi / native, the same for the whole suite, each program's peak memory, and
# whether both fetched the same rows (checksums of fetched values).
#
# With --odbc: tovibench through ODBC ("/ODBC/SQLite3 ODBC Driver") against
# tovibench_odbc, the same workloads written against the ODBC C API, both through
# Debian's SQLite ODBC driver registered in a private odbcinst.ini.
#
# With --firebird: tovibench on "/InterBase_EMB" against tovibench_fb, the same
# workloads written against the Firebird C API, both on the embedded engine.
#
# With --pgsql: tovibench on "/PostgreSQL/127.0.0.1/<port>" (the native driver)
# against tovibench_pg, the same workloads written against libpq, and, side by
# side, tovibench through psqlODBC ("/ODBC/PostgreSQL Unicode/127.0.0.1/<port>"):
# the last column is native driver / psqlODBC. The server is a private one this
# script starts and removes; every run gets fresh databases.
#
# Beside the table it writes an SVG chart (gnuplot) of the per-test ratios: the
# median as a bar, the spread of the runs as a range, and the 1.0 line.
#
#   bench/compare.sh [--odbc|--firebird|--pgsql] [BUILD_DIR] [RUNS]   (defaults: build, 9)
set -euo pipefail
odbc=false
firebird=false
pgsql=false
if [ "${1:-}" = "--odbc" ]; then odbc=true; shift; fi
if [ "${1:-}" = "--firebird" ]; then firebird=true; shift; fi
if [ "${1:-}" = "--pgsql" ]; then pgsql=true; shift; fi
build=${1:-build}
runs=${2:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TOVI_BENCH_CHECKSUMS=1
if $odbc; then
  driver=$(find /usr/lib -name libsqlite3odbc.so -print -quit)
  printf '[SQLite3 ODBC Driver]\nDriver=%s\n' "$driver" >"$work/odbcinst.ini"
  export ODBCSYSINI="$work" ODBCINSTINI=odbcinst.ini
fi
$firebird && export FIREBIRD_LOCK="$work/lock"
server_script="$(cd "$(dirname "$0")" && pwd)/../tests/support/pg_server.sh"
if $pgsql; then
  bash "$server_script" start "$work/pg.env" >/dev/null
  trap 'bash "$server_script" stop "$work/pg.env" >/dev/null; rm -rf "$work"' EXIT
  set -a; . "$work/pg.env"; set +a
  psqlodbc=$(find /usr/lib -name psqlodbcw.so -print -quit)
  printf '[PostgreSQL Unicode]\nDriver=%s\n' "$psqlodbc" >"$work/odbcinst.ini"
  export ODBCSYSINI="$work" ODBCINSTINI=odbcinst.ini
  fresh() { bash "$server_script" drop "$work/pg.env" "$1"; bash "$server_script" create "$work/pg.env" "$1"; }
fi

names=("INSERT 01" "INSERT 02" "INSERT 03" "SELECT 02" "SELECT 03" "INNER JOIN 01"
       "CREATE INDEX 01" "CREATE INDEX 02" "SELECT 04" "UPDATE 01" "UPDATE 02" "UPDATE 03"
       "INSERT SELECT 01" "INSERT SELECT 02" "INNER JOIN 02" "SELECT 05" "DELETE 01"
       "DELETE 02" "DELETE 03")

times() { grep -E '^[0-9.e+-]+ sec\.$' "$1" | awk '{ print $1 }'; }

for ((r = 1; r <= runs; r++)); do
  rm -f "$work"/*.db "$work"/*.fdb
  run_third() { :; }
  if $pgsql; then
    fresh tovi; fresh native; fresh odbc
    run_tovi() { "$build/bin/tovibench" --conn_str "/PostgreSQL/127.0.0.1/$PGPORT" --db_name tovi --user_name "$PGUSER" --user_passwd "$PGPASSWORD" >"$work/tovi.$r" 2>"$work/tovi.err.$r"; }
    run_native() { "$build/bin/tovibench_pg" "host=127.0.0.1 port=$PGPORT dbname=native" >"$work/native.$r" 2>"$work/native.err.$r"; }
    run_third() { "$build/bin/tovibench" --conn_str "/ODBC/PostgreSQL Unicode/127.0.0.1/$PGPORT" --db_name odbc --user_name "$PGUSER" --user_passwd "$PGPASSWORD" >"$work/third.$r" 2>"$work/third.err.$r"; times "$work/third.$r" >"$work/o.$r"; }
  elif $firebird; then
    run_tovi() { "$build/bin/tovibench" --conn_str /InterBase_EMB --user_name SYSDBA --db_name "$work/tovi.fdb" >"$work/tovi.$r" 2>"$work/tovi.err.$r"; }
    run_native() { "$build/bin/tovibench_fb" "$work/native.fdb" >"$work/native.$r" 2>"$work/native.err.$r"; }
  elif $odbc; then
    run_tovi() { "$build/bin/tovibench" --conn_str "/ODBC/SQLite3 ODBC Driver" --db_name "$work/tovi.db" >"$work/tovi.$r" 2>"$work/tovi.err.$r"; }
    run_native() { "$build/bin/tovibench_odbc" "SQLite3 ODBC Driver" "$work/native.db" >"$work/native.$r" 2>"$work/native.err.$r"; }
  else
    run_tovi() { "$build/bin/tovibench" --conn_str /SQLITE --db_name "$work/tovi.db" >"$work/tovi.$r" 2>"$work/tovi.err.$r"; }
    run_native() { "$build/bin/tovibench_native" "$work/native.db" >"$work/native.$r" 2>"$work/native.err.$r"; }
  fi
  # Alternate which goes first, so that drift in the machine's speed cancels out.
  if ((r % 2)); then run_tovi; run_native; run_third; else run_third; run_native; run_tovi; fi
  times "$work/tovi.$r" >"$work/t.$r"
  times "$work/native.$r" >"$work/n.$r"
  if [ "$(wc -l <"$work/t.$r")" -ne 19 ] || [ "$(wc -l <"$work/n.$r")" -ne 19 ]; then
    echo "run $r did not report 19 times" >&2
    exit 1
  fi
done

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

engine=SQLite
$odbc && engine="SQLite via ODBC"
$firebird && engine="embedded Firebird"
$pgsql && engine="PostgreSQL"
chart="$build/compare-$(echo "$engine" | tr 'A-Z ' 'a-z-').svg"
: >"$work/chart.data"
if $pgsql; then
  printf '%-18s %12s %12s %10s %12s %12s\n' "test" "tovi (s)" "libpq (s)" "ratio" "psqlODBC (s)" "tovi/ODBC"
else
  printf '%-18s %12s %12s %10s\n' "test" "tovi (s)" "native (s)" "ratio"
fi
: >"$work/third.data"
for i in $(seq 1 19); do
  tovi_median=$(for ((r = 1; r <= runs; r++)); do sed -n "${i}p" "$work/t.$r"; done | median)
  native_median=$(for ((r = 1; r <= runs; r++)); do sed -n "${i}p" "$work/n.$r"; done | median)
  ratios=$(for ((r = 1; r <= runs; r++)); do
             paste "$work/t.$r" "$work/n.$r" | sed -n "${i}p" | awk '{ printf "%.6f\n", $1 / $2 }'
           done)
  ratio=$(echo "$ratios" | median)
  printf '%d\t%s\t%s\t%s\t%s\n' "$i" "${names[$((i - 1))]}" "$ratio" \
    "$(echo "$ratios" | sort -g | head -1)" "$(echo "$ratios" | sort -g | tail -1)" >>"$work/chart.data"
  if $pgsql; then
    odbc_median=$(for ((r = 1; r <= runs; r++)); do sed -n "${i}p" "$work/o.$r"; done | median)
    odbc_ratios=$(for ((r = 1; r <= runs; r++)); do
                    paste "$work/t.$r" "$work/o.$r" | sed -n "${i}p" | awk '{ printf "%.6f\n", $1 / $2 }'
                  done)
    odbc_ratio=$(echo "$odbc_ratios" | median)
    printf '%d\t%s\t%s\t%s\t%s\n' "$i" "${names[$((i - 1))]}" "$odbc_ratio" \
      "$(echo "$odbc_ratios" | sort -g | head -1)" "$(echo "$odbc_ratios" | sort -g | tail -1)" >>"$work/third.data"
    printf '%-18s %12.6f %12.6f %10.3f %12.6f %12.3f\n' "${names[$((i - 1))]}" "$tovi_median" \
      "$native_median" "$ratio" "$odbc_median" "$odbc_ratio"
  else
    printf '%-18s %12.6f %12.6f %10.3f\n' "${names[$((i - 1))]}" "$tovi_median" "$native_median" "$ratio"
  fi
done
total=$(for ((r = 1; r <= runs; r++)); do
          paste "$work/t.$r" "$work/n.$r" | awk '{ t += $1; n += $2 } END { printf "%.6f\n", t / n }'
        done | median)
printf '%-18s %12s %12s %10.3f' "whole suite" "" "" "$total"
if $pgsql; then
  odbc_total=$(for ((r = 1; r <= runs; r++)); do
                 paste "$work/t.$r" "$work/o.$r" | awk '{ t += $1; o += $2 } END { printf "%.6f\n", t / o }'
               done | median)
  printf ' %12s %12.3f' "" "$odbc_total"
fi
echo

# An SVG chart of per-test ratios: chart FILE TITLE Y_LABEL DATA LINE LINE_TITLE.
chart() {
  gnuplot <<GNUPLOT
set terminal svg size 1000,480 dynamic font "sans,11"
set output "$1"
set title "$2"
set datafile separator "\t"
set style fill solid 0.6 border -1
set boxwidth 0.6
set xtics rotate by -40 scale 0
set xrange [0.3:19.7]
set yrange [0:*]
set ylabel "$3"
set grid ytics
plot "$4" using 1:3:xtic(2) with boxes notitle, \
     '' using 1:3:4:5 with yerrorbars lc rgb "black" pt 0 notitle, \
     $5 with lines lw 2 lc rgb "red" title "$6"
GNUPLOT
  echo "chart: $1"
}
chart "$chart" "tovi / native API on $engine: seconds per test ($runs runs; bar: median, range: spread)" \
  "ratio tovi / native" "$work/chart.data" 1.0 "1.0: as fast as the native API"
if $pgsql; then
  chart "$build/compare-postgresql-native-vs-psqlodbc.svg" \
    "tovi on PostgreSQL, native driver / psqlODBC: seconds per test ($runs runs; bar: median, range: spread)" \
    "ratio native driver / psqlODBC" "$work/third.data" 0.6 "0.6"
fi

peak() { grep -h '^peak_kb' "$@" | awk '{ print $2 }' | median; }
echo "peak memory: tovi $(peak "$work"/tovi.err.*) KiB, native $(peak "$work"/native.err.*) KiB"

if diff <(grep -h '^checksum' "$work/tovi.err.1") <(grep -h '^checksum' "$work/native.err.1") >/dev/null; then
  echo "checksums: both fetched the same rows ($(grep -c '^checksum' "$work/tovi.err.1") tests compared)"
else
  echo "checksums DIFFER:" >&2
  diff <(grep -h '^checksum' "$work/tovi.err.1") <(grep -h '^checksum' "$work/native.err.1") >&2 || true
  exit 1
fi
if $pgsql && ! diff <(grep -h '^checksum' "$work/tovi.err.1") <(grep -h '^checksum' "$work/third.err.1") >/dev/null; then
  echo "checksums of the psqlODBC run DIFFER" >&2
  exit 1
fi
