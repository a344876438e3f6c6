#!/usr/bin/env bash
# Saves a picture of every window of the program as PNG files.
#
#   bash scripts/screenshots.sh [OUTPUT_DIR]        (default: docs/screenshots)
#
# Builds the program if needed (build directory: $VELMORA_BUILD_DIR, default build/screenshots),
# starts it without a display under Xvfb on a sample data directory (a fresh installation plus a
# small print-shop directory) and lets its hidden option --screenshots open each window in turn
# and save it as OUTPUT_DIR/<window>.png (start1, velmora, hipus, hipus1, hipus2, tavla, ktovot,
# Help).
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
printf '%s\r\n' "Print House Tel-Aviv kod012" "דפוס הצפון חיפה kod007" "Copy Center Jerusalem kod031" \
  | iconv -f UTF-8 -t CP1255 > "$data/ruf25.dat"
printf '%s\r\n' "משרד אדריכלים כהן - רח' הרצל 12, תל אביב" "Tel Aviv office - 5 Rothschild Blvd" \
  "מהנדס יוסי לוי - דרך יפו 45 ירושלים" "פיקוח עירוני חיפה" "Site office, Building A-7" \
  | iconv -f UTF-8 -t CP1255 > "$data/lis.dat"
printf '%s\r\n' "kod012 Tel 03-5550012 EM:orders@printhouse.example" "kod007 Tel 04-5550007 EM:&nbsp;" \
  "kod031 Tel 02-5550031 EM:copy@center.example" > "$data/ruf27.dat"

export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu --disable-background-networking"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/src/app/velmora" --data-dir "$data" --settings "$data/velmora.ini" --screenshots "$out" \
  2> "$data/stderr.log" || { cat "$data/stderr.log" >&2; exit 1; }
