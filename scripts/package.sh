#!/usr/bin/env bash
# Debian packages from build/ (run scripts/test.sh first): libtovi0 (the library
# and its modules), libtovi-dev (headers, CMake package, pkg-config file) and
# tovibench. Checks that apt resolves their dependencies by package name, unpacks
# them into a scratch root, checks the files, and asks pkg-config there; then
# installs them with apt-get into a clean Debian 12 root and builds the guide's
# first program there.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/packages
rm -rf "$out"
mkdir -p "$out"
(cd build && cpack -G DEB -B "$PWD/packages" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls "$out"/*.deb
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# apt would install them with what they depend on (simulated: nothing changes).
if [ "$(id -u)" -eq 0 ]; then
  apt-get install --simulate -qq "$PWD/$out"/*.deb >"$out/apt.log" 2>&1 ||
    fail "apt cannot install the packages: $(cat "$out/apt.log")"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for deb in "$out"/*.deb; do dpkg-deb -x "$deb" "$root"; done
for file in usr/lib/libtovi.so usr/lib/tovi_sqlite.so usr/lib/tovi_odbc.so usr/lib/tovi_ibemb.so \
            usr/lib/tovi_ado.so usr/lib/dialect_sqlite.so usr/lib/dialect_interbase.so \
            usr/lib/dialect_msjet.so usr/lib/dialect_postgresql.so usr/include/tovi/tovi.hpp \
            usr/lib/cmake/tovi/toviConfig.cmake usr/lib/pkgconfig/tovi.pc usr/bin/tovibench; do
  [ -e "$root/$file" ] || fail "no /$file in the packages"
done
version=$(PKG_CONFIG_PATH="$root/usr/lib/pkgconfig" pkg-config --modversion tovi) ||
  fail "pkg-config does not find tovi in the scratch root"
[ "$version" = "$(dpkg-deb -f "$out"/libtovi0_*.deb Version)" ] || fail "pkg-config says $version"
dpkg-deb -f "$out"/libtovi0_*.deb Depends | grep -q libsqlite3-0 || fail "libtovi0 does not depend on libsqlite3-0"
# tovibench from the scratch root runs the suite's start (its modules beside the library).
"$root/usr/bin/tovibench" --help >/dev/null || fail "the packaged tovibench does not start"

# A clean Debian 12 (debootstrap, minimal): apt-get installs the packages with
# what they depend on, pkg-config finds tovi, and the guide's first program builds
# with the guide's command and runs. Needs root (chroot) and Debian's mirror.
clean_root() {
  local r=$1
  debootstrap --variant=minbase bookworm "$r" http://deb.debian.org/debian >"$out/debootstrap.log" 2>&1 ||
    { fail "debootstrap failed: $(tail -n 3 "$out/debootstrap.log")"; return; }
  mkdir -p "$r/debs" "$r/work"
  cp "$out"/*.deb "$r/debs/"
  cp examples/first_program.cpp "$r/work/"
  chroot "$r" /bin/sh -ec 'export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends /debs/*.deb
    apt-get install -y -qq --no-install-recommends g++ pkg-config' >"$out/clean-root.log" 2>&1 ||
    { fail "apt-get cannot install the packages on a clean Debian 12: $(tail -n 5 "$out/clean-root.log")"; return; }
  local v
  v=$(chroot "$r" pkg-config --modversion tovi) || { fail "pkg-config --modversion tovi fails on the clean root"; return; }
  chroot "$r" /bin/sh -ec 'cd /work
    g++ -std=c++17 first_program.cpp -o first_program $(pkg-config --cflags --libs tovi)
    ./first_program people.db' >"$out/first-program.out" 2>&1 ||
    { fail "the first program does not build or run on the clean root: $(cat "$out/first-program.out")"; return; }
  [ "$(cat "$out/first-program.out")" = "$(printf '1 Ada\n2 Grace')" ] ||
    { fail "the first program printed: $(cat "$out/first-program.out")"; return; }
  echo "clean Debian 12 root: packages installed by apt-get, pkg-config says $v, first program runs"
}
if [ "$(id -u)" -eq 0 ] && command -v debootstrap >/dev/null; then
  clean=$(mktemp -d)
  trap 'rm -rf "$root" "$clean"' EXIT
  clean_root "$clean"
else
  echo "skipped the clean-root install: it needs root and debootstrap"
fi

[ $failures -eq 0 ] && echo "packages: $(ls "$out"/*.deb | wc -l) built, installable, complete"
exit $((failures != 0))
