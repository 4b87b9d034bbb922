#!/usr/bin/env bash
# Runs zel-ax serve --profiles linkedin,x with LinkedIn armed and the user's
# own LinkedIn page showing in the front Chrome, nothing changing, and reports
# CPU time, peak resident memory, lines printed, and how many elements one
# profile read walks. Every element of the page is watched on the simulated
# desktop, so the journal counts the reads.
#   bench/serve_profiles_idle.sh [seconds]
# Build first (scripts/build release). Needs python3 to lay out the desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/agent_usage.sh
seconds="${1:-60}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 - "$work/desktop.json" <<'PY'
import json, sys
desktop = json.load(open("examples/desktop-later.json"))  # Chrome in front
page = json.load(open("tests/fixtures/linkedin_own_profile.json"))
def watch(node, label):
    node["watch"] = label
    for child in node.get("children", []):
        watch(child, "content")
area = page["children"][0]["children"][0]
for child in area["children"]:
    watch(child, "content")
area["children"][0]["watch"] = "first"  # read once by every walk of the page
for app in desktop["apps"]:
    if app["bundleID"] == "com.google.Chrome":
        app["windows"] = [page]
json.dump(desktop, open(sys.argv[1], "w"))
PY
mkfifo "$work/in"
ZEL_AX_DESKTOP="$work/desktop.json" ZEL_AX_JOURNAL="$work/journal" build/release/src/agent/zel-ax serve \
  --profiles linkedin,x < "$work/in" > "$work/out" &
agent=$!
exec 3>"$work/in"
echo '{"arm":{"linkedin":{}},"own":{"linkedin":"sample-slug"}}' >&3
sleep "$((seconds / 2))"
half=$(grep -c '"label":"first"' "$work/journal" || true)
sleep "$((seconds - seconds / 2))"
agent_usage "$agent" "$seconds"
exec 3>&-
wait "$agent"
walks=$(grep -c '"label":"first"' "$work/journal" || true)
content=$(grep -c '"event":"read"' "$work/journal" || true)
perwalk=$(awk -v c="$content" -v w="$walks" 'BEGIN {if (w) printf "%.0f", c / w; else print "-"}')
echo "serve --profiles linkedin,x for ${seconds}s, own LinkedIn page armed in front: cpu ${cpu}s (${share}% of one core)," \
  "peak resident ${peak}, lines $(wc -l < "$work/out") ($(grep -c '"kind":"profile"' "$work/out" || true) profile)," \
  "page walks ${walks} (${half} in the first half), element reads per walk ${perwalk}"
