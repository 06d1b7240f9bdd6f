# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion of tarnwick-cli: commands, options, and the names and IDs
# of tasks and groups, which tarnwick-cli itself lists (`list --json`). It
# needs nothing of the bash-completion package, so it also works sourced
# by hand.

# The IDs and names of the tasks ("tasks") or groups ("groups"), one a line,
# read from the indented JSON of `tarnwick-cli list --json`: the members of
# each object of that array stand 12 blanks in.
_tarnwick_cli_names()
{
    "${_tarnwick_cli_program:-tarnwick-cli}" list --json 2>/dev/null | awk -v want="$1" '
        /^    "[a-z]+": / { inside = ($0 ~ "^    \"" want "\": ") ; next }
        inside && /^            "(id|name)": "/ {
            sub(/^            "(id|name)": "/, ""); sub(/",?$/, "")
            gsub(/\\"/, "\""); gsub(/\\\\/, "\\"); gsub(/\\\//, "/")
            print
        }'
}

# COMPREPLY from the lines of standard input (given by redirection: a pipe
# would fill COMPREPLY in a subshell) that start with the word being
# completed, each quoted for the shell (a task name may hold blanks).
_tarnwick_cli_reply_lines()
{
    local line
    while IFS= read -r line; do
        [[ $line == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$line")")
    done
}

_tarnwick_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local commands="init list task group run history daemon export import help"
    local schedule="--manual --on-change --every --weekly --monthly --once --at"
    local rules="--exclude-ext --exclude-file --exclude-size --exclude-date --exclude-attr --include-all"
    local task_options="--source --no-subfolders --target --group $schedule $rules
        --keep-versions --versions-folder --when-target-appears --not-when-target-appears
        --parallel --help"
    _tarnwick_cli_program=${COMP_WORDS[0]}
    COMPREPLY=()

    # `--color=WHEN`: bash splits the word at '='.
    local option=$prev
    [[ $prev == "=" ]] && option=${COMP_WORDS[COMP_CWORD-2]}
    if [[ $option == --color || $option == --colour ]]; then
        COMPREPLY=($(compgen -W "auto always never" -- "$cur"))
        return
    fi
    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    local command=${COMP_WORDS[1]} sub=${COMP_WORDS[2]}
    case $prev in
    --source | --no-subfolders | --target | --versions-folder)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    --group)
        _tarnwick_cli_reply_lines < <(_tarnwick_cli_names groups)
        return
        ;;
    --exclude-file)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
        return
        ;;
    --weekly | --every | --monthly | --once | --at | --exclude-ext | --exclude-size | \
        --exclude-date | --exclude-attr | --keep-versions | --parallel | --name)
        return # a value of the user's own
        ;;
    esac
    case $command in
    help)
        ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        ;;
    init | daemon)
        COMPREPLY=($(compgen -W "--help" -- "$cur"))
        ;;
    list)
        COMPREPLY=($(compgen -W "--json --help" -- "$cur"))
        ;;
    export | import)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
        ;;
    run | history)
        if [[ $cur == -* ]]; then
            if [[ $command == run ]]; then
                COMPREPLY=($(compgen -W "--dry-run --quiet --progress --wait --color= --help" -- "$cur"))
                [[ ${COMPREPLY[*]} == --color= ]] && compopt -o nospace 2>/dev/null
            else
                COMPREPLY=($(compgen -W "--json --help" -- "$cur"))
            fi
        else
            _tarnwick_cli_reply_lines < <(_tarnwick_cli_names tasks)
        fi
        ;;
    task)
        if ((COMP_CWORD == 2)); then
            COMPREPLY=($(compgen -W "add show edit remove --help" -- "$cur"))
        elif [[ $cur == -* ]]; then
            case $sub in
            add) COMPREPLY=($(compgen -W "$task_options" -- "$cur")) ;;
            edit) COMPREPLY=($(compgen -W "--name $task_options" -- "$cur")) ;;
            show) COMPREPLY=($(compgen -W "--json --help" -- "$cur")) ;;
            remove) COMPREPLY=($(compgen -W "--help" -- "$cur")) ;;
            esac
        elif [[ $sub == show || $sub == edit || $sub == remove ]]; then
            _tarnwick_cli_reply_lines < <(_tarnwick_cli_names tasks)
        fi
        ;;
    group)
        if ((COMP_CWORD == 2)); then
            COMPREPLY=($(compgen -W "add rename remove --help" -- "$cur"))
        elif ((COMP_CWORD == 3)) && [[ $sub == rename || $sub == remove ]]; then
            _tarnwick_cli_reply_lines < <(_tarnwick_cli_names groups)
        fi
        ;;
    esac
}

complete -F _tarnwick_cli tarnwick-cli
