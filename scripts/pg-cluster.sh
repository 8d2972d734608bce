#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: `start DIR` makes a cluster in
# DIR (created, owned by the postgres user, which the server runs as), that
# listens only on a Unix socket in DIR and trusts local connections, and
# prints its URI; `stop DIR` stops it and removes DIR. Run as root or as the
# postgres user. Nothing outside DIR is touched.
# Usage: scripts/pg-cluster.sh start|stop DIR
set -euo pipefail

action=${1:-}
dir=${2:-}
if [[ -z $action || -z $dir ]]; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [[ -z $bindir || ! -x $bindir/initdb ]]; then
  echo "PostgreSQL's server programs are not installed (scripts/setup.sh installs them)" >&2
  exit 3
fi

as_postgres() {
  if [[ $(id -un) == postgres ]]; then "$@"; else runuser -u postgres -- "$@"; fi
}

case $action in
  start)
    if [[ -e $dir/data/postmaster.pid ]]; then as_postgres "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true; fi
    rm -rf "$dir"
    mkdir -p "$dir"
    chmod 0755 "$dir"
    [[ $(id -un) == postgres ]] || chown postgres: "$dir"
    as_postgres "$bindir/initdb" -D "$dir/data" -E UTF8 --no-locale --auth=trust -U postgres >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
    as_postgres "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off -c max_connections=100" start >/dev/null ||
      { cat "$dir/server.log" >&2; exit 1; }
    echo "postgresql:///postgres?host=$dir&user=postgres"
    ;;
  stop)
    if [[ -e $dir/data/postmaster.pid ]]; then
      as_postgres "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
