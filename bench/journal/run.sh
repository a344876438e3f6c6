#!/usr/bin/env bash
# Builds the release preset's journal tool and benchmark, then runs the benchmark: a journal of
# 100,000 orders is generated and velmora-journal export (csv, json), the in-process scan and
# wc -l are timed on it. Extra arguments go to journal_bench (--orders N, --runs R).
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset release >/dev/null
cmake --build --preset release --target velmora-journal journal_bench
build/release/bench/journal/journal_bench --tool build/release/src/app/velmora-journal "$@"
