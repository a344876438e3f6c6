#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz": clang, libFuzzer, AddressSanitizer, UBSan) and runs each
# on a copy of its seed corpus (tests/fuzz/corpus/<target>/).
#
#   bash scripts/fuzz.sh [SECONDS]          each target for SECONDS (default 60)
#   FUZZ_RUNS=10000000 bash scripts/fuzz.sh each target for that many executions instead
#   FUZZ_TARGETS="fields journal" ...       only these targets
#
# Prints the executions of each target. An input that breaks what a target checks is saved as
# build/fuzz/findings/<target>/crash-* and the script ends with status 1 after the other targets.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
targets="${FUZZ_TARGETS:-fields journal list_files server_replies document email_page site_path}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${VELMORA_JOBS:-$(nproc)}" >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
printf '%-16s %14s %10s  %s\n' target executions seconds result
for target in $targets; do
  mkdir -p "$work/$target" "build/fuzz/findings/$target"
  cp -r "tests/fuzz/corpus/$target/." "$work/$target/"
  if [ -n "${FUZZ_RUNS:-}" ]; then limit=(-runs="$FUZZ_RUNS"); else limit=(-max_total_time="$seconds"); fi
  started=$(date +%s)
  if "build/fuzz/tests/fuzz/fuzz_$target" "${limit[@]}" -print_final_stats=1 \
       -artifact_prefix="build/fuzz/findings/$target/" "$work/$target" >"$work/$target.log" 2>&1; then
    result=ok
  else
    result="FAILED (see build/fuzz/findings/$target/)"
    status=1
    grep -E "does not hold|ERROR|SUMMARY" "$work/$target.log" | head -5 >&2 || true
  fi
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$work/$target.log" | grep -oE '[0-9]+$' || echo 0)
  printf '%-16s %14s %10s  %s\n' "$target" "$runs" "$(( $(date +%s) - started ))" "$result"
done
exit $status
