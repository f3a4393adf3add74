# fish completion for ivqa.
set -l commands create extract list test info wipe rm passgen keygen browser-page help
complete -c ivqa -n "not __fish_seen_subcommand_from $commands" -f -a "$commands"
complete -c ivqa -n "not __fish_seen_subcommand_from $commands" -l help -s V -l version
complete -c ivqa -n "__fish_seen_subcommand_from help" -f -a "create extract list test info wipe rm passgen keygen browser-page"
complete -c ivqa -n "__fish_seen_subcommand_from create" -s o -l output -r
complete -c ivqa -n "__fish_seen_subcommand_from create" -s c -l cipher -x -a "aes cast blowfish rc4 rc5 xchacha20"
complete -c ivqa -n "__fish_seen_subcommand_from create" -s l -l level -x -a "0 1 2 3 4 5 6 7 8 9"
complete -c ivqa -n "__fish_seen_subcommand_from create extract list test" -l keyfile -r
complete -c ivqa -n "__fish_seen_subcommand_from create" -l help-text -r
complete -c ivqa -n "__fish_seen_subcommand_from create" -l module -r -a "en ru"
complete -c ivqa -n "__fish_seen_subcommand_from create" -l target -x -a "linux windows"
complete -c ivqa -n "__fish_seen_subcommand_from create" -l skip-unreadable
complete -c ivqa -n "__fish_seen_subcommand_from create keygen" -s f -l force
complete -c ivqa -n "__fish_seen_subcommand_from create" -l delete-inputs
complete -c ivqa -n "__fish_seen_subcommand_from create" -l wipe-inputs
complete -c ivqa -n "__fish_seen_subcommand_from create extract list test wipe rm" -s q -l quiet
complete -c ivqa -n "__fish_seen_subcommand_from create extract list test wipe rm" -s v -l verbose
complete -c ivqa -n "__fish_seen_subcommand_from extract" -l dest -x -a "(__fish_complete_directories)"
complete -c ivqa -n "__fish_seen_subcommand_from extract" -l overwrite -x -a "ask always never"
complete -c ivqa -n "__fish_seen_subcommand_from wipe create" -s m -l method -x -a "fast dod gutmann"
complete -c ivqa -n "__fish_seen_subcommand_from wipe create" -s n -l passes -x
complete -c ivqa -n "__fish_seen_subcommand_from wipe rm" -l yes
complete -c ivqa -n "__fish_seen_subcommand_from passgen" -s l -l length -x
complete -c ivqa -n "__fish_seen_subcommand_from passgen" -s n -l count -x
complete -c ivqa -n "__fish_seen_subcommand_from keygen" -s s -l size -x
complete -c ivqa -n "__fish_seen_subcommand_from passgen" -f
