#!/usr/bin/env bash
# The whole tovibench suite on the test run's PostgreSQL server through the
# native driver: the report's shape and the fetched values as on every road.
#
#   check_tovibench_pg.sh TOVIBENCH GOLDEN_REPORT GOLDEN_CHECKSUMS PG_SERVER_SH SERVER_ENV
set -uo pipefail
bench=$1 golden=$2 golden_checksums=$3 server=$4 env_file=$5
work=$(mktemp -d)
database=tovibench_$$
trap 'bash "$server" drop "$env_file" "$database"; rm -rf "$work"' EXIT
bash "$server" create "$env_file" "$database" || exit 1
port=$(sed -n 's/^PGPORT=//p' "$env_file")
user=$(sed -n 's/^PGUSER=//p' "$env_file")
password=$(sed -n 's/^PGPASSWORD=//p' "$env_file")
cd "$work"
TOVI_BENCH_CHECKSUMS=1 "$bench" --conn_str "/PostgreSQL/127.0.0.1/$port" --db_name "$database" \
  --user_name "$user" --user_passwd "$password" >run.out 2>run.err
rc=$?
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
[ $rc -eq 0 ] || fail "exit code $rc: $(cat run.err)"
diff <(sed -E 's/^[0-9.e+-]+ sec\.$/T sec./' run.out) "$golden" >diff.out ||
  fail "the report differs from the golden text: $(cat diff.out)"
diff <(grep '^checksum ' run.err) "$golden_checksums" >diff.out ||
  fail "fetched values differ from the golden checksums: $(cat diff.out)"
grep -q "$password" run.out run.err && fail "the password appears in the output"
[ $failures -eq 0 ] && echo "tovibench on PostgreSQL: the report and the fetched values as on SQLite"
exit $((failures > 0))
