#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: a private cluster in a new
# directory under /tmp, on 127.0.0.1 only, on a free port, fsync off, with a
# password-protected test role and database. Works as root (the server then runs
# as the postgres user) and as an ordinary user.
#
#   pg_server.sh start ENV_FILE   initdb, start; writes ENV_FILE (PGHOST, PGPORT,
#                                 PGUSER, PGPASSWORD, PGDATABASE, TOVI_PG_DIR)
#   pg_server.sh stop ENV_FILE    stops the server, removes its directory and
#                                 ENV_FILE; fails if a server process or the
#                                 directory is left behind
#   pg_server.sh create ENV_FILE NAME   a new, empty database NAME (tests that run
#                                       at the same time each use their own)
#   pg_server.sh drop ENV_FILE NAME     drops it (its connections with it)
#   pg_server.sh pause ENV_FILE   stops the server, keeping its data
#   pg_server.sh resume ENV_FILE  starts it again on the same port
set -euo pipefail
command=${1:?start, stop or reset}
env_file=${2:?environment file}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/pg_ctl" ] || { echo "pg_server.sh: no PostgreSQL server installed (Debian: postgresql)" >&2; exit 1; }

# Runs a server program as the cluster's owner.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$command" in
start)
  [ ! -e "$env_file" ] || "$0" stop "$env_file" || true  # a run that ended without stopping
  dir=$(mktemp -d /tmp/tovi-pg.XXXXXX)
  chmod 755 "$dir"
  if [ "$(id -u)" -eq 0 ]; then chown postgres: "$dir"; fi
  password=tovi-$RANDOM-$RANDOM
  as_owner bash -c "umask 077; printf '%s\n' '$password' >'$dir/pwfile'"
  as_owner "$bin/initdb" -D "$dir/data" -U tovi --pwfile="$dir/pwfile" -A scram-sha-256 \
    -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  cat >>"$dir/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$dir'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 40
CONF
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null ||
    { cat "$dir/server.log" >&2; exit 1; }
  PGPASSWORD=$password "$bin/psql" -q -h 127.0.0.1 -p "$port" -U tovi -d postgres \
    -c "CREATE DATABASE tovi_test" >/dev/null
  mkdir -p "$(dirname "$env_file")"
  printf 'PGHOST=127.0.0.1\nPGPORT=%s\nPGUSER=tovi\nPGPASSWORD=%s\nPGDATABASE=tovi_test\nTOVI_PG_DIR=%s\n' \
    "$port" "$password" "$dir" >"$env_file"
  echo "PostgreSQL test server on 127.0.0.1:$port, data in $dir"
  ;;
create | drop)
  name=${3:?database name}
  set -a; . "$env_file"; set +a
  if [ "$command" = create ]; then
    sql="CREATE DATABASE \"$name\""
  else
    sql="DROP DATABASE IF EXISTS \"$name\" WITH (FORCE)"
  fi
  "$bin/psql" -q -v ON_ERROR_STOP=1 -d postgres -c "$sql" >/dev/null
  ;;
pause | resume)
  dir=$(sed -n 's/^TOVI_PG_DIR=//p' "$env_file")
  if [ "$command" = pause ]; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >/dev/null
  else
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null
  fi
  ;;
stop)
  [ -f "$env_file" ] || { echo "pg_server.sh: no server recorded in $env_file" >&2; exit 1; }
  dir=$(sed -n 's/^TOVI_PG_DIR=//p' "$env_file")
  [ -n "$dir" ] || { echo "pg_server.sh: $env_file names no directory" >&2; exit 1; }
  if [ -d "$dir/data" ]; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >/dev/null 2>&1 ||
      as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  left=$(pgrep -f -- "-D $dir/data" || true)
  rm -rf "$dir" "$env_file"
  if [ -n "$left" ]; then
    echo "pg_server.sh: server processes left behind: $left" >&2
    kill -9 $left 2>/dev/null || true
    exit 1
  fi
  [ ! -e "$dir" ] || { echo "pg_server.sh: $dir left behind" >&2; exit 1; }
  echo "PostgreSQL test server stopped and removed"
  ;;
*)
  echo "pg_server.sh: unknown command $command" >&2
  exit 2
  ;;
esac
