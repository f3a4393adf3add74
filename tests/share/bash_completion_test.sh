#!/bin/bash
# The bash completion of ivqa, asked what it offers for a table of command
# lines, the way bash asks it at a Tab.
# usage: bash_completion_test.sh SOURCE_DIR
set -u
source /usr/share/bash-completion/bash_completion
source "$1/share/linux/completions/bash/ivqa"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" && mkdir folder && touch file.txt

failures=0
# offers "LINE" "EXPECTED": the words offered for the last word of LINE.
offers() {
    read -r -a COMP_WORDS <<< "$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$1 COMP_POINT=${#1}
    COMPREPLY=()
    _ivqa ivqa "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
    if [[ $got != "$2" ]]; then
        echo "FAIL: '$1' offers '$got', expected '$2'"
        failures=$((failures + 1))
    fi
}

offers "ivqa " "browser-page create extract help info keygen list passgen rm test wipe"
offers "ivqa w" "wipe"
offers "ivqa help e" "extract"
offers "ivqa help create " ""
offers "ivqa --" "--help --version"
offers "ivqa create -c " "aes blowfish cast rc4 rc5 xchacha20"
offers "ivqa create --cipher r" "rc4 rc5"
offers "ivqa create --target " "linux windows"
# A module file may lie in a folder.
offers "ivqa create --module " "en folder ru"
offers "ivqa create --sk" "--skip-unreadable"
offers "ivqa create --wipe-inputs -m " "dod fast gutmann"
offers "ivqa list --" "--help --keyfile --quiet --verbose"
offers "ivqa create -o out " "file.txt folder"
offers "ivqa extract a.run --overwrite " "always ask never"
offers "ivqa extract a.run --dest " "folder"
offers "ivqa extract --" "--dest --help --keyfile --overwrite --quiet --verbose"
offers "ivqa wipe -m " "dod fast gutmann"
offers "ivqa wipe --" "--help --method --passes --quiet --verbose --yes"
offers "ivqa passgen -l " ""
offers "ivqa info f" "file.txt folder"
[[ $failures -eq 0 ]] || exit 1
echo "completion offers what it should"
