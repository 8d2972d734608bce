#!/usr/bin/env bash
# The bash completion offers what the program's help lists: each row is the
# words typed (the last one being completed) and the completions expected.
# Usage: completion_test.sh KESTREL
set -uo pipefail
kestrel=$1
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -r /usr/share/bash-completion/bash_completion ]; then
  echo "skipped: bash-completion is not installed"; exit 77
fi
source /usr/share/bash-completion/bash_completion
source "$here/../../scripts/kestrel-completion.bash"

failures=0
expect() {
  local want=$1; shift
  COMP_WORDS=("$kestrel" "$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}; COMPREPLY=()
  _kestrel
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
  if [ "$got" != "$want" ]; then
    echo "kestrel $* <TAB>: expected '$want', got '$got'"; failures=$((failures + 1))
  fi
}
expect "export"                     ex
expect "list load-functions ls"     l
expect "delete demo-store depth diff" d
expect "--store"                    export --st
expect "--registry --replace"       -q import --re
expect "--single --store --sync"    export --s
expect "--verbose --version"        --ver
expect ""                           nosuchcommand --st
[ "$failures" -eq 0 ] && echo "every completion as expected"
exit "$failures"
