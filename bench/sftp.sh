#!/usr/bin/env bash
# SFTP figures: OpenSSH's sshd (unpacked beside the project) on loopback,
# Veldra through the window's transfer queue next to OpenSSH's `sftp -b`,
# curl's SFTP and lftp's `mirror --parallel=2` over sftp://, all logging in
# with the same key:
#   - one large file down and up: MB/s, CPU seconds, and the window's
#     longest event-loop pause;
#   - 1,000 files of 16 KiB down and up on two connections: files a second;
#   - a folder of 100,000 files listed in the window: seconds, memory and the
#     longest event-loop pause, next to `sftp -b`'s "ls -1" of it.
# Runs as root (sshd runs as the test user "ftptest" that scripts/setup.sh
# makes). Usage: bash bench/sftp.sh [size-in-MiB]   (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-1024}
servers=$PWD/.servers
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
local_dir=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
server=""
trap '[[ -n $server ]] && kill $server 2>/dev/null; rm -rf "$work" "$local_dir"' EXIT
chmod 755 "$work" "$local_dir"
mkdir -p "$work/root/incoming" "$work/root/small" "$work/home/.ssh"
head -c $((size_mib * 1048576)) /dev/urandom > "$work/root/big.bin"
for i in $(seq 1000); do head -c 16384 /dev/urandom > "$work/root/small/file$i.bin"; done
/usr/bin/python3 - "$work/root/many" <<'PY'
import os, sys
os.makedirs(sys.argv[1])
for i in range(100_000):
    open(os.path.join(sys.argv[1], "file%06d.%s" % (i, ("txt", "pdf", "png", "zip", "c")[i % 5])), "w").close()
PY
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/home/.ssh/id_ed25519"
cp "$work/home/.ssh/id_ed25519.pub" "$work/authorized_keys"
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat > "$work/sshd_config" <<CONF
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
PidFile none
StrictModes no
UsePAM yes
AuthorizedKeysFile $work/authorized_keys
Subsystem sftp $work/sftp-server -d $work/root
CONF
# The test user runs copies: the project may lie where only root enters.
cp "$servers/usr/sbin/sshd" "$servers/usr/lib/openssh/sftp-server" "$work/"
chown -R ftptest: "$work/root" "$work/host_key" "$work/authorized_keys" "$work/sshd_config"
setpriv --reuid=ftptest --regid=ftptest --clear-groups "$work/sshd" -D -e -f "$work/sshd_config" \
  2> "$work/sshd.log" &
server=$!
for _ in $(seq 100); do grep -q "Server listening" "$work/sshd.log" && break; sleep 0.1; done
# Both clients trust the host key from a known-hosts file, and use the key.
echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$work/host_key.pub")" > "$work/home/.ssh/known_hosts"
ssh_options=(-i "$work/home/.ssh/id_ed25519" -o "UserKnownHostsFile=$work/home/.ssh/known_hosts" -o BatchMode=yes)
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config

figures() {  # who, what, bytes, command...
  local who=$1 what=$2 bytes=$3 t real user sys
  shift 3
  TIMEFORMAT='%R %U %S'
  t=$( { time "$@" > /dev/null; } 2>&1 )
  read -r real user sys <<< "$t"
  awk -v who="$who" -v w="$what" -v b="$bytes" -v r="$real" -v u="$user" -v s="$sys" \
    'BEGIN { printf "%-13s %-8s %8.1f MB/s  %6.2f s wall  %6.2f s CPU\n", who, w, b / 1e6 / r, r, u + s }'
}

