#!/usr/bin/env bash
# Starts a real FTP server on loopback (vsftpd from Debian, unpacked beside
# the project by scripts/setup.sh, fast enough not to hide the client's own
# cost) and prints Veldra's figures next to
# curl's against the same server:
#   - download and upload of one large file in active mode, through the
#     engine alone and through the window's transfer queue (and the
#     engine's download once more onto disk): MB/s, CPU
#     seconds, the window's longest event-loop pause, and how long a visit
#     to a folder of 1,000 entries takes while the download runs;
#   - ChangeFolder on a folder of 100,000 files: seconds and peak memory,
#     next to curl's time to fetch the same listing; then on 1,000,000 files,
#     and on a gibibyte of listing from a hostile server (LIST, MLSD and one
#     endless line), which is cut short with a message;
#   - the local tree opening that folder with files shown: seconds and peak
#     memory, next to the time `find DIR -maxdepth 1` takes on it;
#   - a folder of 1,000 files of 16 KiB down and up through the window's
#     queue on two connections, in files a second, next to lftp's
#     `mirror --parallel=2` both ways, three rounds in turn and their medians;
#   - the speed limits: a 32 MiB download and upload at 8,192 KiB/s, and a
#     download whose limit is raised while it runs, next to curl's
#     --limit-rate;
#   - far away (bench/far.sh): the same server behind a relay adding 20 ms
#     each way, folders of small files, one large file and the round trips
#     per step, next to lftp and curl;
#   - the queue's journal: SQLite against a log of its own, and what it
#     costs 10,000 files going through the queue, with it and without;
#   - start-up under Xvfb: start to a visible window and the idle memory,
#     next to FileZilla's when it is installed.
# Usage: bash bench/run.sh [size-in-MiB] [files]
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-1024}
files=${2:-100000}
bash scripts/setup.sh bench >/dev/null
bash scripts/build.sh >/dev/null

# The server's files and the downloads live in memory when there is room:
# the figures are the clients', not the disk's write-back, which would
# otherwise run on into the next round.
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
local_dir=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
# A folder on disk, for one round that writes there.
disk_dir=$(mktemp -d -p /var/tmp)
server=""
trap '[[ -n $server ]] && kill $server 2>/dev/null; rm -rf "$work" "$local_dir" "$disk_dir"' EXIT
chmod 755 "$work"
mkdir -p "$work/root/many" "$work/root/incoming" "$work/root/thousand"
head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$work/root/big.bin"
chmod 644 "$work/root/big.bin"
/usr/bin/python3 - "$work/root/many" "$files" <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    open(os.path.join(folder, "file%06d.%s" % (i, ("txt", "pdf", "png", "zip", "c")[i % 5])), "w").close()
PY
for i in $(seq 1000); do : > "$work/root/thousand/entry$i.txt"; done
mkdir -p "$work/root/small"
for i in $(seq 1000); do head -c 16384 /dev/urandom > "$work/root/small/file$i.bin"; done
chmod -R a+rX "$work/root/small"

# Anonymous access: the root is read-only, uploads go to incoming/.
source bench/vsftpd.sh
start_vsftpd "$work"
url="ftp://127.0.0.1:$port"

curl_figures() {  # what, bytes, command...
  local what=$1 bytes=$2
  shift 2
  local t real user sys
  TIMEFORMAT='%R %U %S'
  t=$( { time "$@"; } 2>&1 )
  read -r real user sys <<< "$t"
  awk -v w="$what" -v b="$bytes" -v r="$real" -v u="$user" -v s="$sys" \
    'BEGIN { printf "curl          %-8s %8.1f MB/s  %6.2f s wall  %6.2f s CPU\n", w, b / 1e6 / r, r, u + s }'
}

bytes=$((size_mib * 1048576))
echo "== ${size_mib} MiB file, active mode, vsftpd on loopback (three rounds, each in turn: compare the best)"
for round in 1 2 3; do
  sync
  curl_figures download $bytes curl -s -P 127.0.0.1 "$url/big.bin" -o "$local_dir/curl.bin"
  sync
  curl_figures upload $bytes curl -s -P 127.0.0.1 -T "$local_dir/curl.bin" "$url/incoming/curl.up"
  # Each program's copies go before the next one runs: on a virtual machine
  # memory touched for the first time comes slowly, and the last program
  # would pay for all.
  rm -f "$local_dir/"*.bin "$work/root/incoming/"*
  sync
  ./build/bench/bench_transfer "$port" anonymous bench@localhost big.bin "$local_dir/engine.bin" incoming/engine.up
  rm -f "$local_dir/"*.bin "$work/root/incoming/"*
  sync
  ./build/bench/bench_window_transfer "$port" big.bin incoming "$local_dir/window.bin" thousand 2>/dev/null
  cmp "$work/root/big.bin" "$local_dir/window.bin" && echo "veldra window download byte-exact"
  cmp "$work/root/big.bin" "$work/root/incoming/window.bin" && echo "veldra window upload byte-exact"
  rm -f "$local_dir/"*.bin "$work/root/incoming/"*
