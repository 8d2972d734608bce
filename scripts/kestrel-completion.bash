# Bash completion for kestrel: the commands and each command's options, read
# from the program's own help, so that they never fall behind the program.
# Installed as share/bash-completion/completions/kestrel; to try it from the
# source tree: source scripts/kestrel-completion.bash

# The options a help text lists ("-q,--quiet", "--store TEXT"): one a line.
_kestrel_options() {
  "$@" --help 2>/dev/null | grep -oE '(^|[ ,])--?[A-Za-z][-A-Za-z]*' | sed 's/^[ ,]//' | sort -u
}

# The commands the top-level help lists under its groups.
_kestrel_commands() {
  "$1" --help 2>/dev/null | awk '/^[A-Z].*:$/ { in_group = ($0 != "Options:"); next } in_group && /^  [a-z]/ { print $1 }'
}

_kestrel() {
  local cur prev words cword
  _init_completion || return
  local program=${words[0]} command="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      -*) ;;
      *) command=${words[i]}; break ;;
    esac
  done
  if [[ -z $command ]]; then
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W "$(_kestrel_options "$program")" -- "$cur")
    else
      mapfile -t COMPREPLY < <(compgen -W "$(_kestrel_commands "$program")" -- "$cur")
    fi
  elif [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_kestrel_options "$program" "$command")" -- "$cur")
  else
    # Packs, stores and folders are paths.
    _filedir
  fi
}
complete -F _kestrel kestrel
