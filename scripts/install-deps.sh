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
  xvfb xauth x11-utils openbox
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

# pure-ftpd conflicts with vsftpd as an installed package; the tests unpack
# its package into a temporary folder, so only the package file is fetched.
debs="$(cd "$(dirname "$0")/.." && pwd)/.cache/debs"
if ! compgen -G "$debs/pure-ftpd_*.deb" >/dev/null; then
  mkdir -p "$debs"
  (cd "$debs" && apt-get download -qq pure-ftpd 2>/dev/null) ||
    { "${sudo_cmd[@]}" apt-get update -qq && (cd "$debs" && apt-get download -qq pure-ftpd 2>/dev/null); } ||
    echo "pure-ftpd ließ sich nicht laden; seine Tests werden übersprungen."
fi

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
