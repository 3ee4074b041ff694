#!/usr/bin/env bash
# Sets torvale-cli assemble against a grep that counts the tags of the same mod
# file, on generated mods of 32 and 64 MiB, and checks the targets:
#   time of torvale-cli / time of grep        <= 1.5  (aim: below 1)
#   peak RSS of torvale-cli / file size       <  4
#   time of torvale-cli at 64 MiB / at 32 MiB <= 2.2
# Times are the best of RUNS runs (default 7), the median is shown beside them;
# runs of the two programs alternate so that background load hits both alike.
# Exits 1 when a target is missed.
#
# Usage: bench/compare_with_grep.sh [BUILD_DIR]
# BUILD_DIR defaults to ./build, then to build/ of this source tree; it must
# hold torvale-cli and torvale-make-big-mod (a RelWithDebInfo or Release build).
set -euo pipefail

if [ $# -ge 1 ]; then
    build=$1
elif [ -d build ]; then
    build=build
else
    build=$(dirname "$0")/../build
fi
runs=${RUNS:-7}
cli=$build/app/torvale-cli
generator=$build/bench/torvale-make-big-mod
for program in "$cli" "$generator"; do
    if [ ! -x "$program" ]; then
        echo "compare_with_grep.sh: $program is missing; build $build first, or pass the build folder" >&2
        exit 64
    fi
done
command -v /usr/bin/time >/dev/null || {
    echo "compare_with_grep.sh: /usr/bin/time is missing (Debian package: time)" >&2
    exit 64
}

work=$(mktemp -d "${TMPDIR:-/tmp}/torvale-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Seconds elapsed, as a number awk reads whatever the locale's decimal mark.
now() { echo "${EPOCHREALTIME/,/.}"; }

# timed OUT PROGRAM ARGS...: runs the program with its output in the regular
# file OUT (GNU grep stops at the first match when its output is /dev/null) and
# leaves the seconds it took in $elapsed.
timed() {
    local out=$1 start end
    shift
    start=$(now)
    "$@" >"$out"
    end=$(now)
    elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
}

best() { printf '%s\n' "$@" | sort -g | head -n 1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
within() { awk -v v="$1" -v limit="$2" 'BEGIN { exit !(v <= limit) }'; }

grep_tags() {
    grep -c -i -F -e '<id>' -e '<version>' -e '<mod info>' -e '<author>' -e '<homepage>' \
        -e '<edit file>' -e '<search for>' -e '<replace>' -e '<add before>' -e '<add after>' "$1"
}

failed=()
declare -A torvale_best
echo "Load before: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min); $(nproc) cores; $runs runs each"
printf '%-7s %10s %18s %18s %8s %10s %9s\n' size bytes 'grep best/median' \
    'torvale best/med.' 'tv/grep' 'peak RSS' 'RSS/size'
for mib in 32 64; do
    mod=$work/big-$mib.mod
    "$generator" "$mib" "$mod" >/dev/null
    bytes=$(stat -c %s "$mod")

    # The first run of each only warms the page cache.
    "$cli" assemble "$mod" >"$work/out.mod"
    cmp -s "$mod" "$work/out.mod" || {
        echo "compare_with_grep.sh: torvale-cli did not give the $mib MiB mod back unchanged" >&2
        exit 1
    }
    grep_tags "$mod" >"$work/count.txt" || true

    grep_times=()
    torvale_times=()
    for ((i = 0; i < runs; i++)); do
        timed "$work/out.mod" "$cli" assemble "$mod"
        torvale_times+=("$elapsed")
        timed "$work/count.txt" grep_tags "$mod" || true
        grep_times+=("$elapsed")
    done

    rss_kib=0
    for ((i = 0; i < 3; i++)); do
        /usr/bin/time -f %M -o "$work/rss.txt" "$cli" assemble "$mod" >"$work/out.mod"
        kib=$(tail -n 1 "$work/rss.txt")
        ((kib > rss_kib)) && rss_kib=$kib
    done

    g=$(best "${grep_times[@]}")
    t=$(best "${torvale_times[@]}")
    torvale_best[$mib]=$t
    speed=$(ratio "$t" "$g")
    memory=$(awk -v k="$rss_kib" -v b="$bytes" 'BEGIN { printf "%.2f", k * 1024 / b }')
    printf '%-7s %10s %8ss/%7ss %8ss/%7ss %8s %7s MiB %9s\n' "$mib MiB" "$bytes" \
        "$g" "$(median "${grep_times[@]}")" "$t" "$(median "${torvale_times[@]}")" \
        "$speed" "$((rss_kib / 1024))" "$memory"
    within "$speed" 1.5 || failed+=("$mib MiB: torvale-cli takes $speed times as long as grep (target <= 1.5)")
    awk -v m="$memory" 'BEGIN { exit !(m < 4) }' ||
        failed+=("$mib MiB: peak RSS is $memory times the file size (target < 4)")
done

scaling=$(ratio "${torvale_best[64]}" "${torvale_best[32]}")
echo "torvale-cli time 64 MiB / 32 MiB: $scaling (target <= 2.2)"
within "$scaling" 2.2 || failed+=("64 MiB takes $scaling times as long as 32 MiB (target <= 2.2)")
echo "Load after: $(cut -d' ' -f1-3 /proc/loadavg)"

if [ ${#failed[@]} -gt 0 ]; then
    printf 'Missed: %s\n' "${failed[@]}"
    exit 1
fi
echo "All targets met."
