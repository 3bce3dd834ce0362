#!/usr/bin/env bash
# Every package scripts/setup.sh installs is a build dependency of the Debian
# packages, or is named below with the reason it is not; so a package added
# for the build or the tests cannot be forgotten in debian/control.
# Usage: test_builddeps.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
failed=0
fail() { echo "FAIL: $*" >&2; failed=$((failed + 1)); }

declare -A not_built_with=(
  [build-essential]="implied by every Debian build"
  [dpkg-dev]="implied by build-essential"
  [file]="a tool of the packaging itself"
  [git]="only for working on the sources"
  [libbenchmark-dev]="the benchmarks, which the packages leave out"
  [zstd]="the benchmarks"
  [gzip]="the benchmarks"
  [zlib1g-dev]="the benchmarks"
  [libzstd-dev]="the benchmarks"
  [clang]="the fuzz build"
  [libclang-rt-14-dev]="the fuzz build"
  [imagemagick]="looking at the screenshots tests leave"
)

# The words between "packages=(" and ")" in setup.sh.
setup=$(sed -n '/^packages=(/,/^)/p' "$source_dir/scripts/setup.sh" | sed '1d;$d')
# Build-Depends up to the next field, without versions, profiles and commas.
control=$(awk '/^Build-Depends:/ {on = 1; sub(/^Build-Depends:/, ""); print; next}
               on && /^[^ ]/ {on = 0} on' "$source_dir/debian/control" \
  | sed 's/([^)]*)//g; s/<[^>]*>//g; s/,/ /g')

declare -A in_control=()
for package in $control; do in_control[$package]=1; done
declare -A in_setup=()
for package in $setup; do
  in_setup[$package]=1
  reason=${not_built_with[$package]:-}
  if [ -n "${in_control[$package]:-}" ]; then
    [ -z "$reason" ] || fail "$package is a build dependency but listed as not needed ($reason)"
  else
    [ -n "$reason" ] || fail "$package is installed by setup.sh but missing from Build-Depends"
  fi
done
for package in "${!not_built_with[@]}"; do
  [ -n "${in_setup[$package]:-}" ] || fail "$package is listed as not needed but setup.sh no longer installs it"
done
[ "${#in_control[@]}" -gt 1 ] || fail "no Build-Depends found in debian/control"


echo "build dependencies: $(echo $setup | wc -w) packages checked, $failed faults"
[ "$failed" -eq 0 ]
