# Sourced by the install tests: what an installed tree must do.

fail() { echo "FAIL: $*" >&2; exit 1; }

# round_trip IVQA WORK: `IVQA create` of a small tree, then `IVQA extract`,
# and the trees compared; the module comes from wherever that ivqa finds it.
round_trip() {
    local ivqa=$1 work=$2
    mkdir -p "$work/input/folder" "$work/restored"
    printf 'first file\n' > "$work/input/a.txt"
    head -c 70000 /dev/urandom > "$work/input/folder/random.bin"
    printf 'secret\n' | "$ivqa" create -o "$work/archive" -c rc5 "$work/input" > "$work/create.out" \
        || fail "$ivqa create failed"
    [ -x "$work/archive.run" ] || fail "no executable archive.run"
    printf 'secret\n' | "$ivqa" extract "$work/archive.run" --dest "$work/restored" > "$work/extract.out" \
        || fail "$ivqa extract failed"
    diff -r "$work/input" "$work/restored/input" || fail "the restored tree differs"
}

# starts_offscreen IRONQUIVER LISTFILE: the window program comes up off
# screen with a list on its command line and is still running after a few
# seconds (a missing library or module folder ends it at once).
starts_offscreen() {
    local status=0
    QT_QPA_PLATFORM=offscreen IVQA_CONFIG_DIR="$(dirname "$2")/config" timeout 4 "$1" "$2" \
        > /dev/null 2>&1 || status=$?
    [ "$status" -eq 124 ] || fail "$1 ended with status $status instead of running"
}
