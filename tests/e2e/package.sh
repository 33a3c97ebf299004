#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package and checks it without installing it: Debian's own checker, its
# fields and files, the desktop file and metainfo it carries, and its binary answering --version
# without a display and listing the sample's mods.
# Usage: package.sh BUILD_DIR VERSION SAMPLE_GAME SAMPLE_INSTALLATION
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
id=org.modgate.Modgate root=$work/root deb=$work/modgate_$2_$(dpkg --print-architecture).deb
(cd "$work" && cpack -G DEB --config "$1/CPackConfig.cmake" -B "$work" >cpack.log) ||
    { cat "$work/cpack.log"; fail "cpack (./test installs what it needs)"; }
lintian_options=(--fail-on error,warning)
[ "$(id -u)" -ne 0 ] || lintian_options+=(--allow-root)
report=$(lintian "${lintian_options[@]}" "$deb" 2>&1) || fail "lintian: $report"
depends=$(dpkg-deb --info "$deb" | grep -E '^ Depends: .*qt6-qpa-plugins') &&
    grep -q libqt6svg6 <<<"$depends" && grep -q libqt6widgets6 <<<"$depends" ||
    fail "Depends: lacks the Qt platform or SVG plugins, or Qt Widgets"
contents=$(dpkg-deb --contents "$deb")
for file in games/modgate share/applications/$id.desktop share/icons/hicolor/scalable/apps/$id.svg \
    share/metainfo/$id.metainfo.xml share/doc/modgate/copyright share/doc/modgate/changelog.gz \
    share/man/man6/modgate.6.gz; do
    grep -q " \./usr/$file\$" <<<"$contents" || fail "no /usr/$file in the package"
done
dpkg-deb -x "$deb" "$root"
report=$(desktop-file-validate "$root/usr/share/applications/$id.desktop" 2>&1) &&
    [ -z "$report" ] || fail "desktop-file-validate: $report"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
grep -q "<release version=\"$2\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo's release is not $2"
for width in 50 80 120; do
    report=$(MANWIDTH=$width man --warnings -l "$root/usr/share/man/man6/modgate.6.gz" 2>&1 >/dev/null) &&
        [ -z "$report" ] || fail "the manual page at $width columns: $report"
done
zcat "$root/usr/share/doc/modgate/changelog.gz" | head -n 1 | grep -q "^modgate ($2)" ||
    fail "the changelog's latest entry is not $2"
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/games/modgate" --version) &&
    [ "$version" = "Modgate $2" ] || fail "--version without a display: $version"
"$(dirname "$0")/e2e_launch.sh" "$root/usr/games/modgate" "$3" "$4" --first-rows
