#!/usr/bin/env bash
# Builds the Debian package glimra_<version>_amd64.deb into build/package/
# (with CPack; the dependencies come from dpkg-shlibdeps).
#   scripts/package.sh
# Install it with: sudo apt install ./build/package/glimra_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target glimra glimra-cli glimra_package_files
(cd build && cpack -G DEB -B "$PWD/package" >/dev/null)
rm -rf build/package/_CPack_Packages
ls build/package/glimra_*.deb
