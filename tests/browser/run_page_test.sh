#!/bin/sh
# The browser page tests: puppeteer-core at the version of package-lock.json
# in the build folder (installed once), the hostile archives, then the page
# in chromium. Exit status 77: skipped (no chromium).
#   run_page_test.sh SOURCE_DIR BUILD_DIR
set -eu
source_dir=$1
build_dir=$2
node_dir=$build_dir/browser-node
work=$build_dir/browser-test

if [ ! -x /usr/bin/chromium ]; then
    echo "SKIP: no chromium at /usr/bin/chromium (scripts/install-deps installs it)"
    exit 77
fi
mkdir -p "$node_dir"
if ! cmp -s "$source_dir/tests/browser/package-lock.json" "$node_dir/package-lock.json" ||
   [ ! -d "$node_dir/node_modules/puppeteer-core" ]; then
    cp "$source_dir/tests/browser/package.json" "$source_dir/tests/browser/package-lock.json" "$node_dir/"
    (cd "$node_dir" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
fi
rm -rf "$work"
mkdir -p "$work/hostile"
"$build_dir/test-bin/hostile_archives" "$work/hostile" "$IVQA_PAYLOAD_OFFSET_EN"
exec node "$source_dir/tests/browser/page_test.mjs" --page "$build_dir/bin/ivqa-extract.html" \
    --ivqa "$build_dir/bin/ivqa" --hostile "$work/hostile" --work "$work/run" \
    --modules "$node_dir/node_modules"
