#!/usr/bin/env bash
# Installs the Debian packages Veldra needs: with the argument "run", what
# building and running the program takes; without one, also what its tests
# take; with "bench", also what the benchmarks take. Checks first, so a
# second run takes seconds. Uses sudo when not root.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libssl-dev qtkeychain-qt6-dev
  # run: Qt's platform plugins, fonts, icons of file types (an icon theme
  # and the MIME database)
  qt6-qpa-plugins fonts-dejavu-core adwaita-icon-theme shared-mime-info
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
    # test servers: a real FTP server, SOCKS 4/5 and SOCKS 5 proxies,
    # vsftpd for TLS; the libraries of proftpd and pure-ftpd, which are
    # unpacked below (the three servers conflict as packages)
    python3-pyftpdlib dante-server microsocks vsftpd openssl
    libhiredis0.14 libmemcached11 libmemcachedutil2 libpcre2-posix3 libsodium23
    # a real secret service for the password store
    gnome-keyring libsecret-tools dbus-x11
  )
fi
if [[ ${1:-} == bench ]]; then
  # a fast FTP server to measure against, curl and lftp to compare with,
  # and xev to see the window appear
  packages+=(vsftpd curl lftp x11-utils)
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
  # The SOCKS server package would start a system-wide proxy: the tests run
  # their own, so no service is started while installing.
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

# proftpd (with its TLS module) and pure-ftpd, for the TLS tests: Debian's
# packages unpacked beside the project, since each conflicts with vsftpd.
if [[ ${1:-} != run ]]; then
  servers=$(cd "$(dirname "$0")/.." && pwd)/.servers
  if [[ ! -x $servers/usr/sbin/proftpd || ! -x $servers/usr/sbin/pure-ftpd || ! -f $servers/usr/lib/proftpd/mod_tls.so ]]; then
    download=$(mktemp -d)
    chmod a+rwx "$download"  # apt fetches as its own user
    (cd "$download" && apt-get download proftpd-core proftpd-mod-crypto pure-ftpd pure-ftpd-common >/dev/null)
    mkdir -p "$servers"
    for deb in "$download"/*.deb; do dpkg-deb -x "$deb" "$servers"; done
    rm -rf "$download"
    echo "setup: proftpd and pure-ftpd unpacked in $servers"
  fi
fi
