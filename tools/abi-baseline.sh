#!/usr/bin/env bash
# Writes the ABI of libVeskSecure2 as built in build/ into cmake/VeskSecure2.abi.xz, the baseline
# the test tst_package_abi compares every build with. Run it, and commit the file, when the ABI
# changes on purpose: after raising the SOVERSION for a break, or to accept additions.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
[ -f build/CMakeCache.txt ] ||
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$PWD/stage"
cmake --build build -j"$jobs" --target VeskSecure2
library=$(readlink -f build/libVeskSecure2.so)
# What the installed headers declare, without the paths of this machine; compressed, as the
# types of Qt that the class reaches make it large.
abidw --header-file security/vesksec2.h --header-file security/vesksecure2_export.h \
  --drop-private-types --no-corpus-path --no-comp-dir-path --no-show-locs "$library" |
  xz -9 > cmake/VeskSecure2.abi.xz
echo "cmake/VeskSecure2.abi.xz written from $library"
