#!/usr/bin/env bash
# Installs the Debian packages Glimra needs to build, test and run.
#   scripts/install-deps.sh [--fuzz]   --fuzz adds clang and libFuzzer
# Idempotent: quiet and quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n qt6-image-formats-plugins
  libgl-dev libssl-dev openssl libgraphicsmagick++1-dev
  python3 python3-pyftpdlib python3-openssl
  vsftpd
  tinyproxy-bin
  # SFTP: libssh for the engine; OpenSSH's server, agent and client for its tests
  libssh-dev openssh-server openssh-client
  # the libraries of the unpacked ProFTPD packages (below)
  libmemcached11 libmemcachedutil2 libpcre2-posix3 libhiredis0.14 libsodium23
  xvfb xauth x11-utils openbox
  # passwords in the desktop's keyring; the tests run their own Secret Service
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus-daemon
  # the Debian package: icons, manual pages, CPack, and the validators of its test
  librsvg2-bin help2man gzip file dpkg-dev
  desktop-file-utils appstream lintian xdg-utils shared-mime-info
)
if [ "${1:-}" = --fuzz ]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

# pure-ftpd and ProFTPD conflict with vsftpd as installed packages; the tests
# unpack their packages into temporary folders, so only the package files
# are fetched.
debs="$(cd "$(dirname "$0")/.." && pwd)/.cache/debs"
fetch_deb() {
  compgen -G "$debs/${1}_*.deb" >/dev/null && return 0
  mkdir -p "$debs"
  (cd "$debs" && apt-get download -qq "$1" 2>/dev/null) ||
    { "${sudo_cmd[@]}" apt-get update -qq && (cd "$debs" && apt-get download -qq "$1" 2>/dev/null); } ||
    echo "$1 ließ sich nicht laden; die Tests, die es brauchen, werden übersprungen."
}
fetch_deb pure-ftpd
fetch_deb proftpd-core
fetch_deb proftpd-mod-crypto

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installiere: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Keep package scripts from starting vsftpd as a system service; tests run their own.
policy=/usr/sbin/policy-rc.d
created_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$policy" >/dev/null
  "${sudo_cmd[@]}" chmod +x "$policy"
  created_policy=1
fi
trap '[ $created_policy -eq 1 ] && "${sudo_cmd[@]}" rm -f "$policy"' EXIT
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
