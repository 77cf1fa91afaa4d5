# Bash completion for cfgtarascope-cli: its commands, history's subcommands, the options of
# each, and file names where a FILE goes.
_cfgtarascope_cli() {
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion -n : || return
    else
        # Split on blanks only, so that HOST:PORT stays one word.
        local line=${COMP_LINE:0:COMP_POINT}
        read -ra words <<<"$line"
        [[ -z $line || $line == *[[:space:]] ]] && words+=("")
        cword=$((${#words[@]} - 1)) cur=${words[cword]} prev=${words[cword - 1]}
    fi
    case $prev in
    --history) mapfile -t COMPREPLY < <(compgen -f -- "$cur") && compopt -o filenames 2>/dev/null
        return ;;
    --scales | --menus | --items | --keep | --before) return ;;
    esac
    # The command, history's subcommand and how many arguments follow them.
    local i command="" sub="" args=0
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        --history | --scales | --menus | --items | --keep | --before) ((i++)) ;;
        -*) ;;
        *) if [[ -z $command ]]; then
            command=${words[i]}
        elif [[ $command == history && -z $sub ]]; then
            sub=${words[i]}
        else
            ((args++))
        fi ;;
        esac
    done
    # save and history export write a file, history prune prints a count: they have no --json.
    local options="--history --no-history" json=" --json" file=false
    case $command/$sub in
    /) options+=" --help --version read save load diff clone set history" ;;
    save/) json="" options+=" --scales --no-common --allow-partial" && [[ $args == 1 ]] && file=true ;;
    load/) options+=" --dry-run --changes-only" && [[ $args == 1 ]] && file=true ;;
    diff/) [[ $args == 1 ]] && file=true ;;
    clone/) options+=" --dry-run --menus --items" ;;
    history/) options+=" list show diff export restore prune" ;;
    history/restore) options+=" --dry-run --changes-only --force" ;;
    history/prune) json="" options+=" --keep --before" ;;
    history/export) json="" && [[ $args == 1 ]] && file=true ;;
    esac
    options+=$json
    if [[ $cur != -* && $file == true ]]; then
        mapfile -t COMPREPLY < <(compgen -f -- "$cur") && compopt -o filenames 2>/dev/null
    elif [[ $cur == -* || -z $command || ($command == history && -z $sub) ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    fi
}
complete -F _cfgtarascope_cli cfgtarascope-cli
