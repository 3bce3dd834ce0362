#!/usr/bin/env bash
# Builds the Debian packages of this checkout the way a distribution does,
# tests included, and checks them with lintian, which must report no error
# and no warning. The packages land in the parent folder. It repeats the whole
# build and test run, so CI does not run it.
#   DEB_BUILD_OPTIONS=nocheck scripts/package.sh   builds without the tests
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh debhelper lintian

options=()
case " ${DEB_BUILD_OPTIONS:-} " in
  *" nocheck "*) options+=(-Pnocheck) ;;
esac
dpkg-checkbuilddeps "${options[@]}"

# debhelper gives the build a home of its own, so the compiler cache is named
# here to be found again.
if command -v ccache >/dev/null; then
  export CCACHE_DIR="${CCACHE_DIR:-$(ccache -k cache_dir)}"
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi

dpkg-buildpackage -us -uc -b "${options[@]}"
changes="../$(dpkg-parsechangelog -S Source)_$(dpkg-parsechangelog -S Version)_$(dpkg --print-architecture).changes"
lintian --fail-on error,warning "$changes"
echo "package: $changes built, lintian reports no error and no warning"
