#!/usr/bin/env bash
# Checks, on a real headless wlroots compositor (sway) with XWayland, whether an X client
# that never had the focus (Parlix on XWayland) can hand its clipboard to native Wayland
# clients, and whether a data-control selection (wl-copy) reaches X clients; first with no
# window, then with an XWayland window (xterm) holding the focus.
#   docs/tools/wayland-clipboard-probe.sh <dir>
# sway refuses to run as root: as root the probe runs as "nobody".
set -euo pipefail
dir=$(realpath -m "${1:?work directory}")
mkdir -p "$dir/rt"
chmod 700 "$dir/rt"
printf 'xwayland force\nexec env > %s/sway.env\n' "$dir" > "$dir/sway.cfg"
as_user=()
if [[ $(id -u) -eq 0 ]]; then
  chown -R nobody "$dir"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
run() { "${as_user[@]}" env -i PATH="$PATH" HOME="$dir" XDG_RUNTIME_DIR="$dir/rt" "$@"; }

"${as_user[@]}" env -i PATH="$PATH" HOME="$dir" XDG_RUNTIME_DIR="$dir/rt" WLR_BACKENDS=headless \
  WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$dir/sway.cfg" >"$dir/sway.log" 2>&1 &
sway_pid=$!
trap 'kill $sway_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do grep -q '^DISPLAY=' "$dir/sway.env" 2>/dev/null && break; sleep 0.1; done
wd=$(sed -n 's/^WAYLAND_DISPLAY=//p' "$dir/sway.env")
xd=$(sed -n 's/^DISPLAY=//p' "$dir/sway.env")
[[ -n $wd && -n $xd ]] || { echo "sway did not start"; cat "$dir/sway.log"; exit 1; }
client() { run WAYLAND_DISPLAY="$wd" DISPLAY="$xd" "$@"; }

probe() {
  printf 'from-x11' | client timeout 5 xclip -selection clipboard -i -loops 1 &
  local owner=$!
  sleep 0.5
  echo "$1: unfocused X client -> wl-paste: $(client timeout 3 wl-paste -n 2>&1 || true)"
  # wl-copy's server stays behind until the selection changes: not on our output.
  printf 'from-wayland' | client timeout 5 wl-copy >/dev/null 2>&1
  echo "$1: wl-copy (data-control) -> wl-paste: $(client timeout 3 wl-paste -n 2>&1 || true)"
  sleep 0.3
  echo "$1: wl-copy (data-control) -> xclip -o: $(client timeout 3 xclip -selection clipboard -o 2>&1 || true)"
  kill $owner 2>/dev/null || true
}
probe "no window"
client xterm -e sleep 60 >/dev/null 2>&1 &
sleep 2
probe "xterm focused"
