#!/usr/bin/env bash
# Builds the Debian package (build/package/tarnwick_*.deb) from a release build
# and checks it with lintian. Not part of ./test.sh: a release build of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# dpkg-shlibdeps writes the Depends line; lintian checks the result.
scripts/install-packages.sh dpkg-dev lintian file

build=build/package
# Debian's hardening flags, so that the binaries pass lintian's checks.
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build"
rm -f "$build"/tarnwick_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tarnwick_*.deb)
echo "Package: $deb"
dpkg-deb --field "$deb" Package Version Depends Recommends
# Errors fail the script; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "lintian: no errors"
