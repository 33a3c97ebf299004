#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package and checks it without installing it: its fields and files, the
# desktop file and metainfo it carries, and its binary listing the sample's mods.
# Usage: package.sh BUILD_DIR VERSION SAMPLE_GAME SAMPLE_INSTALLATION
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
id=org.modgate.Modgate root=$work/root deb=$work/modgate_$2_$(dpkg --print-architecture).deb
(cd "$work" && cpack -G DEB --config "$1/CPackConfig.cmake" -B "$work" >cpack.log) ||
    { cat "$work/cpack.log"; fail "cpack (./test installs what it needs)"; }
depends=$(dpkg-deb --info "$deb" | grep -E '^ Depends: .*qt6-qpa-plugins') &&
    grep -q libqt6svg6 <<<"$depends" && grep -q libqt6network6 <<<"$depends" ||
    fail "Depends: lacks the Qt platform or SVG plugins, or Qt Network"
contents=$(dpkg-deb --contents "$deb")
for file in bin/modgate share/applications/$id.desktop share/icons/hicolor/scalable/apps/$id.svg \
    share/metainfo/$id.metainfo.xml share/doc/modgate/copyright; do
    grep -q " \./usr/$file\$" <<<"$contents" || fail "no /usr/$file in the package"
done
dpkg-deb -x "$deb" "$root"
report=$(desktop-file-validate "$root/usr/share/applications/$id.desktop" 2>&1) &&
    [ -z "$report" ] || fail "desktop-file-validate: $report"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
grep -q "<release version=\"$2\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo's release is not $2"
"$(dirname "$0")/e2e_launch.sh" "$root/usr/bin/modgate" "$3" "$4" --first-rows
