#!/usr/bin/env bash
# The Debian packages as a user gets them: made by CPack from the build tree, without errors
# from lintian, and, when run as root, installed with apt, used, and purged without a trace.
#   check_debian.sh BUILD_DIR WORK_DIR      (VESK_SKIP_INSTALL=1: no apt)
set -euo pipefail
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/debs" > "$work/cpack.log" ||
  { cat "$work/cpack.log"; exit 1; }
debs=("$work"/debs/*.deb)
[ ${#debs[@]} -eq 3 ] || { echo "expected three packages: ${debs[*]}"; exit 1; }
# Warnings are shown, errors fail.
status=0
lintian --fail-on error --tag-display-limit 0 "${debs[@]}" > "$work/lintian.log" 2>&1 || status=$?
grep -v "root privileges" "$work/lintian.log" || true
[ "$status" -eq 0 ] || { echo "lintian found errors"; exit 1; }

if [ -n "${VESK_SKIP_INSTALL:-}" ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: the packages are not installed"
  exit 77
fi
packages=(libvesksecure2 libvesksecure-dev vesksecure-admin)
apt=(apt-get -y -q -o DPkg::Lock::Timeout=300)
for deb in "${debs[@]}"; do
  dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -n 's|^\./|/|p' | grep -v '/$' >> "$work/files"
done
trap '"${apt[@]}" purge "${packages[@]}" > /dev/null 2>&1 || true' EXIT
DEBIAN_FRONTEND=noninteractive "${apt[@]}" install "${debs[@]}" > "$work/install.log" 2>&1 ||
  { cat "$work/install.log"; exit 1; }

fail() { echo "$*"; exit 1; }
while read -r file; do
  [ -e "$file" ] || [ -L "$file" ] || fail "not installed: $file"
done < "$work/files"
ldconfig -p | grep -q 'libVeskSecure2.so.2 ' || fail "the linker cache does not know libVeskSecure2.so.2"
/usr/bin/vesksec --help > /dev/null || fail "vesksec does not run"
man -w vesksec > /dev/null && man -w secadmin > /dev/null || fail "man does not find the pages"
pkg-config --exists VeskSecure2 || fail "pkg-config does not find VeskSecure2"

DEBIAN_FRONTEND=noninteractive "${apt[@]}" purge "${packages[@]}" > "$work/purge.log" 2>&1 ||
  { cat "$work/purge.log"; exit 1; }
trap - EXIT
for package in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
    fail "still installed: $package"
  fi
done
while read -r file; do
  if [ -e "$file" ] || [ -L "$file" ]; then fail "left behind: $file"; fi
done < "$work/files"
if ldconfig -p | grep -q 'libVeskSecure2.so.2 '; then fail "the linker cache still lists the library"; fi
echo "installed with apt and purged without a trace: ${packages[*]}"
