#!/usr/bin/env bash
# Checks, on a real headless wlroots compositor (sway) with XWayland, whether an X client
# that never had the focus (Parlix on XWayland) can hand its clipboard to native Wayland
# clients, and whether a data-control selection (wl-copy) reaches X clients.
#   tests/tools/wayland-clipboard-probe.sh <dir>
# sway refuses to run as root: as root the probe runs as "nobody".
set -euo pipefail
dir=$(realpath -m "${1:?work directory}")
mkdir -p "$dir/rt"
chmod 700 "$dir/rt"
printf 'xwayland force\nexec env > %s/sway.env\n' "$dir" > "$dir/sway.cfg"
as_user=()
if [[ $(id -u) -eq 0 ]]; then
  chown -R nobody "$dir"
  as_user=(runuser -u nobody --)
fi
run() { "${as_user[@]}" env -i PATH="$PATH" HOME="$dir" XDG_RUNTIME_DIR="$dir/rt" "$@"; }

run WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway -c "$dir/sway.cfg" >"$dir/sway.log" 2>&1 &
sway_pid=$!
# runuser does not pass signals on: sway is asked to leave through its own socket.
stop_sway() {
  local sock
  sock=$(sed -n 's/^SWAYSOCK=//p' "$dir/sway.env" 2>/dev/null || true)
  [[ -n $sock ]] && run SWAYSOCK="$sock" swaymsg exit >/dev/null 2>&1 || true
  kill $sway_pid 2>/dev/null || true
}
trap stop_sway EXIT
for _ in $(seq 100); do grep -q '^DISPLAY=' "$dir/sway.env" 2>/dev/null && break; sleep 0.1; done
wd=$(sed -n 's/^WAYLAND_DISPLAY=//p' "$dir/sway.env")
xd=$(sed -n 's/^DISPLAY=//p' "$dir/sway.env")
[[ -n $wd && -n $xd ]] || { echo "sway did not start"; cat "$dir/sway.log"; exit 1; }
client() { run WAYLAND_DISPLAY="$wd" DISPLAY="$xd" "$@"; }

printf 'from-x11' | client timeout 5 xclip -selection clipboard -i -loops 1 &
sleep 0.5
x11_to_wayland=$(client timeout 3 wl-paste -n 2>&1 || true)
printf 'from-wayland' | client timeout 5 wl-copy
wayland_to_wayland=$(client timeout 3 wl-paste -n 2>&1 || true)
wayland_to_x11=$(client timeout 3 xclip -selection clipboard -o 2>&1 || true)
kill %2 2>/dev/null || true
echo "unfocused X client -> wl-paste: ${x11_to_wayland}"
echo "wl-copy (data-control) -> wl-paste: ${wayland_to_wayland}"
echo "wl-copy (data-control) -> X client (xclip -o): ${wayland_to_x11}"
