#!/usr/bin/env bash
# The committed formatting and lint rules, enforced:
#   - every tracked C++ source is formatted as .clang-format says;
#   - clang-tidy (.clang-tidy) finds nothing in the changed library sources.
#
#   scripts/lint.sh [BASE]   clang-tidy on the sources changed since BASE (a git
#                            revision); without BASE, on every library source
#                            (what CI does: a superset of any change)
# Needs a configured build/ (for compile_commands.json): run scripts/test.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."

sources() { git ls-files '*.cpp' '*.hpp'; }

echo "clang-format: checking $(sources | wc -l) files"
if ! sources | xargs clang-format --dry-run --Werror 2>format.log; then
  head -40 format.log
  echo "Formatting differs: run 'git ls-files \"*.cpp\" \"*.hpp\" | xargs clang-format -i'."
  rm -f format.log
  exit 1
fi
rm -f format.log

# Library sources only: tests and the test modules follow the format, not the lint.
if [ $# -gt 0 ]; then
  mapfile -t files < <(git diff --name-only --diff-filter=d "$1" -- 'core/*.cpp' 'drivers/*.cpp' 'dialects/*.cpp' 'bench/*.cpp')
else
  mapfile -t files < <(git ls-files 'core/*.cpp' 'drivers/*.cpp' 'dialects/*.cpp' 'bench/*.cpp')
fi
echo "clang-tidy: checking ${#files[@]} files"
[ ${#files[@]} -eq 0 ] && exit 0
jobs=$(nproc 2>/dev/null || echo 2)
findings=$(printf '%s\n' "${files[@]}" | xargs -P "$jobs" -n 4 clang-tidy -p build --quiet 2>/dev/null |
  grep -E '(warning|error):' | sort -u || true)
if [ -n "$findings" ]; then
  echo "$findings"
  echo "clang-tidy: $(echo "$findings" | wc -l) findings"
  exit 1
fi
echo "lint: 2 passed, 0 failed"
