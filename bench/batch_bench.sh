#!/usr/bin/env bash
# Times `tavelo-cli batch` over a generated inventory of 10,000 stands with a
# 10-step regime (projections and both kinds of thinning), with 1 and 2 jobs,
# and reports stands per second and peak memory.
# Usage: bench/batch_bench.sh [path/to/tavelo-cli] [stands]
set -euo pipefail
cli=${1:-build-rel/bin/tavelo-cli}
stands=${2:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Young planted stands of similar vigour, so that the regime's thinnings stay
# inside their limits for most of them.
awk -v n="$stands" 'BEGIN {
  srand(20261208);
  print "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95";
  for (i = 0; i < n; i++)
    printf "s%05d,12,%.1f,,%d,,,,,\n", i, 8.5 + rand(), 1300 + int(rand() * 400);
}' > "$work/stands.csv"

cat > "$work/regime.json" <<'JSON'
{"options": {"volumes": "com casca", "year": "2026"},
 "steps": ["project", "project", {"thin": "mechanical", "percent": "30"}, "project", "project",
           {"thin": "below", "residualBasalArea": "21"}, "project", "project", "project", "project"]}
JSON

for jobs in 1 2; do
  out="$work/out$jobs"
  /usr/bin/time -f "%M" -o "$work/mem$jobs" "$cli" batch "$work/stands.csv" --regime "$work/regime.json" \
    --out "$out" --jobs "$jobs" 2> "$work/err$jobs" || { cat "$work/err$jobs"; exit 1; }
  summary=$(tail -n 1 "$work/err$jobs")
  seconds=$(sed -n 's/.*; \([0-9.]*\) s$/\1/p' <<< "$summary")
  rate=$(awk -v n="$stands" -v s="$seconds" 'BEGIN { printf "%.0f", n / s }')
  echo "jobs=$jobs: $summary"
  echo "jobs=$jobs: $rate stands/s, peak memory $(cat "$work/mem$jobs") KiB"
done
cmp -s "$work/out1/record.csv" "$work/out2/record.csv" && echo "record.csv identical with 1 and 2 jobs"
