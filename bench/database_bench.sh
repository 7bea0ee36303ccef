#!/usr/bin/env bash
# Times `tavelo-cli batch --db` (no logs) over a generated inventory of 10,000
# stands with a 10-step regime, with 1 and 2 jobs, from a CSV file and from a
# SQLite table; then runs 100,000 stands from both to show that the peak memory
# does not grow with a table inventory. Reports stands per second and peak memory
# (/usr/bin/time -v).
# Usage: bench/database_bench.sh [path/to/tavelo-cli] [stands] [large stands]
set -euo pipefail
cli=${1:-build-rel/bin/tavelo-cli}
stands=${2:-10000}
large=${3:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Young planted stands of similar vigour, so that the regime's thinnings stay
# inside their limits for most of them.
inventory() {
  awk -v n="$1" 'BEGIN {
    srand(20261208);
    print "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95";
    for (i = 0; i < n; i++)
      printf "s%06d,12,%.1f,,%d,,,,,\n", i, 8.5 + rand(), 1300 + int(rand() * 400);
  }'
}
inventory "$stands" > "$work/stands.csv"
inventory "$large" > "$work/large.csv"
if command -v sqlite3 >/dev/null; then
  sqlite3 "$work/stands.sqlite" ".import --csv $work/stands.csv stands"
  sqlite3 "$work/large.sqlite" ".import --csv $work/large.csv stands"
fi

cat > "$work/regime.json" <<'JSON'
{"options": {"volumes": "com casca", "year": "2026"},
 "steps": ["project", "project", {"thin": "mechanical", "percent": "30"}, "project", "project",
           {"thin": "below", "residualBasalArea": "21"}, "project", "project", "project", "project"]}
JSON

# run NAME INVENTORY JOBS: one batch into a fresh database, its figures on one line.
run() {
  local name=$1 inv=$2 jobs=$3 n
  n=$(($(wc -l < "$inv") - 1))
  [ "${inv##*.}" = sqlite ] && n=$(sqlite3 "$inv" "SELECT count(*) FROM stands")
  /usr/bin/time -v -o "$work/time-$name" "$cli" batch "$inv" --regime "$work/regime.json" \
    --db "$work/$name.sqlite" --jobs "$jobs" 2> "$work/err-$name" || { cat "$work/err-$name"; exit 1; }
  local summary seconds rate memory
  summary=$(tail -n 1 "$work/err-$name")
  seconds=$(sed -n 's/.*; \([0-9.]*\) s$/\1/p' <<< "$summary")
  rate=$(awk -v n="$n" -v s="$seconds" 'BEGIN { printf "%.0f", n / s }')
  memory=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time-$name")
  # Processor time per stand does not depend on what else the machine runs.
  cpu=$(awk -v n="$n" -F': ' '/User time|System time/ { s += $2 } END { printf "%.0f", s * 1e6 / n }' \
    "$work/time-$name")
  echo "$name (jobs=$jobs): $summary"
  echo "$name (jobs=$jobs): $rate stands/s, $cpu µs of processor time per stand, peak memory $memory KiB"
}

for jobs in 1 2; do
  run "csv$jobs" "$work/stands.csv" "$jobs"
done
if [ -f "$work/stands.sqlite" ]; then
  run sqlite2 "$work/stands.sqlite" 2
fi
run large2 "$work/large.csv" 2
# A CSV inventory is read whole (it may be a pipe); a table is read row by row.
if [ -f "$work/large.sqlite" ]; then
  run large-sqlite2 "$work/large.sqlite" 2
fi

same() { sqlite3 "$1" "SELECT stand_id, \"row\", v_total FROM tavelo_record ORDER BY stand_id, \"row\"" | md5sum; }
if command -v sqlite3 >/dev/null && [ "$(same "$work/csv1.sqlite")" = "$(same "$work/csv2.sqlite")" ]; then
  echo "tavelo_record identical with 1 and 2 jobs"
fi
