#!/bin/sh
# wine_prefix.sh WINE64: creates the Wine prefix of the tests ($WINEPREFIX)
# once, and a copy of it ($WINEPREFIX-display) for the tests with a display:
# a Wine session started without a display cannot show windows, and the
# sessions of one prefix share their server. Later runs find both ready and
# return at once. No Mono or Gecko is installed (nothing here needs them,
# and there may be no network).
set -eu
wine64=$1
display_prefix=$WINEPREFIX-display
if [ -f "$WINEPREFIX/.ivqa-ready" ] && [ -f "$display_prefix/.ivqa-ready" ]; then
    exit 0
fi
rm -rf "$WINEPREFIX" "$display_prefix"
mkdir -p "$(dirname "$WINEPREFIX")"
env -u DISPLAY -u WAYLAND_DISPLAY "$wine64" wineboot --init
# wineboot returns before the server has written the registry.
"$(dirname "$wine64")/wineserver" -w
touch "$WINEPREFIX/.ivqa-ready"
cp -a "$WINEPREFIX" "$display_prefix"
