#!/usr/bin/env bash
# The check of the generated 32 MiB mod now set against the check as another
# revision made it, on the same machine in the same minutes: the revision's
# benchmark is built in a temporary folder, and the two run in turns, since
# on a shared machine the time of one run says little. Beside them, the
# installer's run alone (BM_InstallerRunAlone), which no check of this mod
# goes below. Prints each round's best in ms, then the medians and ratios.
#
# Usage: bench/compare_check.sh [BUILD_DIR] [REVISION] [ROUNDS]
# REVISION defaults to 838863e, the last before the check became a model of
# YaBB's installer.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
revision=${2:-838863e}
rounds=${3:-5}
now=$build/bench/torvale-bench-check
if [ ! -x "$now" ]; then
    echo "compare_check.sh: $now is missing; build the target torvale-bench-check first" >&2
    exit 64
fi
git -C "$top" rev-parse --verify --quiet "$revision^{commit}" >/dev/null || {
    echo "compare_check.sh: no revision $revision in $top" >&2
    exit 64
}

work=$(mktemp -d "${TMPDIR:-/tmp}/torvale-compare-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The revision finds the forum beside its tree, as this one does.
mkdir "$work/tree"
git -C "$top" archive "$revision" | tar -x -C "$work/tree"
ln -s "$(cd "$top/../shared" && pwd)" "$work/shared"
echo "compare_check.sh: building $revision's benchmark in $work" >&2
cmake -S "$work/tree" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTORVALE_BENCH=ON >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" --target torvale-bench-check >"$work/build.log" 2>&1 ||
    { tail -40 "$work/build.log" >&2; exit 1; }
before=$work/build/bench/torvale-bench-check

best() { # the best of one benchmark's runs, in ms: program, filter, counter
    "$1" --benchmark_filter="$2" 2>/dev/null | sed -n "s/.*$3=\([0-9.]*\).*/\1/p" | head -1
}
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

: >"$work/before" && : >"$work/now" && : >"$work/run"
printf '%-6s %12s %12s %12s\n' round "$revision" now "run alone"
for round in $(seq "$rounds"); do
    a=$(best "$before" 'BM_CheckMod/' best_check_ms)
    b=$(best "$now" 'BM_CheckMod/' best_check_ms)
    c=$(best "$now" 'BM_InstallerRunAlone' best_run_ms)
    [ -n "$a" ] && [ -n "$b" ] && [ -n "$c" ] ||
        { echo "compare_check.sh: a benchmark gave no figure" >&2; exit 1; }
    echo "$a" >>"$work/before" && echo "$b" >>"$work/now" && echo "$c" >>"$work/run"
    printf '%-6s %12s %12s %12s\n' "$round" "$a" "$b" "$c"
done
a=$(median <"$work/before") && b=$(median <"$work/now") && c=$(median <"$work/run")
awk -v a="$a" -v b="$b" -v c="$c" -v r="$revision" 'BEGIN {
    printf "%-6s %12s %12s %12s\nnow / %s = %.2f, run alone / %s = %.2f\n", "median", a, b, c, r, b / a, r, c / a
}'