bytes=$((size_mib * 1048576))
echo "== ${size_mib} MiB file over SFTP, sshd on loopback (three rounds, each in turn: compare the best)"
for round in 1 2 3; do
  figures "sftp -b" download $bytes sftp "${ssh_options[@]}" -P "$port" -b - ftptest@127.0.0.1 \
    <<< "get big.bin $local_dir/sftp.bin"
  figures "sftp -b" upload $bytes sftp "${ssh_options[@]}" -P "$port" -b - ftptest@127.0.0.1 \
    <<< "put $local_dir/sftp.bin incoming/sftp.bin"
  # curl's SFTP (libssh2 in Debian's build), with the same key and known hosts.
  figures "curl" download $bytes curl -s --key "$work/home/.ssh/id_ed25519" \
    --pubkey "$work/home/.ssh/id_ed25519.pub" "sftp://ftptest@127.0.0.1:$port$work/root/big.bin" \
    -o "$local_dir/curl.bin"
  figures "curl" upload $bytes curl -s --key "$work/home/.ssh/id_ed25519" \
    --pubkey "$work/home/.ssh/id_ed25519.pub" -T "$local_dir/curl.bin" \
    "sftp://ftptest@127.0.0.1:$port$work/root/incoming/curl.bin"
  cmp "$work/root/big.bin" "$work/root/incoming/curl.bin" && echo "curl download and upload byte-exact"
  rm -f "$local_dir/"*.bin "$work/root/incoming/"*
  ./build/bench/bench_window_transfer "sftp://ftptest@127.0.0.1:$port" big.bin incoming "$local_dir/window.bin" \
    2>/dev/null
  cmp "$work/root/big.bin" "$local_dir/window.bin" && echo "veldra window download byte-exact"
  cmp "$work/root/big.bin" "$work/root/incoming/window.bin" && echo "veldra window upload byte-exact"
  rm -f "$local_dir/"*.bin "$work/root/incoming/"*
done

echo "== 1,000 files of 16 KiB over SFTP, two connections (three rounds in turn)"
TIMEFORMAT='%R'
for round in 1 2 3; do
  rm -rf "$local_dir/veldra" "$local_dir/lftp" "$work/root/incoming/"*
  mkdir -p "$local_dir/veldra" "$local_dir/lftp"
  ./build/bench/bench_window_folders "sftp://ftptest@127.0.0.1:$port" small "$local_dir/veldra" incoming 2 2>/dev/null
  diff -r "$work/root/small" "$local_dir/veldra/small" > /dev/null && echo "veldra folder download byte-exact"
  diff -r "$work/root/small" "$work/root/incoming/small" > /dev/null && echo "veldra folder upload byte-exact"
  rm -rf "$work/root/incoming/"*
  connect="ssh -a -x ${ssh_options[*]}"
  t=$( { time lftp -e "set sftp:connect-program '$connect'; mirror --parallel=2 small $local_dir/lftp/small; bye" \
    "sftp://ftptest:x@127.0.0.1:$port" > /dev/null 2>&1; } 2>&1 )
  awk -v t="$t" 'BEGIN { printf "lftp mirror --parallel=2 download  1000 files %8.1f files/s  %6.2f s\n", 1000 / t, t }'
  t=$( { time lftp -e "set sftp:connect-program '$connect'; mirror -R --parallel=2 $local_dir/lftp/small incoming/small; bye" \
    "sftp://ftptest:x@127.0.0.1:$port" > /dev/null 2>&1; } 2>&1 )
  awk -v t="$t" 'BEGIN { printf "lftp mirror --parallel=2 upload    1000 files %8.1f files/s  %6.2f s\n", 1000 / t, t }'
  diff -r "$work/root/small" "$work/root/incoming/small" > /dev/null && echo "lftp folder upload byte-exact"
done

echo "== A folder of 100,000 files over SFTP"
./build/bench/bench_changefolder "sftp://ftptest@127.0.0.1:$port" ftptest "" many 2>/dev/null
TIMEFORMAT='%R'
t=$( { time sftp "${ssh_options[@]}" -P "$port" -b - ftptest@127.0.0.1 <<< "ls -1 many" > "$local_dir/ls.txt"; } 2>&1 )
echo "sftp -b ls -1 of the same folder ($(grep -c file "$local_dir/ls.txt") names): ${t} s"
