#!/usr/bin/env bash
# Native fuzzing of the pure format and text code (fuzz/): builds the targets
# with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer into
# build-fuzz/ and runs them on their corpora (fuzz/corpus/<target>).
#
#   scripts/fuzz.sh quick              every target a few seconds (part of scripts/test.sh)
#   scripts/fuzz.sh long [seconds]     every target longer, default 600 s each, keeping
#                                      what it learns in build-fuzz/work/ for the next run
#   scripts/fuzz.sh run <target> [libFuzzer options]   one target, until stopped
#   scripts/fuzz.sh seeds              rewrite the seed files of fuzz/corpus
#
# Any finding fails the run and leaves its input as build-fuzz/findings/<target>-crash-*;
# reproduce with build-fuzz/fuzz_<target> <that file>. Set FUZZ_TARGETS to run
# only some targets. Needs what scripts/setup.sh installs (clang, llvm,
# libclang-rt-14-dev).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build-fuzz"
CORPUS="$ROOT/fuzz/corpus"
MODE="${1:-quick}"
QUICK_SECONDS="${FUZZ_QUICK_SECONDS:-3}"

build() {
    cmake -S "$ROOT/fuzz" -B "$BUILD" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=None \
        -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$BUILD" -j 2 -- --no-print-directory >/dev/null
}

targets() {
    if [ -n "${FUZZ_TARGETS:-}" ]; then
        echo "$FUZZ_TARGETS" | tr ' ,' '\n\n' | grep -v '^$'
    else
        for source in "$ROOT"/fuzz/targets/*.cpp; do basename "$source" .cpp; done
    fi
}

# Runs one target for $2 seconds on the committed corpus, which is never
# written: new inputs go to a work corpus below $3, read at the start too.
run_target() {
    local target="$1" seconds="$2" work="$3/$1" log="$BUILD/logs/$1.log"
    mkdir -p "$work" "$BUILD/logs" "$BUILD/findings" "$CORPUS/$target"
    local started=$SECONDS
    if "$BUILD/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
        -print_final_stats=1 -artifact_prefix="$BUILD/findings/$target-" "$work" "$CORPUS/$target" >"$log" 2>&1; then
        local runs
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
        printf '  %-16s ok      %6s runs  %3ss\n' "$target" "$runs" "$((SECONDS - started))"
    else
        printf '  %-16s FINDING (log: %s)\n' "$target" "$log"
        grep -E 'ERROR|invariant broken|runtime error|SUMMARY|Test unit written' "$log" | head -20 | sed 's/^/      /'
        return 1
    fi
}

run_all() {
    local seconds="$1" parallel="$2" work="$3"
    export -f run_target
    export BUILD CORPUS
    targets | xargs -P "$parallel" -I{} bash -c 'run_target "$1" "$2" "$3"' _ {} "$seconds" "$work"
}

case "$MODE" in
    quick)
        started=$SECONDS
        echo "fuzz: building the native targets (clang, libFuzzer, ASan, UBSan)"
        build
        echo "fuzz: $QUICK_SECONDS s per target"
        # A fresh work corpus each time: the quick level costs the same on every run.
        rm -rf "$BUILD/quick"
        if run_all "$QUICK_SECONDS" 2 "$BUILD/quick"; then
            echo "fuzz: no findings ($((SECONDS - started)) s)"
        else
            echo "fuzz: FINDINGS, see above" >&2
            exit 1
        fi
        ;;
    long)
        build
        run_all "${2:-600}" "${FUZZ_JOBS:-2}" "$BUILD/work"
        ;;
    run)
        build
        target="${2:?usage: scripts/fuzz.sh run <target> [libFuzzer options]}"
        mkdir -p "$BUILD/work/$target" "$BUILD/findings"
        exec "$BUILD/fuzz_$target" -artifact_prefix="$BUILD/findings/$target-" "${@:3}" \
            "$BUILD/work/$target" "$CORPUS/$target"
        ;;
    seeds)
        build
        "$BUILD/make_seeds" "$CORPUS"
        ;;
    *)
        sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//' >&2
        exit 2
        ;;
esac
