#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds and runs the consumer
# against it twice: through find_package(tovi CONFIG) and through pkg-config.
set -euo pipefail
build_dir=$1 work=$2 consumer=$3 cxx=$4 pg_env=$5 psqlodbc=$6 launcher=${7:-}
# The compiler launcher (ccache), if any; its key leaves out the scratch folder.
export CCACHE_NOHASHDIR=true CCACHE_BASEDIR=$work

rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

# Installed public headers must not reach into private ones.
if grep -rn '#include "' "$prefix/include/tovi"; then
  echo "installed headers include non-installed files" >&2
  exit 1
fi

cmake -S "$consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_CXX_COMPILER="$cxx" \
      ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher"} -DTOVI_EXAMPLES_DIR="$consumer/../../../examples" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer"
# The installed modules are found beside the installed libtovi.so.
"$work/cmake-build/sqlite_example" "$work/example.db" | tee "$work/example.out"
grep -q "duplicate key, as expected" "$work/example.out"
"$work/cmake-build/schema_script" "$work/schema.db" | tee "$work/schema.out"
grep -q "books left after deleting their author: 0" "$work/schema.out"
grep -q "schema dropped" "$work/schema.out"

# The guide's programs, on every engine that needs no server.
# Twice: a second run prints the same two rows (it starts clean).
for run in 1 2; do
  "$work/cmake-build/first_program" "$work/first.db" | tee "$work/first.out"
  [ "$(cat "$work/first.out")" = "$(printf '1 Ada\n2 Grace')" ]
done
"$work/cmake-build/transactions" "$work/transactions.db" | tee "$work/transactions.out"
grep -q "after commit: 2 accounts" "$work/transactions.out"
grep -q "the transfer failed half-way: 2 accounts" "$work/transactions.out"
grep -q "after a transaction destroyed unended: 2 accounts" "$work/transactions.out"
"$work/cmake-build/errors" "$work/errors.db" | tee "$work/errors.out"
for line in "duplicate key:" "missing table: no_schema_obj_found" "existing table: schema_obj_already_exists" \
            "NULL into a plain variable: value_is_null" "caught as tovi::exception"; do
  grep -q "$line" "$work/errors.out"
done
"$work/cmake-build/binding" "$work/binding.db" | tee "$work/binding.out"
[ "$(cat "$work/binding.out")" = "$(printf '1: lamp, 19.500000, photo of 4 bytes\n2: (no name), (no price), photo of 0 bytes')" ]
"$work/cmake-build/threads" "$work/threads.db" | tee "$work/threads.out"
grep -q "^1000 rows from 4 threads$" "$work/threads.out"
for run in 1 2; do  # a second run starts clean too
  "$work/cmake-build/bulk" /SQLITE "" "$work/readings.db" | tee "$work/bulk.out"
  [ "$(cat "$work/bulk.out")" = "10000 rows in 10 fetches, 100 checked" ]
done
mkdir -p "$work/odbc" "$work/fb-lock"
printf '[PostgreSQL Unicode]\nDriver=%s\n' "$psqlodbc" >"$work/odbc/odbcinst.ini"
# The guide's URLs as printed, SQLite's ODBC driver by Debian's own registration.
while IFS='|' read -r url user database; do
  FIREBIRD_LOCK="$work/fb-lock" \
    "$work/cmake-build/connections" "$url" "$user" "$database" | tee "$work/connections.out"
  grep -q ": 1 row(s)$" "$work/connections.out"
done <<URLS
/SQLITE||$work/people.db
/SQLITE||:memory:
/ODBC/SQLite3||$work/people-odbc.db
/InterBase_EMB|SYSDBA|$work/people.fdb
/ADO/Microsoft.Jet.OLEDB.4.0||$work/people.mdb
URLS
# PostgreSQL through ODBC, on the test run's own server (the password from the
# environment, as the guide shows).
pg_server="$(dirname "$0")/../support/pg_server.sh"
bash "$pg_server" drop "$pg_env" tovi_install
bash "$pg_server" create "$pg_env" tovi_install
(
  set -a; . "$pg_env"; set +a
  ODBCSYSINI="$work/odbc" ODBCINSTINI=odbcinst.ini TOVI_PASSWORD="$PGPASSWORD" \
    "$work/cmake-build/connections" "/ODBC/PostgreSQL Unicode/$PGHOST/$PGPORT" "$PGUSER" \
    tovi_install | tee "$work/connections.out"
  # And natively, with the bulk example too.
  TOVI_PASSWORD="$PGPASSWORD" "$work/cmake-build/connections" "/PostgreSQL/$PGHOST/$PGPORT" \
    "$PGUSER" tovi_install | tee -a "$work/connections.out"
  TOVI_PASSWORD="$PGPASSWORD" "$work/cmake-build/bulk" "/PostgreSQL/$PGHOST/$PGPORT" "$PGUSER" \
    tovi_install | tee "$work/bulk.out"
)
bash "$pg_server" drop "$pg_env" tovi_install
[ "$(grep -c ": 1 row(s)$" "$work/connections.out")" -eq 1 ] &&
  [ "$(grep -c ": 2 row(s)$" "$work/connections.out")" -eq 1 ]
[ "$(cat "$work/bulk.out")" = "10000 rows in 10 fetches, 100 checked" ]

pc_dir=$(dirname "$(find "$prefix" -name tovi.pc | head -n 1)")
# shellcheck disable=SC2046
"$cxx" "$consumer/main.cpp" -o "$work/consumer-pc" \
       $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs tovi)
"$work/consumer-pc"
echo "install test passed"
