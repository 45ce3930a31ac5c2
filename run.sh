#!/usr/bin/env bash
# Installs what is missing, builds and starts Glimra.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target glimra

exec ./build/src/workspace/glimra "$@"
