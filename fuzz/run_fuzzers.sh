#!/bin/sh
# Runs every fuzz target of a fuzz build for a set time, one after the
# other, starting from the committed seeds; stops at the first finding.
#     fuzz/run_fuzzers.sh BUILD_DIR SECONDS
# New inputs go to BUILD_DIR/corpus/NAME (the seeds stay as committed),
# findings to BUILD_DIR/findings/.
set -eu
build=$(cd "$1" && pwd) # absolute: the extraction target works in a folder of its own
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$build/findings"

for name in extract list_file settings; do
    program="$build/fuzz-bin/${name}_fuzzer"
    corpus="$build/corpus/$name"
    log="$build/findings/$name.log"
    mkdir -p "$corpus"
    echo "== ${name}_fuzzer for ${seconds}s"
    if ! "$program" -max_total_time="$seconds" -timeout=20 -max_len=16384 -print_final_stats=1 \
            -artifact_prefix="$build/findings/$name-" "$corpus" "$here/corpus/$name" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "${name}_fuzzer: finding, see $log and $build/findings/" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
    echo "${name}_fuzzer: $runs runs in ${took}s, $((runs / (took > 0 ? took : 1))) exec/s," \
         "corpus $(ls "$corpus" | wc -l) inputs"
done
