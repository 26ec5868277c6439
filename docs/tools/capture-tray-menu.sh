#!/usr/bin/env bash
# Screenshot of the open tray menu under a running test session (Xvfb with trayer):
#   docs/tools/capture-tray-menu.sh <build>/docs/tools/tray_menu_demo docs/tray-menu.png
set -euo pipefail
: "${DISPLAY:?start a test session first}"
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/.config XDG_DATA_HOME=$work/.local/share QT_QPA_PLATFORM=xcb
"${1:?tray_menu_demo binary}" --sample-totals >"$work/out" &
pid=$!
for _ in $(seq 100); do grep -q '^TRAY' "$work/out" && break; sleep 0.1; done
read -r _ x y w h < <(grep '^TRAY' "$work/out") || { echo "the icon never reached a tray" >&2; exit 1; }
xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
sleep 1 # the menu has no signal to wait on from outside
# The tray sits at the top right; the menu opens below it.
import -window root -crop 440x250+840+0 +repage "${2:?output png}"
