#!/usr/bin/env bash
# Installs what is missing, builds and starts Glimra, with a demo FTP server
# on 127.0.0.1:2121 and a connection "Demo" to it (scripts/demo-server.py).
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target glimra

# The demo server watches this process, which becomes Glimra below: it ends
# when Glimra ends, also when Glimra crashes.
/usr/bin/python3 scripts/demo-server.py start --watch $$ ||
  echo "Glimra startet ohne Demo-Server." >&2

exec ./build/src/app/glimra "$@"
