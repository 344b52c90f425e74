#!/usr/bin/env bash
# Installs the built program into a temporary prefix and checks what a
# desktop takes from it: a valid launcher, its icon, the AppStream data, and
# the command line. Argument: the build folder.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
program=$prefix/bin/veldra
launcher=$prefix/share/applications/org.tarnwick.Veldra.desktop
[[ -x $program ]] || fail "no program in bin/"
[[ -f $prefix/share/icons/hicolor/scalable/apps/org.tarnwick.Veldra.svg ]] || fail "no scalable icon"
desktop-file-validate "$launcher" || fail "the launcher does not validate"
grep -qx 'Categories=Network;FileTransfer;' "$launcher" || fail "categories"
grep -qx 'Icon=org.tarnwick.Veldra' "$launcher" || fail "the launcher names another icon"
# The desktop hands ftp:// and sftp:// links to it, the address as argument.
grep -qx 'Exec=veldra %u' "$launcher" || fail "the launcher takes no address"
for scheme in ftp sftp; do
  grep -q "^MimeType=.*x-scheme-handler/$scheme;" "$launcher" || fail "no handler of $scheme:// links"
done
appstreamcli validate --no-net "$prefix/share/metainfo/org.tarnwick.Veldra.metainfo.xml" >/dev/null ||
  fail "the metainfo does not validate"

# No display needed for --version and --help.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version)
[[ $version == "Veldra 3.1.2.149" ]] || fail "--version printed: $version"
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help)
for word in --help --version --site /USEIDEHOOKS /NOIDEHOOKS; do
  grep -q -- "$word" <<<"$help" || fail "--help does not list $word"
done

# An unknown option is refused; the switches start the window (which runs
# on until stopped).
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$prefix/config
status=0
message=$("$program" --bogus 2>&1) || status=$?
((status == 1)) && grep -q "Unknown option 'bogus'" <<<"$message" || fail "--bogus: status $status, $message"
for switch in /USEIDEHOOKS /NOIDEHOOKS; do
  status=0
  timeout 3 "$program" "$switch" >/dev/null 2>&1 || status=$?
  ((status == 124)) || fail "$switch: the program ended with status $status"
done

# Ending the session (SIGTERM) closes the window as the user would: it ends
# normally and its settings are saved.
"$program" /NOIDEHOOKS >/dev/null 2>&1 &
pid=$!
catches_term() {  # SIGTERM (15) is bit 14 of the caught-signal mask
  local mask
  mask=$(awk '/^SigCgt:/ {print $2}' "/proc/$pid/status" 2>/dev/null) || return 1
  [[ -n $mask ]] && (((0x$mask >> 14) & 1))
}
for _ in $(seq 200); do catches_term && break; sleep 0.1; done
catches_term || fail "the program does not catch SIGTERM"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
((status == 0)) || fail "after SIGTERM the program ended with status $status"
grep -q '^ViewStyle=' "$XDG_CONFIG_HOME/Tarnwick/Veldra.ini" || fail "no settings saved after SIGTERM"
echo "install_test: passed"
