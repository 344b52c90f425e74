# Sourced by the benches: start_vsftpd WORK starts Debian's vsftpd
# (unpacked beside the project) on a free loopback port, anonymous, its
# root WORK/root (read-only) with WORK/root/incoming open for uploads. Sets
# $port and $server (the process, for the caller's trap) and waits until
# it answers.
start_vsftpd() {
  local work=$1
  mkdir -p "$work/root/incoming"
  port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  cat > "$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
no_anon_password=YES
anon_root=$work/root
write_enable=YES
anon_upload_enable=YES
anon_other_write_enable=YES
anon_mkdir_write_enable=YES
local_enable=NO
connect_from_port_20=NO
seccomp_sandbox=NO
xferlog_enable=NO
CONF
  if ((EUID == 0)); then
    # A system user whose home exists: vsftpd changes into it first.
    echo "ftp_username=daemon" >> "$work/vsftpd.conf"
    chown daemon "$work/root/incoming"
    mkdir -p /var/run/vsftpd/empty
    echo "secure_chroot_dir=/var/run/vsftpd/empty" >> "$work/vsftpd.conf"
  else
    chmod 777 "$work/root/incoming"
    echo "run_as_launching_user=YES" >> "$work/vsftpd.conf"
  fi
  .servers/usr/sbin/vsftpd "$work/vsftpd.conf" > "$work/server.log" 2>&1 &
  server=$!
  for _ in $(seq 100); do curl -s "ftp://127.0.0.1:$port/" -o /dev/null && break; sleep 0.1; done
}
