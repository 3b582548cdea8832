#!/usr/bin/env bash
# Sets everything up, then opens the harvester on the built-in demo profile site.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/demo/vqlirra-demo "$@"