done

# The same download onto a disk's file system: what lands is in the page
# cache when the clients end, for both alike.
echo "== ${size_mib} MiB download onto disk ($(df --output=fstype "$disk_dir" | tail -1)), one round"
sync
curl_figures download $bytes curl -s -P 127.0.0.1 "$url/big.bin" -o "$disk_dir/curl.bin"
rm -f "$disk_dir/"*.bin
sync
./build/bench/bench_transfer "$port" anonymous bench@localhost big.bin "$disk_dir/engine.bin" incoming/engine.up |
  grep download
cmp "$work/root/big.bin" "$disk_dir/engine.bin" && echo "veldra download onto disk byte-exact"
rm -f "$disk_dir/"*.bin "$work/root/incoming/"*
sync

echo "== ChangeFolder on $files files (first an empty folder: the idle program's memory)"
./build/bench/bench_changefolder "$port" anonymous bench@localhost incoming 2>/dev/null
./build/bench/bench_changefolder "$port" anonymous bench@localhost many 2>/dev/null
TIMEFORMAT='%R'
t=$( { time curl -s -P 127.0.0.1 "$url/many/" -o "$local_dir/listing.txt"; } 2>&1 )
echo "curl   fetch of the listing ($(wc -l < "$local_dir/listing.txt") lines): ${t} s"

echo "== ChangeFolder on 1,000,000 files (a real folder, vsftpd)"
/usr/bin/python3 - "$work/root/million" <<'PY'
import os, sys
os.makedirs(sys.argv[1])
for i in range(1_000_000):
    open(os.path.join(sys.argv[1], "file%07d.txt" % i), "w").close()
PY
./build/bench/bench_changefolder "$port" anonymous bench@localhost million 2>/dev/null
rm -rf "$work/root/million"

echo "== A gibibyte of listing from a hostile server (LIST lines, MLSD facts, one endless line)"
for kind in list mlsd endless; do
  coproc hostile { exec /usr/bin/python3 bench/hostile_listing.py --kind "$kind" 2>/dev/null; }
  read -r _ hostile_port <&"${hostile[0]}"
  echo "-- $kind"
  ./build/bench/bench_changefolder "$hostile_port" anonymous bench@localhost / 2>/dev/null
  kill "$hostile_PID" 2>/dev/null
  wait "$hostile_PID" 2>/dev/null || true
done

echo "== Local tree opening a folder of $files files"
./build/bench/bench_localtree "$work/root/many" 2>/dev/null
t=$( { time find "$work/root/many" -maxdepth 1 > /dev/null; } 2>&1 )
echo "find   -maxdepth 1 on the same folder: ${t} s"
echo "== Local tree opening a folder of 1,000 sub-folders of 1,000 files each"
/usr/bin/python3 - "$work/deep" <<'PY'
import os, sys
for i in range(1000):
    folder = os.path.join(sys.argv[1], "sub%04d" % i)
    os.makedirs(folder)
    for j in range(1000):
        open(os.path.join(folder, "f%04d.txt" % j), "w").close()
PY
./build/bench/bench_localtree "$work/deep" 2>/dev/null
t=$( { time find "$work/deep" -maxdepth 1 > /dev/null; } 2>&1 )
echo "find   -maxdepth 1 on the same folder: ${t} s"
rm -rf "$work/deep"

echo "== Saved sites: a FileZilla list imported and exported, the settings saved and read"
./build/bench/bench_sites

echo "== A folder download's listing of a million files in the queue: its memory"
./build/bench/bench_queue_memory

echo "== The queue's journal: SQLite or a log of its own, each change made durable alone or in groups"
./build/bench/bench_journal_choice "$(pwd)/build"  # on disk: an fsync in memory costs nothing
echo "== What the journal costs the queue: 10,000 files at ten times the pace of small files on loopback"
./build/bench/bench_queue_journal "$(pwd)/build" 10000

