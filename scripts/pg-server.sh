#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests, all of it inside DIR:
#   pg-server.sh start DIR   creates and starts it, then prints the "export"
#                            lines that tell the tests where it is
#   pg-server.sh stop DIR    stops it (whatever state it is in) and removes DIR
# It listens on a Unix socket in DIR only (no TCP port is opened), lets local
# connections in without a password, and runs as an unprivileged user:
# PostgreSQL refuses to run as root, so under root (CI) it runs as the system
# user tesorin-test, made when missing, or as nobody.
# With TESORIN_PG_DURABLE=1 it waits on the disk as a real server does
# (fsync, full page writes, synchronous commits): for the benchmarks.
set -euo pipefail

action=${1:-}
dir=${2:-}
if [ -z "$action" ] || [ -z "$dir" ]; then
  echo "Uso: $0 start|stop CARPETA" >&2
  exit 2
fi

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$bindir" ] || [ ! -x "$bindir/pg_ctl" ]; then
  echo "No se encontró PostgreSQL (/usr/lib/postgresql/*/bin): instálelo con scripts/install-deps.sh." >&2
  exit 1
fi

# The user the server runs as, and how to run a command as that user.
run_as=()
if [ "$(id -u)" -eq 0 ]; then
  user=tesorin-test
  if ! id -u "$user" >/dev/null 2>&1; then
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" 2>/dev/null || user=nobody
  fi
  run_as=(runuser -u "$user" --)
fi

case "$action" in
start)
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  mkdir -p "$dir/sock"
  if [ ${#run_as[@]} -gt 0 ]; then chown -R "$user" "$dir"; chmod 755 "$dir"; fi
  "${run_as[@]}" "$bindir/initdb" -D "$dir/data" -U tesorin --auth=trust --encoding=UTF8 --locale=C.UTF-8 \
    >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
  # Throw-away data: nothing needs to survive a power cut, so no waiting on the disk.
  disk="-c fsync=off -c synchronous_commit=off -c full_page_writes=off"
  if [ "${TESORIN_PG_DURABLE:-}" = 1 ]; then disk=""; fi
  "${run_as[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start \
    -o "-c listen_addresses='' -k $dir/sock -p 5432 $disk -c max_connections=200" \
    >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
  echo "export TESORIN_PG_HOST=$dir/sock"
  echo "export TESORIN_PG_PORT=5432"
  echo "export TESORIN_PG_USER=tesorin"
  ;;
stop)
  if [ -d "$dir/data" ]; then
    "${run_as[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  ;;
*)
  echo "Uso: $0 start|stop CARPETA" >&2
  exit 2
  ;;
esac
