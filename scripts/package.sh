#!/usr/bin/env bash
# Debian packages from build/ (run scripts/test.sh first): libtovi0 (the library
# and its modules), libtovi-dev (headers, CMake package, pkg-config file) and
# tovibench. Checks that apt resolves their dependencies by package name, unpacks
# them into a scratch root, checks the files, and asks pkg-config there.
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

[ $failures -eq 0 ] && echo "packages: $(ls "$out"/*.deb | wc -l) built, installable, complete"
exit $((failures != 0))
