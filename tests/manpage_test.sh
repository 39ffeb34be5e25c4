#!/usr/bin/env bash
# The manual page renders without a single warning and names every message the program
# can print.
set -euo pipefail
page=$1

warnings=$(groff -man -ww -z "$page" 2>&1)
[[ -z $warnings ]] || { echo "$warnings"; exit 1; }

text=$(groff -man -Tascii -rLL=200n -P-cbou "$page" | tr -s ' ')
for message in \
  "program to convert text files EOL, from any to CR, LF, or CRLF" \
  "usage: mordrin <infile> <outfile> <cr|lf|crlf>" \
  "invalid EOL type for output file" \
  "error opening file for read" \
  "error reading input file" \
  "error opening file for write" \
  "error writing output file" \
  "Runtime error 203 at"; do
  grep -qF -- "$message" <<<"$text" || { echo "not in the manual page: $message"; exit 1; }
done
