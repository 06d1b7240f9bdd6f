# SPDX-License-Identifier: GPL-3.0-or-later
# fish completion of tarnwick-cli: commands, options, and the names and IDs
# of tasks and groups from `tarnwick-cli list --json` (its members stand 12
# blanks in).

function __tarnwick_cli_names --argument-names want
    tarnwick-cli list --json 2>/dev/null | awk -v want="$want" '
        /^    "[a-z]+": / { inside = ($0 ~ "^    \"" want "\": "); next }
        inside && /^            "(id|name)": "/ {
            sub(/^            "(id|name)": "/, ""); sub(/",?$/, "")
            gsub(/\\\\"/, "\""); gsub(/\\\\\\\\/, "\\\\"); gsub(/\\\\\//, "/")
            print
        }'
end

function __tarnwick_cli_sub --argument-names command sub
    set -l words (commandline -opc)
    test (count $words) -ge 3; and test $words[2] = $command; and test $words[3] = $sub
end

set -l commands init list task group run history daemon export import help
complete -c tarnwick-cli -f
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -l help -d 'Show the overview'
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'Show the version'
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -a init -d 'Make an empty task database'
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -a list -d 'Show the groups and tasks'
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -a task -d 'Add, show, edit or remove a task'
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -a group -d 'Add, rename or remove a group'
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -a run -d 'Run a task now'
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -a history -d 'Show the kept runs'
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -a daemon -d 'Run the scheduled tasks'
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -a export -d 'Write the tasks as JSON'
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -a import -d 'Add the tasks of a JSON document'
complete -c tarnwick-cli -n "not __fish_seen_subcommand_from $commands" -a help -d 'Show the help of a command'

complete -c tarnwick-cli -n "__fish_seen_subcommand_from help" -a "$commands"
complete -c tarnwick-cli -n "__fish_seen_subcommand_from list history" -l json -d 'Print JSON'
complete -c tarnwick-cli -n "__fish_seen_subcommand_from run history" -a "(__tarnwick_cli_names tasks)"
complete -c tarnwick-cli -n "__fish_seen_subcommand_from export import" -F
complete -c tarnwick-cli -n "__fish_seen_subcommand_from run" -s n -l dry-run -d 'Copy nothing, only decide'
complete -c tarnwick-cli -n "__fish_seen_subcommand_from run" -s q -l quiet -d 'Only errors and the summary'
complete -c tarnwick-cli -n "__fish_seen_subcommand_from run" -l progress -d 'A progress line on the terminal'
complete -c tarnwick-cli -n "__fish_seen_subcommand_from run" -l wait -d 'Wait for another run of the task'
complete -c tarnwick-cli -n "__fish_seen_subcommand_from run" -l color -x -a "auto always never" -d 'Colour the lines'

complete -c tarnwick-cli -n "__fish_seen_subcommand_from task; and not __fish_seen_subcommand_from add show edit remove" -a "add show edit remove"
complete -c tarnwick-cli -n "__fish_seen_subcommand_from group; and not __fish_seen_subcommand_from add rename remove" -a "add rename remove"
complete -c tarnwick-cli -n "__tarnwick_cli_sub task show; or __tarnwick_cli_sub task edit; or __tarnwick_cli_sub task remove" -a "(__tarnwick_cli_names tasks)"
complete -c tarnwick-cli -n "__tarnwick_cli_sub task show" -l json -d 'Print JSON'
complete -c tarnwick-cli -n "__tarnwick_cli_sub group rename; or __tarnwick_cli_sub group remove" -a "(__tarnwick_cli_names groups)"
set -l editing "__tarnwick_cli_sub task add; or __tarnwick_cli_sub task edit"
complete -c tarnwick-cli -n "__tarnwick_cli_sub task edit" -l name -x -d 'New name'
complete -c tarnwick-cli -n "$editing" -l source -x -a "(__fish_complete_directories)" -d 'Source folder with subfolders'
complete -c tarnwick-cli -n "$editing" -l no-subfolders -x -a "(__fish_complete_directories)" -d 'Source folder without subfolders'
complete -c tarnwick-cli -n "$editing" -l target -x -a "(__fish_complete_directories)" -d 'Target folder'
complete -c tarnwick-cli -n "$editing" -l group -x -a "(__tarnwick_cli_names groups)" -d 'Group'
complete -c tarnwick-cli -n "$editing" -l manual -d 'Started by hand only'
complete -c tarnwick-cli -n "$editing" -l on-change -d 'Started when a source changes'
complete -c tarnwick-cli -n "$editing" -l every -x -d 'Every N minutes, hours or days (Nm, Nh, Nd)'
complete -c tarnwick-cli -n "$editing" -l weekly -x -d 'On week days (mon,tue,...)'
complete -c tarnwick-cli -n "$editing" -l monthly -x -d 'On a day of the month (1-28)'
complete -c tarnwick-cli -n "$editing" -l once -x -d 'Once, on a date (YYYY-MM-DD)'
complete -c tarnwick-cli -n "$editing" -l at -x -d 'Time of day of the schedule option before'
complete -c tarnwick-cli -n "$editing" -l exclude-ext -x -d 'Leave out extensions'
complete -c tarnwick-cli -n "$editing" -l exclude-file -r -F -d 'Leave out one file'
complete -c tarnwick-cli -n "$editing" -l exclude-size -x -d 'Leave out by size (<5K, >10M)'
complete -c tarnwick-cli -n "$editing" -l exclude-date -x -d 'Leave out by date (Nd, Nm, FROM..TO)'
complete -c tarnwick-cli -n "$editing" -l exclude-attr -x -d 'Leave out by attribute'
complete -c tarnwick-cli -n "$editing" -l include-all -d 'No exclude rules'
complete -c tarnwick-cli -n "$editing" -l keep-versions -x -d 'Replaced versions kept (0-99)'
complete -c tarnwick-cli -n "$editing" -l versions-folder -x -a "(__fish_complete_directories)" -d 'Versions folder'
complete -c tarnwick-cli -n "$editing" -l when-target-appears -d 'Also run when the target drive is mounted'
complete -c tarnwick-cli -n "$editing" -l not-when-target-appears -d 'Not when the target drive is mounted'
complete -c tarnwick-cli -n "$editing" -l parallel -x -d 'Target operations at once (0-64)'
