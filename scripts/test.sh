#!/usr/bin/env bash
# Installs what is needed, builds every target with warnings as errors and runs all tests; then
# builds the tests again with AddressSanitizer and UBSan and runs them there too; then runs every
# fuzz target briefly (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
for preset in ci asan; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== test: $preset"
  ctest --preset "$preset" -j "$jobs"
done

echo "== fuzz: each target ${VELMORA_FUZZ_SECONDS:-10} s"
bash scripts/fuzz.sh "${VELMORA_FUZZ_SECONDS:-10}"
