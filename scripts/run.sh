#!/usr/bin/env bash
# Everything a fresh machine needs, then Veldra itself. Without a display,
# it starts on a virtual one (Xvfb); pass extra arguments on to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" ./build/veldra "$@"
fi
exec ./build/veldra "$@"
