# bash completion for tessarel-cli: the commands, each command's options and their values, and
# file and folder names for the arguments. Uses only bash's own builtins.

_tessarel_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="extract search show cache help"
    local search_options="--program-dir --case --match-word --no-fix-beginning --order --flat --per-file
        --unlimited --types --jobs --max-documents --list --json --no-cache --ocr --help"
    local show_options="--program-dir --case --match-word --no-fix-beginning --order --flat --per-file
        --unlimited --types --jobs --max-documents --json --no-cache --ocr --help"
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    local command=${COMP_WORDS[1]}
    case $command in
    help)
        ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W "extract search show cache" -- "$cur"))
        return
        ;;
    cache)
        if [[ $cur == --* ]]; then
            COMPREPLY=($(compgen -W "--help" -- "$cur"))
        elif ((COMP_CWORD == 2)); then
            COMPREPLY=($(compgen -W "stats clear" -- "$cur"))
        fi
        return
        ;;
    extract)
        if [[ $cur == --* ]]; then
            COMPREPLY=($(compgen -W "--ocr --help" -- "$cur"))
        else
            COMPREPLY=($(compgen -f -- "$cur"))
        fi
        return
        ;;
    search | show) ;;
    *) return ;;
    esac

    case $prev in
    --order)
        COMPREPLY=($(compgen -W "relevance date alphabetical" -- "$cur"))
        return
        ;;
    --types)
        # A comma-separated list: complete the type after the last comma.
        local done=${cur%,*} last=${cur##*,}
        [[ $done == "$cur" ]] && done="" || done="$done,"
        COMPREPLY=($(compgen -P "$done" -W "text rtf doc pdf docx xlsx pptx odt ods odp epub mail images" -- "$last"))
        return
        ;;
    --program-dir)
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    --per-file | --jobs | --max-documents)
        return
        ;;
    esac

    if [[ $cur == --* ]]; then
        local options=$search_options
        [[ $command == show ]] && options=$show_options
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    # The first argument after the options is the folder.
    local i positional=0
    for ((i = 2; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        --program-dir | --order | --per-file | --types | --jobs | --max-documents) ((i++)) ;;
        --*) ;;
        *) ((positional++)) ;;
        esac
    done
    ((positional == 0)) && COMPREPLY=($(compgen -d -- "$cur"))
}

complete -o filenames -F _tessarel_cli tessarel-cli
