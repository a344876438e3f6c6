#!/usr/bin/env bash
# Builds the release preset's order-history benchmark and runs it: a journal of 100,000 orders is
# generated and the searches, the table's sorts and the re-show's record lookup are timed next to
# wc -l on the same file. Extra arguments go to history_bench (--orders N, --runs R,
# --memory-orders M for the peak memory of a search through a journal of M orders).
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset release >/dev/null
cmake --build --preset release --target history_bench
build/release/bench/history/history_bench "$@"
