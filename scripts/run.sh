#!/usr/bin/env bash
# Installs, builds and opens Tesorin. The first time it writes build/tesorin.ini
# pointing at a demo database (build/demo.db), created when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ini=build/tesorin.ini
db="$PWD/build/demo.db"
if [ ! -f "$ini" ] && [ ! -f build/tesorin.INI ]; then
  printf '[DataSourceName]\nDataSource=%s\n\n[Location]\nNombre=Cooperadora Escuela N° 12 "Domingo F. Sarmiento"\n' "$db" > "$ini"
  echo "Configuración escrita en $ini"
fi
if [ ! -f "$db" ] && grep -q "^DataSource=$db\$" "$ini" 2>/dev/null; then
  ./build/tesorin --demo "$db"
fi
if [ ! -f build/logo.jpg ] && [ -f resources/logo.jpg ]; then
  cp resources/logo.jpg build/logo.jpg
fi
exec ./build/tesorin "$@"
