# bash completion for tarvik(1) and tarvik-app(1)

_tarvik() {
    local cur prev words cword
    _init_completion || return

    local commands="list stop vitals doctor storage net"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
            list | stop | vitals | doctor | storage | net) command=${words[i]}; break ;;
        esac
    done

    case "$prev" in
        --interval | --samples) return ;;
    esac

    case "$command" in
        "") COMPREPLY=($(compgen -W "$commands --help --help-all --version" -- "$cur")) ;;
        list) COMPREPLY=($(compgen -W "--interval --all --probe --json --groups --help" -- "$cur")) ;;
        stop) COMPREPLY=($(compgen -W "--port --pid --force --help" -- "$cur")) ;;
        vitals) COMPREPLY=($(compgen -W "--interval --json --help" -- "$cur")) ;;
        doctor) COMPREPLY=($(compgen -W "--samples --interval --json --help" -- "$cur")) ;;
        net) COMPREPLY=($(compgen -W "--json --help" -- "$cur")) ;;
        storage)
            local action=""
            for ((i = i + 1; i < cword; i++)); do
                case "${words[i]}" in clear | trash) action=${words[i]}; break ;; esac
            done
            case "$action" in
                clear)
                    if [[ $cur == -* ]]; then
                        COMPREPLY=($(compgen -W "--yes --help" -- "$cur"))
                    else
                        _filedir -d
                    fi
                    ;;
                trash)
                    if [[ $cur == -* ]]; then
                        COMPREPLY=($(compgen -W "--help" -- "$cur"))
                    else
                        _filedir
                    fi
                    ;;
                *) COMPREPLY=($(compgen -W "clear trash --json --help" -- "$cur")) ;;
            esac
            ;;
    esac
}
complete -F _tarvik tarvik

_tarvik_app() {
    local cur prev words cword
    _init_completion || return
    case "$prev" in
        --render)
            COMPREPLY=($(compgen -W "$(tarvik-app --help 2>/dev/null | sed -n 's/.*instead of running: \(.*\)\./\1/p' | tr -d ',')" -- "$cur"))
            return
            ;;
        --out) _filedir png; return ;;
        --size) return ;;
    esac
    COMPREPLY=($(compgen -W "--render --out --preview --dark --size --help --version" -- "$cur"))
}
complete -F _tarvik_app tarvik-app
