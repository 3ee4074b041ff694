#!/usr/bin/env bash
# The benchmark of placement: search texts of one to four lines taken from an
# older YaBB, placed in a newer one by the check, by GNU patch and by a plain
# similarity window, with a fixed seed; then the speed in a 20,000-line file.
# Exits 1 when fewer than 90% are placed right or a step takes 50 ms or more.
#
# Usage: bench/placement.sh [BUILD_DIR] [SEED] [CASES_PER_FILE]
# With TORVALE_PLACEMENT_SHOW set it lists each miss: the search lines with
# where the diff says each went, the expected lines, what the check makes of
# the expected place, and the place it chose, line by line.
# TORVALE_PLACEMENT_QUICK: the check alone (no patch, window or speed run).
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
seed=${2:-20261208}
cases=${3:-30}
program=$build/bench/torvale-bench-placement
versions=$top/../shared/forum-versions
if [ ! -x "$program" ]; then
    echo "placement.sh: $program is missing; build the target torvale-bench-placement first" >&2
    exit 64
fi
command -v patch >/dev/null || { echo "placement.sh: GNU patch is needed" >&2; exit 64; }
exec "$program" "$versions" "$seed" "$cases"
