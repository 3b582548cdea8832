#!/usr/bin/env bash
# Sets everything up, then runs every test (headless), two test programs at a time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/test-needs.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600 --parallel 2
