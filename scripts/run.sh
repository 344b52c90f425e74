#!/usr/bin/env bash
# What a fresh machine needs to build and run Veldra, the program alone (no
# tests), then Veldra on your display; extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j2 --target veldra
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: no display to show Veldra on (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  echo "run: Veldra is built; start it from a desktop session: ./build/veldra" >&2
  exit 1
fi
exec ./build/veldra "$@"
