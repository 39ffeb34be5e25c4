#!/usr/bin/env bash
# The completion offers file names for the two paths and the keywords for the third.
set -euo pipefail
source "$1"

# Completes the last of the given words as bash would, one candidate a line.
complete_at() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _mordrin
  printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {
  local what=$1 expected=$2 actual=$3
  [[ $actual == "$expected" ]] || { printf '%s: expected [%s], got [%s]\n' "$what" "$expected" "$actual"; exit 1; }
}

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder"
touch notes.txt notes.csv other.txt

[[ $(complete -p mordrin) == *_mordrin* ]] || { echo "no completion registered for mordrin"; exit 1; }
expect "input path" $'notes.csv\nnotes.txt' "$(complete_at mordrin no)"
expect "output path" $'notes.csv\nnotes.txt\nother.txt' "$(complete_at mordrin notes.txt '')"
expect "keyword" $'cr\ncrlf\nlf' "$(complete_at mordrin notes.txt out.txt '')"
expect "keyword begun" $'cr\ncrlf' "$(complete_at mordrin notes.txt out.txt c)"
expect "after the keyword" "" "$(complete_at mordrin notes.txt out.txt lf '')"
