#!/usr/bin/env bash
# Installs what building, testing and running VeskSecure needs on Debian 12. Safe to run again:
# it asks apt only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libgl-dev
  libsqlcipher-dev sqlcipher libssl-dev
  libshp-dev
  libpq-dev postgresql
  libbenchmark-dev
  fonts-liberation fonts-dejavu-core
  libcups2-dev cups cups-client cups-filters poppler-utils
  xvfb xauth
  lintian man-db abigail-tools desktop-file-utils appstream bash-completion
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
