#!/usr/bin/env bash
# No module may carry its own copy of the virtual table or type information of
# a class of the core's public interface: an object made through such a copy
# (an exception in flight, above all) would point into the module after it is
# unloaded. Their one home is libtovi.so.
#
#   check_module_symbols.sh MODULE_DIR
set -uo pipefail
dir=$1
pattern=' (vtable|typeinfo|typeinfo name) for (tovi|tovi::impl|tovi::win_hook|sql|sql::impl|utils)::[A-Za-z_0-9]+$'
failures=0
checked=0
for module in "$dir"/*.so; do
  case $(basename "$module") in libtovi.so*) continue ;; esac
  checked=$((checked + 1))
  copies=$(nm -D -C --defined-only "$module" | grep -E "$pattern")
  if [ -n "$copies" ]; then
    echo "FAILED: $(basename "$module") defines core classes' symbols:"
    echo "$copies"
    failures=$((failures + 1))
  fi
done
echo "module symbols: $((checked - failures)) passed, $failures failed"
[ $failures -eq 0 ]
