#!/usr/bin/env bash
# Idle cost of a running Parlix: CPU time and wake-ups (context switches over all its
# threads) during a quiet interval, and its resident memory. Needs an X server (DISPLAY).
#   bench/idle_parlix.sh <path to parlix> [seconds, default 60]
set -euo pipefail
bin=${1:?path to the parlix executable}
seconds=${2:-60}
home=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -p "$home/.config/Parlix"
printf '[General]\nsetupCompleted=true\nhotwordsInitialized=true\n' > "$home/.config/Parlix/Parlix.conf"
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share "$bin" >/dev/null 2>&1 &
pid=$!
sleep 3
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
switches() { cat /proc/"$pid"/task/*/status | awk '/ctxt_switches/ {n += $2} END {print n}'; }
t0=$(ticks); s0=$(switches)
sleep "$seconds"
t1=$(ticks); s1=$(switches)
echo "idle for ${seconds} s: CPU $(( (t1 - t0) * 1000 / $(getconf CLK_TCK) )) ms, wake-ups $((s1 - s0)), $(grep VmRSS /proc/$pid/status | tr -s ' ')"
