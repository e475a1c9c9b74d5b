# bash completion for tarnwick-cli

_tarnwick_cli() {
    local cur prev words cword
    _init_completion -s || return

    local commands="read demux rebuild xpl mkv titles"
    local options="-o --output --streams --no-continue --fast-check --no-fast-check
        --no-count-frames --no-details --adv --video-ext --audio-ext --sub-ext
        --markup --color -q --quiet --help --version"
    # The options that belong to some commands only.
    local read_options="--title --json --playlist"
    local xpl_options="--source --title --chapters"
    local mkv_options="--title --playlist --name --overwrite --keep-streams --mkvmerge --json"
    local titles_options="--json -q --quiet --help"

    case $prev in
        -o | --output)
            _filedir -d
            return
            ;;
        --source)
            _filedir '@(evo|EVO|vob|VOB|aob|AOB)'
            return
            ;;
        --playlist)
            _filedir '@(xpl|XPL)'
            return
            ;;
        --mkvmerge)
            _filedir
            return
            ;;
        --color)
            COMPREPLY=($(compgen -W "auto always never" -- "$cur"))
            return
            ;;
        --streams | --fast-check | --title | --video-ext | --audio-ext | --sub-ext | --name)
            return
            ;;
    esac
    [[ $split == true ]] && return

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            read | demux | rebuild | xpl | mkv | titles)
                command=${words[i]}
                break
                ;;
        esac
    done

    if [[ $cur == -* ]]; then
        case $command in
            read) options+=" $read_options" ;;
            xpl) options+=" $xpl_options" ;;
            mkv) options+=" $mkv_options" ;;
            titles) options=$titles_options ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    case $command in
        "") COMPREPLY=($(compgen -W "$commands" -- "$cur")) ;;
        xpl) _filedir '@(xpl|XPL)' ;;
        rebuild) _filedir '@(evo|EVO)' ;;
        titles) _filedir -d ;;
        # A source or a disc folder.
        read | mkv) _filedir '@(evo|EVO|vob|VOB|aob|AOB)' ;;
        *) _filedir '@(evo|EVO|vob|VOB|aob|AOB)' ;;
    esac
} &&
    complete -F _tarnwick_cli tarnwick-cli
