#!/usr/bin/env bash
# Saves a picture of every window of the program as PNG files.
#
#   bash scripts/screenshots.sh [OUTPUT_DIR]        (default: docs/screenshots)
#
# Builds the program if needed (build directory: $VELMORA_BUILD_DIR, default build/screenshots),
# starts it without a display under Xvfb on a sample data directory (a fresh installation, a small
# print-shop directory and the start page of the service's sample site) and lets its hidden option
# --screenshots open each window in turn and save it as OUTPUT_DIR/<window>.png (start1, velmora,
# hipus, hipus1, hipus2, tavla, mismach, ktovot, Help).
set -euo pipefail
cd "$(dirname "$0")/.."

out="${1:-docs/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
build="${VELMORA_BUILD_DIR:-build/screenshots}"

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target velmora -j "${VELMORA_JOBS:-2}"

data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT

# The print-shop directory as the start step leaves it and a few addresses (Windows-1255, CR LF);
# the program adds the other files of a fresh installation itself.
# The first shop's entry is longer than the print-shop list and the status line are wide, so their
# pictures show that a long Hebrew entry is shown from its start.
printf '%s\r\n' "דפוס הצפון - שד' הנשיא 12 חיפה kod042" "Print House Tel-Aviv kod012" \
  "דפוס הצפון חיפה kod007" "Copy Center Jerusalem kod031" \
  | iconv -f UTF-8 -t CP1255 > "$data/ruf25.dat"
printf '%s\r\n' "משרד אדריכלים כהן - רח' הרצל 12, תל אביב" "Tel Aviv office - 5 Rothschild Blvd" \
  "מהנדס יוסי לוי - דרך יפו 45 ירושלים" "פיקוח עירוני חיפה" "Site office, Building A-7" \
  | iconv -f UTF-8 -t CP1255 > "$data/lis.dat"
# A few earlier orders in the journal (vlt.dat: 38 lines per order, each character as its
# Windows-1255 code in a column of three), so that the previous-orders table has rows to show.
python3 - "$data/vlt.dat" <<'PY'
import sys
orders = [
    (" 1201", "05-03-04", "עיריית חיפה", "מגדל A-7 צפון", "Print House Tel-Aviv kod012"),
    (" 1202", "12-03-04", "Acme Engineering", "מגדל A-7 צפון", "דפוס הצפון - שד' הנשיא 12 חיפה kod042"),
    (" 1203", "20-01-04", "משרד הבינוי והשיכון", "גשר הרכבת בחדרה", "Print House Tel-Aviv kod012"),
    (" 1204", "28-02-04", "עיריית חיפה", "מגדל A-7 צפון", "Copy Center Jerusalem kod031"),
]
with open(sys.argv[1], "wb") as journal:
    for number, date, account, project, shop in orders:
        slots = [number, date, account, project, shop, "Office"] + [""] * 32
        for text in slots:
            journal.write("".join(f"{b:<3d}" for b in text.encode("cp1255")).encode() + b"\r\n")
PY
printf '%s\r\n' "מגדל A-7 צפון" "גשר הרכבת בחדרה" | iconv -f UTF-8 -t CP1255 > "$data/pro.dat"
printf '%s\r\n' "kod042 Tel 04-5550042 EM:orders@hazafon.example" \
  "kod012 Tel 03-5550012 EM:orders@printhouse.example" "kod007 Tel 04-5550007 EM:&nbsp;" \
  "kod031 Tel 02-5550031 EM:copy@center.example" > "$data/ruf27.dat"

# The start window shows the service's sample start page, served from the source tree on a free
# loopback port for the time of the pictures.
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
python3 -m http.server "$port" --bind 127.0.0.1 --directory service/site >/dev/null 2>&1 &
site_server=$!
trap 'kill "$site_server" 2>/dev/null; rm -rf "$data"' EXIT
for _ in $(seq 50); do
  curl -sf -o /dev/null "http://127.0.0.1:$port/start.html" && break
  sleep 0.1
done
printf '%s\r\n' "127.0.0.1:$port/start.html" '***' > "$data/url00.dat"

export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu --disable-background-networking"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/src/app/velmora" --data-dir "$data" --settings "$data/velmora.ini" --screenshots "$out" \
  2> "$data/stderr.log" || { cat "$data/stderr.log" >&2; exit 1; }
