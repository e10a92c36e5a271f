#!/usr/bin/env bash
# Builds Tesorin and its Debian package, build/tesorin_VERSION_ARCH.deb.
# Install it with:  sudo apt install ./build/tesorin_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
cpack -G DEB >/dev/null
deb=$(ls -t tesorin_*.deb | head -1)
echo "Paquete: build/$deb"
echo "Para instalarlo: sudo apt install ./build/$deb"
