#!/usr/bin/env bash
# Installs the Debian packages Veldra needs: with the argument "run", what
# building and running the program takes; without one, also what its tests
# take; with "bench", also what the benchmarks take. Checks first, so a
# second run takes seconds. Uses sudo when not root.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libssl-dev qtkeychain-qt6-dev libssh-dev libsqlite3-dev
  # run: Qt's platform plugins, fonts (CJK names too), icons of file types
  # (an icon theme and the MIME database)
  qt6-qpa-plugins fonts-dejavu-core fonts-noto-cjk adwaita-icon-theme shared-mime-info
)
if [[ ${1:-} != run ]]; then
  packages+=(
    libgtest-dev
    # a virtual display, a window manager and real X input on it
    xvfb xauth openbox xdotool
    # accessibility tests: a session bus, the accessibility bus, its Python client
    dbus at-spi2-core python3-pyatspi
    # installed files: the launcher and AppStream validators
    desktop-file-utils appstream
    # fuzzing: libFuzzer and the sanitizers' runtimes come with clang
    clang libclang-rt-14-dev
    # test servers: a real FTP server (with TLS), a SOCKS 5 proxy; the
    # libraries of vsftpd, proftpd, pure-ftpd and Dante's SOCKS server,
    # which are unpacked below rather than installed: installed, a server
    # package enables its service, and an FTP server would listen on
    # port 21 after the next boot
    python3-pyftpdlib python3-openssl microsocks openssl
    # SSH: ssh-keygen and ssh-agent for the SFTP tests (sshd is unpacked)
    openssh-client
    libwrap0 libcap2 libpam0g libcrypt1
    libhiredis0.14 libmemcached11 libmemcachedutil2 libpcre2-posix3 libsodium23
    # a real secret service for the password store
    gnome-keyring libsecret-tools dbus-x11
  )
fi
if [[ ${1:-} == bench ]]; then
  # curl and lftp to compare with, and xev to see the window appear (the
  # server to measure against is vsftpd, unpacked below)
  packages+=(curl lftp x11-utils)
fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]})); then
  sudo=()
  ((EUID == 0)) || sudo=(sudo)
  echo "setup: installing ${missing[*]}"
  # No service starts while installing: the tests run their own servers.
  policy=/usr/sbin/policy-rc.d
  own_policy=false
  if [[ ! -e $policy ]]; then
    printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" >/dev/null
    "${sudo[@]}" chmod +x "$policy"
    own_policy=true
  fi
  status=0
  "${sudo[@]}" apt-get update -qq || status=$?
  if ((status == 0)); then
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" \
      >/dev/null || status=$?
  fi
  $own_policy && "${sudo[@]}" rm -f "$policy"
  ((status == 0)) || { echo "setup: installing failed" >&2; exit "$status"; }
fi
echo "setup: all packages present"

# The test servers: Debian's packages of vsftpd, proftpd (with its TLS
# module), pure-ftpd, Dante's SOCKS server and tinyproxy (an HTTP proxy),
# unpacked beside the project.
# Nothing is installed as a service (the FTP servers conflict as packages
# anyway); each test starts the server it needs on loopback and ends it.
if [[ ${1:-} != run ]]; then
  servers=$(cd "$(dirname "$0")/.." && pwd)/.servers
  unpacked=(usr/sbin/vsftpd usr/sbin/proftpd usr/lib/proftpd/mod_tls.so usr/sbin/pure-ftpd usr/sbin/danted
    usr/sbin/sshd usr/lib/openssh/sftp-server usr/bin/tinyproxy)
  missing_servers=false
  for file in "${unpacked[@]}"; do [[ -f $servers/$file ]] || missing_servers=true; done
  if $missing_servers; then
    download=$(mktemp -d)
    chmod a+rwx "$download"  # apt fetches as its own user
    (cd "$download" && apt-get download vsftpd proftpd-core proftpd-mod-crypto pure-ftpd pure-ftpd-common \
      dante-server openssh-server openssh-sftp-server tinyproxy-bin >/dev/null)
    mkdir -p "$servers"
    for deb in "$download"/*.deb; do dpkg-deb -x "$deb" "$servers"; done
    rm -rf "$download"
    echo "setup: vsftpd, proftpd, pure-ftpd, Dante, sshd and tinyproxy unpacked in $servers"
  fi
  # The SFTP tests' user: an unprivileged sshd logs in the user it runs
  # as, and PAM checks that user's password. No home, no service.
  if ((EUID == 0)) && ! getent passwd ftptest >/dev/null; then
    useradd --no-create-home --home-dir /nonexistent --shell /bin/sh ftptest
    echo 'ftptest:Sesame-42' | chpasswd
    echo "setup: made the test user ftptest"
  fi
fi
