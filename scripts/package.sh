#!/usr/bin/env bash
# Debian packages, built in build-deb/ for the prefix /usr (the multiarch library
# folder, no run path in tovi.pc): libtovi0 (the library and its modules),
# libtovi-dev (headers, CMake package, pkg-config file) and tovibench. Checks that
# apt resolves their dependencies by package name, unpacks them into a scratch
# root, checks the files, and asks pkg-config there; then installs them with
# apt-get (recommended packages included, as apt does by default) into a clean
# Debian 12 root, builds the guide's first program and the connections example
# there and runs the example on every road that needs no server, and on the
# native PostgreSQL road against a private server started for it.
set -euo pipefail
cd "$(dirname "$0")/.."
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DTOVI_BUILD_TESTS=OFF
         -DTOVI_BUILD_EXAMPLES=OFF)
[ "${CI:-}" = "true" ] && options+=(-DTOVI_WERROR=ON)
cmake -S . -B build-deb -G Ninja "${options[@]}" >/dev/null
cmake --build build-deb --parallel "$(nproc 2>/dev/null || echo 2)" --target tovi tovibench \
  tovi_sqlite tovi_odbc tovi_ibemb tovi_ado tovi_pgsql dialect_sqlite dialect_interbase dialect_msjet \
  dialect_postgresql tovi_driver_common >/dev/null
out=build-deb/packages
rm -rf "$out"
mkdir -p "$out"
(cd build-deb && cpack -G DEB -B "$PWD/packages" >/dev/null)
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
lib=usr/lib/$(gcc -print-multiarch)
for file in $lib/libtovi.so.0 $lib/libtovi.so $lib/tovi_sqlite.so $lib/tovi_odbc.so \
            $lib/tovi_ibemb.so $lib/tovi_ado.so $lib/tovi_PGSQL.so $lib/dialect_sqlite.so $lib/dialect_interbase.so \
            $lib/dialect_msjet.so $lib/dialect_postgresql.so usr/include/tovi/tovi.hpp \
            $lib/cmake/tovi/toviConfig.cmake $lib/pkgconfig/tovi.pc usr/bin/tovibench; do
  [ -e "$root/$file" ] || fail "no /$file in the packages"
done
# The library's SONAME is versioned; its unversioned name is for linking only.
objdump -p "$root/$lib/libtovi.so.0" | grep -q "SONAME *libtovi.so.0$" || fail "libtovi's SONAME is not libtovi.so.0"
dpkg-deb -c "$out"/libtovi0_*.deb | grep -q "libtovi.so -> " && fail "libtovi0 holds the link-time name libtovi.so"
grep -q "rpath" "$root/$lib/pkgconfig/tovi.pc" && fail "tovi.pc sets a run path for a system folder"
dpkg-deb -f "$out"/libtovi0_*.deb Recommends | grep -q "libsqliteodbc, firebird3.0-server-core" ||
  fail "libtovi0 does not recommend what the ODBC and Firebird roads need"
version=$(PKG_CONFIG_PATH="$root/$lib/pkgconfig" pkg-config --modversion tovi) ||
  fail "pkg-config does not find tovi in the scratch root"
[ "$version" = "$(dpkg-deb -f "$out"/libtovi0_*.deb Version)" ] || fail "pkg-config says $version"
dpkg-deb -f "$out"/libtovi0_*.deb Depends | grep -q libsqlite3-0 || fail "libtovi0 does not depend on libsqlite3-0"
dpkg-deb -f "$out"/libtovi0_*.deb Depends | grep -q libpq5 || fail "libtovi0 does not depend on libpq5"
# tovibench from the scratch root runs the suite's start (its modules beside the library).
"$root/usr/bin/tovibench" --help >/dev/null || fail "the packaged tovibench does not start"

