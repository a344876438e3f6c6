#!/usr/bin/env bash
# Order numbers per second against static templates per second, in one run of the release build
# of velmora-service, at 1, 4, 16 and 64 connections (wrk, 10 s each by default): at each count
# first a shop's order template (no database), then the order-number script on SQLite and on
# PostgreSQL. Every order number is part of a committed transaction whose log is synced to disk
# (SQLite synchronous=FULL, PostgreSQL synchronous_commit=on with fsync on), so the number rates
# are bounded by the disk's sync rate times the numbers that share a sync; the template rate
# shows what the same service does without the database. The ratio is numbers / templates at the
# same connection count.
#
#   bench/service/run.sh [--duration 10s] [--connections "1 4 16 64"] [--databases "sqlite postgres"]
#                        [--binary PATH]
#
# PostgreSQL: a throw-away cluster made with Debian's initdb (the postgresql package) in the work
# directory, run as the user postgres when this runs as root, on a unix socket only.
set -euo pipefail
cd "$(dirname "$0")/../.."

duration=10s connection_counts="1 4 16 64" databases="sqlite postgres" binary=""
while [ $# -gt 0 ]; do
  case "$1" in
    --duration) duration="$2"; shift 2 ;;
    --connections) connection_counts="$2"; shift 2 ;;
    --databases) databases="$2"; shift 2 ;;
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

# The databases lie on the disk of the build tree, as real ones would; /tmp may be in memory,
# where a sync costs nothing.
mkdir -p build
work=$(cd "$(mktemp -d -p build bench-service-XXXXXX)" && pwd)
sockets=""   # PostgreSQL's socket directory: a short path of its own
pg_bin="" pg_user="" pg_url=""
declare -A service_pid=()
# Runs a PostgreSQL program as the server's user, in a directory that user can reach.
as_pg() { (cd "$work/pg" && if [ -n "$pg_user" ]; then runuser -u "$pg_user" -- "$@"; else "$@"; fi); }
cleanup() {
  for pid in "${service_pid[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  if [ -n "$pg_bin" ] && [ -f "$work/pg/data/postmaster.pid" ]; then
    as_pg "$pg_bin/pg_ctl" -D "$work/pg/data" -m fast -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
  if [ -n "$sockets" ]; then rm -rf "$sockets"; fi
}
trap cleanup EXIT

start_postgres() { # sets pg_url: a fresh database
  pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)
  [ -x "$pg_bin/initdb" ] || { echo "PostgreSQL's server is missing: run scripts/install-deps.sh" >&2; exit 1; }
  sockets=$(mktemp -d /tmp/velmora-bench-pg-XXXXXX)
  mkdir -p "$work/pg"
  if [ "$(id -u)" -eq 0 ]; then
    pg_user=postgres
    id "$pg_user" >/dev/null 2>&1 || pg_user=nobody
    chmod 755 "$work" # made private by mktemp; the server's user has to reach its data in it
    chown "$pg_user" "$work/pg" "$sockets"
  fi
  as_pg "$pg_bin/initdb" -D "$work/pg/data" -U velmora -A trust -E UTF8 --no-locale --no-instructions \
    >"$work/pg/initdb.log" 2>&1 || { cat "$work/pg/initdb.log" >&2; exit 1; }
  as_pg "$pg_bin/pg_ctl" -D "$work/pg/data" -l "$work/pg/server.log" -w \
    -o "-k $sockets -c listen_addresses= -c max_connections=20" start >/dev/null \
    || { cat "$work/pg/server.log" >&2; exit 1; }
  "$pg_bin/createdb" -h "$sockets" -U velmora orders
  pg_url="postgresql://velmora@/orders?host=$sockets"
}

declare -A base=()
start_service() { # name --db; sets base[name]: the service's base URL
  local name=$1 db=$2
  cp -r service/site "$work/site-$name"
  "$binary" --listen 127.0.0.1:0 --site "$work/site-$name" --db "$db" --threads 64 \
    >"$work/$name.out" 2>"$work/$name.log" &
  service_pid[$name]=$!
  for _ in $(seq 200); do grep -q '^listening on' "$work/$name.out" 2>/dev/null && break; sleep 0.05; done
  local port
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/$name.out")
  [ -n "$port" ] || { echo "the service on $name did not start:" >&2; cat "$work/$name.log" >&2; exit 1; }
  base[$name]="http://127.0.0.1:$port"
}

for database in $databases; do
  case "$database" in
    sqlite) start_service sqlite "$work/orders.sqlite" ;;
    postgres) start_postgres; start_service postgres "$pg_url" ;;
    *) echo "unknown database: $database" >&2; exit 2 ;;
  esac
done
# The templates come from the first service: no database is involved.
first_database=${databases%% *}
static_base=${base[$first_database]}

number() { curl -s "$1/cgi-bin/scr101n.pl" | sed -n '/<\/center>/{n;p}' | tr -d '\r'; }

run_wrk() { # url connections -> "requests/s total errors"
  local out threads=$(( $2 < 2 ? 1 : 2 ))
  out=$(wrk -t"$threads" -c"$2" -d"$duration" --latency "$1")
  echo "$out" >&2
  local rps total bad socket
  rps=$(echo "$out" | awk '/^Requests\/sec:/ {print $2}')
  total=$(echo "$out" | awk '/requests in/ {print $1}')
  bad=$(echo "$out" | awk '/Non-2xx or 3xx responses:/ {print $5}')
  socket=$(echo "$out" | awk '/Socket errors:/ {gsub(",", ""); print $4 + $6 + $8 + $10}')
  echo "$rps ${total:-0} $(( ${bad:-0} + ${socket:-0} ))"
}

failed=0
rows=()
for c in $connection_counts; do
  echo "== $c connections: static template $static_base/cgi-bin/sb101.htm" >&2
  read -r static_rps _ static_bad < <(run_wrk "$static_base/cgi-bin/sb101.htm" "$c")
  rows+=("| template (no database) | $c | $static_rps | $static_bad | 1.00 |")
  for database in $databases; do
    url=${base[$database]}
    first=$(number "$url")
    echo "== $c connections: order numbers on $database, $url/cgi-bin/scr101n.pl" >&2
    read -r rps total bad < <(run_wrk "$url/cgi-bin/scr101n.pl" "$c")
    last=$(number "$url")
    # Every answered request took a number of its own: the counter moved on by at least the
    # number of answers (more only by requests that wrk cut off at the end of its run).
    moved=$((last - first - 1))
    answered=$((total - bad))
    if [ "$moved" -lt "$answered" ]; then
      echo "ERROR: $database: $answered numbers answered but the counter moved only $moved" >&2
      failed=1
    fi
    ratio=$(awk -v n="$rps" -v s="$static_rps" 'BEGIN { printf "%.2f", n / s }')
    rows+=("| order numbers, $database | $c | $rps | $bad | $ratio |")
  done
done

echo
echo "velmora-service $(basename "$binary"), wrk $duration per row, $(nproc) cores; ratio: requests/s over the template's at the same connections"
echo
echo "| requests | connections | requests/s | errors | ratio to template |"
echo "|---|---:|---:|---:|---:|"
printf '%s\n' "${rows[@]}"
exit "$failed"
