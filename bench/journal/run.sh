#!/usr/bin/env bash
# Builds the release preset's journal tool and benchmark, then runs the benchmark: a journal of
# 100,000 orders is generated and wc -l, Journal::read() of the last order, the in-process scan
# and velmora-journal export (csv, json) are timed on it. Extra arguments go to journal_bench
# (--orders N, --runs R, --memory-orders N: the peak memory of scanning a journal of N orders,
# e.g. 1000000 for about 1 GB).
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset release >/dev/null
cmake --build --preset release --target velmora-journal journal_bench
build/release/bench/journal/journal_bench --tool build/release/src/app/velmora-journal "$@"
