#!/usr/bin/env bash
# The queue's soak against a real FTP server with TLS: 10,000 files down,
# then up, while the program, the server and the link are killed, cut and
# stalled at random moments (seeded; the seed is printed to run a round
# again). --short: a round of about two minutes each way, as CI runs it. Other
# arguments go to tests/soak/soak.py (--seed N, --files N, --kills K).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
bash scripts/build.sh >/dev/null
soak=(/usr/bin/python3 tests/soak/soak.py build/tests/soak/soak_queue)
if [[ ${1:-} == --short ]]; then
  shift
  "${soak[@]}" --files 600 --big-mib 4 --kills 3 --limit 2048 --every 0.5,2 --seconds 150 "$@"
  "${soak[@]}" --files 400 --big-mib 4 --kills 3 --limit 2048 --every 0.5,2 --seconds 150 --up "$@"
else
  "${soak[@]}" "$@"
  "${soak[@]}" --up "$@"
fi
