#!/usr/bin/env bash
# Builds the Debian package from a configured build folder, unpacks it into a
# throw-away root and checks what a user gets: the program and its files in
# /opt/tesorin, the launcher, a valid desktop entry, the icon, and the
# dependencies Qt needs at run time.
#   check_package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FALLA: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null
deb=$(ls "$work"/out/tesorin_*.deb)
dpkg-deb --info "$deb" >/dev/null
root="$work/root"
dpkg -x "$deb" "$root"

for f in opt/tesorin/tesorin usr/bin/tesorin; do
  [ -x "$root/$f" ] || fail "falta el ejecutable /$f"
done
for f in opt/tesorin/logo.jpg "opt/tesorin/manual de usuario.pdf" usr/share/applications/tesorin.desktop usr/share/icons/hicolor/scalable/apps/tesorin.svg; do
  [ -s "$root/$f" ] || fail "falta /$f"
done
grep -q '^app="/opt/tesorin/tesorin"$' "$root/usr/bin/tesorin" || fail "el lanzador no abre /opt/tesorin/tesorin"
# Nothing but these folders: no headers, libraries or test programs.
extra=$(cd "$root" && find . -type f | grep -Ev '^\./(opt/tesorin|usr/bin|usr/share/applications|usr/share/icons/hicolor)/' || true)
[ -z "$extra" ] || fail "archivos de más en el paquete: $extra"

desktop-file-validate "$root/usr/share/applications/tesorin.desktop" || fail "entrada de escritorio inválida"
grep -q '^Categories=Office;Finance;$' "$root/usr/share/applications/tesorin.desktop" || fail "categorías"
grep -q '^Comment\[es\]=' "$root/usr/share/applications/tesorin.desktop" || fail "comentario en castellano"

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libqt6printsupport6 libqt6sql6 libsqlite3-0 libqt6sql6-sqlite libqt6sql6-psql qt6-qpa-plugins \
         qt6-translations-l10n fonts-liberation2 fonts-comic-neue; do
  grep -Eq "(^|, )$p( |,|$)" <<<"$depends" || fail "no depende de $p: $depends"
done

# The unpacked program runs, and without a configuration file beside it says
# where to put one.
"$root/opt/tesorin/tesorin" --help | grep -q -- '--verificar' || fail "--help"
set +e
out=$("$root/opt/tesorin/tesorin" --verificar 2>&1)
rc=$?
set -e
[ "$rc" -ne 0 ] || fail "--verificar sin configuración terminó bien"
grep -q "No existe el archivo de inicialización." <<<"$out" || fail "mensaje sin configuración: $out"
grep -qF "$root/opt/tesorin/tesorin.INI" <<<"$out" || fail "el mensaje no dice dónde va la configuración: $out"

# The launcher's choice of configuration, run against a stand-in for the
# program that writes down its arguments (and, for --configurar, writes the
# user's configuration unless told to cancel).
fake="$work/fake"
mkdir -p "$fake"
sed "s|/opt/tesorin|$fake|g" "$root/usr/bin/tesorin" >"$work/launcher"
cat >"$fake/tesorin" <<'STUB'
#!/bin/sh
echo "$*" >>"$CALLS"
if [ "$1" = "--configurar" ] && [ -z "$CANCEL" ]; then
  mkdir -p "${XDG_CONFIG_HOME:-$HOME/.config}/tesorin"
  echo "[DataSourceName]" >"${XDG_CONFIG_HOME:-$HOME/.config}/tesorin/tesorin.ini"
fi
[ "$1" != "--configurar" ] || [ -z "$CANCEL" ]
STUB
chmod +x "$fake/tesorin" "$work/launcher"
launch() { # HOME, expected calls (one per line), then the launcher's arguments
  local home=$1 expected=$2
  shift 2
  export CALLS="$work/calls"
  rm -f "$CALLS"
  HOME=$home sh "$work/launcher" "$@" || true
  [ "$(cat "$CALLS" 2>/dev/null)" = "$expected" ] || fail "lanzador $*: llamó «$(cat "$CALLS" 2>/dev/null)», se esperaba «$expected»"
}
h="$work/home1"; mkdir -p "$h"
CANCEL=1 launch "$h" "--configurar"                      # cancelled: the program does not start
[ ! -e "$h/.config/tesorin/tesorin.ini" ] || fail "configuración escrita al cancelar"
launch "$h" "--help" --help                                # a command never opens the window
launch "$h" "--configurar
--ini $h/.config/tesorin/tesorin.ini"                      # first start: asks, then starts with it
launch "$h" "--ini $h/.config/tesorin/tesorin.ini --verificar" --verificar
launch "$h" "--ini /otra.ini" --ini /otra.ini              # one named on the command line wins
XDG_CONFIG_HOME="$work/xdg" launch "$h" "--configurar
--ini $work/xdg/tesorin/tesorin.ini"
h="$work/home2"; mkdir -p "$h"
touch "$fake/tesorin.ini"                                  # beside the program, and none of the user's
launch "$h" ""
rm "$fake/tesorin.ini"

echo "paquete correcto: $(basename "$deb")"
