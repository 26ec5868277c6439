#!/usr/bin/env bash
# Screenshots of every window and dialog under a running test session (Xvfb):
#   docs/tools/capture-windows.sh <build>/docs/tools/window_gallery <out dir> [--dark] [names...]
# QT_SCALE_FACTOR=2 in the environment takes them at 200 %.
set -euo pipefail
: "${DISPLAY:?start a test session first}"
gallery=${1:?window_gallery binary}
out=${2:?output directory}
shift 2
dark=()
if [[ ${1:-} == --dark ]]; then dark=(--dark); shift; fi
names=("$@")
[[ ${#names[@]} -gt 0 ]] || names=(settings-general settings-text add-hotword reset-hotwords setup stats about toast waveform)
mkdir -p "$out"
for name in "${names[@]}"; do
  work=$(mktemp -d)
  export HOME=$work XDG_CONFIG_HOME=$work/.config XDG_DATA_HOME=$work/.local/share QT_QPA_PLATFORM=xcb
  "$gallery" "$name" "${dark[@]}" >"$work/out" 2>/dev/null &
  pid=$!
  for _ in $(seq 100); do grep -q '^WINDOW' "$work/out" && break; sleep 0.1; done
  if read -r _ x y w h < <(grep '^WINDOW' "$work/out"); then
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.png"
  else
    echo "$name never came up" >&2
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -rf "$work"
done
