#!/usr/bin/env bash
# Installs, builds and runs every test headless, the server tests included.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
# The server tests run against a throw-away PostgreSQL server of their own,
# stopped and removed whatever happens.
root=$(pwd)
pgdir=$(mktemp -d "${TMPDIR:-/tmp}/tesorin-pg.XXXXXX")
trap 'bash "$root/scripts/pg-server.sh" stop "$pgdir"' EXIT
eval "$(bash scripts/pg-server.sh start "$pgdir")"
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2
