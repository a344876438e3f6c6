#!/usr/bin/env bash
# The demo: the order pad and its web service on this machine.
#
#   bash scripts/demo.sh
#
# 1. Installs what is needed (scripts/install-deps.sh) and builds the program `velmora` and the
#    web service `velmora-service` (release preset, build/release; or $VELMORA_BUILD_DIR).
# 2. Starts the web service twice on free loopback ports, as the primary and the fallback server,
#    on one order-number database (build/demo/orders.sqlite) with the sample site service/site.
#    Their request logs go to build/demo/primary.log and build/demo/fallback.log.
# 3. Prepares the data directory build/demo/data (the program fills a new one with the files of a
#    fresh installation; the print-shop list comes from the web service) and the settings file
#    build/demo/velmora.ini naming the two servers.
# 4. Starts the program with --data-dir and --settings.
#    - With a display: the start window opens; "Click here - Start!" downloads the print-shop
#      directory from the service and opens the order pad. Closing the windows ends the demo.
#    - Without a display ($DISPLAY empty): the program runs under Xvfb, presses Start by itself
#      and saves pictures of the start window and of the order pad with the downloaded print
#      shops as build/demo/screenshots/start1.png and build/demo/screenshots/velmora.png.
# The two servers are stopped when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs="${VELMORA_JOBS:-$(nproc)}"
if [ -n "${VELMORA_BUILD_DIR:-}" ]; then
  build="$VELMORA_BUILD_DIR"
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" --target velmora velmora-service -j "$jobs"
else
  build=build/release
  cmake --preset release >/dev/null
  cmake --build --preset release --target velmora velmora-service -j "$jobs"
fi
program="$build/src/app/velmora"
service="$build/service/velmora-service"

demo=build/demo
data="$demo/data"
shots="$demo/screenshots"
mkdir -p "$demo" "$data" "$shots"

pids=()
stop_services() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop_services EXIT
trap 'exit 130' INT TERM

# Starts one server on a free port; sets $address to its host:port once it listens.
start_service() {
  local name="$1" out="$demo/$1.out"
  : >"$out"
  "$service" --listen 127.0.0.1:0 --site service/site --db "$demo/orders.sqlite" \
    >"$out" 2>"$demo/$name.log" &
  local pid=$!
  pids+=("$pid")
  for _ in $(seq 200); do
    local line
    line="$(head -n 1 "$out")"
    if [[ "$line" == "listening on "* ]]; then
      address="${line#listening on }"
      return 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then break; fi
    sleep 0.05
  done
  echo "demo: the $name server did not start:" >&2
  cat "$demo/$name.log" >&2
  exit 1
}

address=""
start_service primary
primary="$address"
start_service fallback
fallback="$address"
echo "demo: primary server http://$primary, fallback server http://$fallback (one database: $demo/orders.sqlite)"

# The start window shows the page whose address the last start step stored; the ports are new on
# every run, so point it at this run's primary server.
printf '%s\r\n' "$primary/start.html" '***' >"$data/url00.dat"

cat >"$demo/velmora.ini" <<EOF
[paths]
dataDir=data
[servers]
primary=$primary
fallback=$fallback
[network]
timeoutMs=15000
EOF

# QtWebEngine refuses to run as root with its sandbox on.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi

args=(--data-dir "$data" --settings "$demo/velmora.ini")
status=0
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: starting the program; press \"Click here - Start!\" to download the print shops"
  "$program" "${args[@]}" || status=$?
else
  echo "demo: no display; running under Xvfb and pressing Start unattended"
  rm -f "$shots/start1.png" "$shots/velmora.png"
  export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking"
  xvfb-run -a -s "-screen 0 1280x1024x24" "$program" "${args[@]}" --demo-screenshots "$shots" \
    2>"$demo/velmora.log" || status=$?
  # What the program reported (messages it would have shown, the pictures' paths go to stdout).
  grep '^velmora:' "$demo/velmora.log" >&2 || true
  echo "demo: requests the program made:"
  sed 's/^/  primary:  /' "$demo/primary.log" | grep -v -e 'listening' -e 'stopping' || true
  sed 's/^/  fallback: /' "$demo/fallback.log" | grep -v -e 'listening' -e 'stopping' || true
  if [ -f "$shots/velmora.png" ]; then
    echo "demo: screenshots saved: $(pwd)/$shots/start1.png and $(pwd)/$shots/velmora.png"
  fi
fi
if [ "$status" -ne 0 ]; then
  echo "demo: the program ended with status $status (its output: $demo/velmora.log)" >&2
fi
exit "$status"
