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
# Findings are kept per file under a key of everything that decides them: the
# source and every header it includes (as the build's dependency records list
# them), its compile command, the rules and clang-tidy's version. An unchanged file
# is not checked again.
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tovi/clang-tidy
mkdir -p "$cache"
rules=$( (cat .clang-tidy; clang-tidy --version) | sha256sum | cut -d' ' -f1)
read -r -d '' keys_py <<'PY' || true
import hashlib, json, os, shlex, subprocess, sys
rules = sys.argv[1]
wanted = [line.strip() for line in sys.stdin if line.strip()]
entries = {}
for entry in json.load(open("build/compile_commands.json")):
    entries.setdefault(os.path.relpath(entry["file"]), entry)
digests = {}
def digest(path):
    if path not in digests:
        try:
            digests[path] = hashlib.sha256(open(path, "rb").read()).hexdigest()
        except OSError:
            digests[path] = "missing"
    return digests[path]
for name in wanted:
    entry = entries.get(name)
    key = "-"
    if entry:
        args = entry.get("arguments") or shlex.split(entry["command"])
        obj = args[args.index("-o") + 1] if "-o" in args else None
        deps = subprocess.run(["ninja", "-C", "build", "-t", "deps", obj or ""],
                              capture_output=True, text=True).stdout.split("\n")[1:] if obj else []
        headers = [d.strip() for d in deps if d.strip()]
        if headers:
            # Paths inside the checkout count without it: another clone shares the keys.
            root = os.getcwd() + "/"
            h = hashlib.sha256((rules + " ".join(args).replace(root, "")).encode())
            for path in [name] + headers:
                h.update((path.replace(root, "") + digest(path)).encode())
            key = h.hexdigest()
    print(key, name)
PY
keys=$(printf '%s\n' "${files[@]}" | python3 -c "$keys_py" "$rules")
export cache
tidy_one() {
  local key=$1 file=$2 out
  if [ "$key" != - ] && [ -f "$cache/$key" ]; then cat "$cache/$key"; return; fi
  out=$(clang-tidy -p build --quiet "$file" 2>/dev/null | grep -E '(warning|error):' || true)
  [ "$key" != - ] && printf '%s\n' "$out" >"$cache/$key"
  printf '%s\n' "$out"
}
export -f tidy_one
findings=$(printf '%s\n' "$keys" | xargs -P "$jobs" -L 1 bash -c 'tidy_one "$1" "$2"' _ |
  grep -E '(warning|error):' | sort -u || true)
if [ -n "$findings" ]; then
  echo "$findings"
  echo "clang-tidy: $(echo "$findings" | wc -l) findings"
  exit 1
fi
echo "lint: 2 passed, 0 failed"
