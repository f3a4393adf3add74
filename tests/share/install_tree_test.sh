#!/bin/sh
# `cmake --install` into a prefix, the tree moved elsewhere, and the moved
# copy used: its programs find the library and the modules in their own
# private folder, not in the build.
# usage: install_tree_test.sh BUILD_DIR
set -eu
. "$(dirname "$0")/round_trip.sh"
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/first" > "$work/install.log" || fail "cmake --install failed"
mv "$work/first" "$work/moved"
tree=$work/moved

[ "$(ls "$tree/bin")" = "$(printf 'ironquiver\nivqa')" ] || fail "bin/ holds more than the two programs"
for file in libivqa.so GUI_en.iqm GUI_ru.iqm; do
    [ -f "$tree/lib/ivqa/$file" ] || fail "lib/ivqa/$file is missing"
done
for program in ivqa ironquiver; do
    ldd "$tree/bin/$program" > "$work/ldd" || fail "ldd $program"
    grep -q "libivqa.so => $tree/bin/../lib/ivqa/libivqa.so" "$work/ldd" \
        || fail "$program does not load the moved tree's libivqa.so: $(grep ivqa "$work/ldd")"
done

round_trip "$tree/bin/ivqa" "$work/run"

# The browser page lies beside the modules: create names it, browser-page copies it.
if [ -f "$build/bin/ivqa-extract.html" ]; then
    page=$tree/lib/ivqa/ivqa-extract.html
    cmp -s "$build/bin/ivqa-extract.html" "$page" || fail "lib/ivqa/ivqa-extract.html is missing"
    printf 'secret\n' | "$tree/bin/ivqa" create -o "$work/paged" "$work/run/input" > /dev/null 2> "$work/paged.err" \
        || fail "create failed: $(cat "$work/paged.err")"
    grep -q "opens it in a browser with $page " "$work/paged.err" \
        || fail "create does not name the installed page: $(cat "$work/paged.err")"
    "$tree/bin/ivqa" browser-page "$work/copy.html" || fail "browser-page failed in the installed tree"
    cmp -s "$page" "$work/copy.html" || fail "browser-page wrote another page"
fi
printf '*%s:5\r\n' "$work/run/input" > "$work/run/list.iq"
starts_offscreen "$tree/bin/ironquiver" "$work/run/list.iq"

# It was the moved tree's module: without it, create fails and says so.
rm "$tree/lib/ivqa/GUI_en.iqm"
if printf 'secret\n' | "$tree/bin/ivqa" create -o "$work/none" "$work/run/input" 2> "$work/none.err"; then
    fail "create succeeded without the tree's module"
fi
[ ! -e "$work/none.run" ] || fail "a failed create left its output"
echo "the moved tree works"
