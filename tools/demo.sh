#!/usr/bin/env bash
# Installs what is needed, builds, creates the demonstration security database (once) and
# starts the administration desktop on it. Without a display it runs the desktop under a
# virtual one and saves a picture of the window instead.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh

export VESK_MASTER_PASSWORD="${VESK_MASTER_PASSWORD:-demo}"
alias_name=VESKDEMO
demo_dir="${XDG_DATA_HOME:-$HOME/.local/share}/VeskSecure/demo"
if [ ! -f "$demo_dir/PROGRAM.DB" ]; then
  stage/bin/vesksec demo --dir "$demo_dir" --alias "$alias_name"
fi

program=(stage/bin/secadmin)

echo "Demo database: alias $alias_name in $demo_dir (master password: $VESK_MASTER_PASSWORD)"
echo "Demo logons: admin/admin, clerk/clerk, manager/manager, auditor/auditor;"
echo "             SUPERVISOR with the master password."
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "${program[@]}" "$alias_name"
fi

picture="${TMPDIR:-/tmp}/vesksecure-demo.png"
echo "No display found: running under a virtual display and saving a picture of the window."
xvfb-run -a -s "-screen 0 1280x800x24" "${program[@]}" --screenshot "$picture" "$alias_name"
echo "Picture of the running program: $picture"
