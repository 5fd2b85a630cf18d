#!/usr/bin/env bash
# tovibench as a user meets it: the banner, --help, the "//" rule, the missing
# database name warning, a whole run against SQLite (the report's shape, titles and
# SQL texts), a configuration file with two databases run in order, and errors
# ending the run with exit code 1 and the text on standard error, and a whole run
# through ODBC (Debian's SQLite ODBC driver as the system registers it), on
# embedded Firebird and through ADO on a Jet database.
#
#   check_tovibench.sh TOVIBENCH GOLDEN_REPORT GOLDEN_CHECKSUMS
# (The checksums of the fetched values are those of tovibench_native, the same
# workload written against the SQLite C API by hand.)
set -uo pipefail
bench=$1
golden=$2
golden_checksums=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# The report with the timings masked, for comparing with the golden text.
masked() { sed -E 's/^[0-9.e+-]+ sec\.$/T sec./' "$1"; }

# 1. Nothing to do: the banner, then which file was looked for, exit 2, no
#    database touched; an empty configuration file is named, exit 2.
"$bench" >out 2>err; rc=$?
[ $rc -eq 2 ] || fail "no options: exit code $rc"
[ "$(cat out)" = "$(printf '\nTovi performance tests ...\n')" ] || fail "no options: output was: $(cat out)"
grep -q "no configuration file $work/tovibench_conf.xml" err || fail "no options: not explained: $(cat err)"
[ -z "$(ls -A | grep -v -e '^out$' -e '^err$')" ] || fail "no options: files were created"
: >tovibench_conf.xml
"$bench" >out 2>err; rc=$?
[ $rc -eq 2 ] || fail "empty configuration: exit code $rc"
grep -q "$work/tovibench_conf.xml is not a tovibench configuration .*: the file is empty" err ||
  fail "empty configuration: not explained: $(cat err)"
rm tovibench_conf.xml

# 2. --help lists the options.
"$bench" --help >out 2>&1 || fail "--help: exit code $?"
for text in "Allowed options" "--conn_str" "driver url string" "--db_name" "database name" \
            "--user_name" "user name" "--user_passwd" "user password"; do
  grep -q -- "$text" out || fail "--help does not show '$text'"
done

# 2b. --help also shows a URL for every driver; an unknown option says what is
#     allowed; a driver that is not installed says which are and where.
for text in "/SQLITE" "/ODBC/SQLite3 " "/InterBase_EMB" "/ADO/Microsoft.Jet.OLEDB.4.0"; do
  grep -q -- "$text" out || fail "--help does not show the URL '$text'"
done
"$bench" --nope >opt.out 2>opt.err; rc=$?
[ $rc -eq 1 ] || fail "unknown option: exit code $rc"
grep -q "unrecognised option '--nope'" opt.err && grep -q -- "--conn_str" opt.err ||
  fail "unknown option: not explained: $(cat opt.err)"
"$bench" --conn_str /MySQL --db_name x >mod.out 2>mod.err; rc=$?
[ $rc -eq 1 ] || fail "missing driver: exit code $rc"
grep -q "^Driver modules installed in .*tovi_sqlite.so" mod.err || fail "missing driver: not explained: $(cat mod.err)"

# 3. A whole run; "//SQLITE" loses one slash. The values it fetched are right.
TOVI_BENCH_CHECKSUMS=1 "$bench" --conn_str //SQLITE --db_name "$work/one.db" >run.out 2>run.err; rc=$?
[ $rc -eq 0 ] || fail "run: exit code $rc: $(cat run.err)"
[ -s one.db ] || fail "run: no database file"
[ "$(grep -cE '^[0-9.e+-]+ sec\.$' run.out)" -eq 19 ] || fail "run: not 19 timings"
diff <(masked run.out) "$golden" >diff.out || fail "run: report differs from the golden text: $(cat diff.out)"
diff <(grep '^checksum ' run.err) "$golden_checksums" >diff.out ||
  fail "run: fetched values differ from the golden checksums: $(cat diff.out)"

# 4. Missing database name: the warning, then the SQLite driver refuses to open
#    a throw-away temporary database in its place.
"$bench" --conn_str /SQLITE >warn.out 2>warn.err; rc=$?
grep -q "^Database name was not set.$" warn.err || fail "no db_name: no warning"
grep -q "No SQLite database is named" warn.err || fail "no db_name: no error text: $(cat warn.err)"
[ $rc -eq 1 ] || fail "no db_name: exit code $rc"

# 5. A configuration of two databases runs the suite twice, in file order (a
#    tenth of the rows: the report names the smaller counts; its checksums are
#    the reference for the Firebird run below).
cat >tovibench_conf.xml <<XML
<?xml version="1.0" encoding="UTF-8" standalone="yes" ?>
<!DOCTYPE boost_serialization>
<boost_serialization signature="serialization::archive" version="18">
<db_config class_id="0" tracking_level="0" version="0">
	<params class_id="1" tracking_level="0" version="0">
		<count>2</count>
		<item_version>0</item_version>
		<item class_id="2" tracking_level="0" version="0">
			<conn_str_>/SQLITE</conn_str_>
			<db_name_>$work/first.db</db_name_>
			<user_name_></user_name_>
			<user_passwd_></user_passwd_>
		</item>
		<item>
			<conn_str_>/SQLITE</conn_str_>
			<db_name_>$work/second.db</db_name_>
			<user_name_></user_name_>
			<user_passwd_></user_passwd_>
		</item>
	</params>