echo "== 1,000 files of 16 KiB, two connections, active mode (three rounds in turn: the medians compared)"
# Each file is a data connection, and each closed one holds its port for a
# minute: thousands of them slow the kernel's search for a free port, and
# whichever program ran last would pay for all. So each program starts with
# the ports free. One round takes about half a second, where any other work
# on the machine shows: the median of three says more than one round.
ports_free() {
  for _ in $(seq 90); do
    (( $(ss -tan state time-wait | wc -l) < 100 )) && return
    sleep 1
  done
}
TIMEFORMAT='%R'
rates="$local_dir/rates.txt"
for round in 1 2 3; do
  rm -rf "$local_dir/veldra" "$local_dir/lftp" "$work/root/incoming/"*
  mkdir -p "$local_dir/veldra" "$local_dir/lftp"
  ports_free
  ./build/bench/bench_window_folders "$port" small "$local_dir/veldra" incoming 2 2>/dev/null |
    tee -a "$rates"
  diff -r "$work/root/small" "$local_dir/veldra/small" > /dev/null && echo "veldra folder download byte-exact"
  diff -r "$work/root/small" "$work/root/incoming/small" > /dev/null && echo "veldra folder upload byte-exact"
  ports_free
  t=$( { time lftp -e "set ftp:passive-mode off; mirror --parallel=2 small $local_dir/lftp/small; bye" -u anonymous,bench@localhost "$url" > /dev/null 2>&1; } 2>&1 )
  awk -v t="$t" 'BEGIN { printf "lftp   mirror --parallel=2 download  1000 files %8.1f files/s  %6.2f s\n", 1000 / t, t }' | tee -a "$rates"
  t=$( { time lftp -e "set ftp:passive-mode off; mirror -R --parallel=2 $local_dir/lftp/small incoming/lftp-small; bye" -u anonymous,bench@localhost "$url" > /dev/null 2>&1; } 2>&1 )
  awk -v t="$t" 'BEGIN { printf "lftp   mirror -R --parallel=2 upload 1000 files %8.1f files/s  %6.2f s\n", 1000 / t, t }' | tee -a "$rates"
done
median() { grep -E "$1" "$rates" | awk '{ for (i = 1; i < NF; i++) if ($(i + 1) == "files/s") print $i }' | sort -n | sed -n 2p; }
awk -v vd="$(median 'veldra.*download')" -v vu="$(median 'veldra.*upload')" \
    -v ld="$(median 'lftp.*download')" -v lu="$(median 'lftp.*upload')" \
  'BEGIN { printf "medians: download veldra %.1f, lftp %.1f files/s (%.2fx); upload veldra %.1f, lftp %.1f files/s (%.2fx)\n", vd, ld, vd / ld, vu, lu, vu / lu }'

echo "== Speed limits: 32 MiB at 8,192 KiB/s through the window's queue, next to curl --limit-rate"
head -c $((32 * 1048576)) /dev/urandom > "$work/root/limited.bin"
chmod 644 "$work/root/limited.bin"
TIMEFORMAT='%R'
t=$( { time curl -s -P 127.0.0.1 --limit-rate 8192K "$url/limited.bin" -o "$local_dir/curl-limited.bin"; } 2>&1 )
awk -v t="$t" 'BEGIN { printf "curl          %-24s %8.0f KiB/s  %6.2f s  (limit 8192 KiB/s)\n", "download, limited", 32768 / t, t }'
t=$( { time curl -s -P 127.0.0.1 --limit-rate 8192K -T "$local_dir/curl-limited.bin" "$url/incoming/curl-limited.bin"; } 2>&1 )
awk -v t="$t" 'BEGIN { printf "curl          %-24s %8.0f KiB/s  %6.2f s  (limit 8192 KiB/s)\n", "upload, limited", 32768 / t, t }'
./build/bench/bench_speed_limit "$port" limited.bin incoming "$local_dir/limited.bin" 8192 2>/dev/null
cmp "$work/root/limited.bin" "$local_dir/limited.bin" && echo "veldra limited download byte-exact"
cmp "$work/root/limited.bin" "$work/root/incoming/limited.bin" && echo "veldra limited upload byte-exact"
rm -f "$local_dir/"*.bin "$work/root/incoming/"* "$work/root/limited.bin"

# Far away: the same server behind a relay that delays each way by 20 ms.
bash bench/far.sh 3

echo "== Start-up under Xvfb"
/usr/bin/python3 bench/startup.py ./build/veldra
dbus-run-session -- /usr/bin/python3 bench/startup.py ./build/veldra --keyring 2>/dev/null

# SFTP against OpenSSH's sshd, which runs as the test user: root only.
if ((EUID == 0)); then
  bash bench/sftp.sh "$size_mib"
fi
