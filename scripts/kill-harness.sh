#!/usr/bin/env bash
# Ends real submissions with SIGKILL at every step of every file write they make (and some at
# random moments from outside), starts the program again on the same data directory after each
# kill and checks the data files (tests/crash/KillHarnessTest.cpp).
#
#   bash scripts/kill-harness.sh [KILLS]     KILLS kills (default 500); CI runs 60 (ctest -L kill)
#
# Builds the harness with the "ci" preset if needed and prints the kills per write step and how
# many were survived; the table is also written to build/ci/kill-harness-report.txt. Exit status 0
# when every kill was survived.
set -euo pipefail
cd "$(dirname "$0")/.."

kills="${1:-500}"
cmake --preset ci >/dev/null
cmake --build --preset ci -j "${VELMORA_JOBS:-2}" --target velmora_kill_harness velmora_crash_driver velmora-service >/dev/null

VELMORA_KILLS="$kills" VELMORA_KILL_REPORT="build/ci/kill-harness-report.txt" \
  build/ci/tests/crash/velmora_kill_harness