</db_config>
</boost_serialization>
XML
TOVI_BENCH_SCALE=10 TOVI_BENCH_CHECKSUMS=1 "$bench" >conf.out 2>conf.err; rc=$?
[ $rc -eq 0 ] || fail "config: exit code $rc: $(cat conf.err)"
[ "$(grep -cE '^[0-9.e+-]+ sec\.$' conf.out)" -eq 38 ] || fail "config: not 38 timings"
[ "$(grep -c '^Test INSERT 02. Insert 10000 records' conf.out)" -eq 2 ] || fail "config: not a tenth of the rows"
[ -s first.db ] && [ -s second.db ] || fail "config: not both databases were used"
[ "$(stat -c %Y first.db)" -le "$(stat -c %Y second.db)" ] || fail "config: not run in file order"
rm tovibench_conf.xml
TOVI_BENCH_SCALE=0 "$bench" --conn_str /SQLITE --db_name "$work/scale.db" >scale.out 2>scale.err; rc=$?
[ $rc -eq 1 ] && grep -q "TOVI_BENCH_SCALE must be a whole number from 1 to 10, not '0'" scale.err ||
  fail "bad scale: exit code $rc: $(cat scale.err)"

# 6. Errors: a URL that does not parse, and a database that cannot be opened.
"$bench" --conn_str /Foo --db_name x.db >bad.out 2>bad.err; rc=$?
[ $rc -eq 1 ] || fail "bad URL: exit code $rc"
grep -q "Invalid Data Provider interface name: 'Foo'" bad.err || fail "bad URL: no error text"
"$bench" --conn_str /SQLITE --db_name "$work/no/such/dir/x.db" >io.out 2>io.err; rc=$?
[ $rc -eq 1 ] || fail "unopenable database: exit code $rc"
grep -q "unable to open database file" io.err || fail "unopenable database: no error text: $(cat io.err)"

# 7. A classified error (a view already named t2) ends the run with exit code 1
#    and its text, not with a crash after the library has shut down.
mkdir view
sqlite3 "$work/view/v.db" "CREATE VIEW t2 AS SELECT 1 AS a" || fail "view t2: could not prepare the database"
"$bench" --conn_str /SQLITE --db_name "$work/view/v.db" >view.out 2>view.err; rc=$?
[ $rc -eq 1 ] || fail "view t2: exit code $rc"
grep -q "t2" view.err || fail "view t2: no error text: $(cat view.err)"

# 8. A configuration that cannot be read (a directory) means nothing to run, said so.
mkdir tovibench_conf.xml
"$bench" >dir.out 2>dir.err; rc=$?
[ $rc -eq 2 ] || fail "configuration directory: exit code $rc: $(cat dir.err)"
grep -q "Nothing to run" dir.err || fail "configuration directory: not explained: $(cat dir.err)"
rmdir tovibench_conf.xml

# 9. The whole suite through ODBC fetches the same values and prints the same report:
#    Debian's SQLite ODBC driver by its own registration, with the URL --help prints.
mkdir odbc
TOVI_BENCH_CHECKSUMS=1 \
  "$bench" --conn_str /ODBC/SQLite3 --db_name "$work/odbc/b.db" >odbc.out 2>odbc.err; rc=$?
[ $rc -eq 0 ] || fail "ODBC run: exit code $rc: $(cat odbc.err)"
[ -s odbc/b.db ] || fail "ODBC run: no database file"
diff <(masked odbc.out) "$golden" >diff.out || fail "ODBC run: report differs from the golden text: $(cat diff.out)"
diff <(grep '^checksum ' odbc.err) "$golden_checksums" >diff.out ||
  fail "ODBC run: fetched values differ from the golden checksums: $(cat diff.out)"

# 10. The suite on embedded Firebird (a tenth of the rows: the engine's own work in
#     SELECT 05 takes half a minute at full size), its database made on first use.
#     The averages of SELECT 02 to 04 are integers there (AVG of an INTEGER column):
#     the tests without an average fetch the same values as SQLite's run of case 5.
FIREBIRD_LOCK="$work/fb-lock" TOVI_BENCH_SCALE=10 TOVI_BENCH_CHECKSUMS=1 \
  "$bench" --conn_str /InterBase_EMB --user_name SYSDBA --db_name "$work/fb.fdb" >fb.out 2>fb.err; rc=$?
[ $rc -eq 0 ] || fail "Firebird run: exit code $rc: $(cat fb.err)"
[ -s fb.fdb ] || fail "Firebird run: no database file"
[ "$(grep -cE '^[0-9.e+-]+ sec\.$' fb.out)" -eq 19 ] || fail "Firebird run: not 19 timings"
joins() { grep -E '^checksum (INNER JOIN|SELECT 05)' "$1" | sort -u; }
[ "$(joins conf.err | wc -l)" -eq 3 ] || fail "Firebird run: no reference checksums: $(cat conf.err)"
diff <(joins fb.err) <(joins conf.err) >diff.out ||
  fail "Firebird run: fetched values differ from SQLite's: $(cat diff.out)"

# 11. The whole suite through ADO on a Jet database file the driver creates.
TOVI_BENCH_CHECKSUMS=1 "$bench" --conn_str /ADO/Microsoft.Jet.OLEDB.4.0 --db_name "$work/jet.mdb" \
  >jet.out 2>jet.err; rc=$?
[ $rc -eq 0 ] || fail "Jet run: exit code $rc: $(cat jet.err)"
[ -s jet.mdb ] || fail "Jet run: no database file"
diff <(masked jet.out) "$golden" >diff.out || fail "Jet run: report differs from the golden text: $(cat diff.out)"
diff <(grep '^checksum ' jet.err) "$golden_checksums" >diff.out ||
  fail "Jet run: fetched values differ from the golden checksums: $(cat diff.out)"

if [ $failures -eq 0 ]; then
  echo "tovibench checks: 11 passed, 0 failed"
  exit 0
fi
exit 1
