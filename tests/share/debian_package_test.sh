#!/bin/sh
# The Debian package end to end, as CI runs it on its own machine: built by
# CPack, checked by lintian, installed with apt-get, its programs used from
# /usr/bin, then removed. Needs root; any earlier install of the package is
# replaced, so a second run works as the first.
# usage: debian_package_test.sh BUILD_DIR
set -eu
. "$(dirname "$0")/round_trip.sh"
build=$1
if [ "$(id -u)" -ne 0 ] || ! command -v apt-get > /dev/null; then
    echo "needs root and apt-get"; exit 77
fi
work=$(mktemp -d)
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=600 "$@"; }
remove_package() {
    if dpkg-query -W -f='${Status}' ironquiver 2> /dev/null | grep -q installed; then
        apt_get purge ironquiver > "$work/purge.log" 2>&1 || { cat "$work/purge.log"; return 1; }
    fi
}
trap 'remove_package; rm -rf "$work"' EXIT

deb=$build/packages/ironquiver_2.50_amd64.deb
rm -f "$deb"
(cd "$build" && cpack -G DEB -B "$work/cpack") > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
[ -f "$deb" ] || fail "cpack made no $deb"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ironquiver ] || fail "Package: $(field Package)"
[ "$(field Version)" = 2.50 ] || fail "Version: $(field Version)"
[ "$(field Maintainer)" = "Ironquiver Support <support@ironquiver.example>" ] || fail "Maintainer: $(field Maintainer)"
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
for library in libc6 libqt6widgets6 libcurl4; do
    field Depends | grep -q "$library" || fail "Depends lacks $library: $(field Depends)"
done
dpkg-deb -c "$deb" | grep -q ' \./usr/share/doc/ironquiver/copyright$' || fail "no copyright file"

lintian --tag-display-limit 0 "$deb" > "$work/lintian.log" 2>&1 || true
if grep '^E:' "$work/lintian.log"; then fail "lintian reports errors"; fi

remove_package
apt_get install "$deb" > "$work/install.log" 2>&1 || { cat "$work/install.log"; fail "apt-get install"; }
[ "$(command -v ivqa)" = /usr/bin/ivqa ] || fail "ivqa is not /usr/bin/ivqa"
round_trip /usr/bin/ivqa "$work/run"
printf '%s:7\r\n' "$work/run/input/a.txt" > "$work/run/list.iq"
starts_offscreen /usr/bin/ironquiver "$work/run/list.iq"
[ "$(man -w ivqa)" = /usr/share/man/man1/ivqa.1.gz ] || fail "man does not find ivqa(1)"
[ -f /usr/share/applications/example.ironquiver.Ironquiver.desktop ] || fail "no desktop entry"

remove_package
[ ! -e /usr/bin/ivqa ] && [ ! -e /usr/lib/ivqa ] || fail "the package left files behind"
echo "the package builds, installs, works and goes"
