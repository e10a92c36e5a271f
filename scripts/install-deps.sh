#!/usr/bin/env bash
# Installs the Debian packages Tesorin needs to build, run and test.
# Idempotent: only what is missing is installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libqt6sql6-sqlite libsqlite3-dev
  qt6-translations-l10n
  fonts-liberation2 fonts-comic-neue
  xvfb xauth
  desktop-file-utils dpkg-dev
  sqlite3
  postgresql libqt6sql6-psql libpq-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Instalando paquetes: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
