#!/usr/bin/env bash
# Runs a command beside a Secret Service of its own: a private session bus
# (dbus-run-session) and gnome-keyring-daemon with a fresh, unlocked login
# keyring in a temporary home. The user's own keyring is never reached.
# Exits 77 (skipped) where the tools are missing.
#   with-secret-service.sh COMMAND [ARGUMENTS...]
set -euo pipefail
for tool in dbus-run-session gnome-keyring-daemon; do
  if ! command -v "$tool" >/dev/null; then
    echo "ÜBERSPRUNGEN: $tool fehlt, ohne ihn gibt es keinen Schlüsselbund für den Test" \
         "(scripts/install-deps.sh installiert ihn)."
    exit 77
  fi
done

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home
export XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache
export XDG_RUNTIME_DIR=$home/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset GNOME_KEYRING_CONTROL SSH_AUTH_SOCK

# --unlock creates the login keyring with this password and makes it the
# default collection, so that nothing ever prompts.
dbus-run-session -- bash -c '
  printf "glimra-test" | gnome-keyring-daemon --unlock --components=secrets >/dev/null
  "$@"' keyring-session "$@" 2> >(grep -v "Failed to set fd limit" >&2)
