#!/usr/bin/env bash
# The kill matrix: applies each planted fault to src/, builds, runs every
# CTest entry and records which GoogleTest cases fail, then takes the fault
# out again. A fault nothing kills marks behaviour the suite does not check.
# Usage (from the repository root): bash tests/faults/run.sh [PATCH...]
# FAULT_TIMEOUT sets the per-entry limit in seconds; a hang counts as a kill.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$ROOT"
export BUILD_DIR="$ROOT/build-faults"
TIMEOUT="${FAULT_TIMEOUT:-300}"
LOGS="$BUILD_DIR/logs"
MATRIX="$BUILD_DIR/matrix.tsv"

if [ $# -eq 0 ]; then set -- tests/faults/*.patch; fi
if [ -n "$(git status --porcelain -- src)" ]; then
    echo "src/ has uncommitted changes: commit or stash them first" >&2
    exit 1
fi

applied=""
wine_started=""
cleanup() {
    if [ -n "$applied" ]; then
        # src/ was clean at the start, so checking it out is always safe.
        git apply -R "$applied" 2>/dev/null || git checkout -- src
        applied=""
    fi
    if [ -n "$wine_started" ]; then wineserver -k </dev/null >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
# Release without debug info, so the many links of each round are quick; at
# -O2 like the usual build, whose warnings (errors here) -O3 would change.
cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
    "${launcher[@]}" >/dev/null
mkdir -p "$LOGS"

scripts/wine-prefix.sh "$BUILD_DIR"
source scripts/wine-env.sh
# Started with its output detached, so ctest never waits on Wine's services.
wineserver -p </dev/null >/dev/null 2>&1
wine_started=1
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

# Runs ctest into $1 and prints the failing cases, one a line. An entry that
# crashed, timed out or failed without naming a case counts under its own name.
run_suite() {
    ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout "$TIMEOUT" -j 2 >"$1" 2>&1 || true
    awk '
        function close_entry() {
            if (entry != "" && (status != "Failed" || !named || !finished)) print entry
            entry = ""
        }
        / Test +#[0-9]+: / {
            close_entry()
            if ($0 !~ /\*\*\*/) next
            entry = $0; sub(/.*Test +#[0-9]+: /, "", entry); sub(/ .*/, "", entry)
            status = $0; sub(/.*\*\*\*/, "", status); sub(/[ :].*/, "", status)
            named = 0; finished = 0
            next
        }
        /^The following tests FAILED/ { close_entry() }
        entry != "" && /^\[==========\] .* ran/ { finished = 1 }
        entry != "" && match($0, /^\[  FAILED  \] [A-Za-z0-9_\/]+\.[A-Za-z0-9_\/]+/) {
            print substr($0, 14, RLENGTH - 13); named = 1
        }
        END { close_entry() }
    ' "$1" | sort -u
}

echo "building and running the suite without a fault..."
cmake --build "$BUILD_DIR" -j 2 >"$LOGS/clean.build.log" 2>&1 ||
    { echo "the clean tree does not build: see $LOGS/clean.build.log" >&2; exit 1; }
failing="$(run_suite "$LOGS/clean.ctest.log")"
if [ -n "$failing" ]; then
    echo "the suite fails without a fault (see $LOGS/clean.ctest.log):" >&2
    echo "$failing" >&2
    exit 1
fi

printf 'fault\ttest\n' >"$MATRIX"
declare -A count=()
for patch in "$@"; do
    name="$(basename "$patch" .patch)"
    if ! git apply "$patch" 2>"$LOGS/$name.apply.log"; then
        result="does-not-apply"
    else
        applied="$patch"
        if ! cmake --build "$BUILD_DIR" -j 2 >"$LOGS/$name.build.log" 2>&1; then
            result="does-not-build"
        else
            killers="$(run_suite "$LOGS/$name.ctest.log" | paste -sd, -)"
            result="${killers:+killed}"; result="${result:-SURVIVED}"
        fi
        git apply -R "$patch"
        applied=""
    fi
    count[$result]=$(( ${count[$result]:-0} + 1 ))
    if [ "$result" = killed ]; then
        printf '%s\tkilled\t%s\n' "$name" "$killers"
        tr , '\n' <<<"$killers" | sed "s/^/$name\t/" >>"$MATRIX"
    else
        printf '%s\t%s\n' "$name" "$result"
        printf '%s\t%s\n' "$name" "$result" >>"$MATRIX"
    fi
done

echo "totals: $(for k in "${!count[@]}"; do printf '%s %s, ' "${count[$k]}" "$k"; done | sed 's/, $//')"
# A sole killer is the only test that catches some fault; a test that kills
# only faults others also kill adds no sharpness of its own.
awk -F'\t' '
    NR > 1 && $2 !~ /^(SURVIVED|does-not-apply|does-not-build)$/ {
        n[$1]++; killer[$1] = $2; tests[$2] = 1; pair[NR] = $1 "\t" $2
    }
    END {
        for (f in n) if (n[f] == 1) { sole[killer[f]] = sole[killer[f]] " " f }
        print "sole killers:"
        for (t in sole) print "  " t ":" sole[t]
        print "tests that kill only together with others:"
        for (t in tests) if (!(t in sole)) print "  " t
    }
' "$MATRIX"
