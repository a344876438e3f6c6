#!/usr/bin/env bash
# Order numbers per second against static templates per second, in one run of the release build
# of velmora-service: wrk (-t2 -c16 -d10s by default) first on the order-number script, then on
# a shop's order template. Every order number is one committed SQLite transaction with a
# synchronous log write, so the first figure is bounded by the disk's sync rate; the second
# shows what the same service does without the database.
#
#   bench/service/run.sh [--duration 10s] [--connections 16] [--threads 2] [--binary PATH]
set -euo pipefail
cd "$(dirname "$0")/../.."

duration=10s connections=16 threads=2 binary=""
while [ $# -gt 0 ]; do
  case "$1" in
    --duration) duration="$2"; shift 2 ;;
    --connections) connections="$2"; shift 2 ;;
    --threads) threads="$2"; shift 2 ;;
    --binary) binary="$2"; shift 2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
command -v wrk >/dev/null || { echo "wrk is missing: run scripts/install-deps.sh" >&2; exit 1; }

if [ -z "$binary" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target velmora-service >/dev/null
  binary=build/release/service/velmora-service
fi

# The database lies on the disk of the build tree, as a real one would; /tmp may be in memory,
# where a sync costs nothing.
mkdir -p build
work=$(mktemp -d -p build bench-service-XXXXXX)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

cp -r service/site "$work/site"
db="$work/orders.sqlite"

"$binary" --listen 127.0.0.1:0 --site "$work/site" --db "$db" --threads 64 \
  >"$work/out" 2>"$work/log" &
pid=$!
for _ in $(seq 100); do grep -q '^listening on' "$work/out" 2>/dev/null && break; sleep 0.05; done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/out")
[ -n "$port" ] || { echo "the service did not start:" >&2; cat "$work/log" >&2; exit 1; }
base="http://127.0.0.1:$port"

number() { curl -s "$base/cgi-bin/scr101n.pl" | sed -n '/<\/center>/{n;p}' | tr -d '\r'; }

run_wrk() { # path -> "requests/s total non2xx"
  local out
  out=$(wrk -t"$threads" -c"$connections" -d"$duration" --latency "$base$1")
  echo "$out" >&2
  local rps total bad
  rps=$(echo "$out" | awk '/^Requests\/sec:/ {print $2}')
  total=$(echo "$out" | awk '/requests in/ {print $1}')
  bad=$(echo "$out" | awk '/Non-2xx or 3xx responses:/ {print $5}')
  echo "$rps ${total:-0} ${bad:-0}"
}

first=$(number)
echo "== order numbers: $base/cgi-bin/scr101n.pl (wrk -t$threads -c$connections -d$duration)" >&2
read -r numbers_rps numbers_total numbers_bad < <(run_wrk /cgi-bin/scr101n.pl)
last=$(number)
echo "== static template: $base/cgi-bin/sb101.htm" >&2
read -r static_rps static_total static_bad < <(run_wrk /cgi-bin/sb101.htm)

# Every answered request took one number of its own: the counter moved on by at least the
# number of answers (more only by requests that wrk cut off at the end of its run).
handed_out=$((last - first - 1))
answered=$((numbers_total - numbers_bad))
echo
echo "order numbers:   $numbers_rps /s  ($numbers_total requests, $numbers_bad errors; counter moved $handed_out)"
echo "static template: $static_rps /s  ($static_total requests, $static_bad errors)"
awk -v n="$numbers_rps" -v s="$static_rps" 'BEGIN { printf "ratio static/numbers: %.1f\n", s / n }'
if [ "$handed_out" -lt "$answered" ]; then
  echo "ERROR: $answered numbers answered but the counter moved only $handed_out" >&2
  exit 1
fi
