#!/bin/sh
# Runs a command with a secret service of its own: gnome-keyring in the
# current D-Bus session (start this under dbus-run-session), with a fresh
# login keyring in a home folder of its own, unlocked with a test password
# so that nothing prompts. With --refusing first, no keyring is made and
# there is no display for its prompt: the service refuses every secret, as
# one does whose prompt the user cancelled.
set -eu
mode=unlocked
if [ "${1:-}" = --refusing ]; then
  mode=refusing
  shift
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
if [ $mode = unlocked ]; then
  printf %s test-password | gnome-keyring-daemon --unlock --components=secrets >/dev/null
else
  unset DISPLAY
  gnome-keyring-daemon --start --components=secrets >/dev/null
fi
export VELDRA_TEST_KEYRING=$mode
"$@"
