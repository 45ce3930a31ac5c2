#!/usr/bin/env bash
# Builds the Debian package from the finished build folder, checks what it
# holds with the ecosystem's own validators, installs it into a temporary
# root and runs what was installed there.
#   test_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
skip=77

for tool in dpkg dpkg-deb cpack desktop-file-validate appstreamcli lintian xdg-mime \
            update-mime-database update-desktop-database; do
  if ! command -v "$tool" >/dev/null; then
    echo "ÜBERSPRUNGEN: $tool fehlt (scripts/install-deps.sh installiert es)."
    exit $skip
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FEHLER: $*" >&2; exit 1; }

# --- the package ---------------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack ist gescheitert"; }
deb=$work/out/glimra_${version}_amd64.deb
[ -f "$deb" ] || { ls "$work/out"; fail "glimra_${version}_amd64.deb fehlt"; }

# --- what it holds -----------------------------------------------------------------
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
expected=(
  /usr/bin/glimra
  /usr/bin/glimra-cli
  /usr/share/applications/org.glimra.Glimra.desktop
  /usr/share/metainfo/org.glimra.Glimra.metainfo.xml
  /usr/share/mime/packages/glimra.xml
  /usr/share/icons/hicolor/scalable/apps/glimra.svg
  /usr/share/icons/hicolor/scalable/mimetypes/application-x-glimra-connection.svg
  /usr/share/icons/hicolor/scalable/mimetypes/application-x-glimra-results.svg
  /usr/share/man/man1/glimra.1.gz
  /usr/share/man/man1/glimra-cli.1.gz
  /usr/share/doc/glimra/copyright
  /usr/share/doc/glimra/changelog.gz
  /usr/share/glimra/demo-server.py
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/glimra.png")
done
for file in "${expected[@]}"; do
  grep -qxF "$file" "$work/files" || fail "das Paket enthält $file nicht"
done
if grep -Ei '(/tests?/|/build|CMake|\.a$|\.o$|\.cpp$|\.h$|_autogen)' "$work/files"; then
  fail "das Paket enthält Dateien des Quell- oder Build-Baums"
fi
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libssl3 libqt6keychain1 libsecret-1-0; do
  [[ $depends == *"$library"* ]] || fail "Depends nennt $library nicht: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "falsche Version im Paket"

# --- validators ------------------------------------------------------------------------
root=$work/root
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.glimra.Glimra.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.glimra.Glimra.metainfo.xml"
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
if grep -q '^E: ' "$work/lintian.log"; then
  fail "lintian meldet Fehler"
fi

# --- the installed programs ------------------------------------------------------
help=$("$root/usr/bin/glimra-cli" --help)
[[ $help == *"Aufruf: glimra-cli"* ]] || fail "glimra-cli --help: $help"
[ "$("$root/usr/bin/glimra-cli" --version)" = "glimra-cli $version" ] || fail "glimra-cli --version"

# --- file types: a file manager opens both kinds of files with Glimra -----------------
XDG_DATA_DIRS="$root/usr/share" update-mime-database "$root/usr/share/mime"
update-desktop-database "$root/usr/share/applications"
grep -q ':\*\.glimra$' "$root/usr/share/mime/globs2" || fail "*.glimra fehlt in der MIME-Datenbank"
grep -q ':\*\.toserve$' "$root/usr/share/mime/globs2" || fail "*.toserve fehlt in der MIME-Datenbank"
for type in application/x-glimra-connection application/x-glimra-results; do
  handler=$(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID \
            HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CONFIG_DIRS="$work/etc" \
            XDG_DATA_HOME="$work/home/.local/share" XDG_DATA_DIRS="$root/usr/share" \
            xdg-mime query default "$type")
  [ "$handler" = org.glimra.Glimra.desktop ] || fail "$type öffnet »$handler« statt org.glimra.Glimra.desktop"
done
grep -q '^Exec=glimra %f$' "$root/usr/share/applications/org.glimra.Glimra.desktop" ||
  fail "der Desktop-Eintrag reicht die Datei nicht an glimra weiter"
echo "Paket $(basename "$deb") geprüft."
