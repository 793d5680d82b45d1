#!/usr/bin/env bash
# Builds the release (no debug information, no time stamps in the binaries)
# into build-release/ and packs dist/ModRoute-<version>.zip.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
if [ "$(id -u)" -eq 0 ]; then
    bash scripts/setup.sh
else
    sudo bash scripts/setup.sh
fi
cmake --preset release >/dev/null
cmake --build --preset release
bash scripts/package-release.sh build-release/bin dist
