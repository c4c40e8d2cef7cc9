#!/usr/bin/env bash
# The library's ABI against the baseline in the tree (tools/abi-baseline.sh writes it): an
# incompatible change fails unless the SOVERSION changed with it; additions are only reported.
#   check_abi.sh BASELINE LIBRARY SOURCE_DIR
set -uo pipefail
baseline=$1
library=$2
source=$3
soname=$(objdump -p "$library" | sed -n 's/^ *SONAME *//p')
abi=$(mktemp)
trap 'rm -f "$abi"' EXIT
xz -dc "$baseline" > "$abi" || exit 1
baseline_soname=$(sed -n "s/.*soname='\([^']*\)'.*/\1/p" "$abi" | head -n 1)
if [ "$soname" != "$baseline_soname" ]; then
  echo "SONAME $soname, baseline $baseline_soname: a new ABI; run tools/abi-baseline.sh"
  exit 0
fi
abidiff --header-file2 "$source/security/vesksec2.h" \
  --header-file2 "$source/security/vesksecure2_export.h" --drop-private-types --no-show-locs \
  "$abi" "$library"
status=$?
# abidiff's status is a bit set: 1 error, 2 usage error, 4 change, 8 incompatible change.
if [ $((status & 3)) -ne 0 ]; then
  echo "abidiff could not compare (status $status)"
  exit 1
fi
if [ $((status & 8)) -ne 0 ]; then
  echo "The ABI of $soname broke without a new SOVERSION. Keep it, or raise the SOVERSION"
  echo "(the project's major version) and run tools/abi-baseline.sh."
  exit 1
fi
[ $((status & 4)) -eq 0 ] || echo "The ABI grew compatibly; tools/abi-baseline.sh records it."
exit 0
