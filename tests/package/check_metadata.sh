#!/usr/bin/env bash
# The files that describe the programs to the desktop and the shell: the validators accept them,
# and the manual page and the bash completion know every command and option vesksec --help names.
#   check_metadata.sh PACKAGING_DIR VESKSEC
set -euo pipefail
dir=$1
vesksec=$2
status=0
fail() { echo "$*"; status=1; }

for desktop in "$dir"/*.desktop; do
  desktop-file-validate "$desktop" || fail "desktop-file-validate refuses $desktop"
done
for metainfo in "$dir"/*.metainfo.xml; do
  appstreamcli validate --no-net "$metainfo" > /dev/null || {
    appstreamcli validate --no-net "$metainfo"
    fail "appstreamcli refuses $metainfo"
  }
done
for page in "$dir"/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 > /dev/null)
  [ -z "$warnings" ] || fail "$page: $warnings"
done
completion="$dir/vesksec.bash-completion"
bash -n "$completion" || fail "$completion is no valid bash"

help=$("$vesksec" --help)
commands=$(sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' <<< "$help")
options=$(sed -n 's/^  \(-[a-zA-Z], \)\{0,1\}--\([a-z-]*\).*/\2/p' <<< "$help")
[ -n "$commands" ] && [ -n "$options" ] || fail "vesksec --help lists no commands or options"
for command in $commands; do
  sed -n '/^_vesksec_commands=/,/"$/p' "$completion" | grep -qw -- "$command" ||
    fail "the completion lacks the command $command"
  grep -q "^\.B ${command//-/\\\\-}\b" "$dir/vesksec.1" || fail "vesksec.1 lacks the command $command"
done
for option in $options; do
  grep -q -- "--$option\b" "$completion" || fail "the completion lacks the option --$option"
  grep -qF -- "\\-\\-${option//-/\\-}" "$dir/vesksec.1" || fail "vesksec.1 lacks the option --$option"
done
exit "$status"
