#!/usr/bin/env bash
# The far-away round: vsftpd on loopback behind bench_delay_relay, which
# holds each direction of the control and passive data connections for
# 20 ms (a 40 ms round trip; these machines have no netem). Veldra goes
# through the window's transfer queue in passive mode on two connections,
# next to lftp (`mirror --parallel=2`), curl (one file) and FileZilla
# where it is installed. Prints, over several rounds in turn, the best
# and the median of:
#   - 200 files of 16 KiB down as a folder, and 1,000 up: files a second;
#   - one 256 MiB file down and up: seconds;
# and, once, the commands each program sends from connecting to its first
# listing and before a file's first byte, with the round trips they take.
# Usage: bash bench/far.sh [rounds] [size-in-MiB]   (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
size_mib=${2:-256}
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
local_dir=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
server="" relay=""
trap '[[ -n $server ]] && kill $server 2>/dev/null; [[ -n $relay ]] && kill $relay 2>/dev/null; rm -rf "$work" "$local_dir"' EXIT
chmod 755 "$work"
mkdir -p "$work/root/small200" "$work/root/small1000"
for i in $(seq 200); do head -c 16384 /dev/urandom > "$work/root/small200/file$i.bin"; done
for i in $(seq 1000); do head -c 16384 /dev/urandom > "$work/root/small1000/file$i.bin"; done
head -c $((size_mib * 1048576)) /dev/urandom > "$work/root/big.bin"
chmod -R a+rX "$work/root"
source bench/vsftpd.sh
start_vsftpd "$work"
log=$work/relay.log
: > "$log"
coproc relaying { exec ./build/bench/bench_delay_relay "$port" 20 "$log"; }
relay=$relaying_PID
read -r _ far <&"${relaying[0]}"
url="ftp://127.0.0.1:$far"
export VELDRA_BENCH_MODE=passive
lftp_far() { lftp -e "set ftp:passive-mode on; $1; bye" -u anonymous,bench@localhost "$url" > /dev/null 2>&1; }
clean() { rm -rf "$work/root/incoming/"* "$local_dir/"*; }
TIMEFORMAT='%R'
figures="$work/figures.txt"

echo "== Far away: vsftpd behind a relay adding 20 ms each way (40 ms round trip), passive mode"
if ! command -v filezilla > /dev/null; then
  echo "(FileZilla is not installed here: its column is left out)"
else
  echo "(FileZilla is installed, but takes no transfer from its command line: time it by hand on $url)"
fi
for round in $(seq "$rounds"); do
  echo "-- round $round"
  clean
  mkdir -p "$local_dir/veldra" "$local_dir/lftp"
  ./build/bench/bench_window_folders "$far" small200 "$local_dir/veldra" incoming 2 2>/dev/null |
    grep download | sed 's/^/200 down: /' | tee -a "$figures"
  diff -r "$work/root/small200" "$local_dir/veldra/small200" > /dev/null && echo "veldra 200 files byte-exact"
  t=$( { time lftp_far "mirror --parallel=2 small200 $local_dir/lftp/small200"; } 2>&1 )
  awk -v t="$t" 'BEGIN { printf "200 down: lftp   mirror --parallel=2       200 files %8.1f files/s  %6.2f s\n", 200 / t, t }' |
    tee -a "$figures"
  cp -r "$work/root/small1000" "$local_dir/veldra/" && cp -r "$work/root/small1000" "$local_dir/lftp/"
  ./build/bench/bench_window_folders "$far" small1000 "$local_dir/veldra" incoming 2 up 2>/dev/null |
    sed 's/^/1000 up: /' | tee -a "$figures"
  diff -r "$work/root/small1000" "$work/root/incoming/small1000" > /dev/null && echo "veldra 1000 files up byte-exact"
  t=$( { time lftp_far "mirror -R --parallel=2 $local_dir/lftp/small1000 incoming/lftp1000"; } 2>&1 )
  awk -v t="$t" 'BEGIN { printf "1000 up: lftp   mirror -R --parallel=2    1000 files %8.1f files/s  %6.2f s\n", 1000 / t, t }' |
    tee -a "$figures"
  clean
  ./build/bench/bench_window_transfer "$far" big.bin incoming "$local_dir/window.bin" 2>/dev/null |
    sed 's/^/big: /' | tee -a "$figures"
  cmp "$work/root/big.bin" "$local_dir/window.bin" && echo "veldra ${size_mib} MiB byte-exact both ways" &&
    cmp "$work/root/big.bin" "$work/root/incoming/window.bin"
  rm -f "$local_dir/window.bin" "$work/root/incoming/window.bin"
  t=$( { time curl -s "$url/big.bin" -o "$local_dir/curl.bin"; } 2>&1 )
  awk -v t="$t" -v m="$size_mib" 'BEGIN { printf "big: curl          download %8.1f MB/s  %6.2f s wall\n", m * 1.048576 / t, t }' |
    tee -a "$figures"
  t=$( { time curl -s -T "$local_dir/curl.bin" "$url/incoming/curl.bin"; } 2>&1 )
  awk -v t="$t" -v m="$size_mib" 'BEGIN { printf "big: curl          upload   %8.1f MB/s  %6.2f s wall\n", m * 1.048576 / t, t }' |
    tee -a "$figures"
done

echo "== Far away: the best and the median of $rounds rounds"
/usr/bin/python3 - "$figures" <<'PY'
import re, statistics, sys
rows = {}
for line in open(sys.argv[1]):
    step, rest = line.split(": ", 1)
    who = rest.split()[0]
    unit = "files/s" if "files/s" in rest else "s wall"
    value = re.search(r"([\d.]+) " + ("files/s" if unit == "files/s" else "s wall"), rest)
    kind = "download" if "download" in rest or step == "200 down" else "upload"
    rows.setdefault((step, kind, who, unit), []).append(float(value.group(1)))
for (step, kind, who, unit), values in sorted(rows.items()):
    best = max(values) if unit == "files/s" else min(values)
    print("%-9s %-8s %-7s best %8.2f  median %8.2f %s" % (step, kind, who, best, statistics.median(values), unit))
PY

echo "== Far away: the commands before each step, and the round trips they take"
clean
mkdir -p "$local_dir/veldra" "$local_dir/lftp"
: > "$log"
./build/bench/bench_window_folders "$far" small200 "$local_dir/veldra" incoming 2 2>/dev/null > /dev/null
/usr/bin/python3 bench/round_trips.py "$log" veldra 3
: > "$log"
lftp_far "mirror --parallel=2 small200 $local_dir/lftp/small200"
/usr/bin/python3 bench/round_trips.py "$log" lftp 3
: > "$log"
curl -s "$url/small200/file1.bin" -o /dev/null
/usr/bin/python3 bench/round_trips.py "$log" curl 1
: > "$log"
curl -s "$url/small200/" -o /dev/null
/usr/bin/python3 bench/round_trips.py "$log" curl 1
