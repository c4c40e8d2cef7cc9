#!/usr/bin/env bash
# Makes the Debian packages libvesksecure2, libvesksecure-dev and vesksecure-admin in
# build/packages/debs/, checks them with lintian, and installs and purges them once with apt when
# run as root (--no-install skips that).
#
# It builds in build/, the tree tools/build.sh and tools/test.sh use, so after a test run
# nothing is compiled again. The packages name as maintainer "$DEBFULLNAME <$DEBEMAIL>", else
# the checkout's git identity.
set -euo pipefail
cd "$(dirname "$0")/.."
install_check=yes
[ "${1:-}" = "--no-install" ] && install_check=no
tools/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

# Debian puts libraries in the multiarch folder, and so does the stage from now on.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$PWD/stage" \
  -DCMAKE_INSTALL_LIBDIR="lib/$multiarch" > /dev/null
cmake --build build -j"$jobs" --target VeskSecure2 secadmin vesksec vesk_help vesk_packaging_files

# CPack installs what was built above into the three packages, lintian checks them, and as root
# they are installed with apt and purged again.
skip_install=""
[ "$install_check" = yes ] || skip_install=1
status=0
VESK_SKIP_INSTALL=$skip_install tests/package/check_debian.sh "$PWD/build" "$PWD/build/packages" ||
  status=$?
# 77: not root, so not installed.
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || exit "$status"
echo "The packages:"
ls "$PWD"/build/packages/debs/*.deb
