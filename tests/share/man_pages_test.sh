#!/bin/sh
# The manual pages as installed: compressed, rendered by man without a
# complaint, and ivqa(1) names every command and option `ivqa --help` and
# each command's --help name, so that the page cannot fall behind them.
# usage: man_pages_test.sh BUILD_DIR
set -eu
. "$(dirname "$0")/round_trip.sh"
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pages=$build/share/linux/man
for page in ivqa ironquiver; do
    gzip -t "$pages/$page.1.gz" || fail "$page.1.gz is not compressed"
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$pages/$page.1.gz" > "$work/$page.txt" 2> "$work/$page.err" \
        || fail "man cannot render $page.1"
    [ ! -s "$work/$page.err" ] || { cat "$work/$page.err"; fail "man warned about $page.1"; }
done
for section in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS "EXIT STATUS" FILES EXAMPLES; do
    grep -q "^$section" "$work/ivqa.txt" || fail "ivqa(1) has no $section section"
done

ivqa=$build/bin/ivqa
commands=$("$ivqa" --help | sed -n 's/^  \([a-z]*\)  .*/\1/p')
[ -n "$commands" ] || fail "no commands in ivqa --help"
{
    "$ivqa" --help
    for command in $commands; do "$ivqa" "$command" --help; done
} > "$work/help.txt"
for command in $commands; do
    grep -q "^       $command " "$work/ivqa.txt" || fail "ivqa(1) does not describe the command $command"
done
for option in $(grep -o -- '--[a-z][a-z-]*' "$work/help.txt" | sort -u); do
    grep -q -- "$option" "$work/ivqa.txt" || fail "ivqa(1) does not name $option"
done
# The exit statuses the program announces.
for status in 10 64 130; do
    grep -q "^       $status\$" "$work/ivqa.txt" || fail "ivqa(1) does not list exit status $status"
done
echo "manual pages complete"
