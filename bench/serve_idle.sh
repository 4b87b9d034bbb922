#!/usr/bin/env bash
# Runs zel-ax serve on the demo desktop with every target present and nothing
# changing, and reports its CPU time, peak resident memory and lines printed.
#   bench/serve_idle.sh [seconds] [idle-seconds-of-the-user]
# Build first (scripts/build release).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
idle="${2:-0}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sed "s/\"idleSeconds\": [0-9.]*/\"idleSeconds\": $idle/" examples/desktop.json > "$work/desktop.json"
mkfifo "$work/in"
ZEL_AX_DESKTOP="$work/desktop.json" build/release/src/agent/zel-ax serve \
  --chat-browsers com.google.Chrome,com.apple.Safari,org.mozilla.firefox < "$work/in" > "$work/out" &
agent=$!
exec 3>"$work/in"
sleep "$seconds"
ticks=$(getconf CLK_TCK)
read -r utime stime < <(awk '{print $14, $15}' "/proc/$agent/stat")
peak=$(awk '/VmHWM/ {print $2, $3}' "/proc/$agent/status")
exec 3>&-
wait "$agent"
cpu=$(awk -v u="$utime" -v s="$stime" -v t="$ticks" 'BEGIN {printf "%.2f", (u + s) / t}')
share=$(awk -v c="$cpu" -v d="$seconds" 'BEGIN {printf "%.3f", 100 * c / d}')
echo "serve for ${seconds}s, user idle ${idle}s: cpu ${cpu}s (${share}% of one core), peak resident ${peak}, lines $(wc -l < "$work/out")"
