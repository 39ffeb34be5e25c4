#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed binary.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/mordrin share/man/man1/mordrin.1 share/bash-completion/completions/mordrin; do
  [[ -f $prefix/$file ]] || { echo "not installed: $file"; exit 1; }
done

printf 'one\r\ntwo\rthree\n' > "$prefix/in"
"$prefix/bin/mordrin" "$prefix/in" "$prefix/out" lf
printf 'one\ntwo\nthree\n' | cmp - "$prefix/out"
