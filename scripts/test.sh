#!/usr/bin/env bash
# Everything a fresh machine needs, then every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
ctest --test-dir build -j2 --output-on-failure --timeout 300
