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
appstreamcli validate --no-net "$prefix/share/metainfo/org.tarnwick.Veldra.metainfo.xml" >/dev/null ||
  fail "the metainfo does not validate"

# No display needed for --version and --help.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version)
[[ $version == "Veldra 3.1.2.149" ]] || fail "--version printed: $version"
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help)
for word in --help --version /USEIDEHOOKS /NOIDEHOOKS; do
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
echo "install_test: passed"
