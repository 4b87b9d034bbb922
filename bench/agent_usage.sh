# Sourced by the serve benchmarks: what a running agent has used so far.
#   agent_usage PID SECONDS   sets cpu (seconds), share (% of one core over
#                             SECONDS) and peak (peak resident memory)
agent_usage() {
  local ticks utime stime
  ticks=$(getconf CLK_TCK)
  read -r utime stime < <(awk '{print $14, $15}' "/proc/$1/stat")
  peak=$(awk '/VmHWM/ {print $2, $3}' "/proc/$1/status")
  cpu=$(awk -v u="$utime" -v s="$stime" -v t="$ticks" 'BEGIN {printf "%.2f", (u + s) / t}')
  share=$(awk -v c="$cpu" -v d="$2" 'BEGIN {printf "%.3f", 100 * c / d}')
}
