#!/usr/bin/env bash
# Runs the primary and the fallback server of the web service on one database (an SQLite file, or
# a PostgreSQL URL), as the program's start step and order submission expect them. Ctrl-C (or
# SIGTERM) stops both.
#
#   service/tools/run-pair.sh [--primary 127.0.0.1:8081] [--fallback 127.0.0.1:8082]
#                             [--site DIR] [--db FILE|URL] [--binary PATH]
#                             [--tls-cert FILE --tls-key FILE]   (both servers serve HTTPS)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"

primary=127.0.0.1:8081 fallback=127.0.0.1:8082
site="$root/service/site" db="$root/build/velmora-orders.sqlite" binary=""
tls=()
while [ $# -gt 0 ]; do
  case "$1" in
    --primary) primary="$2"; shift 2 ;;
    --fallback) fallback="$2"; shift 2 ;;
    --site) site="$2"; shift 2 ;;
    --db) db="$2"; shift 2 ;;
    --binary) binary="$2"; shift 2 ;;
    --tls-cert | --tls-key) tls+=("$1" "$2"); shift 2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
if [ -z "$binary" ]; then
  for candidate in "$root"/build/{release,debug,ci}/service/velmora-service; do
    if [ -x "$candidate" ]; then binary="$candidate"; break; fi
  done
fi
[ -n "$binary" ] && [ -x "$binary" ] || { echo "no velmora-service binary; build it or pass --binary" >&2; exit 1; }
case "$db" in
  postgresql://* | postgres://*) ;;
  *) mkdir -p "$(dirname "$db")" ;;
esac

pids=()
stop() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop EXIT INT TERM

"$binary" --listen "$primary" --site "$site" --db "$db" ${tls[@]+"${tls[@]}"} 2> >(sed -u 's/^/[primary]  /' >&2) &
pids+=($!)
"$binary" --listen "$fallback" --site "$site" --db "$db" ${tls[@]+"${tls[@]}"} 2> >(sed -u 's/^/[fallback] /' >&2) &
pids+=($!)
scheme=http
[ "${#tls[@]}" -gt 0 ] && scheme=https
echo "primary $scheme://$primary, fallback $scheme://$fallback, orders in $db (Ctrl-C stops both)"
wait -n "${pids[@]}" || true
