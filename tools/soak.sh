#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The store's soak: eight copies share one results table for MINUTES
# (default 10): three post rows, two change and delete them, three walk every
# order. Every few seconds one copy, chosen at random, is killed and a new
# one takes its place. At the end the table must verify, and every row whose
# post was acknowledged must be there unless a delete was acknowledged; a
# killed churner may have deleted one row it never got to report.
#
#   bash tools/soak.sh [MINUTES] [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
build=${2:-build}
worker=$build/tests/store/storeworker
tool=$build/tools/tabletool
folder=$(mktemp -d)
trap 'kill -9 $(jobs -p) 2>/dev/null || true; rm -rf "$folder"' EXIT
table=$folder/results.dat
"$tool" create data/tables/results.json "$table"

kinds=(append append append churn churn walk walk walk)
declare -a pids
generation=0
kills=0
churnerKills=0
milliseconds=$((minutes * 60 * 1000))

start() {
    local slot=$1
    generation=$((generation + 1))
    local out=$folder/worker-$slot-$generation.out
    local command
    case ${kinds[$slot]} in
    append) command="append soak$slot-$generation 100000000 $milliseconds" ;;
    churn) command="churn $generation $milliseconds" ;;
    walk) command="walk $milliseconds" ;;
    esac
    printf 'open %s shared\n%s\nquit\n' "$table" "$command" | "$worker" > "$out" 2>&1 &
    pids[$slot]=$!
}

for slot in "${!kinds[@]}"; do start "$slot"; done
end=$((SECONDS + minutes * 60))
while ((SECONDS < end)); do
    sleep $((1 + RANDOM % 4))
    slot=$((RANDOM % ${#kinds[@]}))
    {
        kill -9 "${pids[$slot]}" || true
        wait "${pids[$slot]}" || true
    } 2>/dev/null
    kills=$((kills + 1))
    if [ "${kinds[$slot]}" = churn ]; then churnerKills=$((churnerKills + 1)); fi
    start "$slot"
done
{
    for slot in "${!kinds[@]}"; do kill -9 "${pids[$slot]}" || true; done
    wait || true
} 2>/dev/null

cat "$folder"/worker-*.out > "$folder/all.out"
posted=$(grep -c '^row ' "$folder/all.out" || true)
deleted=$(grep -c '^deleted ' "$folder/all.out" || true)
changedLine=$(grep -o 'ok changed [0-9]* deleted [0-9]*' "$folder/all.out" || true)
errors=$(grep '^error' "$folder/all.out" | sort | uniq -c || true)
grep '^row ' "$folder/all.out" | cut -d' ' -f2 | sort -u > "$folder/posted"
grep '^deleted ' "$folder/all.out" | cut -d' ' -f2 | sort -u > "$folder/deleted"
comm -23 "$folder/posted" "$folder/deleted" > "$folder/expected"

verdict=$("$tool" verify "$table" || true)
"$tool" dump "$table" | sed -E 's/.*"NAME":"([^"]*)".*/\1/' | sort -u > "$folder/present"
missing=$(comm -23 "$folder/expected" "$folder/present" | wc -l)
echo "soak: $minutes min, ${#kinds[@]} copies, $kills kills ($churnerKills of churners)"
echo "soak: $posted posts and $deleted deletes acknowledged; $(wc -l < "$folder/expected") rows expected, $(wc -l < "$folder/present") present, $missing missing"
echo "soak: verify says: $verdict"
if [ -n "$errors" ]; then echo "soak: errors reported by the copies:"; echo "$errors"; fi
if [ "$verdict" != OK ] || ((missing > churnerKills)); then
    echo "soak: FAILED"
    exit 1
fi
echo "soak: passed"
