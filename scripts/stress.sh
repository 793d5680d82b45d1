#!/usr/bin/env bash
# The long form of the stress scenario: eight game threads in the stand-in
# game, each playing OPERATIONS mixed operations (default 200,000; the test
# command plays 20,000). Needs a build (scripts/test.sh or cmake --build).
# Usage: scripts/stress.sh [OPERATIONS]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export MODROUTE_STRESS_OPERATIONS="${1:-200000}"
exec "$ROOT/scripts/wine-run.sh" "$ROOT/build/bin/e2e_tests.exe" --gtest_filter='Stress.*'
