#!/usr/bin/env bash
# Asks the bash completion of tarnwick-cli for a few command lines and checks
# the words it offers.
#   scripts/check-completion.sh packaging/tarnwick-cli.bash
set -uo pipefail
source /usr/share/bash-completion/bash_completion
source "$1"
cd "$(mktemp -d)" && touch FEATURE_1.EVO notes.txt VPLST000.XPL && mkdir out

complete_line() { # the words offered for the command line "$1" (cursor at its end)
  COMP_LINE=$1
  COMP_POINT=${#COMP_LINE}
  read -ra COMP_WORDS <<<"$COMP_LINE"
  [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _tarnwick_cli tarnwick-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}

status=0
expect() {
  local got
  got=$(complete_line "$1")
  if [ "$got" != "$2" ]; then
    echo "'$1': offered '$got', expected '$2'"
    status=1
  fi
}
expect "tarnwick-cli " "demux mkv read rebuild titles xpl "
expect "tarnwick-cli mkv x --k" "--keep-streams "
expect "tarnwick-cli re" "read rebuild "
expect "tarnwick-cli demux " "FEATURE_1.EVO out "
expect "tarnwick-cli xpl " "VPLST000.XPL out "
expect "tarnwick-cli xpl V.XPL --ti" "--title "
expect "tarnwick-cli read x --no-c" "--no-continue --no-count-frames "
expect "tarnwick-cli read x --color " "always auto never "
expect "tarnwick-cli demux x -o " "out "
expect "tarnwick-cli read x --j" "--json "
expect "tarnwick-cli read x --p" "--playlist "
expect "tarnwick-cli read x --ti" "--title "
expect "tarnwick-cli mkv x --n" "--name --no-continue --no-count-frames --no-details --no-fast-check "
expect "tarnwick-cli mkv x --o" "--output --overwrite "
expect "tarnwick-cli mkv x --m" "--markup --mkvmerge "
expect "tarnwick-cli mkv x --j" "--json "
expect "tarnwick-cli titles x --" "--help --json --quiet "
# demux has no --json: nothing is offered
expect "tarnwick-cli demux x --j" " "
expect "tarnwick-cli mkv x --playlist " "VPLST000.XPL out "
expect "tarnwick-cli mkv " "FEATURE_1.EVO out "
exit $status
