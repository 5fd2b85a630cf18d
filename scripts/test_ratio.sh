#!/usr/bin/env bash
# How much of the code is tests: the C and C++ lines git tracks under tests/ (the
# support modules and fuzz targets included) over all tracked C and C++ lines.
# Lines are counted as they stand, blank lines and comments included.
#   bash scripts/test_ratio.sh
set -euo pipefail
cd "$(dirname "$0")/.."
count() { git ls-files -z "$@" | xargs -0 -r cat | wc -l; }
sources=('*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
all=$(count "${sources[@]}")
tests=$(count "${sources[@]/#/tests/}")
awk -v t="$tests" -v a="$all" 'BEGIN {
  printf "test ratio: %d of %d C/C++ lines are under tests/ (%.1f %%)\n", t, a, 100 * t / a }'
