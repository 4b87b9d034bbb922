#!/usr/bin/env bash
# Runs zel-ax serve on the demo desktop with every target present and nothing
# changing, and reports its CPU time, peak resident memory and lines printed.
#   bench/serve_idle.sh [seconds] [idle-seconds-of-the-user]
# Build first (scripts/build release).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/agent_usage.sh
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
agent_usage "$agent" "$seconds"
exec 3>&-
wait "$agent"
echo "serve for ${seconds}s, user idle ${idle}s: cpu ${cpu}s (${share}% of one core), peak resident ${peak}, lines $(wc -l < "$work/out")"
