# bash completion for velmorix-cli: its commands, their options, and file names elsewhere.
# Plain bash (no helpers from the bash-completion package), so it can also be sourced by hand.

_velmorix_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD-1]}
    local commands="list show create rename delete undo redo check demo copy merge export ads cut media convert"
    COMPREPLY=()

    if [ "$COMP_CWORD" -eq 1 ]; then
        mapfile -t COMPREPLY < <(compgen -W "$commands --version --help" -- "$cur")
        return
    fi

    local command=${COMP_WORDS[1]} options=""
    case $command in
        list | show | create | rename | merge | redo) options="--json" ;;
        delete) options="--no-undo --json" ;;
        undo) options="--empty --list --json" ;;
        copy) options="--yes --json" ;;
        export) options="--format --encode --quality --size --hw --deinterlace --no-deinterlace --json" ;;
        ads) options="--edl --min-block --max-block --min-programme --json" ;;
        cut) options="--edl --yes --json --dry-run --by-byte-rate --no-undo" ;;
        demo) options="--h264" ;;
        media) options="--receiver --json" ;;
        convert) options="--dest --prefix --audio-dump --yes --json" ;;
    esac

    case $prev in
        --format)
            mapfile -t COMPREPLY < <(compgen -W "mkv mp4" -- "$cur")
            return
            ;;
        --encode)
            mapfile -t COMPREPLY < <(compgen -W "h264 hevc" -- "$cur")
            return
            ;;
        --quality | --size | --min-block | --max-block | --min-programme)
            return
            ;;
        --receiver | --dest)
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            compopt -o filenames 2>/dev/null
            return
            ;;
        --prefix)
            return
            ;;
    esac

    if [ "${cur#-}" != "$cur" ]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi

    if [ "$command" = media ]; then
        if [ "$COMP_CWORD" -eq 2 ]; then
            mapfile -t COMPREPLY < <(compgen -W "put get list delete" -- "$cur")
            return
        fi
        if [ "$COMP_CWORD" -eq 3 ] && [ "${COMP_WORDS[2]}" = list ]; then
            mapfile -t COMPREPLY < <(compgen -W "mp3 image" -- "$cur")
            return
        fi
    fi
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    compopt -o filenames 2>/dev/null
}

complete -F _velmorix_cli velmorix-cli
