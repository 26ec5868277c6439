#!/usr/bin/env bash
# Starts the desktop a test run needs and prints the environment to use it:
#   eval "$(tests/tools/test-session.sh start <dir> [display])"   ...   tests/tools/test-session.sh stop <dir>
# - an X server (Xvfb) with a tray host (trayer), no window manager;
# - a private PulseAudio whose default source "mic" is a pipe fed in real time by
#   mic_feeder.py: silence, or the raw 16 kHz mono s16le files dropped into
#   $PARLIX_MIC_QUEUE (played in name order, each file deleted once played);
# - one reader kept on the source so that it never stalls and never keeps stale audio.
set -euo pipefail

cmd=${1:?start|stop}
dir=$(realpath -m "${2:?session directory}")
display=${3:-:87}
here=$(cd "$(dirname "$0")" && pwd)

stop_session() {
  if [[ -f "$dir/pids" ]]; then
    while read -r pid; do kill "$pid" 2>/dev/null || true; done < "$dir/pids"
    rm -f "$dir/pids"
  fi
}

if [[ $cmd == stop ]]; then
  stop_session
  exit 0
fi

stop_session
mkdir -p "$dir/runtime" "$dir/pulse" "$dir/queue"
chmod 700 "$dir/runtime"
rm -f "$dir/pulse/mic.fifo" "$dir/pulse/native"
: > "$dir/pids"
log() { echo "$*" >&2; }

export DISPLAY=$display XDG_RUNTIME_DIR=$dir/runtime
display_num=${display#:}
rm -f "/tmp/.X${display_num}-lock" "/tmp/.X11-unix/X${display_num}"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$dir/xvfb.log" 2>&1 &
echo $! >> "$dir/pids"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
xdpyinfo >/dev/null 2>&1 || { log "Xvfb did not start"; exit 1; }
trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
  --transparent false >"$dir/trayer.log" 2>&1 &
echo $! >> "$dir/pids"

export PULSE_RUNTIME_PATH=$dir/pulse PULSE_STATE_PATH=$dir/pulse PULSE_SERVER=unix:$dir/pulse/native
pulseaudio --daemonize=no -n --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse/native" \
  --load="module-null-sink sink_name=nullsink rate=16000 channels=1" \
  --load="module-pipe-source source_name=mic file=$dir/pulse/mic.fifo format=s16le rate=16000 channels=1" \
  >"$dir/pulse.log" 2>&1 &
echo $! >> "$dir/pids"
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
pactl info >/dev/null 2>&1 || { log "PulseAudio did not start"; cat "$dir/pulse.log" >&2; exit 1; }
pactl set-default-source mic
python3 "$here/mic_feeder.py" "$dir/pulse/mic.fifo" "$dir/queue" >"$dir/feeder.log" 2>&1 &
echo $! >> "$dir/pids"
parec --device=mic --raw >/dev/null 2>&1 &
echo $! >> "$dir/pids"

# An X11 session, whatever desktop this runs in: Parlix picks its backends by it.
cat <<ENV
export XDG_SESSION_TYPE=x11
unset WAYLAND_DISPLAY
export DISPLAY=$display
export XDG_RUNTIME_DIR=$dir/runtime
export PULSE_RUNTIME_PATH=$dir/pulse
export PULSE_STATE_PATH=$dir/pulse
export PULSE_SERVER=unix:$dir/pulse/native
export PARLIX_MIC_QUEUE=$dir/queue
ENV
