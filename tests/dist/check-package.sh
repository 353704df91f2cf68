#!/usr/bin/env bash
# Makes the Debian package from a build and checks it as a distribution would: its desktop entries,
# its AppStream data and lintian, then runs the programs unpacked into a temporary folder.
# Usage: check-package.sh BUILD_DIR. Exits 77 (skipped) when a tool is missing.
set -euo pipefail
build=$1

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is missing (script/bootstrap installs it)"
        exit 77
    fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export TMPDIR=$tmp

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
    { cat "$tmp/cpack.log"; exit 1; }
debs=("$tmp"/out/quorvane_*_amd64.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "no quorvane_<version>_amd64.deb made"; ls "$tmp/out"; exit 1; }
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"

status=0
fail() { echo "FAIL: $*"; status=1; }

depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* && $depends == *libqt6serialport6* ]] ||
    fail "Depends does not name the Qt libraries found by dpkg-shlibdeps: $depends"
[[ $depends == *qt6-translations-l10n* ]] || fail "Depends does not name Qt's own translations: $depends"
dpkg-deb -f "$deb" Description | grep -q dialout || fail "the description does not tell about dialout"

dpkg-deb -x "$deb" "$tmp/root"
root=$tmp/root/usr
for entry in "$root"/share/applications/*.desktop; do
    desktop-file-validate "$entry" || fail "desktop-file-validate $(basename "$entry")"
done
for name in quorvane crc16; do
    [ -f "$root/share/applications/$name.desktop" ] || fail "no desktop entry for $name"
    [ -f "$root/share/icons/hicolor/scalable/apps/$name.svg" ] || fail "no scalable icon for $name"
    for size in 48 64 128 256; do
        [ -f "$root/share/icons/hicolor/${size}x$size/apps/$name.png" ] ||
            fail "no $size px icon for $name"
    done
done
for page in quorvane crc16 qvctl quorvane-bridge; do
    [ -f "$root/share/man/man1/$page.1.gz" ] || fail "no man page $page.1"
done
for metainfo in "$root"/share/metainfo/*.metainfo.xml; do
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $(basename "$metainfo")"
done
bash -n "$root/share/bash-completion/completions/qvctl" || fail "the qvctl completion is not bash"

[ -f "$tmp/root/lib/systemd/system/quorvane-bridge.service" ] || fail "no quorvane-bridge.service"
[ -f "$root/lib/sysusers.d/quorvane-bridge.conf" ] || fail "no system user for the bridge"
dpkg-deb -e "$deb" "$tmp/control"
grep -qx /etc/quorvane/bridge.conf "$tmp/control/conffiles" || fail "bridge.conf is no conffile"

lintian --fail-on error "$deb" || fail "lintian reports errors"

export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
"$root/bin/qvctl" --help >/dev/null || fail "qvctl --help"
crc=$("$root/bin/crc16" 01050000FF00) || fail "crc16 01050000FF00"
[ "$crc" = "8C 3A" ] || fail "crc16 01050000FF00 printed '$crc'"
"$root/bin/quorvane" --help >/dev/null || fail "quorvane --help"
"$root/bin/quorvane-bridge" --check --config "$tmp/root/etc/quorvane/bridge.conf" >/dev/null ||
    fail "the example configuration is refused"
exit $status
