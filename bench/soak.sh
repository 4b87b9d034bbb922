#!/usr/bin/env bash
# A soak of zel-ax serve: the demo desktop rewritten twice a second (two
# versions in turn), and a flood of control lines (good, bad and oversized)
# for the whole run, LinkedIn armed. Every 10 s it samples resident memory,
# CPU time and open descriptors; at the end it reports them and fails when
# memory or descriptors grew after the first minute's warm-up.
#   bench/soak.sh [minutes]        (default 10; build first: scripts/build release)
set -euo pipefail
cd "$(dirname "$0")/.."
minutes="${1:-10}"
work="$(mktemp -d)"
agent=""
feeder=""
cleanup() {
  [ -n "$feeder" ] && kill "$feeder" 2>/dev/null || true
  [ -n "$agent" ] && kill "$agent" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp examples/desktop.json "$work/desktop.json"
mkfifo "$work/in"
ZEL_AX_DESKTOP="$work/desktop.json" build/release/src/agent/zel-ax serve --every 0.2 \
  --chat-browsers com.google.Chrome,com.apple.Safari,org.mozilla.firefox --profiles linkedin,x \
  < "$work/in" > /dev/null &
agent=$!
exec 3>"$work/in"

# The control-line flood: a few hundred lines a second, ending with the run.
big=$(head -c 2000000 /dev/zero | tr '\0' '[')
(
  end=$(( $(date +%s) + minutes * 60 ))
  i=0
  while [ "$(date +%s)" -lt "$end" ]; do
    echo '{"arm":{"linkedin":{}},"own":{"linkedin":"sample-slug"}}'
    echo '{"arm":{"x":{"handle":"sample_handle"}},"until":"2030-01-01T00:00:00Z"}'
    echo 'not json'
    if [ $(( i % 50 )) -eq 0 ]; then echo "$big"; fi
    i=$(( i + 1 ))
    sleep 0.01
  done
) >&3 &
feeder=$!

ticks=$(getconf CLK_TCK)
sample() {  # seconds rss_kB cpu_s fds
  local rss cpu fds u s
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$agent/status")
  read -r u s < <(awk '{print $14, $15}' "/proc/$agent/stat")
  cpu=$(awk -v u="$u" -v s="$s" -v t="$ticks" 'BEGIN {printf "%.2f", (u + s) / t}')
  fds=$(ls "/proc/$agent/fd" | wc -l)
  echo "$1 $rss $cpu $fds"
}

start=$(date +%s)
flip=0
next_sample=0
samples=()
while [ $(( $(date +%s) - start )) -lt $(( minutes * 60 )) ]; do
  if [ $flip -eq 0 ]; then cp examples/desktop-later.json "$work/next"; flip=1
  else cp examples/desktop.json "$work/next"; flip=0; fi
  mv "$work/next" "$work/desktop.json"
  elapsed=$(( $(date +%s) - start ))
  if [ "$elapsed" -ge "$next_sample" ]; then
    samples+=("$(sample "$elapsed")")
    next_sample=$(( next_sample + 10 ))
  fi
  sleep 0.5
done
samples+=("$(sample "$(( $(date +%s) - start ))")")
kill "$feeder" 2>/dev/null || true
feeder=""
exec 3>&-
wait "$agent" && status=0 || status=$?
agent=""

echo "seconds rss_kB cpu_s fds"
printf '%s\n' "${samples[@]}"
# The first sample after a minute is the baseline.
baseline=""
for s in "${samples[@]}"; do
  set -- $s
  if [ "$1" -ge 60 ] && [ -z "$baseline" ]; then baseline="$s"; fi
done
[ -n "$baseline" ] || baseline="${samples[0]}"
set -- $baseline; base_rss=$2; base_fds=$4
set -- ${samples[-1]}; end_rss=$2; end_cpu=$3; end_fds=$4; end_s=$1
echo "agent exit status $status; cpu ${end_cpu}s over ${end_s}s; rss ${base_rss}kB after warm-up, ${end_rss}kB at the end; fds ${base_fds} -> ${end_fds}"
if [ "$status" -ne 0 ] || [ "$end_rss" -gt $(( base_rss + base_rss / 5 + 2048 )) ] || [ "$end_fds" -gt "$base_fds" ]; then
  echo "soak: FAILED (growth or a bad exit)"
  exit 1
fi
echo "soak: no growth"
