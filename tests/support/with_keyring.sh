#!/bin/sh
# Runs a command with a secret service of its own: gnome-keyring in the
# current D-Bus session (start this under dbus-run-session), with a fresh
# login keyring in a home folder of its own, unlocked with a test password
# so that nothing prompts.
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
printf %s test-password | gnome-keyring-daemon --unlock --components=secrets >/dev/null
export VELDRA_TEST_KEYRING=1
"$@"
