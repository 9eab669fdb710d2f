# bash completion of ryvo: its commands, each command's options, folders
# and files where they are expected, and the stock names of the working
# folder given (its settings files NAME.txt).
_ryvo_stocks() {   # _ryvo_stocks WORKDIR PREFIX
  local f
  for f in "$1"/*.txt; do
    [ -f "$f" ] || continue
    f=${f##*/}
    f=${f%.txt}
    [[ $f == "$2"* ]] && printf '%s\n' "$f"
  done
}

_ryvo() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local commands="info load export convert import check sample chart report hotsync list update add remove move set help"
  if [ "$COMP_CWORD" -eq 1 ]; then
    mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$cur")
    return
  fi
  local command=${COMP_WORDS[1]} options="-h --help -q --quiet -v --verbose --"
  case $command in
    help) mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur"); return ;;
    check) options+=" --json --only" ;;
    convert) options+=" --only" ;;
    load) options+=" --force" ;;
    import) options+=" --replace" ;;
    sample) options+=" --pdb" ;;
    hotsync) options+=" --to-pc --to-palm --force" ;;
    update) options+=" --dry-run" ;;
    chart) options+=" -o --output" ;;
    report) options+=" -o --output --only" ;;
  esac
  if [[ $prev == -o || $prev == --output || $prev == --pdb ]]; then
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return
  fi
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi
  # The operands so far, options and their values left out.
  local operands=() i word
  for ((i = 2; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    case $word in
      -o|--output|--pdb) ((i++)) ;;
      -*) ;;
      *) operands+=("$word") ;;
    esac
  done
  local n=${#operands[@]}
  case $command:$n in
    load:0|export:0|export:1|convert:0|convert:1|check:0|check:1|import:0|import:1|\
    report:0|report:1|chart:0|chart:1|hotsync:0|sample:0|add:0|add:1)
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      [[ $command:$n == chart:0 || $command:$n == report:0 || $command:$n == check:0 || $command:$n == add:0 ]] && mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -- "$cur")
      ;;
    convert:*|check:*|report:*|import:2|chart:2|add:2)
      mapfile -t COMPREPLY < <(_ryvo_stocks "${operands[0]/#\~/$HOME}" "$cur")
      ;;
    set:*)
      [ "$n" -ge 2 ] && mapfile -t COMPREPLY < <(compgen -W "name= onlyclose= webscrap= fixedscale= \
document= keyword= purchase= open-row= open-tag= high-row= high-tag= low-row= low-tag= \
close-row= close-tag= volume-row= volume-tag= price-max= price-min= volume-max= \
volume-min=" -- "$cur") && compopt -o nospace
      ;;
    *) mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
  esac
}
complete -F _ryvo ryvo
