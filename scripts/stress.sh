#!/usr/bin/env bash
# The long form of the stress scenario: eight game threads in the stand-in
# game, each playing its plan ROUNDS times (default 15,000; the test command
# plays 300). Needs a build (scripts/test.sh or cmake --build).
# Usage: scripts/stress.sh [ROUNDS]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export MODROUTE_STRESS_ROUNDS="${1:-15000}"
exec "$ROOT/scripts/wine-run.sh" "$ROOT/build/bin/e2e_tests.exe" --gtest_filter='Process.EightThreads*'
