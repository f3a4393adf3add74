#!/bin/sh
# pad_module.sh LINKED PADDED OFFSET
# Copies the linked module and pads it with zero bytes to OFFSET, where the
# writer will append the payload. Fails, leaving no padded file, when the
# linked program is larger than OFFSET.
set -eu
linked=$1
padded=$2
offset=$3

size=$(stat -c %s "$linked")
if [ "$size" -gt "$offset" ]; then
    echo "pad_module: $linked is $size bytes, larger than its payload offset $offset" >&2
    rm -f "$padded"
    exit 1
fi
mkdir -p "$(dirname "$padded")"
cp "$linked" "$padded.tmp"
truncate -s "$offset" "$padded.tmp"
chmod 0755 "$padded.tmp"
mv -f "$padded.tmp" "$padded"
