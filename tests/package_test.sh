#!/usr/bin/env bash
# Builds the Debian package and checks what it holds, and that its dependencies are the
# ones the binary really has: none for a static binary, the C library for a dynamic one.
set -euo pipefail
build=$1
output=$(mktemp -d)
trap 'rm -rf "$output"' EXIT

(cd "$build" && cpack -G DEB -B "$output" >/dev/null)
package=$(echo "$output"/mordrin_*.deb)
[[ -f $package ]] || { echo "no package made"; exit 1; }

contents=$(dpkg-deb --contents "$package")
for path in ./usr/bin/mordrin ./usr/share/man/man1/mordrin.1 \
            ./usr/share/bash-completion/completions/mordrin ./usr/share/doc/mordrin/copyright; do
  grep -q " $path\$" <<<"$contents" || { echo "not in the package: $path"; exit 1; }
done

[[ -n $(dpkg-deb --field "$package" Description) ]] || { echo "no description"; exit 1; }
depends=$(dpkg-deb --field "$package" Depends)
if readelf -d "$build/mordrin" | grep -q NEEDED; then
  [[ $depends == *libc6* ]] || { echo "a dynamic binary, but Depends is [$depends]"; exit 1; }
else
  [[ -z $depends ]] || { echo "a static binary, but Depends is [$depends]"; exit 1; }
fi
