#!/bin/sh
# Every desktop file as installed, through the validators the desktops use,
# and the ties between them: the entry's MIME type is the one the list files
# get, its icon name is the installed icon's.
# usage: desktop_files_test.sh BUILD_DIR
set -eu
. "$(dirname "$0")/round_trip.sh"
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/tree" --component Unspecified > /dev/null || fail "cmake --install failed"
share=$work/tree/share
id=example.ironquiver.Ironquiver
desktop=$share/applications/$id.desktop

out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate is not clean: $out"
grep -qx 'Exec=ironquiver %F' "$desktop" || fail "Exec is not 'ironquiver %F'"

appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" > "$work/appstream" 2>&1 \
    || { cat "$work/appstream"; fail "appstreamcli validate"; }
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$share/metainfo/$id.metainfo.xml" \
    || fail "the metainfo does not launch the desktop entry"

# The MIME database built from our package alone maps *.iq to the type the
# entry handles.
xmllint --noout "$share/mime/packages/ironquiver.xml" || fail "the MIME type is no well-formed XML"
mkdir -p "$work/mime/packages"
cp "$share/mime/packages/ironquiver.xml" "$work/mime/packages/"
XDG_DATA_HOME="$work" XDG_DATA_DIRS="$work" update-mime-database "$work/mime" > "$work/mime.log" 2>&1 || { cat "$work/mime.log"; fail "update-mime-database"; }
[ ! -s "$work/mime.log" ] || { cat "$work/mime.log"; fail "update-mime-database warned"; }
type=$(sed -n 's/^[0-9]*:\([^:]*\):\*\.iq$/\1/p' "$work/mime/globs2")
[ -n "$type" ] || fail "no glob for *.iq"
grep -qx "MimeType=$type;" "$desktop" || fail "the entry does not handle $type"

# The icon the entry names, as SVG and in every hicolor size at its size.
icon=$(sed -n 's/^Icon=//p' "$desktop")
xmllint --noout "$share/icons/hicolor/scalable/apps/$icon.svg" || fail "the SVG icon"
for size in 16 22 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x$size/apps/$icon.png
    [ "$(identify -format '%wx%h' "$png")" = "${size}x$size" ] || fail "$png is not ${size}x$size"
done
echo "desktop files valid"
