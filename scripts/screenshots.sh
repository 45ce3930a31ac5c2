#!/usr/bin/env bash
# Draws the README's pictures into docs/ on a virtual X display: the main
# window connected to the demo server, the connection manager, the remote
# folder tree, the thumbnail window, the save prompt, the search, the
# properties of an SFTP connection, the questions about a changed server
# certificate and an unknown SSH host key, and the connection list update (fed from a sample list on a
# local web server), at 1280 x 800, on a fresh temporary home.
#   scripts/screenshots.sh [folder]      (default: docs/)
# GLIMRA_BUILD_DIR picks the build directory (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."

folder=$(realpath -m "${1:-docs}")
build_dir=${GLIMRA_BUILD_DIR:-build}
mkdir -p "$folder"

./scripts/install-deps.sh
cmake -S . -B "$build_dir" -G Ninja >/dev/null
cmake --build "$build_dir" --target glimra_screenshots >/dev/null

home=$(mktemp -d /tmp/glimra-screenshots.XXXXXX)
display_number=97
xvfb_pid=
web_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$web_pid" ] && kill "$web_pid" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache
# Something to see in the local pane.
mkdir -p "$home/Bilder" "$home/Musik" "$home/Projekte/Webseite"
printf 'Einkaufsliste\n' >"$home/Notizen.txt"
head -c 48000 /dev/zero >"$home/Projekte/Angebot.pdf"
head -c 2400000 /dev/zero >"$home/Gartenhaus – Entwurf mit den Änderungen vom März.pdf"

Xvfb ":$display_number" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display_number"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

free_port() {
  /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port=$(free_port)
# The demo server serves while this shell runs.
/usr/bin/python3 scripts/demo-server.py start --watch $$ --port "$port" >/dev/null

# A published list of a few public servers for the update window.
mkdir -p "$home/web/updates"
printf '%s\r\n' '[ORNA FTP Glimra Tessaline FTP Ferbindungsliste Update]' '' \
  '[Debian Deutschland]' 'Gruppe=Öffentlich\Linux' 'FTP_Server=ftp.de.debian.org' 'FTPOrdner=/debian' '' \
  '[GNU]' 'Gruppe=Öffentlich\Software' 'FTP_Server=ftp.gnu.org' 'FTPOrdner=/gnu' '' \
  '[FAU Spiegel]' 'Gruppe=Öffentlich\Spiegel' 'FTP_Server=ftp.fau.de' 'FTPOrdner=/' \
  >"$home/web/updates/FTPAdressen.txt"
web_port=$(free_port)
/usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$home/web" "$web_port" >/dev/null 2>&1 &
web_pid=$!
for _ in $(seq 50); do
  /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $web_port))" 2>/dev/null && break
  sleep 0.1
done

LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 QT_QPA_PLATFORM=xcb "$build_dir/scripts/screenshots/glimra_screenshots" "$folder" \
  "http://127.0.0.1:$web_port/updates/FTPAdressen.txt"
