#!/usr/bin/env bash
# Planted faults: each row plants one fault in the code (a literal replacement),
# rebuilds, and runs the tests named to catch it; the row passes when they fail.
# The rows are the faults of tests removed as repeats: each names the remaining
# test that catches it. Run from a configured build folder; the tree is restored
# after each row.
#   bash scripts/planted_faults.sh [BUILD_DIR]        (default: build)
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
caught=0
missed=0

# plant FILE OLD NEW TESTS: replace OLD (a literal text) by NEW in FILE, rebuild,
# run ctest -R TESTS; a failure is the fault caught.
plant() {
  local file=$1 old=$2 new=$3 tests=$4
  if ! git diff --quiet -- "$file"; then echo "skip: $file has changes"; return; fi
  if ! OLD="$old" NEW="$new" python3 - "$file" <<'PY'
import os, sys
path = sys.argv[1]
text = open(path).read()
old, new = os.environ["OLD"], os.environ["NEW"]
if text.count(old) != 1:
    sys.exit("the text to replace is not in %s exactly once" % path)
open(path, "w").write(text.replace(old, new))
PY
  then missed=$((missed + 1)); return; fi
  if ! cmake --build "$build" >/dev/null 2>&1; then
    echo "fault in $file does not build"; missed=$((missed + 1))
  elif ctest --test-dir "$build" -R "$tests" >/dev/null 2>&1; then
    echo "MISSED: $file: '$old' -> '$new' (ran: $tests)"; missed=$((missed + 1))
  else
    echo "caught: $file: '${old%%$'\n'*}' (by $tests)"; caught=$((caught + 1))
  fi
  git checkout -q -- "$file"
}

# A text's length cut to 32 bits on its way to SQLite.
plant drivers/sqlite/sqlite_bindings.cpp \
  'check(sqlite3_bind_text64(native(), parameter(), data_.data(), data_.size(),' \
  'check(sqlite3_bind_text64(native(), parameter(), data_.data(), static_cast<unsigned>(data_.size()),' \
  'SqliteBinding.HugeText'
# PostgreSQL's unique violation in the wrong class.
plant dialects/postgresql/postgresql_dialect.cpp \
  '"23505", 0, &dialect::raise_as<dup_value_on_index>' '"23505", 0, &dialect::raise_as<bad_sql>' \
  'Conformance.ErrorsArriveClassified/postgresql|PostgresqlDialect'
# Foreign keys printed without their cascade.
plant core/sql/create_visitor.cpp 'statement += "\nON DELETE CASCADE";' 'statement += "";' \
  'Conformance.ScriptsCreateAndDropASchema/postgresql'
# A transaction destroyed unended is committed.
plant drivers/sqlite/sqlite_transaction.cpp 'if (!run(db_, "ROLLBACK", e)) {' \
  'if (!run(db_, "COMMIT", e)) {' 'Conformance.ATransactionDestroyedUnendedIsRolledBack/sqlite'
# A failed step is not prepared again.
plant drivers/sqlite/sqlite_statement.cpp '    stepping_ = true;
    const exception e' '    const exception e' 'Conformance.FailedExecutionRunsAgainAfterwards/sqlite'
# Writers do not wait for each other's locks.
plant drivers/sqlite/sqlite_connection.cpp 'constexpr int busy_timeout_ms = 5000;' \
  'constexpr int busy_timeout_ms = 0;' 'SqliteExecution.WritersWaitForEachOthersLocks'
# Jet's duplicate key in the wrong class.
plant dialects/msjet/msjet_dialect.cpp '-1605, &raise_coded<dup_value_on_index>' \
  '-1605, &raise_coded<bad_sql>' 'Conformance.ErrorsArriveClassified/ado_jet|MsjetDialect'
# A number with trailing characters stored by the INSERT rewriting.
plant drivers/ado/ado_insert.cpp "if (*stop == '\\0' && stop != begin) {" 'if (stop != begin) {' \
  'AdoInsert'
# The cache evicts the newest text instead of the oldest.
plant drivers/common/statement_cache.cpp 'const std::string oldest = lru_.front();
        lru_.erase(lru_.begin());' 'const std::string oldest = lru_.back();
        lru_.pop_back();' 'StatementCache'
# DROP is not taken for a schema change.
plant core/statements/statement_type.cpp 't == stmt_create || t == stmt_drop || t == stmt_alter' \
  't == stmt_create || t == stmt_alter' 'Conformance'
# An apostrophe after a backslash ends a literal (markers inside it replaced).
plant core/utils/sql_scan.hpp "bool escaped = close > pos && sql[close - 1] == '\\\\';" \
  'bool escaped = false;' 'SplitSqlParam|PreparedStmt|fuzz_corpus.sql_param'
# A date text read back a second off.
plant core/values/date_conv.cpp 'out = boost::posix_time::to_tm(instant);' \
  'out = boost::posix_time::to_tm(instant + boost::posix_time::seconds(1));' \
  'DateText|fuzz_corpus.date'

cmake --build "$build" >/dev/null 2>&1  # the build as the tree is again
echo "planted faults: $caught caught, $missed missed"
[ "$missed" -eq 0 ]
