#!/usr/bin/env bash
# Long fuzzing of both libFuzzer targets: fuzz_parse (the multipart parser) and fuzz_save (Save
# through the page host with random settings and read patterns).
#
#   scripts/fuzz.sh [--minutes N] [--jobs N] [--no-minimise]
#
# --minutes: wall-clock time in all (default 60). --jobs: parallel fuzzing processes in all
# (default: every core); with one job the targets take turns, half the time each, otherwise they
# run side by side with half the jobs each. Each target has a folder of hand-made seeds, kept as
# they are, and a folder of generated inputs (tests/data/fuzz/parse, tests/data/fuzz/save).
# Findings (crashes, leaks, timeouts, out-of-memory) are copied into the generated folder as
# regression-* inputs, which the short CI run replays first; fix the fault and keep the file. At
# the end the generated folder is replaced by what the run found beyond the hand-made seeds,
# minimised (libFuzzer -merge) and cut to its smallest inputs up to 150 KiB, regression inputs kept. A summary of executions and findings goes
# to standard output; the logs stay in build/fuzz/fuzz-runs/.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

minutes=60
jobs=$(nproc)
minimise=1
budget_kib=150 # per target, for the generated inputs kept in tests/data
while [[ $# -gt 0 ]]; do
    case "$1" in
        --minutes) minutes=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --no-minimise) minimise=0; shift ;;
        *) echo "usage: scripts/fuzz.sh [--minutes N] [--jobs N] [--no-minimise]" >&2; exit 2 ;;
    esac
done
[[ $jobs -ge 1 && $minutes -ge 1 ]] || { echo "fuzz.sh: --jobs and --minutes must be positive" >&2; exit 2; }

cmake --preset fuzz >/dev/null || exit 1
cmake --build build/fuzz -j"$jobs" --target fuzz_parse fuzz_save || exit 1

declare -A seeds=([fuzz_parse]=tests/data/parser/corpus [fuzz_save]=tests/data/fuzz/save-seeds)
declare -A generated=([fuzz_parse]=tests/data/fuzz/parse [fuzz_save]=tests/data/fuzz/save)
declare -A max_len=([fuzz_parse]=16384 [fuzz_save]=16384)
run_dir=$root/build/fuzz/fuzz-runs/$(date -u +%Y%m%dT%H%M%SZ)
mkdir -p "$run_dir"

fuzz_one() { # TARGET SECONDS FORKS
    local target=$1 seconds=$2 forks=$3
    local work=$run_dir/$target
    mkdir -p "$work/corpus" "$work/findings"
    local fork_args=()
    [[ $forks -gt 1 ]] && fork_args=(-fork="$forks" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
    (cd "$work" && "$root/build/fuzz/tests/fuzz/$target" "${fork_args[@]}" -max_total_time="$seconds" \
        -timeout=20 -rss_limit_mb=2048 -max_len="${max_len[$target]}" -print_final_stats=1 \
        -artifact_prefix="$work/findings/" "$work/corpus" "$root/${generated[$target]}" "$root/${seeds[$target]}" \
        >"$work/log" 2>&1)
    echo "$target: exit $?" >>"$run_dir/summary"
}

start=$(date +%s)
if [[ $jobs -eq 1 ]]; then
    half=$((minutes * 30))
    fuzz_one fuzz_parse "$half" 1
    fuzz_one fuzz_save "$half" 1
else
    fuzz_one fuzz_parse $((minutes * 60)) $((jobs / 2)) &
    fuzz_one fuzz_save $((minutes * 60)) $(((jobs + 1) / 2)) &
    wait
fi
elapsed=$(($(date +%s) - start))

findings=0
for target in fuzz_parse fuzz_save; do
    work=$run_dir/$target
    # Executions: the final stats of a single run, or the last progress line of a forked one.
    execs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$work/log" | grep -oE '[0-9]+$' | awk "{ s += \$1 } END { if (NR) print s }")
    [[ -z "$execs" ]] && execs=$(grep -oE '#[0-9]+' "$work/log" | tail -1 | tr -d '#')
    count=0
    for f in "$work"/findings/*; do
        [[ -f $f ]] || continue
        count=$((count + 1))
        cp "$f" "$root/${generated[$target]}/regression-$(basename "$f")"
    done
    findings=$((findings + count))
    echo "$target: ${execs:-?} executions, $count findings (log: $work/log)"
    if [[ $minimise -eq 1 ]]; then
        # Merge into a copy of the hand-made seeds, so that only what adds to them is kept.
        rm -rf "$work/minimised" && mkdir -p "$work/minimised"
        cp "$root/${seeds[$target]}"/* "$work/minimised/"
        if (cd "$work" && "$root/build/fuzz/tests/fuzz/$target" -merge=1 -timeout=20 -rss_limit_mb=2048 \
                "$work/minimised" "$root/${generated[$target]}" "$work/corpus" >"$work/merge.log" 2>&1); then
            for f in "$root/${seeds[$target]}"/*; do rm -f "$work/minimised/$(basename "$f")"; done
            # The repository keeps the smallest inputs up to a budget: most of the coverage for
            # little of the size.
            local_total=0
            while IFS= read -r line; do
                size=${line%% *} file=${line#* }
                if [[ $((local_total + size)) -gt $((budget_kib * 1024)) ]]; then rm -f "$file"; else local_total=$((local_total + size)); fi
            done < <(find "$work/minimised" -type f -printf '%s %p\n' | sort -n)
            find "$root/${generated[$target]}" -maxdepth 1 -type f ! -name 'regression-*' -delete
            cp "$work"/minimised/* "$root/${generated[$target]}/" 2>/dev/null
            echo "$target: generated corpus minimised to $(find "$root/${generated[$target]}" -type f | wc -l) files," \
                 "$(find "$root/${generated[$target]}" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }') bytes"
        else
            echo "$target: minimising failed (see $work/merge.log)"
        fi
    fi
done
echo "fuzzed for $((elapsed / 60)) min $((elapsed % 60)) s with $jobs job(s); $findings finding(s)"
[[ $findings -eq 0 ]]