# A clean Debian 12 (debootstrap, minimal): apt-get installs the packages with
# what they depend on, pkg-config finds tovi, and the guide's first program builds
# with the guide's command and runs. Needs root (chroot) and Debian's mirror.
# The root with the guide's tools (g++, pkg-config) is kept for a week in the
# user's cache: made afresh, it takes a minute of downloads.
base_root() {
  local r=$1 cache=${XDG_CACHE_HOME:-$HOME/.cache}/tovi/bookworm-minbase-g++.tar
  if [ -n "$(find "$cache" -mtime -7 2>/dev/null)" ] && tar -xf "$cache" -C "$r" 2>/dev/null; then
    return 0
  fi
  debootstrap --variant=minbase bookworm "$r" http://deb.debian.org/debian >"$out/debootstrap.log" 2>&1 ||
    { fail "debootstrap failed: $(tail -n 3 "$out/debootstrap.log")"; return 1; }
  chroot "$r" /bin/sh -ec 'export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends g++ pkg-config
    apt-get clean' >"$out/base-root.log" 2>&1 ||
    { fail "apt-get cannot install g++ on a clean Debian 12: $(tail -n 5 "$out/base-root.log")"; return 1; }
  mkdir -p "$(dirname "$cache")"
  tar -cf "$cache.part" -C "$r" . && mv "$cache.part" "$cache"
}
clean_root() {
  local r=$1
  base_root "$r" || return
  mkdir -p "$r/debs" "$r/work"
  cp "$out"/*.deb "$r/debs/"
  cp examples/first_program.cpp examples/connections.cpp "$r/work/"
  chroot "$r" /bin/sh -ec 'export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq /debs/*.deb' >"$out/clean-root.log" 2>&1 ||
    { fail "apt-get cannot install the packages on a clean Debian 12: $(tail -n 5 "$out/clean-root.log")"; return; }
  local v
  v=$(chroot "$r" pkg-config --modversion tovi) || { fail "pkg-config --modversion tovi fails on the clean root"; return; }
  chroot "$r" /bin/sh -ec 'cd /work
    g++ -std=c++17 first_program.cpp -o first_program $(pkg-config --cflags --libs tovi)
    ./first_program people.db' >"$out/first-program.out" 2>&1 ||
    { fail "the first program does not build or run on the clean root: $(cat "$out/first-program.out")"; return; }
  [ "$(cat "$out/first-program.out")" = "$(printf '1 Ada\n2 Grace')" ] ||
    { fail "the first program printed: $(cat "$out/first-program.out")"; return; }
  # Every road that needs no server, from the packages alone, with the guide's URLs.
  chroot "$r" /bin/sh -ec 'cd /work
    g++ -std=c++17 connections.cpp -o connections $(pkg-config --cflags --libs tovi)
    ./connections /SQLITE "" people-sqlite.db
    ./connections /ODBC/SQLite3 "" people-odbc.db
    ./connections /InterBase_EMB SYSDBA people.fdb
    ./connections /ADO/Microsoft.Jet.OLEDB.4.0 "" people.mdb' >"$out/connections.out" 2>&1 ||
    { fail "the connections example fails on the clean root: $(tail -n 5 "$out/connections.out")"; return; }
  [ "$(grep -c ': 1 row(s)$' "$out/connections.out")" -eq 4 ] ||
    { fail "the connections example printed: $(cat "$out/connections.out")"; return; }
  # The native PostgreSQL road, with the guide's URL, against a server on this
  # machine (the root shares its network).
  local env_file="$out/pg.env"
  bash tests/support/pg_server.sh start "$env_file" >"$out/pg-server.log" 2>&1 ||
    { fail "no PostgreSQL server for the clean root: $(tail -n 3 "$out/pg-server.log")"; return; }
  set -a; . "$env_file"; set +a
  local pg_rc=0
  chroot "$r" /usr/bin/env TOVI_PASSWORD="$PGPASSWORD" /bin/sh -ec "cd /work
    ./connections /PostgreSQL/127.0.0.1/$PGPORT $PGUSER $PGDATABASE" >"$out/connections-pg.out" 2>&1 ||
    pg_rc=$?
  bash tests/support/pg_server.sh stop "$env_file" >/dev/null 2>&1 || true
  [ $pg_rc -eq 0 ] && grep -q ': 1 row(s)$' "$out/connections-pg.out" ||
    { fail "the connections example on PostgreSQL printed: $(cat "$out/connections-pg.out")"; return; }
  echo "clean Debian 12 root: packages installed by apt-get, pkg-config says $v, first program runs," \
    "connections runs on SQLite, SQLite/ODBC, Firebird, Jet and PostgreSQL"
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
