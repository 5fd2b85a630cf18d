#!/usr/bin/env bash
# Makes sure the Debian 12 packages tovi builds and tests with are installed.
# As root it installs what is missing with apt-get; otherwise it prints the exact
# command to run and fails.
#   bash scripts/deps.sh          everything: the tests, the checks, the packages
#   bash scripts/deps.sh --main   only what the main job needs (tovibench on SQLite)
set -euo pipefail

# The main job: the compiler, the build tools, Boost and SQLite.
packages=(
  g++ cmake ninja-build ccache
  libboost-dev libboost-filesystem-dev libboost-program-options-dev
  libboost-serialization-dev libsqlite3-dev
)
if [ "${1:-}" != "--main" ]; then
  packages+=(
    pkg-config libboost-date-time-dev libboost-thread-dev
    libgtest-dev libgmock-dev sqlite3
    unixodbc-dev libsqliteodbc locales-all
    postgresql odbc-postgresql libpq-dev
    firebird-dev libfbclient2 firebird3.0-server-core
    tzdata clang-format clang-tidy clang libclang-rt-14-dev gnuplot-nox doxygen debootstrap
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

command="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "tovi needs these Debian packages. Install them, then run this again:" >&2
  echo "  sudo apt-get update && sudo $command" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
$command -qq
