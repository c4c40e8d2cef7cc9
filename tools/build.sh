#!/usr/bin/env bash
# Configures and builds everything into build/, and installs the kit into stage/ so that the
# example host builds against it as an outside project would.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$PWD/stage"
cmake --build build -j"$jobs"
cmake --install build > /dev/null
