#!/usr/bin/env bash
# The bash completion the build wrote from the command definitions: each row
# is what it must offer for the words typed (the last one being completed).
# Usage: completion_test.sh KESTREL COMPLETION_SCRIPT
set -uo pipefail
kestrel=$1
script=$2
if [ ! -r /usr/share/bash-completion/bash_completion ]; then
  echo "skipped: bash-completion is not installed"; exit 77
fi
source /usr/share/bash-completion/bash_completion
source "$script"

# A folder with a store of three profiles (10, 20, 30), an empty store, a
# pack folder and a file beside it.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
"$kestrel" -q demo-store demo.db >/dev/null && "$kestrel" -q init-store empty.db >/dev/null || exit 1
mkdir packs && touch pa.txt
unset KESTREL_STORE

failures=0
expect() {
  local want=$1; shift
  COMP_WORDS=("$kestrel" "$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}; COMPREPLY=()
  _kestrel 2>/dev/null
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
  if [ "$got" != "$want" ]; then
    echo "kestrel $* <TAB>: expected '$want', got '$got'"; failures=$((failures + 1))
  fi
}
# Commands, and options where they are taken.
expect "export"                                   ex
expect "list load-functions ls"                   l
expect "delete demo-store depth diff"             d
expect "help"                                     he
expect "--store"                                  export --st
expect "--registry --renumber --replace"          -q import --re
expect "--single --store --sync"                  export --s
expect "--profile"                                export --store demo.db --p
expect "--verbose --version"                      --ver
expect "--bytes --help --quiet --verbose --version" --
expect ""                                         nosuchcommand --st
# Only what exists: no option of a command at the top level, the program's
# -q and -v after a command.
expect ""                                         --s
expect "--quiet"                                  export --q
expect "-v"                                       import PACK -v
expect "--verbose"                                check packs --verb
# Values by their kind: stores are files, packs and roots are folders,
# profile numbers come from the store the line or $KESTREL_STORE names, a
# number of seconds is typed.
expect "demo.db"                                  export --store de
expect "packs"                                    ls pa
expect "packs"                                    export --root pa
expect "pa.txt packs"                             show --registry pa
expect ""                                         export --wait ""
expect "always auto never"                        diff A B --color ""
expect "always"                                   diff --color al
expect ""                                         export --profile ""
expect "10 20 30"                                 export --store demo.db --profile ""
expect "20"                                       depth --store demo.db --parent 2
expect ""                                         export --store empty.db --profile ""
KESTREL_STORE=demo.db expect "10 20 30"           export --profile ""
HOME=$work expect "10 20 30"                      export --store "~/demo.db" --profile ""
KESTREL_STORE=demo.db expect ""                   export --store empty.db --profile ""
expect "import init-store"                        help i
[ "$failures" -eq 0 ] && echo "every completion as expected"
exit "$failures"
